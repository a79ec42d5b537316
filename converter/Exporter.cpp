#include "Exporter.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ArticleRow.h"
#include "DatabaseFile.h"
#include "DepartmentRow.h"
#include "WorkbookSchema.h"
#include "XlsxWriter.h"

namespace {

void ReportProblems(Reporter& reporter, const std::vector<CellProblem>& problems, const char* sheet,
                    std::size_t row1Based, std::span<const ColumnSpec> columns) {
  for (const CellProblem& p : problems)
    reporter.Line(schema::CellPlace(sheet, row1Based, p.column, columns) + ": " + p.what);
}

}  // namespace

bool Exporter::RemoveOldWorkbook(const std::string& workbookPath) {
  // Only a workbook that could be written to is replaced; a FIFO must not block us.
  const int fd = ::open(workbookPath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return true;
  struct stat st;
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  ::close(fd);
  if (!regular) {
    // Devices and the like are never deleted, whoever runs the program.
    reporter_.Line(workbookPath + ": not a workbook file, not replaced");
    return false;
  }
  if (::unlink(workbookPath.c_str()) != 0) {
    reporter_.Line(workbookPath + ": " + std::strerror(errno));
    return false;
  }
  return true;
}

int Exporter::Run(const std::string& databasePath, const std::string& workbookPath) {
  DatabaseFile database;
  if (const IoResult opened = database.OpenExisting(databasePath); !opened) {
    reporter_.Line(opened.error);
    reporter_.Line(kMsgUnableToOpen);
    return 1;
  }
  if (!database.CheckHeader()) {
    reporter_.Line(kMsgIncorrectFile);
    return 1;
  }

  int status = 0;
  if (!RemoveOldWorkbook(workbookPath)) {
    reporter_.Line(kMsgDestinationCannotOpen);
    status = 1;  // the conversion still goes on
  }

  std::string error;
  auto writer = XlsxWriter::Create(workbookPath, error);
  if (!writer) {
    reporter_.Line(error);
    reporter_.Line(kMsgXlsWriteError);
    return 1;
  }

  // Every step below ends the export at its first failure; the workbook is
  // still closed, so the rows written before stay in it.
  auto writeAll = [&]() -> bool {
    const auto& articleColumns = schema::kArticleColumns;
    if (!writer->BeginSheet(schema::kArticlesSheet, articleColumns, error)) return false;
    std::size_t row = 1;
    std::vector<CellProblem> problems;
    for (std::uint32_t slot = 1;; ++slot) {
      ArticleRecord record;
      const ReadStatus read = database.ReadArticle(slot, record);
      if (read == ReadStatus::Short) break;  // a record cut short is not one
      if (read == ReadStatus::Error) {
        reporter_.Line("cannot read article record " + std::to_string(slot) + " of " + databasePath);
        status = 1;
        break;
      }
      // A deleted article leaves an all-zero slot: it is no article.
      if (IsAllZero(record)) continue;
      ++row;
      problems.clear();
      const ArticleRow::Cells cells = ArticleRow::FromRecord(record, problems);
      if (!problems.empty()) {
        ReportProblems(reporter_, problems, schema::kArticlesSheet, row, articleColumns);
        status = 1;
      }
      if (!writer->WriteRow(cells, error)) return false;
    }

    const auto& departmentColumns = schema::kDepartmentColumns;
    if (!writer->BeginSheet(schema::kDepartmentsSheet, departmentColumns, error)) return false;
    for (std::uint32_t slot = 0; slot < schema::kExportedDepartments; ++slot) {
      DepartmentRecord record;
      if (database.ReadDepartment(slot, record) == ReadStatus::Error) {
        reporter_.Line("cannot read department record " + std::to_string(slot + 1) + " of " + databasePath);
        status = 1;
      }
      problems.clear();
      const DepartmentRow::Cells cells = DepartmentRow::FromRecord(record, problems);
      if (!problems.empty()) {
        ReportProblems(reporter_, problems, schema::kDepartmentsSheet, slot + 2, departmentColumns);
        status = 1;
      }
      if (!writer->WriteRow(cells, error)) return false;
    }
    return true;
  };

  bool ok = writeAll();
  std::string closeError;
  if (!writer->Close(closeError)) {
    if (ok) error = closeError;
    ok = false;
  }
  if (!ok) {
    reporter_.Line(error);
    reporter_.Line(kMsgXlsWriteError);
    return 1;
  }
  return status;
}
