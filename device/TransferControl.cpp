#include "device/TransferControl.h"

TransferControl::TransferControl() { progress_.started = progress_.phaseStarted = Clock::now(); }

void TransferControl::Begin(std::string what, std::uint64_t total) {
  {
    std::lock_guard lock(mutex_);
    progress_.what = std::move(what);
    progress_.total = total;
    progress_.done = 0;
    progress_.phaseStarted = Clock::now();
  }
  if (listener_) listener_(*this);
}

void TransferControl::Advance(std::uint64_t done) {
  {
    std::lock_guard lock(mutex_);
    progress_.done = done;
  }
  if (listener_) listener_(*this);
}

TransferControl::Progress TransferControl::Snapshot() const {
  std::lock_guard lock(mutex_);
  Progress copy = progress_;
  copy.stopping = StopRequested();
  return copy;
}
