// An operator nobody sits in front of: every question gets the same answer
// (accepting by default) and every file dialog the one file it was given. Makes the
// sample database and other jobs that run the window logic unattended.
#pragma once

#include <string>
#include <vector>

#include "workspace/common/Operator.h"

class UnattendedOperator : public Operator {
 public:
  // agree: Yes and OK to every question; otherwise No and Cancel.
  explicit UnattendedOperator(std::string file, bool agree = true) : file_(std::move(file)), agree_(agree) {}

  Answer Ask(const std::string& text, const std::string& /*title*/, MessageButtons buttons, MessageIcon icon) override {
    if (buttons == MessageButtons::Ok && (icon == MessageIcon::Warning || icon == MessageIcon::Error)) {
      complaints_.push_back(text);
    }
    switch (buttons) {
      case MessageButtons::Ok: return Answer::Ok;
      case MessageButtons::OkCancel: return agree_ ? Answer::Ok : Answer::Cancel;
      case MessageButtons::YesNo: return agree_ ? Answer::Yes : Answer::No;
    }
    return Answer::Ok;
  }
  std::optional<std::string> ChooseFile(const FileChoice& /*choice*/) override { return file_; }

  // Warnings and errors shown so far.
  const std::vector<std::string>& Complaints() const { return complaints_; }

 private:
  std::string file_;
  bool agree_;
  std::vector<std::string> complaints_;
};
