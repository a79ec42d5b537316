// Runs a window's transfer or converter run on a worker thread behind a modal
// progress window: what is being transferred, a bar, the elapsed time, the
// time left and Cancel. The window underneath keeps repainting, and clicks
// and keys meant for it are refused while the work runs, not queued for later.
#pragma once

#include <vector>

#include <QPointer>
#include <QWidget>

#include "workspace/common/TaskRunner.h"

class QtTaskRunner : public TaskRunner {
 public:
  // The progress window opens over parent once the work has taken showAfterMs;
  // refreshMs: how often it shows the count.
  explicit QtTaskRunner(QWidget* parent, int showAfterMs = 300, int refreshMs = 100)
      : parent_(parent), showAfterMs_(showAfterMs), refreshMs_(refreshMs) {}

  // Returns once the task has ended, its worker thread joined.
  void Run(const std::string& title, const Task& task) override;

  bool Running() const { return control_ != nullptr; }
  // Asks the task under way to stop after the exchange in progress (GUI thread).
  void RequestStop() {
    if (control_) control_->RequestStop();
  }

  // Every runner of the program (GUI thread): the program ends only after
  // their workers, so that the register engine is never stopped under one.
  static bool AnyRunning() { return !running_.empty(); }
  // While the program is ending, the tasks under way stop, and later ones
  // stop before their first exchange.
  static void SetEnding(bool ending) {
    stopAll_ = ending;
    if (ending) {
      for (QtTaskRunner* runner : running_) runner->RequestStop();
    }
  }

 private:
  QPointer<QWidget> parent_;
  int showAfterMs_;
  int refreshMs_;
  TransferControl* control_ = nullptr;
  static inline std::vector<QtTaskRunner*> running_;
  static inline bool stopAll_ = false;
};
