// Download and upload of 1,000 articles against the demo register, through the
// articles window's logic and the real protocol engine. The pause after each
// frame is set to 0 here, so the time per article is what the product adds to
// the fixed pauses.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>

#include "workspace/articles/ArticlesWindowLogic.h"
#include "device/RegisterTransfers.h"
#include "device/transport/DemoRegister.h"
#include "device/cDeviceProtocol.h"

namespace {

constexpr std::uint32_t kArticles = 1000;

DeviceTiming NoPauses() {
  DeviceTiming timing;
  timing.afterFramePauseMs = 0;
  timing.startPauseMs = 0;
  timing.lineReadTimeoutMs = 50;
  return timing;
}

// Agrees to every question and chooses one file.
class AgreeingOperator : public Operator {
 public:
  explicit AgreeingOperator(std::string file) : file_(std::move(file)) {}
  Answer Ask(const std::string&, const std::string&, MessageButtons buttons, MessageIcon) override {
    return buttons == MessageButtons::YesNo ? Answer::Yes : Answer::Ok;
  }
  std::optional<std::string> ChooseFile(const FileChoice&) override { return file_; }

 private:
  std::string file_;
};

struct Bench {
  Bench() {
    DemoRegister::Options options;
    options.contents = DemoRegister::Contents::Empty;
    options.timing = NoPauses();
    demo = std::make_unique<DemoRegister>(options);
    for (std::uint32_t plu = 1; plu <= kArticles; ++plu) {
      ArticleRecord a = ZeroArticle();
      a.PLUNO = plu;
      a.TAX_GROUP = 'B';
      a.SING_PRICE = plu * 0.1;
      SetName(a.NAME, "Benchmark article " + std::to_string(plu));
      a.BARCODE = 2000000000000 + plu;
      a.STOCKQTY = plu;
      a.OPT_FRACT_QTY = plu % 2;
      a.IN_USE = 1;
      demo->PutArticle(a);
    }
    engine.Start(demo.get());
    profile.SetForDeviceType();
    transfers.ReadDeviceParameters();
  }
  ~Bench() {
    engine.Stop();
    std::filesystem::remove(path);
    std::filesystem::remove(path + ".bak");
  }

  std::string path =
      (std::filesystem::temp_directory_path() / ("transfer-bench-" + std::to_string(getpid()) + ".db")).string();
  std::unique_ptr<DemoRegister> demo;
  cDeviceProtocol engine{NoPauses()};
  DeviceProfile profile;
  RegisterTransfers transfers{
      [this](std::uint16_t c, const std::string& q, std::string& r) { return engine.DeviceTransaction(c, q, r); },
      profile};
};

void DownloadArticles(benchmark::State& state) {
  Bench bench;
  AgreeingOperator op(bench.path);
  for (auto _ : state) {
    ArticlesWindowLogic window(op, bench.profile, nullptr, nullptr, &bench.transfers);
    window.DownloadTables(ViewMode::Articles);
    if (window.Table().Count() != kArticles) state.SkipWithError("download incomplete");
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kArticles);
}
BENCHMARK(DownloadArticles)->Unit(benchmark::kMillisecond)->Iterations(3);

void UploadArticles(benchmark::State& state) {
  Bench bench;
  AgreeingOperator op(bench.path);
  {
    ArticlesWindowLogic window(op, bench.profile, nullptr, nullptr, &bench.transfers);
    window.DownloadTables(ViewMode::Articles);
  }
  for (auto _ : state) {
    ArticlesWindowLogic window(op, bench.profile, nullptr, nullptr, &bench.transfers);
    window.OnOpenDatabase();
    window.Controls().viewMode = ViewMode::Articles;
    window.OnUpload();
    if (window.UploadFailed()) state.SkipWithError("upload failed");
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kArticles);
}
BENCHMARK(UploadArticles)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
