// Reads legacy Excel 97-2003 (.xls, BIFF8) workbooks: libgsf opens the OLE2
// compound file, the Workbook stream's records are read here. Formula cells
// give the result the file keeps with them, as .xlsx and .ods readers do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "StringPool.h"
#include "WorkbookReader.h"

class XlsWorkbookReader final : public WorkbookReader {
 public:
  // Largest Workbook stream read (it is never compressed, so no file can claim
  // more than it holds, but the library would read it all).
  static constexpr std::size_t kMaxStreamSize = std::size_t{64} << 20;

  // Reads the compound file in contents and the workbook's global records;
  // nullptr and error when it is no readable Excel 97-2003 workbook.
  static std::unique_ptr<XlsWorkbookReader> Load(const std::string& contents, std::string& error);

  std::vector<std::string> SheetNames() const override;
  bool VisitRows(int sheet, std::size_t columns, const RowVisitor& visit, std::string& error) override;

  // Damage found in the stream; thrown by the record reading, caught at the edges.
  struct Damage {
    std::string what;
  };

 private:
  struct Sheet {
    std::string name;
    std::size_t offset;  // of the sheet's BOF record in the stream
  };

  void ReadGlobals();  // throws Damage or PasswordProtected
  // Hands each cell of the sheet at offset within the first columns to sink,
  // in the order of the file; throws Damage.
  using CellSink = std::function<void(std::uint16_t row, std::uint16_t column, Cell cell)>;
  void WalkCells(std::size_t offset, std::size_t columns, const CellSink& sink) const;

  std::vector<unsigned char> stream_;
  std::vector<Sheet> sheets_;
  StringPool strings_;  // the shared string table
  std::vector<bool> dateFormats_;     // by XF index: the cell shows a date or time
};
