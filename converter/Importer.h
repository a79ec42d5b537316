// Import: a workbook's DEPARTMENTS and ARTICLES sheets into a new database
// file. The header is written last, so that a file cut short by an error
// still opens with the records written before it.
#pragma once

#include <span>
#include <string>

#include "Reporter.h"
#include "WorkbookReader.h"
#include "WorkbookSchema.h"

class DatabaseFile;

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
  bool CheckHeaderRow(const char* sheet, std::size_t row, std::span<const Cell> cells,
                      std::span<const ColumnSpec> columns);

  Reporter& reporter_;
  int status_ = 0;
};
