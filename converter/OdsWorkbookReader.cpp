#include "OdsWorkbookReader.h"

#include <exception>
#include <ixion/address.hpp>
#include <ixion/cell.hpp>
#include <ixion/formula_result.hpp>
#include <ixion/model_context.hpp>
#include <orcus/orcus_ods.hpp>
#include <orcus/spreadsheet/document.hpp>
#include <orcus/spreadsheet/factory.hpp>
#include <orcus/spreadsheet/sheet.hpp>

namespace ss = orcus::spreadsheet;

namespace {

// The largest sheet the format allows.
constexpr ss::range_size_t kSheetSize{1048576, 16384};

}  // namespace

OdsWorkbookReader::OdsWorkbookReader() : document_(std::make_unique<ss::document>(kSheetSize)) {}

OdsWorkbookReader::~OdsWorkbookReader() = default;

std::unique_ptr<OdsWorkbookReader> OdsWorkbookReader::Load(std::string contents, std::string& error) {
  auto reader = std::make_unique<OdsWorkbookReader>();
  try {
    ss::import_factory factory(*reader->document_);
    orcus::orcus_ods filter(&factory);
    filter.read_stream(contents);
    // Formula cells get their results, so they read like the values they show.
    reader->document_->recalc_formula_cells();
  } catch (const std::exception& e) {
    error = std::string("damaged OpenDocument spreadsheet: ") + e.what();
    return nullptr;
  }
  return reader;
}

std::vector<std::string> OdsWorkbookReader::SheetNames() const {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < document_->get_sheet_count(); ++i)
    names.emplace_back(document_->get_sheet_name(static_cast<ss::sheet_t>(i)));
  return names;
}

bool OdsWorkbookReader::VisitRows(int sheetIndex, std::size_t columns, const RowVisitor& visit, std::string& error) {
  const ss::sheet* sheet = sheetIndex >= 0 ? document_->get_sheet(static_cast<ss::sheet_t>(sheetIndex)) : nullptr;
  if (!sheet) {
    error = "no sheet " + std::to_string(sheetIndex + 1) + " in the workbook";
    return false;
  }
  const ixion::abs_range_t range = sheet->get_data_range();
  if (!range.valid() || range.last.row < 0) return true;
  const auto rows = static_cast<std::size_t>(range.last.row) + 1;
  std::vector<Cell> cells(columns);
  for (std::size_t row = 0; row < rows; ++row) {
    for (std::size_t c = 0; c < columns; ++c) cells[c] = CellAt(sheetIndex, row, c);
    if (!visit(row, cells)) break;
  }
  return true;
}

Cell OdsWorkbookReader::CellAt(int sheet, std::size_t row, std::size_t column) const {
  const ixion::model_context& model = document_->get_model_context();
  const ixion::abs_address_t at(sheet, static_cast<ixion::row_t>(row), static_cast<ixion::col_t>(column));
  switch (model.get_celltype(at)) {
    case ixion::celltype_t::numeric: return Cell::Number(model.get_numeric_value(at));
    case ixion::celltype_t::boolean: return Cell::Number(model.get_boolean_value(at) ? 1.0 : 0.0);
    case ixion::celltype_t::string: return Cell::Text(std::string(model.get_string_value(at)));
    case ixion::celltype_t::formula: {
      const ixion::formula_cell* formula = model.get_formula_cell(at);
      try {
        if (formula) {
          const ixion::formula_result result =
              formula->get_result_cache(ixion::formula_result_wait_policy_t::throw_exception);
          if (result.get_type() == ixion::formula_result::result_type::value) return Cell::Number(result.get_value());
          if (result.get_type() == ixion::formula_result::result_type::string) return Cell::Text(result.get_string());
        }
      } catch (const std::exception&) {
      }
      // Neither number nor text: whoever needs a value reports it.
      return Cell::Text("#formula error");
    }
    default: return Cell::Empty();
  }
}
