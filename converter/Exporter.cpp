#include "converter/Exporter.h"

#include <cerrno>
#include <cstring>

#include "converter/ArticleRow.h"
#include "data/ArticleSlots.h"
#include "data/DatabaseFile.h"
#include "converter/DepartmentRow.h"
#include "data/FileReplacement.h"
#include "converter/OutputFile.h"
#include "converter/WorkbookSchema.h"
#include "converter/XlsxWriter.h"

namespace {

void ReportProblems(Reporter& reporter, const std::vector<CellProblem>& problems, const char* sheet,
                    std::size_t row1Based, std::span<const ColumnSpec> columns) {
  for (const CellProblem& p : problems)
    reporter.Line(schema::CellPlace(sheet, row1Based, p.column, columns) + ": " + p.what);
}

}  // namespace

int Exporter::Run(const std::string& databasePath, const std::string& workbookPath) {
  if (const IoResult usable = CheckWorkbookTarget(workbookPath, databasePath); !usable) {
    reporter_.Line(usable.error);
    reporter_.Line(kMsgDestinationCannotOpen);
    return 1;
  }
  DatabaseFile database;
  if (const IoResult opened = database.OpenForReading(databasePath); !opened) {
    reporter_.Line(opened.error);
    reporter_.Line(kMsgUnableToOpen);
    return 1;
  }
  if (!database.CheckHeader()) {
    reporter_.Line(kMsgIncorrectFile);
    return 1;
  }

  status_ = 0;
  databasePath_ = databasePath;
  // The workbook is written under a new name and takes the old one's place
  // only when complete: a kill or a full disk leaves the old workbook.
  FileReplacement replacement;
  if (const IoResult begun = replacement.Begin(workbookPath); !begun) {
    // No workbook can be made there (a missing folder, no right to write in
    // it): the write fails, as it does when the driver cannot create the file.
    reporter_.Line(begun.error);
    reporter_.Line(kMsgXlsWriteError);
    return 1;
  }
  std::string error;
  auto writer = XlsxWriter::Create(DescriptorPath(replacement.Descriptor()), error);
  if (!writer) {
    reporter_.Line(error);
    reporter_.Line(kMsgXlsWriteError);
    return 1;
  }

  // Every step ends the export at its first failed write.
  bool ok = WriteArticles(database, *writer, error) && WriteDepartments(database, *writer, error);
  std::string closeError;
  errno = 0;
  if (!writer->Close(closeError)) {
    const int cause = errno;
    if (ok) error = closeError;
    // The library does not say why a write failed; a full disk is worth naming.
    if (cause == ENOSPC || cause == EDQUOT || cause == EFBIG) error += " (" + FileError(workbookPath, cause) + ")";
    ok = false;
  }
  if (ok) {
    if (const IoResult placed = replacement.Commit(); !placed) {
      error = placed.error;
      ok = false;
    }
  }
  if (!ok) {
    reporter_.Line(error);
    reporter_.Line(kMsgXlsWriteError);
    return 1;
  }
  return status_;
}

bool Exporter::WriteArticles(const DatabaseFile& database, XlsxWriter& writer, std::string& error) {
  const auto& columns = schema::kArticleColumns;
  if (!writer.BeginSheet(schema::kArticlesSheet, columns, error)) return false;
  std::size_t row = 1;
  std::vector<CellProblem> problems;
  ArticleSlots slots(database, SlotRule::NotAllZero);  // a database or a report file
  for (const ArticleSlots::Slot slot : slots) {
    ++row;
    problems.clear();
    const ArticleRow::Cells cells = ArticleRow::FromRecord(slot.record, problems);
    if (!problems.empty()) {
      ReportProblems(reporter_, problems, schema::kArticlesSheet, row, columns);
      status_ = 1;
    }
    if (!writer.WriteRow(cells, error)) return false;
  }
  if (slots.Failed()) {
    reporter_.Line("cannot read article record " + std::to_string(slots.EndSlot()) + " of " + databasePath_);
    status_ = 1;
  }
  return true;
}

bool Exporter::WriteDepartments(const DatabaseFile& database, XlsxWriter& writer, std::string& error) {
  const auto& columns = schema::kDepartmentColumns;
  if (!writer.BeginSheet(schema::kDepartmentsSheet, columns, error)) return false;
  std::vector<CellProblem> problems;
  for (std::uint32_t slot = 0; slot < schema::kExportedDepartments; ++slot) {
    DepartmentRecord record;
    if (database.ReadDepartment(slot, record) == ReadStatus::Error) {
      reporter_.Line("cannot read department record " + std::to_string(slot + 1) + " of " + databasePath_);
      status_ = 1;
    }
    problems.clear();
    const DepartmentRow::Cells cells = DepartmentRow::FromRecord(record, problems);
    if (!problems.empty()) {
      ReportProblems(reporter_, problems, schema::kDepartmentsSheet, slot + 2, columns);
      status_ = 1;
    }
    if (!writer.WriteRow(cells, error)) return false;
  }
  return true;
}
