// Watches the register link: once a period it asks the transport whether a
// register is attached and stores the answer where windows read it when they
// open. Stopping wakes the thread at once instead of waiting out its sleep, so
// the program ends promptly.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

class DeviceMonitorThread {
 public:
  using Probe = std::function<bool()>;
  static constexpr std::chrono::milliseconds kDefaultPeriod{1000};

  // probe is called on the monitor thread only; deviceConnected gets 1 or 0.
  DeviceMonitorThread(Probe probe, std::atomic<std::int32_t>& deviceConnected,
                      std::chrono::milliseconds period = kDefaultPeriod);
  ~DeviceMonitorThread();
  DeviceMonitorThread(const DeviceMonitorThread&) = delete;
  DeviceMonitorThread& operator=(const DeviceMonitorThread&) = delete;

  void Start();
  // Clears the run flag, wakes the sleeping thread and waits until it ended.
  void Stop();

  bool Running() const { return run_.load(); }
  bool Finished() const { return finished_.load(); }
  // How many times the transport has been asked so far.
  std::uint64_t Rounds() const { return rounds_.load(); }

 private:
  void Loop();

  Probe probe_;
  std::atomic<std::int32_t>& deviceConnected_;
  const std::chrono::milliseconds period_;
  std::atomic<bool> run_{false};
  std::atomic<bool> finished_{true};
  std::atomic<std::uint64_t> rounds_{0};
  std::mutex mutex_;
  std::condition_variable wake_;
  std::thread thread_;
};
