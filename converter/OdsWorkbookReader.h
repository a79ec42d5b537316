// Reads OpenDocument spreadsheets (.ods): content.xml of the ZIP package,
// parsed with orcus's SAX parser one table at a time, rows handed on as they
// are read.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "converter/WorkbookReader.h"

class OdsWorkbookReader final : public WorkbookReader {
 public:
  OdsWorkbookReader();
  ~OdsWorkbookReader() override;

  // Reads the package and finds its tables; nullptr and error when the
  // contents are no sound spreadsheet.
  static std::unique_ptr<OdsWorkbookReader> Load(std::string contents, std::string& error);

  std::vector<std::string> SheetNames() const override;
  bool VisitRows(int sheet, std::size_t columns, const RowVisitor& visit, std::string& error) override;

 private:
  struct Table {
    std::string name;
    std::size_t begin = 0, end = 0;  // the table element's bytes in content.xml
  };

  std::vector<unsigned char> content_;
  std::vector<Table> tables_;
};
