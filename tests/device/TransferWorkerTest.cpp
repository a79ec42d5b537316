// A transfer on a worker thread: progress read and a stop asked for from
// another thread, and the engine interrupted while it waits for the register.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/device/FastTiming.h"
#include "device/TransferWorker.h"
#include "device/transport/DemoRegister.h"
#include "device/cDeviceProtocol.h"

namespace {

TEST(TransferWorker, ProgressAndStopCrossThreads) {
  TransferControl control;
  std::uint64_t stoppedAt = 0;
  TransferWorker worker(
      [&](TransferControl& c) {
        c.Begin("Articles", 1'000'000);
        for (std::uint64_t n = 1; n <= 1'000'000; ++n) {
          if (c.StopRequested()) {
            stoppedAt = n;
            return;
          }
          c.Advance(n);
        }
      },
      control);
  // Whoever watches sees the count grow, then asks for the stop.
  while (control.Snapshot().done < 100) std::this_thread::yield();
  control.RequestStop();
  while (!worker.Finished()) std::this_thread::yield();
  worker.Join();
  const TransferControl::Progress last = control.Snapshot();
  EXPECT_TRUE(last.stopping);
  EXPECT_EQ(last.what, "Articles");
  EXPECT_GT(stoppedAt, 100u);
  EXPECT_LT(stoppedAt, 1'000'000u);
  EXPECT_EQ(last.done, stoppedAt - 1);
}

TEST(TransferWorker, AnOutsideFlagStopsToo) {
  std::atomic<bool> signal{true};
  TransferControl control;
  control.FollowStop(&signal);
  EXPECT_TRUE(control.StopRequested());
  signal = false;
  EXPECT_FALSE(control.StopRequested());
}

TEST(EngineInterrupt, EndsAnExchangeThatWouldWaitLong) {
  DemoRegister::Options options;
  options.timing = FastTiming();
  DemoRegister demo(options);
  DeviceTiming slow = FastTiming();
  slow.replyWaitMs = 5000;  // three silences: 15 s before the exchange gives up
  cDeviceProtocol engine(slow);
  ASSERT_TRUE(engine.Start(&demo));
  std::string reply;
  ASSERT_EQ(engine.DeviceTransaction(0x80, "", reply), 0);

  demo.InjectFault(DemoRegister::Fault::Silence);
  std::atomic<int> result{-1};
  std::thread caller([&] {
    std::string text;
    result = engine.DeviceTransaction(0x80, "", text);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(result.load(), -1);
  const auto interrupted = std::chrono::steady_clock::now();
  engine.Interrupt();
  caller.join();
  EXPECT_EQ(result.load(), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - interrupted, std::chrono::milliseconds(500));
  // Every later exchange fails at once.
  EXPECT_EQ(engine.DeviceTransaction(0x80, "", reply), 1);
  engine.Stop();
}

}  // namespace
