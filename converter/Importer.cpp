#include "Importer.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "ArticleRow.h"
#include "DatabaseFile.h"
#include "DepartmentRow.h"

namespace {

// Column names compare as a spreadsheet user sees them: blanks around and
// letter case do not matter.
bool SameColumnName(std::string_view cellText, std::string_view name) {
  while (!cellText.empty() && std::isspace(static_cast<unsigned char>(cellText.front()))) cellText.remove_prefix(1);
  while (!cellText.empty() && std::isspace(static_cast<unsigned char>(cellText.back()))) cellText.remove_suffix(1);
  return std::equal(cellText.begin(), cellText.end(), name.begin(), name.end(), [](char a, char b) {
    return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
  });
}

// A line left blank in a sheet is no record.
bool IsBlankRow(std::span<const Cell> cells) {
  return std::all_of(cells.begin(), cells.end(),
                     [](const Cell& c) { return c.IsEmpty() || (c.IsText() && c.text.empty()); });
}

}  // namespace

bool Importer::CheckHeaderRow(const char* sheet, std::size_t row, std::span<const Cell> cells,
                              std::span<const ColumnSpec> columns) {
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const Cell& cell = row == 0 ? cells[c] : Cell{};
    if (!cell.IsText() || !SameColumnName(cell.text, columns[c].name)) {
      const std::string found = cell.IsText() ? "\"" + cell.text.substr(0, 60) + "\"" : "no column name";
      reporter_.Line(schema::CellPlace(sheet, 1, c, columns) + ": " + found + " where the column name " +
                     columns[c].name + " belongs");
      return false;
    }
  }
  return true;
}

bool Importer::CheckSheet(WorkbookReader& workbook, const char* sheet, std::span<const ColumnSpec> columns) {
  const int index = workbook.FindSheet(sheet);
  if (index < 0) {
    std::string names;
    for (const std::string& name : workbook.SheetNames()) names += (names.empty() ? "" : ", ") + name;
    reporter_.Line(std::string("the workbook has no sheet ") + sheet + " (its sheets: " +
                   (names.empty() ? "none" : names) + ")");
    return false;
  }
  bool seen = false, ok = false;
  std::string error;
  const bool read = workbook.VisitRows(index, columns.size(), [&](std::size_t row, std::span<const Cell> cells) {
    seen = true;
    ok = CheckHeaderRow(sheet, row, cells, columns);
    return false;  // the first row is all that is wanted here
  }, error);
  if (!read) {
    reporter_.Line(error);
    return false;
  }
  if (!seen) {
    reporter_.Line(std::string("sheet ") + sheet + " is empty: its first row must hold the column names");
    return false;
  }
  return ok;
}

template <class Row, class Record>
std::optional<std::size_t> Importer::ImportRows(WorkbookReader& workbook, DatabaseFile& database, const char* sheet,
                                                std::span<const ColumnSpec> columns, std::uint32_t slot,
                                                std::optional<std::uint32_t> slotEnd,
                                                IoResult (DatabaseFile::*write)(std::uint32_t, const Record&)) {
  std::size_t beyond = 0;
  bool ok = true;
  std::string error;
  const bool read = workbook.VisitRows(
      workbook.FindSheet(sheet), columns.size(),
      [&](std::size_t row, std::span<const Cell> cells) {
        if (row == 0 || IsBlankRow(cells)) return true;
        if (slotEnd && slot >= *slotEnd) {
          ++beyond;
          return true;
        }
        Record record;
        if (auto problem = Row::ToRecord(cells, record)) {
          reporter_.Line(schema::CellPlace(sheet, row + 1, problem->column, columns) + ": " + problem->what);
          return ok = false;
        }
        if (const IoResult written = (database.*write)(slot, record); !written) {
          reporter_.Line(written.error);
          return ok = false;
        }
        ++slot;
        return true;
      },
      error);
  if (!read) {
    reporter_.Line(error);
    return std::nullopt;
  }
  if (!ok) return std::nullopt;
  return beyond;
}

bool Importer::ImportDepartments(WorkbookReader& workbook, DatabaseFile& database) {
  // Past the 200 department places the rows would overwrite the articles.
  const auto beyond = ImportRows<DepartmentRow>(workbook, database, schema::kDepartmentsSheet,
                                                schema::kDepartmentColumns, 0, kDepartmentSlots,
                                                &DatabaseFile::WriteDepartment);
  if (!beyond) return false;
  if (*beyond > 0) {
    reporter_.Line(std::string("sheet ") + schema::kDepartmentsSheet + ": " + std::to_string(*beyond) +
                   " row(s) past the " + std::to_string(kDepartmentSlots) +
                   " department places were not imported");
    status_ = 1;
  }
  return true;
}

bool Importer::ImportArticles(WorkbookReader& workbook, DatabaseFile& database) {
  return ImportRows<ArticleRow>(workbook, database, schema::kArticlesSheet, schema::kArticleColumns, 1, std::nullopt,
                                &DatabaseFile::WriteArticle)
      .has_value();
}

int Importer::Run(const std::string& databasePath, const std::string& workbookPath) {
  status_ = 0;
  // The records go into a new file that takes the target's place only when
  // the whole workbook was read without a failure.
  DatabaseFile database;
  if (const IoResult created = database.BeginReplacement(databasePath, {}); !created) {
    reporter_.Line(created.error);
    reporter_.Line(kMsgUnableToOpen);
    return 1;
  }
  // Until the header is written last, the file is refused by every reader.
  if (const IoResult zeroed = database.WriteZeroHeader(); !zeroed) {
    reporter_.Line(zeroed.error);
    reporter_.Line(kMsgXlsWriteError);
    return 1;
  }

  std::string error;
  bool ok = false;
  if (auto workbook = WorkbookReader::Open(workbookPath, error)) {
    // Both sheets are checked before the first record is written.
    ok = CheckSheet(*workbook, schema::kDepartmentsSheet, schema::kDepartmentColumns) &&
         CheckSheet(*workbook, schema::kArticlesSheet, schema::kArticleColumns) &&
         ImportDepartments(*workbook, database) && ImportArticles(*workbook, database);
  } else {
    reporter_.Line(error);
  }
  if (!ok) {
    reporter_.Line(kMsgXlsWriteError);
    return 1;  // the new file is dropped with database; the target stays as it was
  }

  IoResult placed = database.WriteHeader();
  if (placed) placed = database.CommitReplacement();
  if (!placed) {
    reporter_.Line(placed.error);
    reporter_.Line(kMsgXlsWriteError);
    return 1;
  }
  return status_;
}
