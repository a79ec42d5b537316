// The opening download of the demo register's 320 articles at the product's
// own timing, in the articles window: the longest the GUI thread goes without running its
// timers (a 1 ms heartbeat), and the time from Cancel to the end of the
// transfer, with Cancel pressed at different moments.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <thread>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "workspace/articles/ArticlesWindowLogic.h"
#include "workspace/articles/CARTICLESDlg.h"
#include "data/Config.h"
#include "data/DeviceProfile.h"
#include "device/RegisterConnection.h"
#include "device/RegisterTransfers.h"
#include "device/TransferWorker.h"
#include "workspace/common/UnattendedOperator.h"

namespace {

std::string BenchFile(const char* name) {
  return (std::filesystem::temp_directory_path() / (std::string(name) + std::to_string(getpid()) + ".db")).string();
}

struct DemoLink {
  DemoLink() : connection(*RegisterChoice::Parse("demo", nullptr)) {
    connection.Start();
    profile.SetForDeviceType();
  }
  RegisterConnection connection;  // the product's timing
  DeviceProfile profile;
  RegisterTransfers transfers{connection.Transaction(), profile};
};

void GuiThreadBlockDuringDownload(benchmark::State& state) {
  const std::string path = BenchFile("transfer-progress-bench-");
  for (auto _ : state) {
    DemoLink link;
    UnattendedOperator op(path);
    GroupNames names;
    names.Load();
    CARTICLESDlg window(link.profile, names, &link.transfers, true, nullptr, {&op, nullptr, nullptr});
    window.show();
    QApplication::processEvents();

    QElapsedTimer clock;
    qint64 last = -1, longest = 0;
    QTimer heartbeat;
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
      const qint64 now = clock.nsecsElapsed();
      if (last >= 0) longest = std::max(longest, now - last);
      last = now;
    });
    heartbeat.start(1);
    clock.start();
    // The opening download (parameters, 320 articles, 8 departments), started
    // from the event loop as the window's own opening is.
    bool done = false;
    QTimer::singleShot(0, [&] {
      window.Prepare();
      done = true;
    });
    while (!done) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    heartbeat.stop();
    state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
    state.counters["articles"] = static_cast<double>(window.Logic().Table().Count());
    state.counters["longest_gui_block_ms"] = static_cast<double>(longest) / 1e6;
    window.Logic().OnClose();
  }
  std::filesystem::remove(path);
  std::filesystem::remove(path + ".bak");
}
BENCHMARK(GuiThreadBlockDuringDownload)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// Runs the task on a worker and presses Cancel after the delay.
class CancellingRunner : public TaskRunner {
 public:
  explicit CancellingRunner(std::chrono::milliseconds delay) : delay_(delay) {}
  void Run(const std::string& /*title*/, const Task& task) override {
    TransferControl control;
    TransferWorker worker(task, control);
    std::this_thread::sleep_for(delay_);
    const auto pressed = std::chrono::steady_clock::now();
    control.RequestStop();
    while (!worker.Finished()) std::this_thread::sleep_for(std::chrono::microseconds(200));
    worker.Join();
    cancelToEnd = std::chrono::steady_clock::now() - pressed;
  }
  std::chrono::steady_clock::duration cancelToEnd{};

 private:
  std::chrono::milliseconds delay_;
};

void CancelToEndOfDownload(benchmark::State& state) {
  const std::string path = BenchFile("transfer-cancel-bench-");
  DemoLink link;
  link.transfers.ReadDeviceParameters();
  double longest = 0;
  for (auto _ : state) {
    // Cancel at a different moment each time: 1.0 s, 1.37 s, 1.74 s, ...
    CancellingRunner runner(std::chrono::milliseconds(1000 + 370 * (state.iterations() % 8)));
    UnattendedOperator op(path);
    ArticlesWindowLogic window(op, link.profile, nullptr, nullptr, &link.transfers);
    window.SetTaskRunner(&runner);
    window.DownloadTables(ViewMode::Both);
    window.OnClose();
    const double seconds = std::chrono::duration<double>(runner.cancelToEnd).count();
    longest = std::max(longest, seconds);
    state.SetIterationTime(seconds);
  }
  state.counters["longest_cancel_to_end_ms"] = longest * 1000;
  std::filesystem::remove(path);
}
BENCHMARK(CancelToEndOfDownload)->Iterations(8)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
