// Times Quorvex on database files of 4,999 and 49,999 articles (the most the
// articles window holds) and reports the program's peak memory, which must not
// grow with the row count beyond what the workbook libraries need. Imports are
// timed from .xlsx, .ods and .xls, and so are refusals of hostile workbooks.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <malloc.h>
#include <map>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "converter/ArticleRow.h"
#include "data/DatabaseFile.h"
#include "converter/DepartmentRow.h"
#include "data/Records.h"
#include "bench/converter/WorkbookFiles.h"
#include "converter/WorkbookSchema.h"

namespace fs = std::filesystem;

namespace {

// One folder per article count, filled once: the database file and the
// workbook exported from it.
fs::path Folder(std::int64_t articles) {
  static std::map<std::int64_t, fs::path> folders;
  auto& folder = folders[articles];
  if (!folder.empty()) return folder;
  std::string pattern = (fs::temp_directory_path() / "quorvex-bench-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  folder = pattern;

  DatabaseFile db;
  if (!db.CreateEmpty((folder / "tmpDBTransfer.tmp").string()) || !db.WriteHeader())
    throw std::runtime_error("cannot create the database file");
  for (std::uint32_t k = 0; k < kDepartmentSlots; ++k) db.WriteDepartment(k, DefaultDepartment(k + 1, 'B'));
  for (std::uint32_t n = 1; n <= articles; ++n) {
    ArticleRecord a = ZeroArticle();
    a.PLUNO = n;
    a.TAX_GROUP = static_cast<char>('A' + n % 4);
    SetName(a.NAME, "Article \xE9t\xE9 'No' \"" + std::to_string(n) + "\" with a longer name");
    a.SING_PRICE = n / 100.0;
    a.MAX_PRICE = n / 50.0;
    a.AMOUNT = n * 1.25;
    a.SOLDQTY = n / 1000.0;
    a.BARCODE = 4000000000000 + n;
    a.DEPARTMENT = static_cast<std::int32_t>(n % 200);
    a.OPT_FRACT_QTY = n % 2;
    a.STOCKQTY = n % 3 ? n * 0.5 : NotControlledValue(a.OPT_FRACT_QTY);
    a.INITQTY = 100;
    a.IN_USE = 1;
    if (!db.WriteArticle(n, a)) throw std::runtime_error("cannot write an article");
  }
  return folder;
}

// Runs the program in folder; its peak resident memory in KiB, or -1 when its
// exit status is not the one expected.
long RunQuorvex(const fs::path& folder, const std::vector<std::string>& arguments, int expectedStatus = 0) {
  // The child's peak counts the pages it shares with this process until exec:
  // memory freed after making a workbook goes back to the system first.
  ::malloc_trim(0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(folder.c_str()) != 0) ::_exit(126);
    std::vector<char*> argv;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(QUORVEX_PATH, argv.data());
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != expectedStatus) return -1;
  return usage.ru_maxrss;
}

void BM_Export(benchmark::State& state) {
  const fs::path folder = Folder(state.range(0));
  long peak = 0;
  for (auto _ : state) {
    peak = RunQuorvex(folder, {"alal", "-DW", "-ItmpDBTransfer.tmp", "-O", (folder / "goods.xlsx").string()});
    if (peak < 0) state.SkipWithError("export failed");
  }
  state.counters["peak_MiB"] = static_cast<double>(peak) / 1024.0;
  state.counters["workbook_MiB"] = static_cast<double>(fs::file_size(folder / "goods.xlsx")) / (1024.0 * 1024.0);
}

void BM_Import(benchmark::State& state) {
  const fs::path folder = Folder(state.range(0));
  if (!fs::exists(folder / "goods.xlsx") &&
      RunQuorvex(folder, {"alal", "-DW", "-ItmpDBTransfer.tmp", "-O", (folder / "goods.xlsx").string()}) < 0) {
    state.SkipWithError("export failed");
    return;
  }
  long peak = 0;
  for (auto _ : state) {
    peak = RunQuorvex(folder, {"alal", "-UP", "-Iimported.db", "-O", (folder / "goods.xlsx").string()});
    if (peak < 0) state.SkipWithError("import failed");
  }
  state.counters["peak_MiB"] = static_cast<double>(peak) / 1024.0;
  if (fs::file_size(folder / "imported.db") != kArticleAreaOffset + 184 * static_cast<std::uint64_t>(state.range(0)))
    state.SkipWithError("import gave the wrong number of articles");
}

// The folder's database as a workbook in another format, made once.
fs::path WorkbookIn(const fs::path& folder, const std::string& extension) {
  const fs::path path = folder / ("goods." + extension);
  if (fs::exists(path)) return path;
  DatabaseFile db;
  if (!db.OpenExisting((folder / "tmpDBTransfer.tmp").string())) throw std::runtime_error("no database");
  std::vector<CellProblem> problems;
  auto header = [](auto columns) {
    benchfiles::Row row;
    for (const ColumnSpec& c : columns) row.push_back(Cell::Text(c.name));
    return row;
  };
  benchfiles::SheetRows departments{schema::kDepartmentsSheet, {header(schema::kDepartmentColumns)}};
  for (std::uint32_t k = 0; k < schema::kExportedDepartments; ++k) {
    DepartmentRecord d;
    db.ReadDepartment(k, d);
    const auto cells = DepartmentRow::FromRecord(d, problems);
    departments.rows.emplace_back(cells.begin(), cells.end());
  }
  benchfiles::SheetRows articles{schema::kArticlesSheet, {header(schema::kArticleColumns)}};
  ArticleRecord a;
  for (std::uint32_t slot = 1; db.ReadArticle(slot, a) == ReadStatus::Ok; ++slot) {
    const auto cells = ArticleRow::FromRecord(a, problems);
    articles.rows.emplace_back(cells.begin(), cells.end());
  }
  if (extension == "ods")
    benchfiles::WriteOds(path, {departments, articles});
  else
    benchfiles::WriteXls(path, {departments, articles});
  return path;
}

void BM_ImportFormat(benchmark::State& state, const std::string& extension) {
  const fs::path folder = Folder(state.range(0));
  const fs::path book = WorkbookIn(folder, extension);
  long peak = 0;
  for (auto _ : state) {
    peak = RunQuorvex(folder, {"alal", "-UP", "-Iimported.db", "-O", book.string()});
    if (peak < 0) state.SkipWithError("import failed");
  }
  state.counters["peak_MiB"] = static_cast<double>(peak) / 1024.0;
  state.counters["workbook_MiB"] = static_cast<double>(fs::file_size(book)) / (1024.0 * 1024.0);
  if (fs::file_size(folder / "imported.db") != kArticleAreaOffset + 184 * static_cast<std::uint64_t>(state.range(0)))
    state.SkipWithError("import gave the wrong number of articles");
}

// Hostile workbooks must be refused in seconds and well under 300 MB.
void BM_ImportRefused(benchmark::State& state, const std::string& which) {
  const fs::path folder = Folder(0);
  fs::path book;
  if (which == "xlsx_1GiB_sheet") {
    book = folder / "bomb.xlsx";
    if (!fs::exists(book)) benchfiles::WriteXlsxBomb(book, std::uint64_t{1} << 30);
  } else {
    book = fs::path(CONVERTER_FIXTURES) / which;
  }
  long peak = 0;
  for (auto _ : state) {
    peak = RunQuorvex(folder, {"alal", "-UP", "-Irefused.db", "-O", book.string()}, 1);
    if (peak < 0) state.SkipWithError("the workbook was not refused");
  }
  state.counters["peak_MiB"] = static_cast<double>(peak) / 1024.0;
  state.counters["workbook_KiB"] = static_cast<double>(fs::file_size(book)) / 1024.0;
}

BENCHMARK(BM_Export)->Arg(4999)->Arg(49999)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_Import)->Arg(4999)->Arg(49999)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK_CAPTURE(BM_ImportFormat, ods, std::string("ods"))
    ->Arg(49999)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ImportFormat, xls, std::string("xls"))
    ->Arg(49999)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ImportRefused, xlsx_1GiB_sheet, std::string("xlsx_1GiB_sheet"))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ImportRefused, ods_repeated_row, std::string("repeated_article.ods"))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ImportRefused, xlsx_200MiB_sheet, std::string("bomb_sheet.xlsx"))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  for (const std::int64_t n : {0, 4999, 49999}) fs::remove_all(Folder(n), ignored);
  return 0;
}
