// Whether a register is attached, as an open window sees it. News of the
// register that comes while a task runs waits for the task to end, and a
// register that came after the window opened is asked for its parameters
// before its first transfer.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "workspace/common/TaskRunner.h"

class Operator;
class RegisterTransfers;

class RegisterPresence {
 public:
  // As the window opens; the parameters were read (or are read) then.
  void Start(bool attached) {
    attached_ = attached;
    stale_ = false;
  }
  bool Attached() const { return attached_; }

  // The parameters read as the window opened: a register that did not answer
  // is asked again before its first transfer.
  void OpeningRead(bool answered) { stale_ = attached_ && !answered; }
  // What the status line says when a register is there but does not answer,
  // as opposed to when none is attached at all.
  static std::string NoAnswerText(const std::string& address) {
    return address.empty() ? "no register answers" : "no register answers on " + address;
  }
  bool Busy() const { return busy_; }

  // True when the attached state changed now and the window should say so;
  // during a task the news is kept for its end.
  bool Change(bool attached);

  // Around every task: what came meanwhile is taken quietly at its end, so
  // the status line keeps the task's outcome.
  void BeginTask() { busy_ = true; }
  void EndTask();

  // Calls read when a register came since the parameters were read last;
  // false when it did not answer.
  bool EnsureParameters(const std::function<bool()>& read);

 private:
  void Take(bool attached);

  bool attached_ = false;
  bool stale_ = false;
  bool busy_ = false;
  std::optional<bool> meanwhile_;
};

// The task that reads the register's parameters; answered tells how it went.
TaskRunner::Task ReadParametersTask(RegisterTransfers& transfers, Operator& op, bool& answered);
