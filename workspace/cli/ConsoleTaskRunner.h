// Runs the console tool's transfers on the calling thread and shows their
// progress: on a terminal one line that keeps being rewritten with count, rate
// and time left; otherwise a plain line every hundred records, for logs.
#pragma once

#include <atomic>
#include <cstdio>
#include <string>

#include "workspace/common/TaskRunner.h"

class ConsoleTaskRunner : public TaskRunner {
 public:
  // stop: set from elsewhere (a signal, the time limit) to stop the transfer.
  ConsoleTaskRunner(std::FILE* out, bool terminal, const std::atomic<bool>* stop)
      : out_(out), terminal_(terminal), stop_(stop) {}

  void Run(const std::string& title, const Task& task) override;

 private:
  void Show(const TransferControl::Progress& progress, bool final);

  std::FILE* out_;
  bool terminal_;
  const std::atomic<bool>* stop_;
  std::string what_;
  bool lineOpen_ = false;
  TransferControl::Clock::time_point lastShown_{};
};
