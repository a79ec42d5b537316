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

SortKey SortKeyOf(SortMode mode) {
  switch (mode) {
    case SortMode::PluNumber: return SortKey::PluNumber;
    case SortMode::Name: return SortKey::Name;
    case SortMode::Barcode: return SortKey::Barcode;
    case SortMode::Chronological:
    case SortMode::Column: break;
  }
  return SortKey::Chronological;
}

namespace {

// The Sort By option of a column, and the column of an option.
SortMode SortModeOf(const ListSort& sort) {
  if (!sort.column) return SortMode::Chronological;
  switch (*sort.column) {
    case ListColumn::Plu: return SortMode::PluNumber;
    case ListColumn::Name: return SortMode::Name;
    case ListColumn::Barcode: return SortMode::Barcode;
    default: return SortMode::Column;
  }
}

std::optional<ListColumn> ColumnOf(SortMode mode) {
  switch (mode) {
    case SortMode::PluNumber: return ListColumn::Plu;
    case SortMode::Name: return ListColumn::Name;
    case SortMode::Barcode: return ListColumn::Barcode;
    case SortMode::Chronological:
    case SortMode::Column: break;
  }
  return std::nullopt;
}

// A column's order of entries; ties keep their order (the sort is stable).
bool EntryLess(ListColumn column, const ArticleTableEntry& a, const ArticleTableEntry& b) {
  switch (column) {
    case ListColumn::Plu: return a.PLUNO < b.PLUNO;
    case ListColumn::Barcode: return a.BARCODE < b.BARCODE;
    case ListColumn::Name: return NameOf(a.NAME) < NameOf(b.NAME);
    case ListColumn::Price: return a.SING_PRICE < b.SING_PRICE;
    case ListColumn::SecondPrice: return a.MAX_PRICE < b.MAX_PRICE;
    case ListColumn::Department: return a.DEPARTMENT < b.DEPARTMENT;
    case ListColumn::Stock: {
      // Not controlled sorts after every counted stock.
      const bool freeA = IsNotControlled(a.STOCKQTY, a.OPT_FRACT_QTY);
      const bool freeB = IsNotControlled(b.STOCKQTY, b.OPT_FRACT_QTY);
      if (freeA != freeB) return freeB;
      return !freeA && a.STOCKQTY < b.STOCKQTY;
    }
    default: return false;
  }
}

// A configured label as a column title: "PLU No:" heads the column "PLU No".
std::string Title(const char* key) {
  std::string text = UiText(key);
  while (!text.empty() && (text.back() == ':' || text.back() == ' ')) text.pop_back();
  const std::size_t start = text.find_first_not_of(' ');
  return start == std::string::npos ? std::string() : text.substr(start);
}

}  // namespace

ArticlesWindowLogic::ArticlesWindowLogic(Operator& op, DeviceProfile& profile, ArticleEditorPort* articleEditor,
                                         DepartmentEditorPort* departmentEditor, RegisterTransfers* transfers)
    : workRecord(ZeroArticle()),
      departmentBuffer(ZeroDepartment()),
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
  return "Active database file :" + databasePath + (ReadOnly() ? kReadOnlyMark : "");
}

bool ArticlesWindowLogic::RefuseReadOnly() {
  if (!ReadOnly()) return false;
  Tell(databasePath + " may only be read here: it can be looked at and uploaded, not changed.", MessageIcon::Warning);
  return true;
}

void ArticlesWindowLogic::UpdateData(bool takeFromControls) {
  if (!takeFromControls) {
    RefreshDepartmentNames();
    UpdateEnabled();
  }
  if (!view_) return;
  if (takeFromControls) {
    view_->TakeControls(controls);
  } else {
    view_->ShowControls(controls);
  }
}

std::size_t ArticlesWindowLogic::ListCount() const {
  if (listKind_ == ListKind::Departments) return departmentRows_.size();
  if (!filter_.Active()) return articleLines_;
  CatchUpRows();
  return shownRows_.size();
}

std::optional<std::size_t> ArticlesWindowLogic::TableIndexOfRow(std::size_t row) const {
  if (listKind_ != ListKind::Articles || row >= ListCount()) return std::nullopt;
  return filter_.Active() ? shownRows_[row] : row;
}

std::optional<int> ArticlesWindowLogic::RowOfTableIndex(std::size_t index) const {
  if (listKind_ != ListKind::Articles || index >= articleLines_) return std::nullopt;
  if (!filter_.Active()) return static_cast<int>(index);
  CatchUpRows();
  const auto found = std::find(shownRows_.begin(), shownRows_.end(), static_cast<std::uint32_t>(index));
  if (found == shownRows_.end()) return std::nullopt;
  return static_cast<int>(found - shownRows_.begin());
}

std::string ArticlesWindowLogic::ListLine(std::size_t row) const {
  if (row >= ListCount()) return {};
  if (listKind_ == ListKind::Departments) return DepartmentListLine(departmentRows_[row]);
  return table_.ListLine(*TableIndexOfRow(row));
}

void ArticlesWindowLogic::InvalidateRows() {
  shownRows_.clear();
  filteredUpTo_ = 0;
}

void ArticlesWindowLogic::CatchUpRows() const {
  if (filteredUpTo_ > articleLines_) {
    shownRows_.clear();
    filteredUpTo_ = 0;
  }
  for (std::size_t i = filteredUpTo_; i < articleLines_; ++i) {
    if (filter_.Matches(NameOf(table_.Entry(i).NAME))) shownRows_.push_back(static_cast<std::uint32_t>(i));
  }
  filteredUpTo_ = articleLines_;
}

std::vector<ListColumn> ArticlesWindowLogic::Columns() const {
  if (listKind_ == ListKind::Departments) {
    return {ListColumn::DepartmentNumber, ListColumn::DepartmentName, ListColumn::PriceLimit, ListColumn::TaxGroup};
  }
  std::vector<ListColumn> columns{ListColumn::Plu, ListColumn::Barcode, ListColumn::Name, ListColumn::Price};
  if (profile_.secondPriceInReports != 0) columns.push_back(ListColumn::SecondPrice);
  columns.push_back(ListColumn::Department);
  columns.push_back(ListColumn::Stock);
  return columns;
}

std::string ArticlesWindowLogic::ColumnTitle(ListColumn column) {
  switch (column) {
    case ListColumn::Plu: return Title("DLG_ARTICLEEDITOR_PLUNO");
    case ListColumn::Barcode: return Title("DLG_ARTICLEEDITOR_BARCODE");
    case ListColumn::Name: return Title("DLG_ARTICLEEDITOR_NAME");
    case ListColumn::Price: return Title("DLG_ARTICLEEDITOR_PRICE");
    case ListColumn::SecondPrice: return Title("DLG_ARTICLEEDITOR_PRICE2");
    case ListColumn::Department: return Title("DLG_ARTICLEEDITOR_DEPARTMENT");
    case ListColumn::Stock: return Title("DLG_ARTICLEEDITOR_STOCKQTY");
    case ListColumn::DepartmentNumber: return Title("DLG_DEPARTMENTEDIT_DEPTNO");
    case ListColumn::DepartmentName: return Title("DLG_DEPARTMENTEDIT_NAME");
    case ListColumn::PriceLimit: return "Price limit";
    case ListColumn::TaxGroup: return Title("DLG_DEPARTMENTEDIT_TAXGROUP");
  }
  return {};
}

bool ArticlesWindowLogic::IsNumeric(ListColumn column) {
  switch (column) {
    case ListColumn::Name:
    case ListColumn::Department:
    case ListColumn::DepartmentName:
    case ListColumn::TaxGroup: return false;
    default: return true;
  }
}

std::string ArticlesWindowLogic::Cell(std::size_t row, ListColumn column) const {
  if (row >= ListCount()) return {};
  if (listKind_ == ListKind::Departments) {
    const DepartmentRecord& d = departmentRows_[row];
    switch (column) {
      case ListColumn::DepartmentNumber: return CFormat("%.4d", static_cast<int>(d.DEPTNO));
      case ListColumn::DepartmentName: return UiName(NameOf(d.NAME));
      case ListColumn::PriceLimit: return CFormat("%.2f", d.MAX_PRICE);
      case ListColumn::TaxGroup: return d.TAX_GROUP == '\0' ? std::string() : UiName(std::string(1, d.TAX_GROUP));
      default: return {};
    }
  }
  const ArticleTableEntry& e = table_.Entry(*TableIndexOfRow(row));
  switch (column) {
    case ListColumn::Plu: return CFormat("%.5d", static_cast<int>(e.PLUNO));
    case ListColumn::Barcode: return CFormat("%.13lld", static_cast<long long>(e.BARCODE));
    case ListColumn::Name: return UiName(NameOf(e.NAME));
    case ListColumn::Price: return CFormat("%.2f", e.SING_PRICE);
    case ListColumn::SecondPrice: return CFormat("%.2f", e.MAX_PRICE);
    case ListColumn::Department: {
      // The department field holds the position; the register counts from 1.
      const auto position = static_cast<std::size_t>(e.DEPARTMENT);
      if (e.DEPARTMENT >= 0 && position < departmentNames_.size() && !departmentNames_[position].empty()) {
        return UiName(departmentNames_[position]);
      }
      return std::to_string(static_cast<long long>(e.DEPARTMENT) + 1);
    }
    case ListColumn::Stock: return IsNotControlled(e.STOCKQTY, e.OPT_FRACT_QTY) ? "---" : CFormat("%.3f", e.STOCKQTY);
    default: return {};
  }
}

void ArticlesWindowLogic::RefreshDepartmentNames() {
  departmentNames_.clear();
  if (!database_.IsOpen()) return;
  // One read of the whole department area: cheap enough for every refresh, so
  // a download or an edit of the departments shows in the article rows at once.
  std::vector<DepartmentRecord> departments(DeviceProfile::kMaxDepartments);
  const std::size_t got =
      database_.ReadAt(DepartmentOffset(0), departments.data(), departments.size() * sizeof(DepartmentRecord));
  departments.resize(got / sizeof(DepartmentRecord));
  departmentNames_.reserve(departments.size());
  for (const DepartmentRecord& d : departments) departmentNames_.emplace_back(NameOf(d.NAME));
}

void ArticlesWindowLogic::EmptyList() {
  listKind_ = ListKind::Articles;
  listSorted_ = false;
  articleLines_ = 0;
  departmentRows_.clear();
  InvalidateRows();
  if (view_) view_->ListChanged();
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
  loadedArticleCount = static_cast<std::uint32_t>(outcome.loaded);
  InvalidateRows();
  if (view_) view_->ListChanged();
  ReportLoad(outcome);
}

void ArticlesWindowLogic::SortAndRefill() {
  if (controls.sortMode != SortMode::Column) sort_ = {ColumnOf(controls.sortMode), sort_.descending};
  if (!sort_.column) sort_.descending = false;
  const SortMode mode = SortModeOf(sort_);
  if (mode != SortMode::Column && !sort_.descending) {
    // The options keep their own sort of the table.
    table_.SortTable(SortKeyOf(mode));
  } else if (sort_.descending) {
    table_.SortWith([column = *sort_.column](const auto& a, const auto& b) { return EntryLess(column, b, a); });
  } else {
    table_.SortWith([column = *sort_.column](const auto& a, const auto& b) { return EntryLess(column, a, b); });
  }
  listKind_ = ListKind::Articles;
  departmentRows_.clear();
  articleLines_ = table_.Count();
  listSorted_ = true;
  InvalidateRows();
  if (view_) view_->ListChanged();
}

void ArticlesWindowLogic::UpdateEnabled() {
  const bool articles = listKind_ == ListKind::Articles;
  enabled.addNew = enabled.remove = enabled.exportXls = enabled.importXls = enabled.sortOptions = articles;
  // A file that may only be read is for looking at and uploading.
  enabled.edit = !ReadOnly();
  enabled.addNew = enabled.addNew && enabled.edit;
  enabled.remove = enabled.remove && enabled.edit;
  enabled.filter = articles;
  enabled.openDatabase = true;
  enabled.upload = enabled.download = presence_.Attached();
  if (view_) view_->EnabledChanged();
}

void ArticlesWindowLogic::OnRegisterChanged(bool attached) {
  // During a task the task owns the members; the news waits for its end.
  if (!presence_.Change(attached)) return;
  controls.statusText = attached ? "Register attached: " + UiText("DV_1") : kMsgNoRegister;
  UpdateData(false);
}

bool ArticlesWindowLogic::EnsureParameters() {
  if (!transfers_ || presence_.EnsureParameters([this] { return ReadParameters(); })) return true;
  controls.statusText = UiText("MSG_DEVICE_ERROR_MSG");
  UpdateData(false);
  return false;
}

void ArticlesWindowLogic::RunTask(const std::string& title, const TaskRunner::Task& task) {
  ArticlesWindowView* view = view_;
  view_ = nullptr;
  presence_.BeginTask();
  transferStopped = false;
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
    controls.statusText = kMsgNoRegister;
    UpdateData(false);
    return;
  }
  if (transfers_) {
    controls.statusText.clear();
    const bool answered = ReadParameters();
    presence_.OpeningRead(answered);
    // A line or device that is there is no register yet: the download is
    // offered only to a register that answered. Reading the parameters is no
    // transfer: the status tells which register answered.
    controls.statusText =
        answered ? "Register attached: " + UiText("DV_1") : RegisterPresence::NoAnswerText(transfers_->Address());
    UpdateData(false);
    if (!answered) return;
  }
  while (op_.Ask(UiText("MSG_DOWNLOAD_QUESTION"), {}, MessageButtons::YesNo, MessageIcon::Question) == Answer::Yes) {
    controls.viewMode = ViewMode::Both;
    transferFailed = 0;
    downloadAll = 1;
    OnDownload();
    downloadAll = 0;
    // Cancel means the operator does not want it now: no second offer.
    if (transferFailed != 1 || transferStopped) break;
  }
  // Both tables came; the list shows the articles, and so do the options.
  if (controls.viewMode == ViewMode::Both) {
    controls.viewMode = ViewMode::Articles;
    UpdateData(false);
  }
}

void ArticlesWindowLogic::OnSelectArticles() {
  controls.viewMode = ViewMode::Articles;
  ShowArticles();
}

void ArticlesWindowLogic::OnSelectDepartments() {
  controls.viewMode = ViewMode::Departments;
  ShowDepartments();
  UpdateData(false);
}

void ArticlesWindowLogic::OnOpenDatabase() {
  OpenOutcome outcome{};
  for (;;) {
    const auto path = op_.ChooseFile(DatabaseChoice(openDialogMode == 1));
    if (!path) {
      fileChosen = 0;
      return;
    }
    databasePath = *path;
    std::error_code missing;
    if (choosingDownloadFile_ &&
        std::filesystem::symlink_status(databasePath, missing).type() == std::filesystem::file_type::not_found) {
      if (const IoResult begun = database_.BeginReplacement(databasePath, {}); !begun) {
        Tell(std::string(kMsgUnableToOpen) + "\n" + begun.error, MessageIcon::Warning);
        continue;
      }
      outcome = {OpenResult::Created, {}};
      break;
    }
    outcome = database_.OpenDatabase(databasePath, openDialogMode == 0);
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
  workRecord = ZeroArticle();
  controls.statusText = ActiveFileText();
  if (controls.viewMode == ViewMode::Departments) ShowDepartments();
  UpdateData(false);
}

void ArticlesWindowLogic::ShowDepartments() {
  if (!database_.IsOpen()) {
    OnOpenDatabase();
    if (!database_.IsOpen()) {
      controls.viewMode = ViewMode::Articles;
      UpdateData(false);
      return;
    }
  }
  listKind_ = ListKind::Departments;
  articleLines_ = 0;
  InvalidateRows();
  departmentRows_.clear();
  for (std::uint32_t n = 1; n <= profile_.departmentCount; ++n) {
    database_.ReadDepartment(n - 1, departmentBuffer);
    departmentRows_.push_back(departmentBuffer);
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
  if (databasePath.empty()) return;
  if (const IoResult reopened = database_.Reopen(); !reopened) {
    Tell(kMsgUnableToOpen, MessageIcon::Warning);
    return;
  }
  EmptyList();
  const LoadOutcome outcome = database_.LoadTable(table_);
  loadedArticleCount = static_cast<std::uint32_t>(outcome.loaded);
  ReportLoad(outcome);
  workRecord = ZeroArticle();
  controls.statusText = ActiveFileText();
  UpdateData(false);
  SortAndRefill();
  UpdateData(false);
}

DuplicateField ArticlesWindowLogic::FindDuplicate(const ArticleRecord& candidate, bool editing, std::uint32_t oldPlu,
                                                  std::int64_t oldBarcode) const {
  const std::size_t count = table_.Count();
  for (std::size_t i = 0; i < count; ++i) {
    const ArticleTableEntry& entry = table_.Entry(i);
    if (entry.recordNo == workSlot) continue;
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
  if (controls.selectedIndex < 0 || static_cast<std::size_t>(controls.selectedIndex) >= ListCount()) {
    Tell(kMsgSelectItem, MessageIcon::Warning);
    return;
  }
  if (RefuseReadOnly()) return;
  auto index = static_cast<std::size_t>(controls.selectedIndex);

  if (controls.viewMode == ViewMode::Departments) {
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
  workSlot = table_.Entry(index).recordNo;
  if (database_.ReadArticle(workSlot, workRecord) == ReadStatus::Error) {
    Tell("The article could not be read from the database file.", MessageIcon::Error);
    workRecord = ZeroArticle();
    return;
  }
  const std::uint32_t oldPlu = workRecord.PLUNO;
  const std::int64_t oldBarcode = workRecord.BARCODE;
  lastShown_ = workRecord;
  articleEditor_->Record() = workRecord;
  articleEditor_->SetDuplicateCheck([this, oldPlu, oldBarcode](const ArticleRecord& edited) {
    return FindDuplicate(edited, true, oldPlu, oldBarcode);
  });
  if (articleEditor_->IsOpen()) {
    articleEditor_->RefreshFromRecord();
  } else if (articleEditor_->DoModal()) {
    workRecord = articleEditor_->Record();
    if (IsDuplicate(workRecord, true, oldPlu, oldBarcode)) {
      workRecord = ZeroArticle();
      return;
    }
    workRecord.IN_USE = 1;
    if (ReportWrite(database_.WriteArticle(workSlot, workRecord))) {
      lastShown_ = workRecord;
      table_.SetEntry(index, workRecord, -1);
      SortAndRefill();
      // The sort may have moved it: the highlight stays on the edited article.
      SelectPlu(workRecord.PLUNO);
      UpdateData(false);
    }
  }
  workRecord = ZeroArticle();
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
  workSlot = *freeSlot;
  table_.SortTable(SortKey::PluNumber);
  editorRecord.PLUNO = table_.FirstFreePlu();

  articleEditor_->SetDuplicateCheck([this](const ArticleRecord& edited) { return FindDuplicate(edited, false, 0, 0); });
  bool added = false;
  if (articleEditor_->IsOpen()) {
    articleEditor_->RefreshFromRecord();
  } else if (articleEditor_->DoModal()) {
    workRecord = articleEditor_->Record();
    if (!IsDuplicate(workRecord, false, 0, 0)) {
      workRecord.IN_USE = 1;
      if ((added = ReportWrite(database_.WriteArticle(workSlot, workRecord)))) {
        lastShown_ = workRecord;
        const std::size_t index = table_.Count();
        table_.SetEntry(index, workRecord, static_cast<std::int32_t>(workSlot));
        table_.EndAt(index + 1);
      }
    }
  }
  SortAndRefill();
  controls.selectedIndex = -1;
  if (added) SelectPlu(workRecord.PLUNO);
  workRecord = ZeroArticle();
  UpdateData(false);
}

void ArticlesWindowLogic::SelectPlu(std::uint32_t plu) {
  if (listKind_ != ListKind::Articles) return;
  if (const auto index = table_.FindByPlu(plu)) {
    // A filter that hides it leaves no line selected.
    controls.selectedIndex = RowOfTableIndex(*index).value_or(-1);
  }
}

void ArticlesWindowLogic::OnDelete() {
  UpdateData(true);
  if (!database_.IsOpen()) {
    Tell(kMsgOpenDatabasePlease, MessageIcon::Warning);
    return;
  }
  if (listKind_ != ListKind::Articles || controls.selectedIndex < 0 ||
      static_cast<std::size_t>(controls.selectedIndex) >= ListCount()) {
    Tell(kMsgSelectItem, MessageIcon::Warning);
    return;
  }
  if (RefuseReadOnly()) return;
  const auto row = static_cast<std::size_t>(controls.selectedIndex);
  const std::size_t index = *TableIndexOfRow(row);
  // The question names the article, so a wrong highlight is caught before it is too late.
  const std::string question = std::string(kMsgDeleteQuestion) + "\n\n" + UiName(table_.ListLine(index));
  if (op_.Ask(question, {}, MessageButtons::YesNo, MessageIcon::Question) != Answer::Yes) return;
  workRecord = ZeroArticle();
  if (!ReportWrite(database_.WriteArticle(table_.Entry(index).recordNo, workRecord))) return;
  table_.RemoveEntry(index);
  --articleLines_;
  InvalidateRows();
  if (view_) view_->ListChanged();
  if (row >= ListCount()) controls.selectedIndex = -1;
  UpdateData(false);
}

void ArticlesWindowLogic::OnSortOption() {
  UpdateData(true);
  // An option sorts upwards, as it always did.
  sort_.descending = false;
  SortAndRefill();
  controls.selectedIndex = -1;
  UpdateData(false);
}

void ArticlesWindowLogic::OnPluSearchFocus() {
  UpdateData(true);
  if (controls.viewMode == ViewMode::Departments) return;
  enabled.barcodeSearchWritable = false;
  enabled.pluSearchWritable = true;
  if (view_) view_->EnabledChanged();
}

void ArticlesWindowLogic::OnBarcodeSearchFocus() {
  UpdateData(true);
  if (controls.viewMode == ViewMode::Departments) return;
  enabled.pluSearchWritable = false;
  enabled.barcodeSearchWritable = true;
  if (view_) view_->EnabledChanged();
}

void ArticlesWindowLogic::OnSearchFocusLost() {
  enabled.pluSearchWritable = enabled.barcodeSearchWritable = false;
  controls.pluSearchText.clear();
  controls.barcodeSearchText.clear();
  if (view_) view_->EnabledChanged();
  UpdateData(false);
}

void ArticlesWindowLogic::OnPluSearch() {
  UpdateData(true);
  // Searching selects article lines: in the departments list it would point at
  // an unrelated department.
  if (controls.viewMode == ViewMode::Departments || listKind_ != ListKind::Articles) return;
  if (!database_.IsOpen()) {
    Tell(kMsgOpenDatabasePlease, MessageIcon::Warning);
    return;
  }
  if (controls.pluSearchText.empty()) return;
  const auto number = static_cast<std::int32_t>(LeadingIntegerOrZero(controls.pluSearchText));
  if (const auto found = FindShown(
          [plu = static_cast<std::uint32_t>(number)](const ArticleTableEntry& e) { return e.PLUNO == plu; })) {
    controls.selectedIndex = *found;
    controls.statusText = CFormat("Element with Plu number: %d is found", number);
  } else {
    controls.statusText = CFormat("Element with Plu number: %d is not found", number);
  }
  UpdateData(false);
}

void ArticlesWindowLogic::OnBarcodeSearch() {
  UpdateData(true);
  if (controls.viewMode == ViewMode::Departments || listKind_ != ListKind::Articles) return;
  if (!database_.IsOpen()) {
    Tell(kMsgOpenDatabasePlease, MessageIcon::Warning);
    return;
  }
  if (controls.barcodeSearchText.empty()) return;
  const std::int64_t number = TruncateToInt64(LeadingDoubleOrZero(controls.barcodeSearchText));
  if (const auto found = FindShown([number](const ArticleTableEntry& e) { return e.BARCODE == number; })) {
    controls.selectedIndex = *found;
    controls.statusText = CFormat("Element with BarCode number: %.13lld found", static_cast<long long>(number));
  } else {
    controls.statusText = CFormat("Element with Barcode number: %.13lld is not found", static_cast<long long>(number));
  }
  UpdateData(false);
}

std::optional<int> ArticlesWindowLogic::FindShown(const std::function<bool(const ArticleTableEntry&)>& wanted) const {
  const std::size_t rows = ListCount();
  for (std::size_t row = 0; row < rows; ++row) {
    if (wanted(table_.Entry(*TableIndexOfRow(row)))) return static_cast<int>(row);
  }
  return std::nullopt;
}

void ArticlesWindowLogic::ApplyFilter(std::string text) {
  // The highlighted article stays highlighted when the filter still shows it.
  std::optional<std::size_t> selected;
  if (controls.selectedIndex >= 0) selected = TableIndexOfRow(static_cast<std::size_t>(controls.selectedIndex));
  controls.filterText = std::move(text);
  filter_ = NameFilter(controls.filterText);
  InvalidateRows();
  if (view_) view_->ListChanged();
  controls.selectedIndex = selected ? RowOfTableIndex(*selected).value_or(-1) : -1;
  if (listKind_ == ListKind::Articles && database_.IsOpen()) {
    controls.statusText = CFormat("%zu of %zu articles shown", ListCount(), articleLines_);
  }
  UpdateData(false);
}

void ArticlesWindowLogic::OnFilterChanged() {
  UpdateData(true);
  ApplyFilter(controls.filterText);
}

void ArticlesWindowLogic::OnFilterCleared() {
  UpdateData(true);
  ApplyFilter({});
}

void ArticlesWindowLogic::OnHeaderClicked(ListColumn column) {
  UpdateData(true);
  if (listKind_ != ListKind::Articles) return;
  const auto columns = Columns();
  if (std::find(columns.begin(), columns.end(), column) == columns.end()) return;
  std::optional<std::size_t> selected;
  if (controls.selectedIndex >= 0) selected = TableIndexOfRow(static_cast<std::size_t>(controls.selectedIndex));
  const std::uint32_t plu = selected ? table_.Entry(*selected).PLUNO : 0;
  sort_.descending = sort_.column == column && !sort_.descending;
  sort_.column = column;
  controls.sortMode = SortModeOf(sort_);
  SortAndRefill();
  controls.selectedIndex = -1;
  if (selected) SelectPlu(plu);
  UpdateData(false);
}

void ArticlesWindowLogic::OnClose() { database_.Close(); }

void ArticlesWindowLogic::OnExportXls() {
  UpdateData(true);
  if (!database_.IsOpen()) {
    Tell(kMsgOpenDatabasePlease, MessageIcon::Error);
    return;
  }
  if (!workbooks_) return;
  const auto workbook = WorkbookExchange::ChooseWorkbook(op_, true, databasePath);
  if (!workbook) return;
  bool written = false;
  RunTask("Export XLS", [&](TransferControl& control) {
    written = workbooks_->Export(op_, database_, *workbook, kArticlesConverterName, control);
    transferStopped = control.StopRequested();
  });
  if (transferStopped) controls.statusText = "Export cancelled: no workbook was written";
  if (written) controls.statusText = kMsgWorkbookWritten + *workbook;
  UpdateData(false);
}

void ArticlesWindowLogic::OnImportXls() {
  UpdateData(true);
  if (!workbooks_) return;
  if (database_.IsOpen()) {
    const std::string question = std::string(kMsgImportOverwrite) + "\n\nThe articles and the departments of " +
                                 std::filesystem::path(databasePath).filename().string() +
                                 " will be replaced by the workbook's; departments the workbook does not list "
                                 "become default departments.";
    if (op_.Ask(question, {}, MessageButtons::YesNo, MessageIcon::Question) != Answer::Yes) {
      openDialogMode = 0;
      fileChosen = 1;
      OnOpenDatabase();
      openDialogMode = 1;
      if (fileChosen == 0) return;
    }
  } else {
    fileChosen = 1;
    OnOpenDatabase();
    if (fileChosen == 0) return;
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
    transferStopped = control.StopRequested();
  });
  if (transferStopped) {
    controls.statusText = "Import cancelled: " + databasePath + " was left as it was";
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
  workRecord = ZeroArticle();
  if (controls.viewMode == ViewMode::Departments) ShowDepartments();
  UpdateData(false);
}

void ArticlesWindowLogic::OnUpload() {
  UpdateData(true);
  if (!database_.IsOpen()) {
    OnOpenDatabase();
    if (!database_.IsOpen()) return;
  }
  if (!transfers_) return;
  uploadFailed = 0;
  const bool articles = controls.viewMode == ViewMode::Articles;
  if (articles && !HasArticleInUse()) {
    // A report file's records never carry IN_USE: its old prices and stock must not reach the register.
    controls.statusText = "no article in use in " + std::filesystem::path(database_.Path()).filename().string() +
                          " \u2014 is it a report file?";
    uploadFailed = 1;
    Tell(controls.statusText, MessageIcon::Warning);
    UpdateData(false);
    return;
  }
  // A register plugged in after the window opened tells its limits first.
  if (!EnsureParameters()) {
    uploadFailed = 1;
    return;
  }
  const char* question = articles ? "MSG_PLUREP_ATTENTION" : "MSG_DEPTREP_ATTENTION";
  if (op_.Ask(UiText(question), {}, MessageButtons::OkCancel, MessageIcon::Warning) != Answer::Ok) return;
  RunTask("Upload", [this, articles](TransferControl& control) {
    if (articles) {
      UploadArticles(control);
    } else {
      UploadDepartments(control);
    }
  });
  UpdateData(false);
}

bool ArticlesWindowLogic::HasArticleInUse() const {
  ArticleSlots slots(database_, SlotRule::InUse);
  // A file that cannot be read is not called empty here; the upload says what failed.
  return slots.begin() != std::default_sentinel || slots.Failed();
}

void ArticlesWindowLogic::UploadArticles(TransferControl& control) {
  // The articles the list holds are those in use, the ones sent.
  const std::uint64_t total = table_.Count();
  control.Begin("Articles", total);
  std::uint64_t sent = 0;
  ArticleSlots slots(database_, SlotRule::InUse);
  for (const ArticleSlots::Slot slot : slots) {
    if (control.StopRequested()) {
      transferStopped = true;
      break;
    }
    workRecord = slot.record;
    WaitCursor wait(op_);
    if (!transfers_->UploadArticle(workRecord)) {
      controls.statusText =
          CFormat("%s  -  %d", UiText("MSG_DEVICE_ERROR_MSG").c_str(), static_cast<int>(workRecord.PLUNO));
      uploadFailed = 1;
      break;
    }
    controls.statusText = UiText("MSG_DEVICE_OK_MSG");
    control.Advance(++sent);
  }
  if (transferStopped) {
    controls.statusText =
        "Upload cancelled: " + GroupedCount(sent) + " of " + GroupedCount(std::max(total, sent)) + " articles sent";
    uploadFailed = 1;
  } else if (uploadFailed == 0 && slots.Failed()) {
    controls.statusText = CFormat("%s  -  %s", UiText("MSG_DEVICE_ERROR_MSG").c_str(), "database file unreadable");
    uploadFailed = 1;
  }
  workRecord = ZeroArticle();
}

void ArticlesWindowLogic::UploadDepartments(TransferControl& control) {
  const std::uint32_t total = profile_.departmentCount;
  control.Begin("Departments", total);
  std::uint32_t position = 0;
  for (; position < total; ++position) {
    if (control.StopRequested()) {
      transferStopped = true;
      controls.statusText =
          "Upload cancelled: " + GroupedCount(position) + " of " + GroupedCount(total) + " departments sent";
      uploadFailed = 1;
      return;
    }
    database_.ReadDepartment(position, departmentBuffer);
    WaitCursor wait(op_);
    if (!transfers_->UploadDepartment(departmentBuffer)) {
      controls.statusText = UiText("MSG_DEVICE_ERROR_MSG");
      uploadFailed = 1;
      return;
    }
    controls.statusText = UiText("MSG_DEVICE_OK_MSG");
    control.Advance(position + 1);
  }
}

bool ArticlesWindowLogic::BeginNewFile(DatabaseFile& fresh, bool copyCurrent) {
  // The window holds the open file itself; no other program can have it.
  // A file made in this session is kept too once the operator's work is in it.
  IoResult begun = fresh.BeginReplacement(databasePath, {.lockTarget = false, .keepBackup = !databaseJustCreated_});
  if (begun && copyCurrent) begun = CopyContents(database_, fresh);
  if (!begun) {
    fresh.Close();
    Tell("The database file cannot be replaced, so it was left as it is:\n" + begun.error, MessageIcon::Error);
  }
  return begun.ok;
}

bool ArticlesWindowLogic::PutInPlace(DatabaseFile& fresh) {
  const IoResult placed = fresh.CommitReplacement();
  if (!placed) {
    fresh.Close();
    Tell(
        "The new database file could not take the place of the old one, which was left as it is. Check that the "
        "folder is writable and has free space.\n" +
            placed.error,
        MessageIcon::Error);
    return false;
  }
  database_ = std::move(fresh);
  databaseJustCreated_ = false;
  return true;
}

bool ArticlesWindowLogic::ClearArticleSlots(DatabaseFile& file) {
  // Every slot, not only those loaded: an article left behind would later be
  // uploaded as if it came from the register.
  const std::uint64_t length = file.Length();
  if (length <= kArticleAreaOffset) return true;
  const std::uint64_t slots = (length - kArticleAreaOffset) / sizeof(ArticleRecord);
  const std::vector<char> zeros(64 * sizeof(ArticleRecord) * 16, 0);
  std::uint64_t offset = kArticleAreaOffset;
  std::uint64_t remaining = slots * sizeof(ArticleRecord);
  while (remaining > 0) {
    const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, zeros.size()));
    if (!ReportWrite(file.WriteAt(offset, zeros.data(), chunk), false)) return false;
    offset += chunk;
    remaining -= chunk;
  }
  return true;
}

void ArticlesWindowLogic::DownloadArticles(DatabaseFile& file, TransferControl& control, std::size_t& lines) {
  workRecord = ZeroArticle();
  if (!ClearArticleSlots(file)) {
    transferFailed = 1;
    return;
  }
  // The register does not say how many articles it holds.
  control.Begin("Articles", 0);
  char state = 0;
  bool ok = !control.StopRequested();
  if (ok) {
    WaitCursor wait(op_);
    ok = transfers_->DownloadArticle(workRecord, 'F', state);
  }
  bool written = true;
  for (std::uint32_t slot = 1; ok; ++slot) {
    if (state == 'F') {
      controls.statusText = UiText("MSG_DEVICE_OK_MSG");
      break;
    }
    if (!ReportWrite(file.WriteArticle(slot, workRecord), false)) {
      ok = written = false;
      break;
    }
    const std::size_t index = lines;
    if (index < ArticleTable::kMaxArticles) {
      table_.SetEntry(index, workRecord, static_cast<std::int32_t>(slot));
      workRecord.IN_USE = 0;
      table_.SetEntry(index + 1, workRecord, -1);
      ++lines;
    }
    control.Advance(slot);
    if (control.StopRequested()) {
      ok = false;
      break;
    }
    WaitCursor wait(op_);
    ok = transfers_->DownloadArticle(workRecord, 'N', state);
  }
  transferStopped = control.StopRequested() && !ok && written;
  if (!ok) {
    // A file that could not be written is no fault of the register.
    if (written && !transferStopped) controls.statusText = UiText("MSG_DEVICE_ERROR_MSG");
    transferFailed = 1;
  }
}

void ArticlesWindowLogic::DownloadDepartments(DatabaseFile& file, TransferControl& control,
                                              std::vector<DepartmentRecord>& rows) {
  departmentBuffer = ZeroDepartment();
  departmentBuffer.downloaded = 1;
  control.Begin("Departments", profile_.departmentCount);
  for (std::uint32_t position = 0; position < profile_.departmentCount; ++position) {
    if (control.StopRequested()) {
      transferStopped = true;
      transferFailed = 1;
      return;
    }
    bool ok;
    {
      WaitCursor wait(op_);
      ok = transfers_->DownloadDepartment(departmentBuffer, position);
    }
    if (!ok) controls.statusText = UiText("MSG_DEVICE_ERROR_MSG");
    if (!ok || !ReportWrite(file.WriteDepartment(position, departmentBuffer), false)) {
      transferFailed = 1;
      return;
    }
    if (downloadAll != 1) rows.push_back(departmentBuffer);
    control.Advance(position + 1);
  }
  controls.statusText = UiText("MSG_DEVICE_OK_MSG");
}

void ArticlesWindowLogic::OnDownload() {
  downloadReplacedFile = false;
  transferStopped = false;
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
  const bool articlesGo = controls.viewMode == ViewMode::Articles || downloadAll == 1;
  const bool departmentsGo = controls.viewMode == ViewMode::Departments || downloadAll == 1;
  const std::string file = std::filesystem::path(databasePath).filename().string();
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
      controls.statusText = std::string(kMsgDownloadCancelled) + ": " + kMsgNoDatabaseWritten;
      UpdateData(false);
    }
    return;
  }
  if (!EnsureParameters()) {
    transferFailed = 1;
    dropUnmadeFile();
    return;
  }
  EmptyList();
  const int before = transferFailed;
  transferFailed = 0;
  bool begun = false;
  std::size_t articleLines = 0;
  std::vector<DepartmentRecord> departmentRows;
  RunTask("Download", [&](TransferControl& control) {
    // The register's tables go into a new file, a copy of the old one (a
    // download of one table keeps the other); the old file stays as it is
    // until the new one is complete, and a cancelled download never replaces it.
    DatabaseFile fresh;
    if (!BeginNewFile(fresh, true)) return;
    begun = true;
    bool articlesFailed = false;
    if (controls.viewMode == ViewMode::Articles || downloadAll == 1) {
      DownloadArticles(fresh, control, articleLines);
      articlesFailed = transferFailed == 1;
    }
    if (!articlesFailed && (controls.viewMode == ViewMode::Departments || downloadAll == 1)) {
      DownloadDepartments(fresh, control, departmentRows);
    }
    if (transferFailed == 0 && PutInPlace(fresh)) {
      downloadReplacedFile = true;
    } else {
      fresh.Close();
      transferFailed = 1;
    }
  });
  transferFailed = std::max(before, transferFailed);
  if (downloadReplacedFile) {
    articleLines_ = articleLines;
    if (!departmentRows.empty()) {
      listKind_ = ListKind::Departments;
      departmentRows_ = std::move(departmentRows);
    }
    if (view_) view_->ListChanged();
  } else {
    transferFailed = 1;
    // What the task read is not in the file: show the file.
    const bool made = !dropUnmadeFile();
    const std::string kept = made ? databasePath + " was left as it was" : kMsgNoDatabaseWritten;
    const std::string registerError = UiText("MSG_DEVICE_ERROR_MSG");
    if (transferStopped) {
      controls.statusText = std::string(kMsgDownloadCancelled) + ": " + kept;
    } else {
      controls.statusText = begun && controls.statusText == registerError ? registerError + "  -  " + kept : kept;
    }
    if (made) {
      ReloadFromFile();
      if (controls.viewMode == ViewMode::Departments) ShowDepartments();
    }
  }
  UpdateData(false);
}
