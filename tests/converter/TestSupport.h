// Helpers for the converter tests: a scratch folder per test, database files
// built from records, runs of the real program, workbooks read back.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "converter/Cell.h"
#include "data/Records.h"

namespace fs = std::filesystem;

namespace testsupport {

// A fresh folder, removed with everything in it at the end of the scope.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const fs::path& path() const { return path_; }
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

struct RunResult {
  int status = -1;
  std::string errors;  // what the program wrote to standard error
  std::string output;  // and to standard output
  long peakKiB = 0;    // the program's peak resident memory
  bool HasLine(const std::string& line) const;
};

struct RunOptions {
  const char* program = QUORVEX_PATH;
  // Largest file the program may write (bytes); 0 for no limit. Models a full disk.
  unsigned long fileSizeLimit = 0;
};

// Runs the converter in dir with the given arguments (the program name first).
RunResult RunProgram(const fs::path& dir, const std::vector<std::string>& arguments, RunOptions options = {});

// A database file: the header, the departments given (in slots 0, 1, ...),
// then the articles given (in slots 1, 2, ...).
void WriteDatabase(const fs::path& path, const std::vector<DepartmentRecord>& departments,
                   const std::vector<ArticleRecord>& articles);
std::vector<ArticleRecord> ReadArticles(const fs::path& path);
DepartmentRecord ReadDepartment(const fs::path& path, std::uint32_t slot);
bool HasValidHeader(const fs::path& path);
std::string ReadBytes(const fs::path& path);
void WriteBytes(const fs::path& path, const std::string& bytes);

DepartmentRecord MakeDepartment(std::uint32_t number, const std::string& name, char tax);
ArticleRecord MakeArticle(std::uint32_t plu, const std::string& name, char tax, double price);

// A sheet as rows of cells, the first row included.
using Sheet = std::vector<std::vector<Cell>>;
// All rows of a sheet of a workbook (any format), columns cells each.
Sheet ReadSheet(const fs::path& workbook, const std::string& sheet, std::size_t columns);

// A workbook with the given sheets (name, header names, rows), written with
// the converter's own writer; for import tests of unusual workbooks.
struct SheetSpec {
  std::string name;
  std::vector<std::string> header;
  Sheet rows;
};
void WriteWorkbook(const fs::path& path, const std::vector<SheetSpec>& sheets);

// The header names of the two sheets.
std::vector<std::string> ArticleHeader();
std::vector<std::string> DepartmentHeader();
// A row of valid cells for an article / a department.
std::vector<Cell> ArticleCells(double plu, const std::string& name);
std::vector<Cell> DepartmentCells(double number, const std::string& name);

}  // namespace testsupport
