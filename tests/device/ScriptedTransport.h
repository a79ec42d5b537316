// A transport whose register is played by the test: it records every frame
// written and hands out the chunks the test queued, each chunk one Read.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "device/transport/iCOMDriver.h"

class ScriptedTransport : public iCOMDriver {
 public:
  using Bytes = std::vector<std::uint8_t>;
  // Called for every frame written (outside the lock), to queue the answer.
  std::function<void(const Bytes& frame, ScriptedTransport& self)> onWrite;

  // 21 empty reads must outlast the engine's three silent periods, as on the
  // real transports, or silence would be taken for refused frames.
  explicit ScriptedTransport(std::chrono::milliseconds readTimeout = std::chrono::milliseconds(60))
      : readTimeout_(readTimeout) {}

  bool Open(std::uint32_t) override { return IsConnected(); }
  void Close() override {}

  std::uint32_t Write(const std::uint8_t* data, std::uint32_t length) override {
    Bytes frame(data, data + length);
    std::uint32_t status = 0;
    {
      std::lock_guard lock(mutex_);
      if (!writeStatuses_.empty()) {
        status = writeStatuses_.front();
        writeStatuses_.pop_front();
      }
      lastStatus_ = status;
      log_ += status == 0 ? "W" : "w";
      if (status == 0) frames_.push_back(frame);
    }
    if (status == 0 && onWrite) onWrite(frame, *this);
    return status == 0 ? length : 0;
  }

  std::uint32_t Read(std::uint8_t* buffer, std::uint32_t capacity) override {
    std::unique_lock lock(mutex_);
    const auto deadline = std::chrono::steady_clock::now() + readTimeout_;
    for (;;) {
      const auto now = std::chrono::steady_clock::now();
      if (!chunks_.empty() && chunks_.front().due <= now) break;
      if (now >= deadline) return 0;
      changed_.wait_until(lock, chunks_.empty() ? deadline : std::min(deadline, chunks_.front().due));
    }
    Bytes& chunk = chunks_.front().bytes;
    const std::size_t count = std::min<std::size_t>(capacity, chunk.size());
    std::copy_n(chunk.begin(), count, buffer);
    chunk.erase(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(count));
    if (chunk.empty()) chunks_.pop_front();
    return static_cast<std::uint32_t>(count);
  }

  std::uint32_t GetLastStatus() override {
    std::lock_guard lock(mutex_);
    return lastStatus_;
  }
  void Reset() override {
    std::lock_guard lock(mutex_);
    ++resets_;
    log_ += "R";
  }
  bool IsConnected() override {
    std::lock_guard lock(mutex_);
    return connected_;
  }

  // Test side.
  void Queue(Bytes chunk, std::chrono::milliseconds after = std::chrono::milliseconds(0)) {
    {
      std::lock_guard lock(mutex_);
      const auto due = std::max(std::chrono::steady_clock::now() + after,
                                chunks_.empty() ? std::chrono::steady_clock::time_point{} : chunks_.back().due);
      chunks_.push_back({std::move(chunk), due});
    }
    changed_.notify_all();
  }
  void FailNextWrites(std::deque<std::uint32_t> statuses) {
    std::lock_guard lock(mutex_);
    writeStatuses_ = std::move(statuses);
  }
  void SetConnected(bool connected) {
    std::lock_guard lock(mutex_);
    connected_ = connected;
  }
  std::vector<Bytes> Frames() const {
    std::lock_guard lock(mutex_);
    return frames_;
  }
  int Resets() const {
    std::lock_guard lock(mutex_);
    return resets_;
  }
  // W a good write, w a failed one, R a reset, in order.
  std::string Log() const {
    std::lock_guard lock(mutex_);
    return log_;
  }

 private:
  struct Chunk {
    Bytes bytes;
    std::chrono::steady_clock::time_point due;
  };
  const std::chrono::milliseconds readTimeout_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Chunk> chunks_;
  std::deque<std::uint32_t> writeStatuses_;
  std::vector<Bytes> frames_;
  std::uint32_t lastStatus_ = 0;
  int resets_ = 0;
  bool connected_ = true;
  std::string log_;
};
