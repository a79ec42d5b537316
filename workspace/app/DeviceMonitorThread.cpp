#include "workspace/app/DeviceMonitorThread.h"

DeviceMonitorThread::DeviceMonitorThread(Probe probe, std::atomic<std::int32_t>& deviceConnected,
                                         std::chrono::milliseconds period)
    : probe_(std::move(probe)), deviceConnected_(deviceConnected), period_(period) {}

DeviceMonitorThread::~DeviceMonitorThread() { Stop(); }

void DeviceMonitorThread::Start() {
  if (thread_.joinable()) return;
  run_ = true;
  finished_ = false;
  thread_ = std::thread([this] { Loop(); });
}

void DeviceMonitorThread::Stop() {
  {
    // Under the lock, so the thread cannot miss the wake between its test of
    // the run flag and its wait.
    const std::lock_guard lock(mutex_);
    run_ = false;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void DeviceMonitorThread::Loop() {
  std::unique_lock lock(mutex_);
  while (run_) {
    lock.unlock();
    const bool attached = probe_ && probe_();
    deviceConnected_.store(attached ? 1 : 0);
    rounds_.fetch_add(1);
    lock.lock();
    wake_.wait_for(lock, period_, [this] { return !run_; });
  }
  finished_ = true;
}
