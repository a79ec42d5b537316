// Reads OpenDocument spreadsheets (.ods) into the orcus library's document
// model and walks its cells.
#pragma once

#include <memory>
#include <string>

#include "WorkbookReader.h"

namespace orcus::spreadsheet {
class document;
}  // namespace orcus::spreadsheet

class OdsWorkbookReader final : public WorkbookReader {
 public:
  OdsWorkbookReader();
  ~OdsWorkbookReader() override;

  // Parses the file's contents; nullptr and error when they are no sound workbook.
  static std::unique_ptr<OdsWorkbookReader> Load(std::string contents, std::string& error);

  std::vector<std::string> SheetNames() const override;
  bool VisitRows(int sheet, std::size_t columns, const RowVisitor& visit, std::string& error) override;

 private:
  Cell CellAt(int sheet, std::size_t row, std::size_t column) const;

  std::unique_ptr<orcus::spreadsheet::document> document_;
};
