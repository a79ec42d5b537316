// The data layer at the size shops reach: a database of 49,999 articles.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <unistd.h>

#include "data/DatabaseFile.h"

namespace {

constexpr std::uint32_t kArticles = ArticleTable::kMaxArticles;

// A database file of varied articles, made once for all benchmarks.
const std::string& BigDatabase() {
  static const std::string path = [] {
    const std::string p =
        (std::filesystem::temp_directory_path() / ("articles-bench-" + std::to_string(getpid()) + ".db")).string();
    DatabaseFile file;
    file.OpenDatabase(p, false);
    file.WriteNewContents('B');
    std::mt19937 random(42);
    std::vector<ArticleRecord> records(kArticles);
    for (std::uint32_t i = 0; i < kArticles; ++i) {
      ArticleRecord& r = records[i];
      r = ZeroArticle();
      // PLU numbers 1.. with one gap late in the range, in shuffled slot order.
      r.PLUNO = i + 1 + (i >= 40000 ? 1 : 0);
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

void LoadTable(benchmark::State& state) {
  DatabaseFile file;
  file.OpenDatabase(BigDatabase(), false);
  ArticleTable table;
  for (auto _ : state) {
    const LoadOutcome outcome = file.LoadTable(table);
    benchmark::DoNotOptimize(outcome.loaded);
  }
  state.counters["articles"] = static_cast<double>(table.Count());
}
BENCHMARK(LoadTable)->Unit(benchmark::kMillisecond);

void SortTable(benchmark::State& state) {
  DatabaseFile file;
  file.OpenDatabase(BigDatabase(), false);
  ArticleTable loaded;
  file.LoadTable(loaded);
  ArticleTable table;
  const auto key = static_cast<SortKey>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    for (std::size_t i = 0; i <= kArticles; ++i) {
      // Start every round from the file's slot order.
      const ArticleTableEntry& e = loaded.Entry(i);
      ArticleRecord r = ZeroArticle();
      r.PLUNO = e.PLUNO;
      std::memcpy(r.NAME, e.NAME, sizeof r.NAME);
      r.BARCODE = e.BARCODE;
      r.IN_USE = e.recordNo ? 1 : 0;
      table.SetEntry(i, r, static_cast<std::int32_t>(e.recordNo));
    }
    state.ResumeTiming();
    table.SortTable(key);
  }
}
BENCHMARK(SortTable)->DenseRange(1, 4)->Unit(benchmark::kMillisecond);

void Lookups(benchmark::State& state) {
  DatabaseFile file;
  file.OpenDatabase(BigDatabase(), false);
  ArticleTable table;
  file.LoadTable(table);
  table.SortTable(SortKey::PluNumber);
  const int which = static_cast<int>(state.range(0));
  for (auto _ : state) {
    switch (which) {
      case 0: benchmark::DoNotOptimize(table.FirstFreePlu()); break;
      case 1: benchmark::DoNotOptimize(table.FindByPlu(0xFFFFFFFF)); break;  // not there: full scan
      default: benchmark::DoNotOptimize(table.FindByBarcode(-1)); break;     // not there: full scan
    }
  }
}
BENCHMARK(Lookups)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
