// The workbook layout shared with every spreadsheet the operator edits: two
// sheets, first row the column names, then one row per record. Export writes
// the columns in this order; import finds them by their names.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

enum class ColumnType { Number, Text };

struct ColumnSpec {
  const char* name;
  ColumnType type;
  // Number format shown by a spreadsheet; nullptr for the default.
  const char* numberFormat = nullptr;
  // A value without a natural zero: an empty cell is refused on import. An
  // empty cell elsewhere gives 0 (an empty quantity is "not controlled").
  bool required = false;
};

namespace schema {

inline constexpr const char* kArticlesSheet = "ARTICLES";
inline constexpr const char* kDepartmentsSheet = "DEPARTMENTS";

inline constexpr bool kRequired = true;

// Barcodes are shown as the register shows them: 13 digits, zero-filled.
inline constexpr const char* kBarcodeFormat = "0000000000000";

inline constexpr std::size_t kArticleColumnCount = 18;
inline constexpr std::size_t kDepartmentColumnCount = 13;

// Only the first eight department records go into a workbook.
inline constexpr std::size_t kExportedDepartments = 8;

extern const std::array<ColumnSpec, kArticleColumnCount> kArticleColumns;
extern const std::array<ColumnSpec, kDepartmentColumnCount> kDepartmentColumns;

// Spreadsheet letters of a 0-based column: 0 -> "A", 27 -> "AB".
std::string ColumnLetters(std::size_t column);

// Where a problem lies, as the operator finds it in a spreadsheet:
// "sheet ARTICLES, row 7, column D (XLS_SING_PRICE)". Rows count from 1.
std::string CellPlace(std::string_view sheet, std::size_t row1Based, std::size_t column,
                      std::span<const ColumnSpec> columns);
// The same for a column found by its name anywhere in the sheet.
std::string CellPlace(std::string_view sheet, std::size_t row1Based, std::size_t sheetColumn, std::string_view name);

}  // namespace schema
