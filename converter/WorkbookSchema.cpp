#include "converter/WorkbookSchema.h"

namespace schema {

const std::array<ColumnSpec, kArticleColumnCount> kArticleColumns = {{
    {"XLS_PLUNO", ColumnType::Number, nullptr, kRequired},
    {"XLS_TAX_GROUP", ColumnType::Text},
    {"XLS_NAME", ColumnType::Text},
    {"XLS_SING_PRICE", ColumnType::Number, nullptr, kRequired},
    {"XLS_BARCODE", ColumnType::Number, kBarcodeFormat},
    {"XLS_DEPARTMENT", ColumnType::Number, nullptr, kRequired},
    {"XLS_STOCK_GROUP", ColumnType::Number},
    {"XLS_MEASURE_UNIT", ColumnType::Number},
    {"XLS_MAX_PRICE", ColumnType::Number},
    {"XLS_OPT_FRACT_QTY", ColumnType::Number},
    {"XLS_OPT_SINGTRANS", ColumnType::Number},
    {"XLS_OPT_FREEPRICE", ColumnType::Number},
    {"XLS_PLUNOLINK", ColumnType::Number},
    {"XLS_AMOUNT", ColumnType::Number},
    {"XLS_AMOUNT_DS", ColumnType::Number},
    {"XLS_STOCKQTY", ColumnType::Number},
    {"XLS_INITQTY", ColumnType::Number},
    {"XLS_SOLDQTY", ColumnType::Number},
}};

const std::array<ColumnSpec, kDepartmentColumnCount> kDepartmentColumns = {{
    {"XLS_DEPT_DEPTNO", ColumnType::Number, nullptr, kRequired},
    {"XLS_DEPT_TAX_GROUP", ColumnType::Text},
    {"XLS_DEPT_NAME", ColumnType::Text},
    {"XLS_DEPT_SING_PRICE", ColumnType::Number, nullptr, kRequired},
    {"XLS_DEPT_STOCK_GROUP", ColumnType::Number},
    {"XLS_DEPT_MEASURE_UNIT", ColumnType::Number},
    {"XLS_DEPT_MAX_PRICE", ColumnType::Number},
    {"XLS_DEPT_MAX_AMOUNT", ColumnType::Number},
    {"XLS_DEPT_OPT_FRACT_QTY", ColumnType::Number},
    {"XLS_DEPT_OPT_SINGTRANS", ColumnType::Number},
    {"XLS_DEPT_OPT_FREEPRICE", ColumnType::Number},
    {"XLS_DEPT_AMOUNT", ColumnType::Number},
    {"XLS_DEPT_SOLDQTY", ColumnType::Number},
}};

std::string ColumnLetters(std::size_t column) {
  std::string letters;
  std::size_t n = column + 1;
  while (n > 0) {
    const std::size_t rest = (n - 1) % 26;
    letters.insert(letters.begin(), static_cast<char>('A' + rest));
    n = (n - 1) / 26;
  }
  return letters;
}

std::string CellPlace(std::string_view sheet, std::size_t row1Based, std::size_t column,
                      std::span<const ColumnSpec> columns) {
  std::string place =
      "sheet " + std::string(sheet) + ", row " + std::to_string(row1Based) + ", column " + ColumnLetters(column);
  if (column < columns.size()) place += std::string(" (") + columns[column].name + ")";
  return place;
}

std::string CellPlace(std::string_view sheet, std::size_t row1Based, std::size_t sheetColumn, std::string_view name) {
  return "sheet " + std::string(sheet) + ", row " + std::to_string(row1Based) + ", column " +
         ColumnLetters(sheetColumn) + " (" + std::string(name) + ")";
}

}  // namespace schema
