// Reads legacy Excel workbooks (.xls): Excel 97-2003 (BIFF8) and Excel 5.0/95
// (BIFF5/BIFF7). libgsf opens the OLE2 compound file, the records of its
// Workbook (or, from Excel 5.0/95, Book) stream are read here. The two differ
// in their texts: BIFF8 keeps Unicode strings, BIFF5 byte strings in the code
// page its CODEPAGE record names. Formula cells give the result the file keeps
// with them, as .xlsx and .ods readers do.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "converter/StringPool.h"
#include "converter/WorkbookReader.h"

class XlsWorkbookReader final : public WorkbookReader {
 public:
  // Largest Workbook stream read (it is never compressed, so no file can claim
  // more than it holds, but the library would read it all).
  static constexpr std::size_t kMaxStreamSize = std::size_t{64} << 20;

  // Reads the compound file in contents and the workbook's global records;
  // nullptr and error when it is no readable Excel 97-2003 workbook.
  static std::unique_ptr<XlsWorkbookReader> Load(const std::string& contents, std::string& error);

  std::vector<std::string> SheetNames() const override;
  // "Excel 97-2003 workbook" or "Excel 5.0/95 workbook", as messages name it.
  const char* Kind() const;
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
  bool byteStrings_ = false;               // BIFF5: texts are bytes in the workbook's code page
  std::array<std::string, 256> codePage_;  // BIFF5: the UTF-8 text of each byte
  std::vector<Sheet> sheets_;
  StringPool strings_;             // the shared string table
  std::vector<bool> dateFormats_;  // by XF index: the cell shows a date or time
};
