// Runs one transfer on a thread of its own, so that the thread that started it
// (a window's) stays free to repaint and to show the progress. Whoever started
// it polls Finished and then Join; the destructor joins as well.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

#include "device/TransferControl.h"

class TransferWorker {
 public:
  using Task = std::function<void(TransferControl&)>;

  // The task starts at once. The control must outlive the worker.
  TransferWorker(Task task, TransferControl& control);
  ~TransferWorker() { Join(); }
  TransferWorker(const TransferWorker&) = delete;
  TransferWorker& operator=(const TransferWorker&) = delete;

  // The task has returned; everything it wrote is visible after Join.
  bool Finished() const { return finished_.load(std::memory_order_acquire); }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::atomic<bool> finished_{false};
  std::thread thread_;
};
