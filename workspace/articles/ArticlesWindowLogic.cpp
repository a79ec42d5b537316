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
  loadedArticleCount_ = static_cast<std::uint32_t>(outcome.loaded);
  InvalidateRows();
  if (view_) view_->ListChanged();
  ReportLoad(outcome);
}

void ArticlesWindowLogic::SortAndRefill() {
  if (controls_.sortMode != SortMode::Column) sort_ = {ColumnOf(controls_.sortMode), sort_.descending};
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

void ArticlesWindowLogic::OnSortOption() {
  UpdateData(true);
  // An option sorts upwards, as it always did.
  sort_.descending = false;
  SortAndRefill();
  controls_.selectedIndex = -1;
  UpdateData(false);
}

void ArticlesWindowLogic::OnPluSearchFocus() {
  UpdateData(true);
  if (controls_.viewMode == ViewMode::Departments) return;
  enabled_.barcodeSearchWritable = false;
  enabled_.pluSearchWritable = true;
  if (view_) view_->EnabledChanged();
}

void ArticlesWindowLogic::OnBarcodeSearchFocus() {
  UpdateData(true);
  if (controls_.viewMode == ViewMode::Departments) return;
  enabled_.pluSearchWritable = false;
  enabled_.barcodeSearchWritable = true;
  if (view_) view_->EnabledChanged();
}

void ArticlesWindowLogic::OnSearchFocusLost() {
  enabled_.pluSearchWritable = enabled_.barcodeSearchWritable = false;
  controls_.pluSearchText.clear();
  controls_.barcodeSearchText.clear();
  if (view_) view_->EnabledChanged();
  UpdateData(false);
}

void ArticlesWindowLogic::OnPluSearch() {
  UpdateData(true);
  // Searching selects article lines: in the departments list it would point at
  // an unrelated department.
  if (controls_.viewMode == ViewMode::Departments || listKind_ != ListKind::Articles) return;
  if (!database_.IsOpen()) {
    Tell(kMsgOpenDatabasePlease, MessageIcon::Warning);
    return;
  }
  if (controls_.pluSearchText.empty()) return;
  const auto number = static_cast<std::int32_t>(LeadingIntegerOrZero(controls_.pluSearchText));
  if (const auto found = FindShown(
          [plu = static_cast<std::uint32_t>(number)](const ArticleTableEntry& e) { return e.PLUNO == plu; })) {
    controls_.selectedIndex = *found;
    controls_.statusText = CFormat("Element with Plu number: %d is found", number);
  } else {
    controls_.statusText = CFormat("Element with Plu number: %d is not found", number);
  }
  UpdateData(false);
}

void ArticlesWindowLogic::OnBarcodeSearch() {
  UpdateData(true);
  if (controls_.viewMode == ViewMode::Departments || listKind_ != ListKind::Articles) return;
  if (!database_.IsOpen()) {
    Tell(kMsgOpenDatabasePlease, MessageIcon::Warning);
    return;
  }
  if (controls_.barcodeSearchText.empty()) return;
  const std::int64_t number = TruncateToInt64(LeadingDoubleOrZero(controls_.barcodeSearchText));
  if (const auto found = FindShown([number](const ArticleTableEntry& e) { return e.BARCODE == number; })) {
    controls_.selectedIndex = *found;
    controls_.statusText = CFormat("Element with BarCode number: %.13lld found", static_cast<long long>(number));
  } else {
    controls_.statusText = CFormat("Element with Barcode number: %.13lld is not found", static_cast<long long>(number));
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
  if (controls_.selectedIndex >= 0) selected = TableIndexOfRow(static_cast<std::size_t>(controls_.selectedIndex));
  controls_.filterText = std::move(text);
  filter_ = NameFilter(controls_.filterText);
  InvalidateRows();
  if (view_) view_->ListChanged();
  controls_.selectedIndex = selected ? RowOfTableIndex(*selected).value_or(-1) : -1;
  if (listKind_ == ListKind::Articles && database_.IsOpen()) {
    controls_.statusText = CFormat("%zu of %zu articles shown", ListCount(), articleLines_);
  }
  UpdateData(false);
}

void ArticlesWindowLogic::OnFilterChanged() {
  UpdateData(true);
  ApplyFilter(controls_.filterText);
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
  if (controls_.selectedIndex >= 0) selected = TableIndexOfRow(static_cast<std::size_t>(controls_.selectedIndex));
  const std::uint32_t plu = selected ? table_.Entry(*selected).PLUNO : 0;
  sort_.descending = sort_.column == column && !sort_.descending;
  sort_.column = column;
  controls_.sortMode = SortModeOf(sort_);
  SortAndRefill();
  controls_.selectedIndex = -1;
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
