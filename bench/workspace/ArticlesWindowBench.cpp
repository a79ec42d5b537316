// The articles window with a database of 49,999 articles: opening it until the
// table shows its rows, an edit (write, re-sort, refill), a sort click, a click
// on a column header and a keystroke in the name filter, each measured up to
// the repainted window.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <unistd.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "workspace/articles/CARTICLESDlg.h"
#include "data/Config.h"
#include "data/DatabaseFile.h"
#include "data/DeviceProfile.h"
#include "workspace/common/UnattendedOperator.h"
#include "workspace/common-qt/WindowSettings.h"

namespace {

constexpr std::uint32_t kArticles = ArticleTable::kMaxArticles;

const std::string& BigDatabase() {
  static const std::string path = [] {
    const std::string p =
        (std::filesystem::temp_directory_path() / ("articles-window-bench-" + std::to_string(getpid()) + ".db"))
            .string();
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
  QTableView* list = bench.window.List();
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

// Clicks on the headers of the name, price and stock columns in turn; each
// second round sorts the other way.
void HeaderClick(benchmark::State& state) {
  BenchWindow bench;
  bench.Open();
  QHeaderView* header = bench.window.List()->horizontalHeader();
  const int sections[] = {2, 3, 6};
  std::size_t next = 0;
  for (auto _ : state) {
    const int section = sections[next++ % 3];
    QTest::mouseClick(
        header->viewport(), Qt::LeftButton, {},
        QPoint(header->sectionViewportPosition(section) + header->sectionSize(section) / 2, header->height() / 2));
    bench.Settle();
  }
  if (!bench.window.Logic().Sort().column) state.SkipWithError("the header click did not sort");
}
BENCHMARK(HeaderClick)->Unit(benchmark::kMillisecond)->UseRealTime();

// One keystroke in the name filter: "Article A1" narrows 49,999 rows to a few
// hundred, a Backspace widens them again.
void FilterKeystroke(benchmark::State& state) {
  BenchWindow bench;
  bench.Open();
  QLineEdit* filter = bench.window.FilterBox();
  QTest::keyClicks(filter, "article a");
  bench.Settle();
  bool narrow = true;
  std::size_t shown = 0;
  for (auto _ : state) {
    if (narrow) {
      QTest::keyClick(filter, '1');
    } else {
      QTest::keyClick(filter, Qt::Key_Backspace);
    }
    bench.Settle();
    if (narrow) shown = bench.window.Logic().ListCount();
    narrow = !narrow;
  }
  state.counters["rows"] = static_cast<double>(shown);
}
BENCHMARK(FilterKeystroke)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  QTemporaryDir settings;
  window_settings::UseFile(settings.filePath(QStringLiteral("settings.ini")));
  config::SetSearchDirectories({ARTICLES_RESOURCES_DIR});
  SelectConfiguredCodePage();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
