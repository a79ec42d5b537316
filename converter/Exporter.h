// Export: a database file into a workbook with the sheets ARTICLES (every
// article record) and DEPARTMENTS (the first eight department records).
#pragma once

#include <string>

#include "converter/Reporter.h"

class DatabaseFile;
class XlsxWriter;

class Exporter {
 public:
  explicit Exporter(Reporter& reporter) : reporter_(reporter) {}

  // The exit status: 0 when nothing had to be reported, else 1.
  int Run(const std::string& databasePath, const std::string& workbookPath);

 private:
  // One sheet each; false when the workbook could not be written (error says why).
  // Records that cannot be shown are reported and make the status 1.
  bool WriteArticles(const DatabaseFile& database, XlsxWriter& writer, std::string& error);
  bool WriteDepartments(const DatabaseFile& database, XlsxWriter& writer, std::string& error);

  Reporter& reporter_;
  std::string databasePath_;
  int status_ = 0;
};
