#include "converter/Importer.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "converter/ArticleRow.h"
#include "data/ArticleTable.h"
#include "data/CFormat.h"
#include "data/DatabaseFile.h"
#include "converter/DepartmentRow.h"

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

// The most columns a spreadsheet program gives a sheet; names further right are not looked for.
constexpr std::size_t kHeaderWidth = 16384;

constexpr std::size_t kNoColumn = static_cast<std::size_t>(-1);

std::string Place(const char* sheet, std::size_t row, const Importer::Layout& layout, std::size_t column,
                  std::span<const ColumnSpec> columns) {
  return schema::CellPlace(sheet, row + 1, layout.at[column], columns[column].name);
}

}  // namespace

void Importer::Problems::Add(std::string line) {
  if (shown_.size() < kShown) shown_.push_back(std::move(line));
  ++count_;
}

void Importer::Problems::Report(Reporter& reporter) const {
  for (const std::string& line : shown_) reporter.Line(line);
  if (count_ > shown_.size()) reporter.Line("... and " + std::to_string(count_ - shown_.size()) + " more problems");
  reporter.Line("nothing was imported");
}

std::optional<Importer::Layout> Importer::ReadLayout(WorkbookReader& workbook, const char* sheet,
                                                     std::span<const ColumnSpec> columns) {
  const int index = workbook.FindSheet(sheet);
  if (index < 0) {
    std::string names;
    for (const std::string& name : workbook.SheetNames()) names += (names.empty() ? "" : ", ") + name;
    problems_.Add(std::string("the workbook has no sheet ") + sheet +
                  " (its sheets: " + (names.empty() ? "none" : names) + ")");
    return std::nullopt;
  }
  Layout layout;
  layout.at.assign(columns.size(), kNoColumn);
  bool duplicate = false;
  std::string error;
  const bool read = workbook.VisitRows(
      index, kHeaderWidth,
      [&](std::size_t row, std::span<const Cell> cells) {
        if (row != 0) return false;  // the first row holds no names
        for (std::size_t at = 0; at < cells.size(); ++at) {
          if (!cells[at].IsText()) continue;
          for (std::size_t c = 0; c < columns.size(); ++c) {
            if (!SameColumnName(cells[at].text, columns[c].name)) continue;
            if (layout.at[c] != kNoColumn) {
              problems_.Add(std::string("sheet ") + sheet + ", row 1: columns " + schema::ColumnLetters(layout.at[c]) +
                            " and " + schema::ColumnLetters(at) + " are both named " + columns[c].name);
              duplicate = true;
            }
            layout.at[c] = at;
          }
        }
        return false;  // the first row is all that is wanted here
      },
      error);
  if (!read) {
    problems_.Add(error);
    return std::nullopt;
  }
  if (duplicate) return std::nullopt;
  std::string missing;
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (layout.at[c] == kNoColumn)
      missing += (missing.empty() ? "" : ", ") + std::string(columns[c].name);
    else
      layout.width = std::max(layout.width, layout.at[c] + 1);
  }
  if (!missing.empty()) {
    problems_.Add(std::string("sheet ") + sheet + ", row 1: no column named " + missing +
                  " (the first row must hold the column names)");
    return std::nullopt;
  }
  return layout;
}

template <class Row, class Record>
void Importer::ReadRows(WorkbookReader& workbook, const char* sheet, std::span<const ColumnSpec> columns,
                        const Layout& layout, std::size_t maxRows, const char* rowsName, Rows<Record>& rows) {
  std::size_t rowCount = 0;
  std::string error;
  std::vector<Cell> ordered(columns.size());
  const bool read = workbook.VisitRows(
      workbook.FindSheet(sheet), layout.width,
      [&](std::size_t row, std::span<const Cell> cells) {
        if (row == 0) return true;
        for (std::size_t c = 0; c < columns.size(); ++c) ordered[c] = cells[layout.at[c]];
        if (IsBlankRow(ordered)) return true;
        if (rowCount++ == maxRows) {
          problems_.Add(std::string("sheet ") + sheet + " holds more than " + std::to_string(maxRows) + " " + rowsName +
                        " rows, more than the register takes");
          return false;
        }
        Record record;
        const std::vector<CellProblem> found = Row::ToRecord(ordered, record);
        for (const CellProblem& problem : found)
          problems_.Add(Place(sheet, row, layout, problem.column, columns) + ": " + problem.what);
        if (found.empty()) {
          rows.records.push_back(record);
          rows.sheetRows.push_back(row);
        }
        return true;
      },
      error);
  if (!read) problems_.Add(error);
}

void Importer::CheckUniqueArticles(const Rows<ArticleRecord>& articles, const Layout& layout) {
  enum : std::size_t { kPluColumn = 0, kBarcodeColumn = 4 };
  auto report = [&](std::size_t index, std::size_t column, const std::string& what, std::size_t first) {
    problems_.Add(Place(schema::kArticlesSheet, articles.sheetRows[index], layout, column, schema::kArticleColumns) +
                  ": " + what + " is also in row " + std::to_string(articles.sheetRows[first] + 1) +
                  "; the register keeps one article per PLU number and barcode");
  };
  std::map<std::uint32_t, std::size_t> plus;
  std::map<std::int64_t, std::size_t> barcodes;
  for (std::size_t i = 0; i < articles.records.size(); ++i) {
    const ArticleRecord& a = articles.records[i];
    if (const auto [at, added] = plus.emplace(a.PLUNO, i); !added)
      report(i, kPluColumn, "PLU number " + std::to_string(a.PLUNO), at->second);
    if (a.BARCODE == 0) continue;
    if (const auto [at, added] = barcodes.emplace(a.BARCODE, i); !added)
      report(i, kBarcodeColumn, "barcode " + CFormat("%.13lld", static_cast<long long>(a.BARCODE)), at->second);
  }
}

bool Importer::WriteOutput(const std::string& databasePath, const std::vector<DepartmentRecord>& departments,
                           const std::vector<ArticleRecord>& articles) {
  // The records go into a new file that takes the target's place only when
  // all of it was written; until then the target stays as it was.
  DatabaseFile database;
  if (const IoResult created = database.BeginReplacement(databasePath, {}); !created) {
    reporter_.Line(created.error);
    reporter_.Line(kMsgUnableToOpen);
    return false;
  }
  IoResult written = database.WriteZeroHeader();
  for (std::uint32_t slot = 0; written && slot < departments.size(); ++slot)
    written = database.WriteDepartment(slot, departments[slot]);
  for (std::uint32_t n = 0; written && n < articles.size(); ++n) written = database.WriteArticle(n + 1, articles[n]);
  if (written) written = database.WriteHeader();
  if (written) written = database.CommitReplacement();
  if (!written) {
    reporter_.Line(written.error);
    reporter_.Line(kMsgXlsWriteError);
  }
  return static_cast<bool>(written);
}

int Importer::Run(const std::string& databasePath, const std::string& workbookPath) {
  problems_ = Problems{};
  Rows<DepartmentRecord> departments;
  Rows<ArticleRecord> articles;
  std::string error;
  if (auto workbook = WorkbookReader::Open(workbookPath, error)) {
    // Both sheets' columns are looked for before any row is read; a sheet
    // whose columns are there is read whole even when the other's are not.
    const auto departmentLayout = ReadLayout(*workbook, schema::kDepartmentsSheet, schema::kDepartmentColumns);
    const auto articleLayout = ReadLayout(*workbook, schema::kArticlesSheet, schema::kArticleColumns);
    if (departmentLayout)
      ReadRows<DepartmentRow>(*workbook, schema::kDepartmentsSheet, schema::kDepartmentColumns, *departmentLayout,
                              kDepartmentSlots, "department", departments);
    if (articleLayout) {
      ReadRows<ArticleRow>(*workbook, schema::kArticlesSheet, schema::kArticleColumns, *articleLayout,
                           ArticleTable::kMaxArticles, "article", articles);
      CheckUniqueArticles(articles, *articleLayout);
    }
  } else {
    problems_.Add(error);
  }
  if (problems_.Any()) {
    problems_.Report(reporter_);
    reporter_.Line(kMsgXlsWriteError);
    return 1;  // nothing is written: the target stays as it was
  }
  return WriteOutput(databasePath, departments.records, articles.records) ? 0 : 1;
}
