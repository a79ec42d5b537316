// What a long transfer shares with the person waiting for it: how far it has
// got (what, how many of how many, since when) and whether it should stop.
// The transfer reports and looks at the stop request on its own thread; the
// window or the console reads the progress and asks it to stop on theirs.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

class TransferControl {
 public:
  using Clock = std::chrono::steady_clock;

  struct Progress {
    std::string what;  // "Articles", "Departments", ...
    std::uint64_t done = 0;
    std::uint64_t total = 0;         // 0 when the end is not known in advance
    Clock::time_point started;       // of the whole run
    Clock::time_point phaseStarted;  // of the current what
    bool stopping = false;           // a stop was asked for
  };

  TransferControl();

  // A new part of the work begins: the count starts again at 0.
  void Begin(std::string what, std::uint64_t total);
  void Advance(std::uint64_t done);
  Progress Snapshot() const;

  // Called after every Begin and Advance, on the thread that reported (a
  // console prints there; a test may ask for the stop there).
  void SetListener(std::function<void(TransferControl&)> listener) { listener_ = std::move(listener); }

  // Any thread. The transfer stops before its next exchange.
  void RequestStop() { stop_.store(true); }
  // A flag set elsewhere (a signal, a time limit) also stops the transfer.
  void FollowStop(const std::atomic<bool>* flag) { external_ = flag; }
  bool StopRequested() const { return stop_.load() || (external_ != nullptr && external_->load()); }

 private:
  mutable std::mutex mutex_;
  Progress progress_;
  std::atomic<bool> stop_{false};
  const std::atomic<bool>* external_ = nullptr;
  std::function<void(TransferControl&)> listener_;
};
