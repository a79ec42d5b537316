// The articles window with a database of 49,999 articles: opening it until the
// list shows its lines, an edit (write, re-sort, refill) and a sort click, each
// measured up to the repainted window.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <unistd.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>

#include "CARTICLESDlg.h"
#include "Config.h"
#include "DatabaseFile.h"
#include "DeviceProfile.h"
#include "UnattendedOperator.h"

namespace {

constexpr std::uint32_t kArticles = ArticleTable::kMaxArticles;

const std::string& BigDatabase() {
  static const std::string path = [] {
    const std::string p =
        (std::filesystem::temp_directory_path() / ("articles-window-bench-" + std::to_string(getpid()) + ".db")).string();
    DatabaseFile file;
    file.OpenDatabase(p, false);
    file.WriteNewContents('B');
    std::mt19937 random(7);
    std::vector<ArticleRecord> records(kArticles);
    for (std::uint32_t i = 0; i < kArticles; ++i) {
      ArticleRecord& r = records[i];
      r = ZeroArticle();
      r.PLUNO = i + 1;
      char name[32];
      std::snprintf(name, sizeof name, "Article %c%05u", 'A' + static_cast<char>(random() % 26),
                    static_cast<unsigned>(random() % 100000));
      SetName(r.NAME, name);
      r.BARCODE = static_cast<std::int64_t>(random() % 10000000000000ull);
      r.SING_PRICE = static_cast<double>(random() % 10000) / 100.0;
      r.IN_USE = 1;
    }
    std::shuffle(records.begin(), records.end(), random);
    file.WriteAt(kArticleAreaOffset, records.data(), records.size() * sizeof(ArticleRecord));
    std::atexit([] { std::filesystem::remove(BigDatabase()); });
    return p;
  }();
  return path;
}

// Accepts every edit after changing the price, so the file keeps its order.
class PriceEditor : public ArticleEditorPort {
 public:
  ArticleRecord& Record() override { return record_; }
  bool IsOpen() const override { return false; }
  bool DoModal() override {
    record_.SING_PRICE += 0.01;
    return true;
  }
  void RefreshFromRecord() override {}

 private:
  ArticleRecord record_ = ZeroArticle();
};

struct BenchWindow {
  BenchWindow() : op(BigDatabase()) {
    profile.SetForDeviceType();
    names.Load();
    window.show();
    QApplication::processEvents();
  }
  // Until the window, list included, has been drawn again.
  void Settle() {
    QApplication::processEvents();
    window.repaint();
  }
  void Open() {
    window.Button("buttonOpenDatabase")->click();
    Settle();
  }

  UnattendedOperator op;
  DeviceProfile profile;
  GroupNames names;
  PriceEditor editor;
  CARTICLESDlg window{profile, names, nullptr, false, nullptr, {&op, &editor, nullptr}};
};

void OpenDatabase(benchmark::State& state) {
  BenchWindow bench;
  for (auto _ : state) {
    bench.Open();
    if (bench.window.List()->model()->rowCount() != static_cast<int>(kArticles)) state.SkipWithError("rows missing");
  }
  state.counters["rows"] = bench.window.List()->model()->rowCount();
}
BENCHMARK(OpenDatabase)->Unit(benchmark::kMillisecond)->UseRealTime();

void EditArticle(benchmark::State& state) {
  BenchWindow bench;
  bench.Open();
  bench.window.Option("radioSortName")->click();
  bench.Settle();
  QListView* list = bench.window.List();
  int row = 0;
  for (auto _ : state) {
    state.PauseTiming();
    row = (row + 7919) % static_cast<int>(kArticles);
    list->setCurrentIndex(list->model()->index(row, 0));
    state.ResumeTiming();
    bench.window.Button("buttonEdit")->click();
    bench.Settle();
  }
  state.counters["rows"] = list->model()->rowCount();
}
BENCHMARK(EditArticle)->Unit(benchmark::kMillisecond)->UseRealTime();

void SortClick(benchmark::State& state) {
  BenchWindow bench;
  bench.Open();
  const char* options[] = {"radioSortName", "radioSortBarcode", "radioSortPlu", "radioSortChronologic"};
  std::size_t next = 0;
  for (auto _ : state) {
    bench.window.Option(options[next++ % 4])->click();
    bench.Settle();
  }
}
BENCHMARK(SortClick)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  config::SetSearchDirectories({ARTICLES_RESOURCES_DIR});
  SelectConfiguredCodePage();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
