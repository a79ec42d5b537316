// The waiting primitive the engine's threads hand over through.
#include <gtest/gtest.h>

#include <thread>

#include "device/DeviceEvent.h"

namespace {

using std::chrono::milliseconds;

TEST(DeviceEventTest, AutoResetIsTakenByOneWaitManualStaysSet) {
  EventHub hub;
  DeviceEvent automatic(hub, false, true);
  DeviceEvent manual(hub, true, true);
  EXPECT_TRUE(automatic.Wait(milliseconds(0)));
  EXPECT_FALSE(automatic.Wait(milliseconds(1)));
  EXPECT_TRUE(manual.Wait(milliseconds(0)));
  EXPECT_TRUE(manual.Wait(milliseconds(0)));
  manual.Reset();
  EXPECT_FALSE(manual.IsSet());
}

TEST(DeviceEventTest, WaitAnyGivesTheFirstSetInOrderOrTimesOut) {
  EventHub hub;
  DeviceEvent a(hub, true, false);
  DeviceEvent b(hub, true, false);
  DeviceEvent c(hub, true, false);
  EXPECT_EQ(DeviceEvent::WaitAny({&a, &b, &c}, milliseconds(1)), -1);
  c.Set();
  b.Set();
  EXPECT_EQ(DeviceEvent::WaitAny({&a, &b, &c}, milliseconds(0)), 1);
  a.Set();
  EXPECT_EQ(DeviceEvent::WaitAny({&a, &b, &c}, milliseconds(0)), 0);
}

TEST(DeviceEventTest, SetFromAnotherThreadWakesTheWaiter) {
  EventHub hub;
  DeviceEvent first(hub, true, false);
  DeviceEvent second(hub, false, false);
  std::thread setter([&second] {
    std::this_thread::sleep_for(milliseconds(5));
    second.Set();
  });
  EXPECT_EQ(DeviceEvent::WaitAny({&first, &second}, milliseconds(5000)), 1);
  setter.join();
  EXPECT_FALSE(second.IsSet());  // auto reset: taken by the wait
}

}  // namespace
