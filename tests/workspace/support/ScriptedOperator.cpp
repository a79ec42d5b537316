#include "tests/workspace/support/ScriptedOperator.h"

Answer ScriptedOperator::Ask(const std::string& text, const std::string& title, MessageButtons buttons,
                             MessageIcon icon) {
  asked_.push_back({text, title, buttons, icon});
  if (onAsk) onAsk(asked_.back());
  if (!answers_.empty()) {
    const Answer answer = answers_.front();
    answers_.pop_front();
    return answer;
  }
  switch (buttons) {
    case MessageButtons::Ok: return Answer::Ok;
    case MessageButtons::OkCancel: unscripted_.push_back(text); return Answer::Cancel;
    case MessageButtons::YesNo: unscripted_.push_back(text); return Answer::No;
  }
  return Answer::Ok;
}

std::optional<std::string> ScriptedOperator::ChooseFile(const FileChoice& choice) {
  choices_.push_back(choice);
  if (files_.empty()) return std::nullopt;
  auto file = files_.front();
  files_.pop_front();
  return file;
}

void ScriptedOperator::BeginWait() {
  ++waitDepth_;
  ++waitsBegun_;
}

void ScriptedOperator::EndWait() {
  if (waitDepth_ > 0) --waitDepth_;
}

std::vector<std::string> ScriptedOperator::AskedTexts() const {
  std::vector<std::string> texts;
  for (const auto& question : asked_) texts.push_back(question.text);
  return texts;
}

void ScriptedOperator::Clear() {
  answers_.clear();
  files_.clear();
  asked_.clear();
  choices_.clear();
  unscripted_.clear();
  waitDepth_ = 0;
  waitsBegun_ = 0;
}
