#include "workspace/cli/ConsoleOperator.h"

#include <cctype>

namespace {

const char* Prefix(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Error: return "error: ";
    case MessageIcon::Warning: return "warning: ";
    default: return "";
  }
}

}  // namespace

Answer ConsoleOperator::Ask(const std::string& text, const std::string&, MessageButtons buttons, MessageIcon icon) {
  if (buttons == MessageButtons::Ok) {
    std::fprintf(err_, "%s%s\n", Prefix(icon), text.c_str());
    return Answer::Ok;
  }
  const Answer yes = buttons == MessageButtons::YesNo ? Answer::Yes : Answer::Ok;
  const Answer no = buttons == MessageButtons::YesNo ? Answer::No : Answer::Cancel;
  if (assumeYes_) {
    std::fprintf(err_, "%s [yes, by --yes]\n", text.c_str());
    return yes;
  }
  if (!interactive_) {
    std::fprintf(err_, "%s\nNobody can answer this question here; give --yes to agree in advance.\n", text.c_str());
    refused_ = declined_ = true;
    return no;
  }
  std::fprintf(err_, "%s [y/N] ", text.c_str());
  std::fflush(err_);
  char line[64] = {};
  atPrompt_ = true;
  const bool answered = std::fgets(line, sizeof line, in_) != nullptr;
  atPrompt_ = false;
  if (!answered) {
    refused_ = declined_ = true;
    return no;
  }
  const char first = static_cast<char>(std::tolower(static_cast<unsigned char>(line[0])));
  if (first == 'y') return yes;
  declined_ = true;
  return no;
}

std::optional<std::string> ConsoleOperator::ChooseFile(const FileChoice&) {
  auto chosen = file_;
  file_.reset();
  return chosen;
}
