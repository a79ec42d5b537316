// The operator of the console tool: questions are answered by --yes or at the
// terminal, and refused when nobody can answer; file dialogs take the file named
// on the command line; messages go to standard error.
#pragma once

#include <atomic>
#include <cstdio>
#include <optional>
#include <string>

#include "workspace/common/Operator.h"

class ConsoleOperator : public Operator {
 public:
  ConsoleOperator(bool assumeYes, std::FILE* in, std::FILE* err, bool interactive)
      : assumeYes_(assumeYes), in_(in), err_(err), interactive_(interactive) {}

  // The file the next file dialog chooses; it is chosen once, so that a refusal
  // does not bring the same dialog back for ever.
  void SetFile(std::string path) { file_ = std::move(path); }

  Answer Ask(const std::string& text, const std::string& title, MessageButtons buttons, MessageIcon icon) override;
  std::optional<std::string> ChooseFile(const FileChoice& choice) override;

  // A question was refused because nobody could answer it.
  bool Refused() const { return refused_; }
  // A question was answered with No or Cancel (or refused).
  bool Declined() const { return declined_; }
  // Waiting for the person to answer at the terminal (any thread may ask).
  bool AtPrompt() const { return atPrompt_.load(); }

 private:
  bool assumeYes_;
  std::FILE* in_;
  std::FILE* err_;
  bool interactive_;
  bool refused_ = false;
  bool declined_ = false;
  std::atomic<bool> atPrompt_{false};
  std::optional<std::string> file_;
};
