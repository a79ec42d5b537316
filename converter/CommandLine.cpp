#include "converter/CommandLine.h"

std::vector<CommandLine::Slot> CommandLine::SlotsOf(std::span<const std::string_view> arguments,
                                                    std::vector<std::string>* unfinished) {
  std::vector<Slot> slots;
  Slot current;
  bool open = false;  // a two-character option waits for its value
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (argument.empty() || argument == "-") continue;
    if (argument.front() == '-') {
      if (open && unfinished) unfinished->push_back(current.key);
      current.key = std::string(argument.substr(1));
      if (argument.size() >= 3) {
        current.value = std::string(argument.substr(2));
        // Slots past the limit are dropped, as there is no room for them.
        if (slots.size() < kMaxSlots) slots.push_back(current);
        current = {};
        open = false;
      } else {
        open = true;
      }
    } else if (open) {
      current.value = std::string(argument);
      if (slots.size() < kMaxSlots) slots.push_back(current);
      current = {};
      open = false;
    }
  }
  if (open && unfinished) unfinished->push_back(current.key);
  return slots;
}

CommandLine CommandLine::Parse(std::span<const std::string_view> arguments) {
  CommandLine line;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    line.help |= arguments[i] == "--help";
    line.version |= arguments[i] == "--version";
    line.trace |= arguments[i] == "--trace";
  }
  std::vector<std::string> unfinished;
  for (const Slot& slot : SlotsOf(arguments, &unfinished)) {
    switch (slot.key.front()) {
      case 'D': line.mode = ConversionMode::Export; break;
      case 'U': line.mode = ConversionMode::Import; break;
      case 'I': line.databasePath = slot.value; break;
      case 'O': line.workbookPath = slot.value; break;
      default: break;  // lower case and any other letter mean nothing
    }
  }
  for (const std::string& key : unfinished)
    if (key.front() == 'D' || key.front() == 'U') line.unfinishedMode = key.front();
  return line;
}

CommandLine CommandLine::Parse(int argc, const char* const* argv) {
  std::vector<std::string_view> arguments;
  arguments.reserve(static_cast<std::size_t>(argc > 0 ? argc : 0));
  for (int i = 0; i < argc; ++i) arguments.emplace_back(argv[i] ? argv[i] : "");
  return Parse(arguments);
}
