// The converter's command line: option slots of a key (text after the dash)
// and a value; only the first character of a key counts (D, U, I, O). Beside
// the slots, an argument that is exactly --help, --version or --trace asks for that.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

enum class ConversionMode { None, Export, Import };

class CommandLine {
 public:
  struct Slot {
    std::string key;
    std::string value;
  };

  static constexpr std::size_t kMaxSlots = 256;

  // Cuts the arguments (the program name first) into complete slots. The keys
  // of two-character options that got no value (the next option took their
  // place, or nothing followed) go to unfinished when it is given.
  static std::vector<Slot> SlotsOf(std::span<const std::string_view> arguments,
                                   std::vector<std::string>* unfinished = nullptr);

  // Slots applied in order: a later one overrides an earlier one of its kind.
  static CommandLine Parse(std::span<const std::string_view> arguments);
  static CommandLine Parse(int argc, const char* const* argv);

  ConversionMode mode = ConversionMode::None;
  bool help = false;
  bool version = false;
  bool trace = false;  // --trace: the workbook libraries' own log lines are shown too
  std::string databasePath;
  std::string workbookPath;
  // 'D' or 'U' when such an option got no value (-D -Ishop.db): the mode a
  // person most likely meant and did not get; 0 otherwise.
  char unfinishedMode = 0;
};
