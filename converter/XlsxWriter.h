// Writes an Office Open XML workbook sheet by sheet, row by row, in constant
// memory: each row goes to the library's temporary file at once, so rows must
// come in order and a sheet is finished before the next begins.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "converter/Cell.h"
#include "converter/WorkbookSchema.h"

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

class XlsxWriter {
 public:
  ~XlsxWriter();
  XlsxWriter(XlsxWriter&&) noexcept = default;
  XlsxWriter& operator=(XlsxWriter&&) noexcept = default;

  // A workbook at path; nothing, and error, when the library cannot start one.
  static std::optional<XlsxWriter> Create(const std::string& path, std::string& error);

  // Starts a sheet whose first row holds the column names.
  bool BeginSheet(const char* name, std::span<const ColumnSpec> columns, std::string& error);

  // Appends one row to the current sheet, cells in column order.
  bool WriteRow(std::span<const Cell> cells, std::string& error);

  // Writes the file. Whatever happened before, what was written so far is kept.
  bool Close(std::string& error);

 private:
  // The library keeps a sheet's rows in a temporary file and does not check
  // those writes itself; a full disk is caught here before the file is made.
  bool FinishSheet(std::string& error);

  struct WorkbookCloser {
    void operator()(lxw_workbook* workbook) const;
  };

  explicit XlsxWriter(lxw_workbook* workbook);

  std::unique_ptr<lxw_workbook, WorkbookCloser> workbook_;
  lxw_worksheet* sheet_ = nullptr;
  std::vector<lxw_format*> cellFormats_;  // per column, nullptr for the default
  lxw_format* textFormat_ = nullptr;
  unsigned row_ = 0;
};
