// Exchanges between the protocol engine and the demo register: the time one
// exchange costs beyond the fixed pause after a frame, and the CPU the link
// uses while it waits.
#include <benchmark/benchmark.h>

#include <array>
#include <ctime>
#include <filesystem>
#include <memory>
#include <unistd.h>
#include <string>
#include <thread>

#include "device/RegisterTrace.h"
#include "device/transport/DemoRegister.h"
#include "device/cDeviceProtocol.h"
#include "device/transport/NetworkTransport.h"
#include "tests/device/FlakyRegisterServer.h"

namespace {

// CPU time of the whole process, all threads.
double ProcessCpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

std::string TracePath() {
  return (std::filesystem::temp_directory_path() / ("device-bench-trace-" + std::to_string(::getpid()) + ".log"))
      .string();
}

// 100 exchanges (department reads and article reads, as a download makes them)
// per iteration; the pause after a frame is the first argument in milliseconds,
// the second 1 to trace every event into a file.
void BM_HundredExchanges(benchmark::State& state) {
  DeviceTiming timing;
  timing.afterFramePauseMs = static_cast<std::uint32_t>(state.range(0));
  DemoRegister::Options options;
  options.timing = timing;
  DemoRegister demo(options);
  cDeviceProtocol engine(timing);
  std::unique_ptr<RegisterTrace> trace;
  if (state.range(1) != 0) {
    trace = RegisterTrace::Open(TracePath(), nullptr);
    engine.SetTrace(trace.get());
    demo.SetTrace(trace.get());
  }
  engine.Start(&demo);
  std::string reply;
  int failures = 0;
  for (auto _ : state) {
    for (int i = 0; i < 100; ++i) {
      const int result = (i % 2 == 0) ? engine.DeviceTransaction(0x83, "R" + std::to_string(1 + i % 8), reply)
                                      : engine.DeviceTransaction(0x6B, i == 1 ? "F" : "N", reply);
      failures += result;
    }
    benchmark::DoNotOptimize(reply);
  }
  engine.Stop();
  trace.reset();
  std::filesystem::remove(TracePath());
  const double exchanges = static_cast<double>(state.iterations()) * 100.0;
  state.counters["failures"] = failures;
  // Wall time per exchange; with the pause argument subtracted, the overhead.
  state.counters["per_exchange"] =
      benchmark::Counter(exchanges, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.SetItemsProcessed(static_cast<std::int64_t>(exchanges));
}
BENCHMARK(BM_HundredExchanges)->Args({0, 0})->Args({0, 1})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HundredExchanges)->Args({50, 0})->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same exchanges over tcp: to a demo register on a loopback port; beside
// BM_HundredExchanges/0/0, what the network transport adds per exchange.
void BM_HundredExchangesOverTcp(benchmark::State& state) {
  DeviceTiming timing;
  timing.afterFramePauseMs = 0;
  DemoRegister::Options options;
  options.timing.lineReadTimeoutMs = 1;
  DemoRegister demo(options);
  FlakyRegisterServer server(demo);
  NetworkTransport transport({"127.0.0.1", server.Port()}, 0, timing);
  cDeviceProtocol engine(timing);
  engine.Start(&transport);
  std::string reply;
  int failures = 0;
  for (auto _ : state) {
    for (int i = 0; i < 100; ++i) {
      const int result = (i % 2 == 0) ? engine.DeviceTransaction(0x83, "R" + std::to_string(1 + i % 8), reply)
                                      : engine.DeviceTransaction(0x6B, i == 1 ? "F" : "N", reply);
      failures += result;
    }
    benchmark::DoNotOptimize(reply);
  }
  engine.Stop();
  const double exchanges = static_cast<double>(state.iterations()) * 100.0;
  state.counters["failures"] = failures;
  state.counters["per_exchange"] =
      benchmark::Counter(exchanges, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_HundredExchangesOverTcp)->Unit(benchmark::kMillisecond)->UseRealTime();

// What recording one event costs the thread that records it: a request frame
// of 30 bytes, as the engine records every frame it sends.
void BM_TraceRecord(benchmark::State& state) {
  auto trace = RegisterTrace::Open(TracePath(), nullptr);
  std::array<std::uint8_t, 30> frame{};
  frame.fill(0x41);
  std::size_t recorded = 0;
  for (auto _ : state) {
    trace->Record(RegisterTrace::Event::Sent, frame);
    // Keep below the writer's capacity, so that recording is measured, not dropping.
    if (++recorded % (RegisterTrace::kCapacity / 2) == 0) {
      state.PauseTiming();
      trace->Flush();
      state.ResumeTiming();
    }
  }
  trace.reset();
  std::filesystem::remove(TracePath());
}
BENCHMARK(BM_TraceRecord)->Unit(benchmark::kNanosecond);

// CPU time the receiver thread and the register use in half a second of no
// traffic; near zero when nothing spins.
void BM_IdleCpu(benchmark::State& state) {
  DemoRegister demo;
  cDeviceProtocol engine;
  engine.Start(&demo);
  std::string reply;
  engine.DeviceTransaction(0x80, "", reply);
  double used = 0;
  for (auto _ : state) {
    const double before = ProcessCpuSeconds();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    used += ProcessCpuSeconds() - before;
  }
  engine.Stop();
  state.counters["cpu_ms_per_idle_second"] = used * 2000.0 / static_cast<double>(state.iterations());
}
BENCHMARK(BM_IdleCpu)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
