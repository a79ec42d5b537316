#include "tests/converter/TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "data/DatabaseFile.h"
#include "converter/WorkbookReader.h"
#include "converter/WorkbookSchema.h"
#include "converter/XlsxWriter.h"

namespace testsupport {

ScratchDir::ScratchDir() {
  std::string pattern = (fs::temp_directory_path() / "quorvex-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

bool RunResult::HasLine(const std::string& line) const {
  std::istringstream in(errors);
  for (std::string l; std::getline(in, l);)
    if (l == line) return true;
  return false;
}

RunResult RunProgram(const fs::path& dir, const std::vector<std::string>& arguments, RunOptions options) {
  const fs::path errPath = dir / ".stderr";
  const fs::path outPath = dir / ".stdout";
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir.c_str()) != 0) ::_exit(126);
    if (!std::freopen(errPath.c_str(), "w", stderr) || !std::freopen(outPath.c_str(), "w", stdout)) ::_exit(126);
    if (options.fileSizeLimit) {
      // Past the limit a write fails with EFBIG instead of killing the program.
      std::signal(SIGXFSZ, SIG_IGN);
      rlimit limit{options.fileSizeLimit, options.fileSizeLimit};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    std::vector<char*> argv;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(options.program, argv.data());
    ::_exit(127);
  }
  RunResult result;
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  result.peakKiB = usage.ru_maxrss;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.errors = ReadBytes(errPath);
  result.output = ReadBytes(outPath);
  fs::remove(errPath);
  fs::remove(outPath);
  return result;
}

void WriteDatabase(const fs::path& path, const std::vector<DepartmentRecord>& departments,
                   const std::vector<ArticleRecord>& articles) {
  DatabaseFile file;
  ASSERT_TRUE(file.CreateEmpty(path.string()));
  ASSERT_TRUE(file.WriteHeader());
  for (std::size_t k = 0; k < departments.size(); ++k)
    ASSERT_TRUE(file.WriteDepartment(static_cast<std::uint32_t>(k), departments[k]));
  for (std::size_t n = 0; n < articles.size(); ++n)
    ASSERT_TRUE(file.WriteArticle(static_cast<std::uint32_t>(n + 1), articles[n]));
}

std::vector<ArticleRecord> ReadArticles(const fs::path& path) {
  DatabaseFile file;
  std::vector<ArticleRecord> articles;
  if (!file.OpenExisting(path.string())) return articles;
  ArticleRecord record;
  for (std::uint32_t slot = 1; file.ReadArticle(slot, record) == ReadStatus::Ok; ++slot) articles.push_back(record);
  return articles;
}

DepartmentRecord ReadDepartment(const fs::path& path, std::uint32_t slot) {
  DatabaseFile file;
  DepartmentRecord record = ZeroDepartment();
  if (file.OpenExisting(path.string())) file.ReadDepartment(slot, record);
  return record;
}

bool HasValidHeader(const fs::path& path) {
  DatabaseFile file;
  return file.OpenExisting(path.string()) && file.CheckHeader();
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

DepartmentRecord MakeDepartment(std::uint32_t number, const std::string& name, char tax) {
  DepartmentRecord d = ZeroDepartment();
  d.DEPTNO = number;
  SetName(d.NAME, name);
  d.TAX_GROUP = tax;
  d.STOCK_GROUP = 2;
  d.MEASURE_UNIT = 1;
  d.SING_PRICE = 1.25;
  d.MAX_PRICE = 99.5;
  d.MAX_AMOUNT = 500;
  d.SOLDQTY = 12.345;
  d.AMOUNT = 67.89;
  d.OPT_FRACT_QTY = 1;
  d.OPT_FREEPRICE = 1;
  return d;
}

ArticleRecord MakeArticle(std::uint32_t plu, const std::string& name, char tax, double price) {
  ArticleRecord a = ZeroArticle();
  a.PLUNO = plu;
  SetName(a.NAME, name);
  a.TAX_GROUP = tax;
  a.SING_PRICE = price;
  a.MAX_PRICE = price * 2;
  a.IN_USE = 1;
  a.STOCKQTY = 10;
  a.INITQTY = 20;
  return a;
}

Sheet ReadSheet(const fs::path& workbook, const std::string& sheet, std::size_t columns) {
  std::string error;
  auto reader = WorkbookReader::Open(workbook.string(), error);
  Sheet rows;
  if (!reader) {
    ADD_FAILURE() << error;
    return rows;
  }
  const int index = reader->FindSheet(sheet);
  if (index < 0) {
    ADD_FAILURE() << "no sheet " << sheet;
    return rows;
  }
  const bool ok = reader->VisitRows(
      index, columns,
      [&](std::size_t row, std::span<const Cell> cells) {
        rows.resize(row + 1);
        rows[row].assign(cells.begin(), cells.end());
        return true;
      },
      error);
  if (!ok) ADD_FAILURE() << error;
  return rows;
}

void WriteWorkbook(const fs::path& path, const std::vector<SheetSpec>& sheets) {
  std::string error;
  auto writer = XlsxWriter::Create(path.string(), error);
  ASSERT_TRUE(writer) << error;
  for (const SheetSpec& sheet : sheets) {
    std::vector<ColumnSpec> columns;
    for (const std::string& name : sheet.header) columns.push_back({name.c_str(), ColumnType::Number});
    ASSERT_TRUE(writer->BeginSheet(sheet.name.c_str(), columns, error)) << error;
    for (const auto& row : sheet.rows) ASSERT_TRUE(writer->WriteRow(row, error)) << error;
  }
  ASSERT_TRUE(writer->Close(error)) << error;
}

std::vector<std::string> ArticleHeader() {
  std::vector<std::string> names;
  for (const ColumnSpec& c : schema::kArticleColumns) names.emplace_back(c.name);
  return names;
}

std::vector<std::string> DepartmentHeader() {
  std::vector<std::string> names;
  for (const ColumnSpec& c : schema::kDepartmentColumns) names.emplace_back(c.name);
  return names;
}

std::vector<Cell> ArticleCells(double plu, const std::string& name) {
  std::vector<Cell> cells(schema::kArticleColumnCount, Cell::Number(0));
  cells[0] = Cell::Number(plu);
  cells[1] = Cell::Text("A");
  cells[2] = Cell::Text(name);
  cells[3] = Cell::Number(1.5);
  return cells;
}

std::vector<Cell> DepartmentCells(double number, const std::string& name) {
  std::vector<Cell> cells(schema::kDepartmentColumnCount, Cell::Number(0));
  cells[0] = Cell::Number(number);
  cells[1] = Cell::Text("B");
  cells[2] = Cell::Text(name);
  return cells;
}

}  // namespace testsupport
