#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "workspace/app/DeviceMonitorThread.h"

namespace {

using namespace std::chrono_literals;

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit = 2000ms) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

TEST(DeviceMonitorThreadTest, CopiesTheAttachedStateEveryPeriod) {
  std::atomic<bool> attached{true};
  std::atomic<std::int32_t> connected{0};
  DeviceMonitorThread monitor([&] { return attached.load(); }, connected, 2ms);
  EXPECT_TRUE(monitor.Finished());
  monitor.Start();
  EXPECT_TRUE(monitor.Running());
  ASSERT_TRUE(WaitFor([&] { return connected.load() == 1; }));
  attached = false;
  ASSERT_TRUE(WaitFor([&] { return connected.load() == 0; }));
  const auto rounds = monitor.Rounds();
  ASSERT_TRUE(WaitFor([&] { return monitor.Rounds() >= rounds + 3; }));
  monitor.Stop();
  EXPECT_FALSE(monitor.Running());
  EXPECT_TRUE(monitor.Finished());
  const auto stopped = monitor.Rounds();
  std::this_thread::sleep_for(10ms);
  EXPECT_EQ(monitor.Rounds(), stopped);
}

TEST(DeviceMonitorThreadTest, StopDoesNotWaitOutTheSleep) {
  std::atomic<std::int32_t> connected{0};
  DeviceMonitorThread monitor([] { return true; }, connected, DeviceMonitorThread::kDefaultPeriod);
  monitor.Start();
  ASSERT_TRUE(WaitFor([&] { return monitor.Rounds() == 1; }));
  EXPECT_EQ(connected.load(), 1);
  const auto begin = std::chrono::steady_clock::now();
  monitor.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - begin, 200ms);
  EXPECT_EQ(monitor.Rounds(), 1u);
  EXPECT_TRUE(monitor.Finished());
}

TEST(DeviceMonitorThreadTest, StoppingBeforeStartingOrTwiceIsHarmless) {
  std::atomic<std::int32_t> connected{1};
  DeviceMonitorThread monitor([] { return false; }, connected, 1ms);
  monitor.Stop();
  monitor.Start();
  ASSERT_TRUE(WaitFor([&] { return connected.load() == 0; }));
  monitor.Stop();
  monitor.Stop();
  EXPECT_TRUE(monitor.Finished());
}

}  // namespace
