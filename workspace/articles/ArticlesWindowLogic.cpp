#include "workspace/articles/ArticlesWindowLogic.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "data/ArticleSlots.h"
#include "data/CFormat.h"
#include "data/Config.h"
#include "workspace/common/ProgressText.h"
#include "device/RegisterTransfers.h"
#include "transfer/TransferService.h"
#include "workspace/common/UiText.h"
#include "workspace/common/WorkbookExchange.h"

namespace {

FileChoice DatabaseChoice(bool open) {
  FileChoice choice;
  choice.kind = open ? FileChoice::Kind::Open : FileChoice::Kind::Save;
  choice.title = open ? "Open Database" : "Database to import into";
  choice.filters = {{".db", "*.db"}, {"*.*", "*.*"}};
  choice.defaultExtension = "db";
  choice.remember = "database";
  choice.confirmOverwrite = !open;
  return choice;
}

MessageIcon IconFor(const std::string& message) {
  return message == kMsgUnableToOpen ? MessageIcon::Warning : MessageIcon::Error;
}

}  // namespace

namespace {
// The tax group byte a new article starts with; the editor shows the second
// tax letter selected for it.
constexpr char kProposedTaxGroup = static_cast<char>(0xC1);

// What Add New puts into the editor: the article shown last, so that a row of
// similar articles is typed quickly, but without what belongs to that article
// alone (its barcode, sales and quantities); a fresh record before any.
ArticleRecord NewArticleFrom(const std::optional<ArticleRecord>& shown) {
  ArticleRecord record = ZeroArticle();
  if (!shown) {
    record.TAX_GROUP = kProposedTaxGroup;
    record.OPT_FRACT_QTY = 1;
    return record;
  }
  record = *shown;
  record.PLUNO = 0;
  record.BARCODE = 0;
  record.AMOUNT = record.AMOUNT_DS = record.SOLDQTY = record.SOLDQTY_DS = 0;
  record.STOCKQTY = record.INITQTY = 0;
  record.IN_USE = 0;
  return record;
}
}  // namespace

ArticlesWindowLogic::ArticlesWindowLogic(Operator& op, DeviceProfile& profile, ArticleEditorPort* articleEditor,
                                         DepartmentEditorPort* departmentEditor, RegisterTransfers* transfers)
    : workRecord_(ZeroArticle()),
      departmentBuffer_(ZeroDepartment()),
      op_(op),
      profile_(profile),
      articleEditor_(articleEditor),
      departmentEditor_(departmentEditor),
      transfers_(transfers) {}

ArticlesWindowLogic::~ArticlesWindowLogic() = default;

void ArticlesWindowLogic::Tell(const std::string& text, MessageIcon icon) { op_.Tell(text, icon); }

std::string ArticlesWindowLogic::ActiveFileText() const {
  // A file cut short opens all the same; the status line says what it lacks.
  if (!cutNotice_.empty()) return cutNotice_;
  return "Active database file :" + databasePath_ + (ReadOnly() ? kReadOnlyMark : "");
}

bool ArticlesWindowLogic::RefuseReadOnly() {
  if (!ReadOnly()) return false;
  Tell(databasePath_ + " may only be read here: it can be looked at and uploaded, not changed.", MessageIcon::Warning);
  return true;
}

void ArticlesWindowLogic::UpdateData(bool takeFromControls) {
  if (!takeFromControls) {
    RefreshDepartmentNames();
    UpdateEnabled();
  }
  if (!view_) return;
  if (takeFromControls) {
    view_->TakeControls(controls_);
  } else {
    view_->ShowControls(controls_);
  }
}

bool ArticlesWindowLogic::ReportWrite(const IoResult& result, bool operatorsWork) {
  if (!result) Tell("The database file could not be written:\n" + result.error, MessageIcon::Error);
  // From the first edit on, a file made in this session holds work worth a backup.
  if (result.ok && operatorsWork) databaseJustCreated_ = false;
  return result.ok;
}

void ArticlesWindowLogic::ReportLoad(const LoadOutcome& outcome) {
  if (outcome.capacityReached) {
    Tell(CFormat("The database file holds more than %zu articles; only the first %zu are listed.",
                 ArticleTable::kMaxArticles, ArticleTable::kMaxArticles),
         MessageIcon::Warning);
  }
  if (outcome.readError) Tell("The database file could not be read to its end:\n" + outcome.error, MessageIcon::Error);
  cutNotice_ = outcome.cut;
}

void ArticlesWindowLogic::ReloadFromFile() {
  EmptyList();
  const LoadOutcome outcome = database_.LoadTable(table_);
  articleLines_ = outcome.loaded;
  loadedArticleCount_ = static_cast<std::uint32_t>(outcome.loaded);
  InvalidateRows();
  if (view_) view_->ListChanged();
  ReportLoad(outcome);
}

void ArticlesWindowLogic::UpdateEnabled() {
  const bool articles = listKind_ == ListKind::Articles;
  enabled_.addNew = enabled_.remove = enabled_.exportXls = enabled_.importXls = enabled_.sortOptions = articles;
  // A file that may only be read is for looking at and uploading.
  enabled_.edit = !ReadOnly();
  enabled_.addNew = enabled_.addNew && enabled_.edit;
  enabled_.remove = enabled_.remove && enabled_.edit;
  enabled_.filter = articles;
  enabled_.openDatabase = true;
  enabled_.upload = enabled_.download = presence_.Attached();
  if (view_) view_->EnabledChanged();
}

void ArticlesWindowLogic::OnRegisterChanged(bool attached) {
  // During a task the task owns the members; the news waits for its end.
  if (!presence_.Change(attached)) return;
  controls_.statusText = attached ? "Register attached: " + UiText("DV_1") : kMsgNoRegister;
  UpdateData(false);
}

bool ArticlesWindowLogic::EnsureParameters() {
  if (!transfers_ || presence_.EnsureParameters([this] { return ReadParameters(); })) return true;
  controls_.statusText = UiText("MSG_DEVICE_ERROR_MSG");
  UpdateData(false);
  return false;
}

void ArticlesWindowLogic::RunTask(const std::string& title, const TaskRunner::Task& task) {
  ArticlesWindowView* view = view_;
  view_ = nullptr;
  presence_.BeginTask();
  transferStopped_ = false;
  runner_->Run(title, task);
  presence_.EndTask();
  view_ = view;
  UpdateEnabled();
}

bool ArticlesWindowLogic::ReadParameters() {
  bool answered = false;
  RunTask("Register", ReadParametersTask(*transfers_, op_, answered));
  return answered;
}

void ArticlesWindowLogic::OnInitDialog(bool deviceConnected) {
  presence_.Start(deviceConnected);
  UpdateEnabled();
  if (!deviceConnected) {
    controls_.statusText = kMsgNoRegister;
    UpdateData(false);
    return;
  }
  if (transfers_) {
    controls_.statusText.clear();
    const bool answered = ReadParameters();
    presence_.OpeningRead(answered);
    // A line or device that is there is no register yet: the download is
    // offered only to a register that answered. Reading the parameters is no
    // transfer: the status tells which register answered.
    controls_.statusText =
        answered ? "Register attached: " + UiText("DV_1") : RegisterPresence::NoAnswerText(transfers_->Address());
    UpdateData(false);
    if (!answered) return;
  }
  while (op_.Ask(UiText("MSG_DOWNLOAD_QUESTION"), {}, MessageButtons::YesNo, MessageIcon::Question) == Answer::Yes) {
    transferFailed_ = 0;
    DownloadTables(ViewMode::Both);
    // Cancel means the operator does not want it now: no second offer.
    if (transferFailed_ != 1 || transferStopped_) break;
  }
  // Both tables came; the list shows the articles, and so do the options.
  if (controls_.viewMode == ViewMode::Both) {
    controls_.viewMode = ViewMode::Articles;
    UpdateData(false);
  }
}

void ArticlesWindowLogic::OnSelectArticles() {
  controls_.viewMode = ViewMode::Articles;
  ShowArticles();
}

void ArticlesWindowLogic::OnSelectDepartments() {
  controls_.viewMode = ViewMode::Departments;
  ShowDepartments();
  UpdateData(false);
}

void ArticlesWindowLogic::OnOpenDatabase() {
  OpenOutcome outcome{};
  for (;;) {
    const auto path = op_.ChooseFile(DatabaseChoice(openDialogMode_ == 1));
    if (!path) {
      fileChosen_ = 0;
      return;
    }
    databasePath_ = *path;
    std::error_code missing;
    if (choosingDownloadFile_ &&
        std::filesystem::symlink_status(databasePath_, missing).type() == std::filesystem::file_type::not_found) {
      if (const IoResult begun = database_.BeginReplacement(databasePath_, {}); !begun) {
        Tell(std::string(kMsgUnableToOpen) + "\n" + begun.error, MessageIcon::Warning);
        continue;
      }
      outcome = {OpenResult::Created, {}};
      break;
    }
    outcome = database_.OpenDatabase(databasePath_, openDialogMode_ == 0);
    if (outcome.result == OpenResult::CannotOpen) {
      if (!outcome.message.empty()) {
        Tell(outcome.detail.empty() ? outcome.message : outcome.message + "\n" + outcome.detail,
             IconFor(outcome.message));
      }
      if (outcome.message == kMsgDestinationCannotOpen) return;
      continue;
    }
    if (outcome.result == OpenResult::WrongHeader) {
      Tell(outcome.message, MessageIcon::Error);
      return;
    }
    break;
  }
  databaseJustCreated_ = outcome.result == OpenResult::Created;
  // Another file has departments of its own: no article of the last one is a model.
  lastShown_.reset();
  ReloadFromFile();
  if (databaseJustCreated_) ReportWrite(database_.WriteNewContents(DefaultDepartmentTaxLetter()), false);
  workRecord_ = ZeroArticle();
  controls_.statusText = ActiveFileText();
  if (controls_.viewMode == ViewMode::Departments) ShowDepartments();
  UpdateData(false);
}

void ArticlesWindowLogic::ShowDepartments() {
  if (!database_.IsOpen()) {
    OnOpenDatabase();
    if (!database_.IsOpen()) {
      controls_.viewMode = ViewMode::Articles;
      UpdateData(false);
      return;
    }
  }
  listKind_ = ListKind::Departments;
  articleLines_ = 0;
  InvalidateRows();
  departmentRows_.clear();
  for (std::uint32_t n = 1; n <= profile_.departmentCount; ++n) {
    database_.ReadDepartment(n - 1, departmentBuffer_);
    departmentRows_.push_back(departmentBuffer_);
  }
  if (view_) view_->ListChanged();
  UpdateEnabled();
}

void ArticlesWindowLogic::ShowArticles() {
  UpdateData(true);
  if (!database_.IsOpen()) {
    Tell(kMsgOpenDatabasePlease, MessageIcon::Warning);
    return;
  }
  if (databasePath_.empty()) return;
  if (const IoResult reopened = database_.Reopen(); !reopened) {
    Tell(kMsgUnableToOpen, MessageIcon::Warning);
    return;
  }
  EmptyList();
  const LoadOutcome outcome = database_.LoadTable(table_);
  loadedArticleCount_ = static_cast<std::uint32_t>(outcome.loaded);
  ReportLoad(outcome);
  workRecord_ = ZeroArticle();
  controls_.statusText = ActiveFileText();
  UpdateData(false);
  SortAndRefill();
  UpdateData(false);
}

DuplicateField ArticlesWindowLogic::FindDuplicate(const ArticleRecord& candidate, bool editing, std::uint32_t oldPlu,
                                                  std::int64_t oldBarcode) const {
  const std::size_t count = table_.Count();
  for (std::size_t i = 0; i < count; ++i) {
    const ArticleTableEntry& entry = table_.Entry(i);
    if (entry.recordNo == workSlot_) continue;
    if (candidate.BARCODE != 0 && candidate.BARCODE == entry.BARCODE && (!editing || candidate.BARCODE != oldBarcode)) {
      return DuplicateField::Barcode;
    }
    if (candidate.PLUNO == entry.PLUNO && (!editing || candidate.PLUNO != oldPlu)) return DuplicateField::PluNumber;
  }
  return DuplicateField::None;
}

bool ArticlesWindowLogic::IsDuplicate(const ArticleRecord& candidate, bool editing, std::uint32_t oldPlu,
                                      std::int64_t oldBarcode) {
  switch (FindDuplicate(candidate, editing, oldPlu, oldBarcode)) {
    case DuplicateField::Barcode: Tell(kMsgDuplicateBarcode, MessageIcon::Warning); return true;
    case DuplicateField::PluNumber: Tell(kMsgDuplicatePlu, MessageIcon::Warning); return true;
    case DuplicateField::None: break;
  }
  return false;
}

void ArticlesWindowLogic::OnEdit() {
  UpdateData(true);
  if (!database_.IsOpen()) {
    Tell(kMsgOpenDatabasePlease, MessageIcon::Warning);
    return;
  }
  if (controls_.selectedIndex < 0 || static_cast<std::size_t>(controls_.selectedIndex) >= ListCount()) {
    Tell(kMsgSelectItem, MessageIcon::Warning);
    return;
  }
  if (RefuseReadOnly()) return;
  auto index = static_cast<std::size_t>(controls_.selectedIndex);

  if (controls_.viewMode == ViewMode::Departments) {
    if (listKind_ != ListKind::Departments || !departmentEditor_) return;
    DepartmentRecord department;
    database_.ReadDepartment(static_cast<std::uint32_t>(index), department);
    if (departmentEditor_->Edit(department)) {
      if (profile_.standCount == 0) department.STAND = 0;
      if (profile_.measureUnitCount == 0) department.MEASURE_UNIT = 0;
      if (profile_.commodityGroupCount == 0) department.STOCK_GROUP = 0;
      if (ReportWrite(database_.WriteDepartment(static_cast<std::uint32_t>(index), department))) {
        departmentRows_[index] = department;
        if (view_) view_->ListChanged();
      }
      UpdateData(false);
    }
    return;
  }

  if (listKind_ != ListKind::Articles || !articleEditor_) return;
  const std::size_t row = index;
  index = *TableIndexOfRow(row);
  workSlot_ = table_.Entry(index).recordNo;
  if (database_.ReadArticle(workSlot_, workRecord_) == ReadStatus::Error) {
    Tell("The article could not be read from the database file.", MessageIcon::Error);
    workRecord_ = ZeroArticle();
    return;
  }
  const std::uint32_t oldPlu = workRecord_.PLUNO;
  const std::int64_t oldBarcode = workRecord_.BARCODE;
  lastShown_ = workRecord_;
  articleEditor_->Record() = workRecord_;
  articleEditor_->SetDuplicateCheck([this, oldPlu, oldBarcode](const ArticleRecord& edited) {
    return FindDuplicate(edited, true, oldPlu, oldBarcode);
  });
  if (articleEditor_->IsOpen()) {
    articleEditor_->RefreshFromRecord();
  } else if (articleEditor_->DoModal()) {
    workRecord_ = articleEditor_->Record();
    if (IsDuplicate(workRecord_, true, oldPlu, oldBarcode)) {
      workRecord_ = ZeroArticle();
      return;
    }
    workRecord_.IN_USE = 1;
    if (ReportWrite(database_.WriteArticle(workSlot_, workRecord_))) {
      lastShown_ = workRecord_;
      table_.SetEntry(index, workRecord_, -1);
      SortAndRefill();
      // The sort may have moved it: the highlight stays on the edited article.
      SelectPlu(workRecord_.PLUNO);
      UpdateData(false);
    }
  }
  workRecord_ = ZeroArticle();
}

void ArticlesWindowLogic::OnAddNew() {
  UpdateData(true);
  if (!database_.IsOpen()) {
    OnOpenDatabase();
    if (!database_.IsOpen()) return;
  }
  if (!articleEditor_ || RefuseReadOnly()) return;
  if (table_.IsFull()) {
    Tell(CFormat("The table already holds %zu articles, the most it can take. Delete an article before adding "
                 "a new one.",
                 ArticleTable::kMaxArticles),
         MessageIcon::Warning);
    return;
  }
  // Never from a refused article: that one is in no file.
  ArticleRecord& editorRecord = articleEditor_->Record();
  editorRecord = NewArticleFrom(lastShown_);
  const auto freeSlot = database_.FindFreeSlot();
  if (!freeSlot) {
    Tell("The database file could not be read to find a free place for the article.", MessageIcon::Error);
    return;
  }
  workSlot_ = *freeSlot;
  table_.SortTable(SortKey::PluNumber);
  editorRecord.PLUNO = table_.FirstFreePlu();

  articleEditor_->SetDuplicateCheck([this](const ArticleRecord& edited) { return FindDuplicate(edited, false, 0, 0); });
  bool added = false;
  if (articleEditor_->IsOpen()) {
    articleEditor_->RefreshFromRecord();
  } else if (articleEditor_->DoModal()) {
    workRecord_ = articleEditor_->Record();
    if (!IsDuplicate(workRecord_, false, 0, 0)) {
      workRecord_.IN_USE = 1;
      if ((added = ReportWrite(database_.WriteArticle(workSlot_, workRecord_)))) {
        lastShown_ = workRecord_;
        const std::size_t index = table_.Count();
        table_.SetEntry(index, workRecord_, static_cast<std::int32_t>(workSlot_));
        table_.EndAt(index + 1);
      }
    }
  }
  SortAndRefill();
  controls_.selectedIndex = -1;
  if (added) SelectPlu(workRecord_.PLUNO);
  workRecord_ = ZeroArticle();
  UpdateData(false);
}

void ArticlesWindowLogic::SelectPlu(std::uint32_t plu) {
  if (listKind_ != ListKind::Articles) return;
  if (const auto index = table_.FindByPlu(plu)) {
    // A filter that hides it leaves no line selected.
    controls_.selectedIndex = RowOfTableIndex(*index).value_or(-1);
  }
}

void ArticlesWindowLogic::OnDelete() {
  UpdateData(true);
  if (!database_.IsOpen()) {
    Tell(kMsgOpenDatabasePlease, MessageIcon::Warning);
    return;
  }
  if (listKind_ != ListKind::Articles || controls_.selectedIndex < 0 ||
      static_cast<std::size_t>(controls_.selectedIndex) >= ListCount()) {
    Tell(kMsgSelectItem, MessageIcon::Warning);
    return;
  }
  if (RefuseReadOnly()) return;
  const auto row = static_cast<std::size_t>(controls_.selectedIndex);
  const std::size_t index = *TableIndexOfRow(row);
  // The question names the article, so a wrong highlight is caught before it is too late.
  const std::string question = std::string(kMsgDeleteQuestion) + "\n\n" + UiName(table_.ListLine(index));
  if (op_.Ask(question, {}, MessageButtons::YesNo, MessageIcon::Question) != Answer::Yes) return;
  workRecord_ = ZeroArticle();
  if (!ReportWrite(database_.WriteArticle(table_.Entry(index).recordNo, workRecord_))) return;
  table_.RemoveEntry(index);
  --articleLines_;
  InvalidateRows();
  if (view_) view_->ListChanged();
  if (row >= ListCount()) controls_.selectedIndex = -1;
  UpdateData(false);
}

void ArticlesWindowLogic::OnClose() { database_.Close(); }
