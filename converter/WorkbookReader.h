// Read access to a workbook's sheets, row by row, whatever its format. Open
// picks the reader by the file's content. Rows are handed over one at a time
// so that no reader has to keep a whole sheet of cells.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "converter/Cell.h"

class WorkbookReader {
 public:
  // Gets a row's 0-based number and its first cells (missing ones empty);
  // returns false to stop the walk.
  using RowVisitor = std::function<bool(std::size_t row, std::span<const Cell> cells)>;

  virtual ~WorkbookReader() = default;

  // The workbook at path; nullptr and error when it cannot be read as one.
  static std::unique_ptr<WorkbookReader> Open(const std::string& path, std::string& error);

  virtual std::vector<std::string> SheetNames() const = 0;

  // Index of the sheet called name: an exact match wins, else one that differs
  // only in letter case, as spreadsheet programs treat sheet names; -1 if none.
  int FindSheet(std::string_view name) const;

  // Walks the rows of sheet index in order, skipping rows the file does not
  // hold; each visit gets exactly columns cells. False and error when the
  // sheet cannot be read.
  virtual bool VisitRows(int sheet, std::size_t columns, const RowVisitor& visit, std::string& error) = 0;
};
