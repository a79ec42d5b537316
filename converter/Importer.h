// Import: a workbook's DEPARTMENTS and ARTICLES sheets into a new database
// file, which takes the place of the file named only when the whole workbook
// was read without a failure; otherwise that file stays as it was.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "Reporter.h"
#include "WorkbookReader.h"
#include "WorkbookSchema.h"

class DatabaseFile;
struct IoResult;

class Importer {
 public:
  explicit Importer(Reporter& reporter) : reporter_(reporter) {}

  // The exit status: 0 when nothing had to be reported, else 1.
  int Run(const std::string& databasePath, const std::string& workbookPath);

 private:
  // Each returns false after reporting why the import cannot go on.
  bool CheckSheet(WorkbookReader& workbook, const char* sheet, std::span<const ColumnSpec> columns);
  bool ImportDepartments(WorkbookReader& workbook, DatabaseFile& database);
  bool ImportArticles(WorkbookReader& workbook, DatabaseFile& database);
  // Writes the sheet's rows, blank ones skipped, to the slots from slot on and
  // returns how many rows past slotEnd were left out; nullopt after reporting
  // why the import cannot go on.
  template <class Row, class Record>
  std::optional<std::size_t> ImportRows(WorkbookReader& workbook, DatabaseFile& database, const char* sheet,
                                        std::span<const ColumnSpec> columns, std::uint32_t slot,
                                        std::optional<std::uint32_t> slotEnd,
                                        IoResult (DatabaseFile::*write)(std::uint32_t, const Record&));
  bool CheckHeaderRow(const char* sheet, std::size_t row, std::span<const Cell> cells,
                      std::span<const ColumnSpec> columns);

  Reporter& reporter_;
  int status_ = 0;
};
