// Import: a workbook's DEPARTMENTS and ARTICLES sheets into a database file.
// Both sheets are read and checked whole first, and every problem found is
// reported in the one run; only a workbook without any is written, in one step
// (WriteOutput) into a new file that takes the target's place when complete.
// On any failure the target stays as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "data/Records.h"
#include "converter/Reporter.h"
#include "converter/WorkbookReader.h"
#include "converter/WorkbookSchema.h"

class Importer {
 public:
  explicit Importer(Reporter& reporter) : reporter_(reporter) {}

  // The exit status: 0 when nothing had to be reported, else 1.
  int Run(const std::string& databasePath, const std::string& workbookPath);

  // Where each column of a sheet is: columns are found by the names in the
  // sheet's first row, in any order; other columns are not read.
  struct Layout {
    std::vector<std::size_t> at;  // sheet column of each column of the schema
    std::size_t width = 0;        // cells to read from each row
  };

  // Records read from a sheet, with the 0-based sheet row each came from.
  template <class Record>
  struct Rows {
    std::vector<Record> records;
    std::vector<std::size_t> sheetRows;
  };

 private:
  // What is wrong with the workbook: the first lines are kept for the report,
  // the rest only counted.
  class Problems {
   public:
    static constexpr std::size_t kShown = 20;
    void Add(std::string line);
    bool Any() const { return count_ > 0; }
    void Report(Reporter& reporter) const;

   private:
    std::vector<std::string> shown_;
    std::size_t count_ = 0;
  };

  // Each adds what it finds wrong to problems_; nullopt when the sheet's
  // columns cannot be found.
  std::optional<Layout> ReadLayout(WorkbookReader& workbook, const char* sheet, std::span<const ColumnSpec> columns);
  // Reads every row of the sheet, blank ones skipped; a row with a problem
  // gives no record. More than maxRows rows end the reading.
  template <class Row, class Record>
  void ReadRows(WorkbookReader& workbook, const char* sheet, std::span<const ColumnSpec> columns, const Layout& layout,
                std::size_t maxRows, const char* rowsName, Rows<Record>& rows);
  // PLU numbers and non-zero barcodes must each be unique in the register.
  void CheckUniqueArticles(const Rows<ArticleRecord>& articles, const Layout& layout);
  // The only place the database file is written: created (emptied), the
  // records, the header last. Returns false after reporting a failure.
  bool WriteOutput(const std::string& databasePath, const std::vector<DepartmentRecord>& departments,
                   const std::vector<ArticleRecord>& articles);

  Reporter& reporter_;
  Problems problems_;
};
