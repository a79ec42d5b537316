// Export: a database file into a workbook with the sheets ARTICLES (every
// article record) and DEPARTMENTS (the first eight department records).
#pragma once

#include <string>

#include "Reporter.h"

class Exporter {
 public:
  explicit Exporter(Reporter& reporter) : reporter_(reporter) {}

  // The exit status: 0 when nothing had to be reported, else 1.
  int Run(const std::string& databasePath, const std::string& workbookPath);

 private:
  Reporter& reporter_;
};
