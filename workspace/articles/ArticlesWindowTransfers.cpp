// The commands of the articles window that replace or send the database file:
// upload and download through the transfer service, workbook export and import.
#include "workspace/articles/ArticlesWindowLogic.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <vector>

#include "data/CFormat.h"
#include "data/Config.h"
#include "workspace/common/ProgressText.h"
#include "workspace/common/UiText.h"
#include "transfer/TransferService.h"
#include "workspace/common/WorkbookExchange.h"

namespace {

// An import keeps the departments the workbook listed; the places it left
// empty get default departments, as in a new file, and the header is written.
IoResult CompleteImportedFile(DatabaseFile& file, char taxLetter) {
  IoResult done = file.WriteHeader();
  const DepartmentRecord empty = ZeroDepartment();
  for (std::uint32_t slot = 0; done && slot < kDepartmentSlots; ++slot) {
    DepartmentRecord department;
    if (file.ReadDepartment(slot, department) == ReadStatus::Error) {
      return IoResult::Fail(file.Path() + ": department " + std::to_string(slot + 1) + " could not be read");
    }
    if (std::memcmp(&department, &empty, sizeof department) == 0) {
      done = file.WriteDepartment(slot, DefaultDepartment(slot + 1, taxLetter));
    }
  }
  return done;
}

}  // namespace

void ArticlesWindowLogic::OnExportXls() {
  UpdateData(true);
  if (!database_.IsOpen()) {
    Tell(kMsgOpenDatabasePlease, MessageIcon::Error);
    return;
  }
  if (!workbooks_) return;
  const auto workbook = WorkbookExchange::ChooseWorkbook(op_, true, databasePath_);
  if (!workbook) return;
  bool written = false;
  RunTask("Export XLS", [&](TransferControl& control) {
    written = workbooks_->Export(op_, database_, *workbook, kArticlesConverterName, control);
    transferStopped_ = control.StopRequested();
  });
  if (transferStopped_) controls_.statusText = "Export cancelled: no workbook was written";
  if (written) controls_.statusText = kMsgWorkbookWritten + *workbook;
  UpdateData(false);
}

void ArticlesWindowLogic::OnImportXls() {
  UpdateData(true);
  if (!workbooks_) return;
  if (database_.IsOpen()) {
    const std::string question = std::string(kMsgImportOverwrite) + "\n\nThe articles and the departments of " +
                                 std::filesystem::path(databasePath_).filename().string() +
                                 " will be replaced by the workbook's; departments the workbook does not list "
                                 "become default departments.";
    if (op_.Ask(question, {}, MessageButtons::YesNo, MessageIcon::Question) != Answer::Yes) {
      openDialogMode_ = 0;
      fileChosen_ = 1;
      OnOpenDatabase();
      openDialogMode_ = 1;
      if (fileChosen_ == 0) return;
    }
  } else {
    fileChosen_ = 1;
    OnOpenDatabase();
    if (fileChosen_ == 0) return;
  }
  if (!database_.IsOpen()) {
    Tell(kMsgUnableToOpenDatabase, MessageIcon::Error);
    return;
  }
  const auto workbook = WorkbookExchange::ChooseWorkbook(op_, false);
  if (!workbook) return;

  // A failed conversion leaves the database file exactly as it was.
  DatabaseFile converted;
  bool convertedOk = false;
  RunTask("Import XLS", [&](TransferControl& control) {
    convertedOk = workbooks_->Import(op_, database_, *workbook, kArticlesConverterName, converted, control);
    transferStopped_ = control.StopRequested();
  });
  if (transferStopped_) {
    controls_.statusText = "Import cancelled: " + databasePath_ + " was left as it was";
    UpdateData(false);
  }
  if (!convertedOk) return;
  DatabaseFile fresh;
  if (!BeginNewFile(fresh, false)) return;
  if (!ReportWrite(CopyContents(converted, fresh), false)) return;
  if (!ReportWrite(CompleteImportedFile(fresh, DefaultDepartmentTaxLetter()), false)) return;
  converted.Close();
  if (!PutInPlace(fresh)) return;

  ReloadFromFile();
  workRecord_ = ZeroArticle();
  if (controls_.viewMode == ViewMode::Departments) ShowDepartments();
  UpdateData(false);
}

void ArticlesWindowLogic::OnUpload() {
  UpdateData(true);
  if (!database_.IsOpen()) {
    OnOpenDatabase();
    if (!database_.IsOpen()) return;
  }
  lastOutcome_.reset();
  if (!transfers_) return;
  uploadFailed_ = 0;
  const bool articles = controls_.viewMode == ViewMode::Articles;
  if (articles && !TransferService::HoldsArticlesInUse(database_)) {
    // A report file's records never carry IN_USE: its old prices and stock must not reach the register.
    controls_.statusText = "no article in use in " + std::filesystem::path(database_.Path()).filename().string() +
                           " \u2014 is it a report file?";
    uploadFailed_ = 1;
    Tell(controls_.statusText, MessageIcon::Warning);
    UpdateData(false);
    return;
  }
  // A register plugged in after the window opened tells its limits first.
  if (!EnsureParameters()) {
    uploadFailed_ = 1;
    return;
  }
  const char* question = articles ? "MSG_PLUREP_ATTENTION" : "MSG_DEPTREP_ATTENTION";
  if (op_.Ask(UiText(question), {}, MessageButtons::OkCancel, MessageIcon::Warning) != Answer::Ok) return;
  const UploadSelection selection =
      articles ? UploadSelection::ArticlesInUse(table_.Count()) : UploadSelection::Departments();
  TransferOutcome outcome;
  RunTask("Upload", [&](TransferControl& control) {
    WaitCursor wait(op_);
    outcome = TransferService(*transfers_).Upload(database_, selection, control);
  });
  ShowUploadOutcome(outcome, selection);
  UpdateData(false);
}

void ArticlesWindowLogic::ShowUploadOutcome(const TransferOutcome& outcome, const UploadSelection& selection) {
  lastOutcome_ = outcome;
  transferStopped_ = outcome.Cancelled();
  workRecord_ = ZeroArticle();
  const bool articles = selection.table == UploadSelection::Table::Articles;
  const std::string error = UiText("MSG_DEVICE_ERROR_MSG");
  switch (outcome.result) {
    case TransferResult::Done:
      // Nothing sent: the status line keeps what it said.
      if (outcome.articles + outcome.departments > 0) controls_.statusText = UiText("MSG_DEVICE_OK_MSG");
      return;
    case TransferResult::Cancelled:
      controls_.statusText = articles
                                 ? "Upload cancelled: " + GroupedCount(outcome.articles) + " of " +
                                       GroupedCount(std::max(selection.expected, outcome.articles)) + " articles sent"
                                 : "Upload cancelled: " + GroupedCount(outcome.departments) + " of " +
                                       GroupedCount(profile_.departmentCount) + " departments sent";
      break;
    case TransferResult::RegisterFailed:
      controls_.statusText =
          articles ? CFormat("%s  -  %d", error.c_str(), static_cast<int>(*outcome.articleFailedAt)) : error;
      break;
    case TransferResult::FileFailed:
      controls_.statusText = CFormat("%s  -  %s", error.c_str(), "database file unreadable");
      break;
  }
  uploadFailed_ = 1;
}

void ArticlesWindowLogic::TellFileFailure(FileStep step, const std::string& why) {
  switch (step) {
    case FileStep::Begin:
      Tell("The database file cannot be replaced, so it was left as it is:\n" + why, MessageIcon::Error);
      break;
    case FileStep::Commit:
      Tell(
          "The new database file could not take the place of the old one, which was left as it is. Check that the "
          "folder is writable and has free space.\n" +
              why,
          MessageIcon::Error);
      break;
    case FileStep::Write:
    case FileStep::Read: ReportWrite(IoResult::Fail(why), false); break;
  }
}

bool ArticlesWindowLogic::BeginNewFile(DatabaseFile& fresh, bool copyCurrent) {
  // The window holds the open file itself; no other program can have it.
  // A file made in this session is kept too once the operator's work is in it.
  IoResult begun = fresh.BeginReplacement(databasePath_, {.lockTarget = false, .keepBackup = !databaseJustCreated_});
  if (begun && copyCurrent) begun = CopyContents(database_, fresh);
  if (!begun) {
    fresh.Close();
    TellFileFailure(FileStep::Begin, begun.error);
  }
  return begun.ok;
}

bool ArticlesWindowLogic::PutInPlace(DatabaseFile& fresh) {
  const IoResult placed = fresh.CommitReplacement();
  if (!placed) {
    fresh.Close();
    TellFileFailure(FileStep::Commit, placed.error);
    return false;
  }
  database_ = std::move(fresh);
  databaseJustCreated_ = false;
  return true;
}

void ArticlesWindowLogic::OnDownload() {
  lastOutcome_.reset();
  downloadReplacedFile_ = false;
  transferStopped_ = false;
  if (database_.IsOpen()) database_.Close();
  choosingDownloadFile_ = true;
  OnOpenDatabase();
  choosingDownloadFile_ = false;
  // A new file the download did not complete is not made.
  const auto dropUnmadeFile = [this] {
    if (!database_.Replacing()) return false;
    database_.Close();
    EmptyList();
    return true;
  };
  if (!database_.IsOpen() || !transfers_) {
    dropUnmadeFile();
    return;
  }
  // The configured text names both tables; the line after it says which go.
  const bool articlesGo = controls_.viewMode == ViewMode::Articles || downloadAll_ == 1;
  const bool departmentsGo = controls_.viewMode == ViewMode::Departments || downloadAll_ == 1;
  const std::string file = std::filesystem::path(databasePath_).filename().string();
  const std::string replaced = articlesGo && departmentsGo ? "The articles and the departments of " + file
                               : articlesGo                ? "The articles of " + file
                                                           : "The departments of " + file;
  const std::string staying = articlesGo && departmentsGo ? "."
                              : articlesGo                ? "; its departments stay as they are."
                                                          : "; its articles stay as they are.";
  const std::string question =
      UiText("MSG_DBOVERWIRTE_ATTENTION") + "\n\n" + replaced + " will be replaced by the register's" + staying;
  if (op_.Ask(question, {}, MessageButtons::OkCancel, MessageIcon::Warning) != Answer::Ok) {
    if (dropUnmadeFile()) {
      controls_.statusText = std::string(kMsgDownloadCancelled) + ": " + kMsgNoDatabaseWritten;
      UpdateData(false);
    }
    return;
  }
  if (!EnsureParameters()) {
    transferFailed_ = 1;
    dropUnmadeFile();
    return;
  }
  EmptyList();
  const int before = transferFailed_;
  transferFailed_ = 0;
  std::size_t articleLines = 0;
  std::vector<DepartmentRecord> departmentRows;
  // The register's tables go into a new file, a copy of the old one (a
  // download of one table keeps the other); the old file stays as it is
  // until the new one is complete, and a cancelled download never replaces it.
  const DownloadRequest request =
      DownloadRequest::Tables(databasePath_, database_, articlesGo, departmentsGo, !databaseJustCreated_);
  TransferProgress progress;
  progress.article = [&](const ArticleRecord& article, std::uint32_t slot) {
    if (articleLines >= ArticleTable::kMaxArticles) return;
    table_.SetEntry(articleLines, article, static_cast<std::int32_t>(slot));
    ArticleRecord end = article;
    end.IN_USE = 0;
    table_.SetEntry(articleLines + 1, end, -1);
    ++articleLines;
  };
  // The opening download lists only the articles.
  if (downloadAll_ != 1) {
    progress.department = [&](const DepartmentRecord& department, std::uint32_t) {
      departmentRows.push_back(department);
    };
  }
  DatabaseFile placed;
  TransferOutcome outcome;
  RunTask("Download", [&](TransferControl& control) {
    WaitCursor wait(op_);
    outcome = TransferService(*transfers_).Download(request, placed, control, progress);
  });
  lastOutcome_ = outcome;
  transferStopped_ = outcome.Cancelled();
  if (outcome.FileFailed()) TellFileFailure(outcome.fileStep, outcome.why);
  if (outcome.placed) {
    database_ = std::move(placed);
    databaseJustCreated_ = false;
    downloadReplacedFile_ = true;
    transferFailed_ = before;
    controls_.statusText = UiText("MSG_DEVICE_OK_MSG");
    articleLines_ = articleLines;
    if (!departmentRows.empty()) {
      listKind_ = ListKind::Departments;
      departmentRows_ = std::move(departmentRows);
    }
    if (view_) view_->ListChanged();
  } else {
    transferFailed_ = 1;
    // What the task read is not in the file: show the file.
    const bool made = !dropUnmadeFile();
    const std::string kept = made ? databasePath_ + " was left as it was" : kMsgNoDatabaseWritten;
    if (outcome.Cancelled()) {
      controls_.statusText = std::string(kMsgDownloadCancelled) + ": " + kept;
    } else {
      controls_.statusText = outcome.RegisterFailed() ? UiText("MSG_DEVICE_ERROR_MSG") + "  -  " + kept : kept;
    }
    if (made) {
      ReloadFromFile();
      if (controls_.viewMode == ViewMode::Departments) ShowDepartments();
    }
  }
  UpdateData(false);
}

void ArticlesWindowLogic::UploadTables(ViewMode scope) {
  controls_.viewMode = scope;
  OnUpload();
}

void ArticlesWindowLogic::DownloadTables(ViewMode scope) {
  controls_.viewMode = scope;
  downloadAll_ = scope == ViewMode::Both ? 1 : 0;
  OnDownload();
  downloadAll_ = 0;
}
