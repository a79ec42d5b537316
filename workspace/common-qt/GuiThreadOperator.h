// Lets a transfer on a worker thread ask the person: questions and file
// dialogs are passed to the GUI thread and the worker waits for the answer.
// The wait cursor is left alone off the GUI thread: the progress window shows
// that the work goes on.
#pragma once

#include "workspace/common/Operator.h"

class GuiThreadOperator : public Operator {
 public:
  explicit GuiThreadOperator(Operator& inner) : inner_(inner) {}

  Answer Ask(const std::string& text, const std::string& title, MessageButtons buttons, MessageIcon icon) override;
  std::optional<std::string> ChooseFile(const FileChoice& choice) override;
  void BeginWait() override;
  void EndWait() override;

 private:
  Operator& inner_;
};
