// Runs a transfer or a converter run for a window's logic and returns when it
// has ended. The windows run it on a worker thread behind a modal progress
// window with Cancel; the console and the tests run it on the calling thread.
// While it runs, the caller's thread must leave the logic alone: the task
// works on the logic's members.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "device/TransferControl.h"

class TaskRunner {
 public:
  using Task = std::function<void(TransferControl&)>;
  virtual ~TaskRunner() = default;
  // title names the work in the progress window ("Download").
  virtual void Run(const std::string& title, const Task& task) = 0;
};

// On the calling thread, with an optional listener for every progress report
// and an optional flag that asks for the stop from outside (a signal, a time limit).
class DirectTaskRunner : public TaskRunner {
 public:
  std::function<void(TransferControl&)> onProgress;
  const std::atomic<bool>* stop = nullptr;

  void Run(const std::string& /*title*/, const Task& task) override {
    TransferControl control;
    control.FollowStop(stop);
    if (onProgress) control.SetListener(onProgress);
    task(control);
  }
};
