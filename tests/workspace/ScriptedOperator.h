// An operator for tests: answers questions and file dialogs from a script and
// records everything it was asked.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "Operator.h"

class ScriptedOperator : public Operator {
 public:
  struct Asked {
    std::string text;
    MessageButtons buttons;
    MessageIcon icon;
  };

  std::deque<Answer> answers;                      // for questions; plain messages need none
  std::deque<std::optional<std::string>> files;    // nullopt = cancel
  std::vector<Asked> asked;
  std::vector<FileChoice> fileDialogs;
  int waitDepth = 0;
  int waits = 0;
  std::vector<std::string> progress;

  Answer Ask(const std::string& text, const std::string&, MessageButtons buttons, MessageIcon icon) override {
    asked.push_back({text, buttons, icon});
    if (buttons == MessageButtons::Ok) return Answer::Ok;
    if (answers.empty()) return buttons == MessageButtons::YesNo ? Answer::No : Answer::Cancel;
    const Answer a = answers.front();
    answers.pop_front();
    return a;
  }
  std::optional<std::string> ChooseFile(const FileChoice& choice) override {
    fileDialogs.push_back(choice);
    if (files.empty()) return std::nullopt;
    auto f = files.front();
    files.pop_front();
    return f;
  }
  void BeginWait() override {
    ++waitDepth;
    ++waits;
  }
  void EndWait() override { --waitDepth; }
  void Progress(const std::string& what) override { progress.push_back(what); }

  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const auto& a : asked) texts.push_back(a.text);
    return texts;
  }
  std::string LastMessage() const { return asked.empty() ? std::string() : asked.back().text; }
};
