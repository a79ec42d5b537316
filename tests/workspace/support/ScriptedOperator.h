// An operator for tests: answers questions and file dialogs from queues and
// records everything it was asked, so tests can check the messages a window
// showed and script the person's replies.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "workspace/common/Operator.h"

struct AskedQuestion {
  std::string text;
  std::string title;
  MessageButtons buttons = MessageButtons::Ok;
  MessageIcon icon = MessageIcon::None;
};

class ScriptedOperator : public Operator {
 public:
  // Replies used in order. With none left, a plain message is acknowledged
  // with Ok and a question gets its refusing answer (Cancel or No) and is
  // noted in Unscripted().
  void QueueAnswer(Answer answer) { answers_.push_back(answer); }
  // Files chosen in order (nullopt: the dialog was cancelled); none left: cancelled.
  void QueueFile(std::optional<std::string> path) { files_.push_back(std::move(path)); }

  Answer Ask(const std::string& text, const std::string& title, MessageButtons buttons, MessageIcon icon) override;
  std::optional<std::string> ChooseFile(const FileChoice& choice) override;
  void BeginWait() override;
  void EndWait() override;

  const std::vector<AskedQuestion>& Asked() const { return asked_; }
  std::vector<std::string> AskedTexts() const;
  const std::vector<FileChoice>& FileChoices() const { return choices_; }
  const std::vector<std::string>& Unscripted() const { return unscripted_; }
  std::size_t PendingAnswers() const { return answers_.size(); }
  std::size_t PendingFiles() const { return files_.size(); }
  int WaitDepth() const { return waitDepth_; }
  int WaitsBegun() const { return waitsBegun_; }

  // Called for every question before it is answered (e.g. to look at the
  // window state while the message is up).
  std::function<void(const AskedQuestion&)> onAsk;

  void Clear();

 private:
  std::deque<Answer> answers_;
  std::deque<std::optional<std::string>> files_;
  std::vector<AskedQuestion> asked_;
  std::vector<FileChoice> choices_;
  std::vector<std::string> unscripted_;
  int waitDepth_ = 0;
  int waitsBegun_ = 0;
};
