// Passes everything on to another operator, except that the next file dialog
// may be answered in advance: the articles window uses it to open the database
// named on the command line through its ordinary Open Database command.
#pragma once

#include <optional>
#include <string>

#include "workspace/common/Operator.h"

class PresetFileOperator : public Operator {
 public:
  explicit PresetFileOperator(Operator& inner) : inner_(inner) {}

  // The answer of the next file dialog only.
  void PresetNextFile(std::string path) { preset_ = std::move(path); }

  Answer Ask(const std::string& text, const std::string& title, MessageButtons buttons, MessageIcon icon) override {
    return inner_.Ask(text, title, buttons, icon);
  }
  std::optional<std::string> ChooseFile(const FileChoice& choice) override {
    if (preset_) {
      std::optional<std::string> path = std::move(preset_);
      preset_.reset();
      return path;
    }
    return inner_.ChooseFile(choice);
  }
  void BeginWait() override { inner_.BeginWait(); }
  void EndWait() override { inner_.EndWait(); }

 private:
  Operator& inner_;
  std::optional<std::string> preset_;
};
