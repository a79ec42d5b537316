#include "device/TransferWorker.h"

TransferWorker::TransferWorker(Task task, TransferControl& control)
    : thread_([this, task = std::move(task), &control] {
        task(control);
        finished_.store(true, std::memory_order_release);
      }) {}
