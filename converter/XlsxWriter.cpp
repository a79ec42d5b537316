#include "converter/XlsxWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <xlsxwriter.h>

#include "converter/OoxmlText.h"

namespace {

std::string LibraryError(const char* what, lxw_error error) { return std::string(what) + ": " + lxw_strerror(error); }

}  // namespace

void XlsxWriter::WorkbookCloser::operator()(lxw_workbook* workbook) const {
  // Only reached when Close was not called: the outcome has no one to go to.
  if (workbook) workbook_close(workbook);
}

XlsxWriter::XlsxWriter(lxw_workbook* workbook) : workbook_(workbook) {}

XlsxWriter::~XlsxWriter() = default;

std::optional<XlsxWriter> XlsxWriter::Create(const std::string& path, std::string& error) {
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;
  lxw_workbook* workbook = workbook_new_opt(path.c_str(), &options);
  if (!workbook) {
    error = "cannot start a workbook for " + path;
    return std::nullopt;
  }
  return XlsxWriter(workbook);
}

bool XlsxWriter::BeginSheet(const char* name, std::span<const ColumnSpec> columns, std::string& error) {
  if (!workbook_) {
    error = "the workbook is closed";
    return false;
  }
  if (!FinishSheet(error)) return false;
  sheet_ = workbook_add_worksheet(workbook_.get(), name);
  if (!sheet_) {
    error = std::string("cannot add the sheet ") + name;
    return false;
  }
  row_ = 0;
  cellFormats_.assign(columns.size(), nullptr);
  if (!textFormat_) {
    textFormat_ = workbook_add_format(workbook_.get());
    if (textFormat_) format_set_num_format(textFormat_, "@");
  }
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const auto col = static_cast<lxw_col_t>(c);
    lxw_format* columnFormat = nullptr;
    if (columns[c].numberFormat) {
      cellFormats_[c] = workbook_add_format(workbook_.get());
      if (cellFormats_[c]) format_set_num_format(cellFormats_[c], columns[c].numberFormat);
      columnFormat = cellFormats_[c];
    } else if (columns[c].type == ColumnType::Text) {
      // Whatever the operator types there later stays text, as the column is.
      columnFormat = textFormat_;
    }
    const double width = columns[c].type == ColumnType::Text && c > 1 ? 30 : 16;
    if (const lxw_error e = worksheet_set_column(sheet_, col, col, width, columnFormat); e != LXW_NO_ERROR) {
      error = LibraryError("cannot set up a column", e);
      return false;
    }
    if (const lxw_error e = worksheet_write_string(sheet_, 0, col, columns[c].name, nullptr); e != LXW_NO_ERROR) {
      error = LibraryError("cannot write the column names", e);
      return false;
    }
  }
  row_ = 1;
  return true;
}

bool XlsxWriter::WriteRow(std::span<const Cell> cells, std::string& error) {
  if (!sheet_) {
    error = "no sheet to write to";
    return false;
  }
  for (std::size_t c = 0; c < cells.size(); ++c) {
    const Cell& cell = cells[c];
    const auto col = static_cast<lxw_col_t>(c);
    lxw_format* format = c < cellFormats_.size() ? cellFormats_[c] : nullptr;
    lxw_error e = LXW_NO_ERROR;
    if (cell.IsNumber()) {
      e = worksheet_write_number(sheet_, row_, col, cell.number, format);
    } else if (cell.IsText() && !cell.text.empty()) {
      // The library escapes control characters itself, but not text that
      // merely looks like such an escape.
      const std::string text = cell.text.find("_x") == std::string::npos ? cell.text : ooxml::ProtectEscapes(cell.text);
      e = worksheet_write_string(sheet_, row_, col, text.c_str(), format);
    }
    if (e != LXW_NO_ERROR) {
      error = LibraryError(("cannot write row " + std::to_string(row_ + 1)).c_str(), e);
      return false;
    }
  }
  ++row_;
  return true;
}

bool XlsxWriter::FinishSheet(std::string& error) {
  if (!sheet_) return true;
  FILE* rows = sheet_->optimize_tmpfile;
  if (rows && (std::fflush(rows) != 0 || std::ferror(rows))) {
    error = std::string("cannot keep the rows of the sheet in a temporary file: ") + std::strerror(errno);
    return false;
  }
  return true;
}

bool XlsxWriter::Close(std::string& error) {
  if (!workbook_) return true;
  std::string sheetError;
  const bool sheetOk = FinishSheet(sheetError);
  const lxw_error e = workbook_close(workbook_.release());
  sheet_ = nullptr;
  if (!sheetOk) {
    error = sheetError;
    return false;
  }
  if (e != LXW_NO_ERROR) {
    error = LibraryError("cannot write the workbook file", e);
    return false;
  }
  return true;
}
