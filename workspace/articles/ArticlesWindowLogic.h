// The main articles window without its widgets: one database file, the article
// table, the list that shows articles or departments, and every command of the
// window. The Qt window and the console tool both drive it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "data/ArticleTable.h"
#include "data/DatabaseFile.h"
#include "data/DeviceProfile.h"
#include "workspace/articles/EditorPorts.h"
#include "workspace/articles/NameFilter.h"
#include "workspace/common/Operator.h"
#include "data/Records.h"
#include "workspace/common/RegisterPresence.h"
#include "workspace/common/TaskRunner.h"
#include "transfer/TransferOutcome.h"

class RegisterTransfers;
struct UploadSelection;
class WorkbookExchange;

// Which list the Select options show. The values are the radio buttons' ids.
enum class ViewMode : int {
  Articles = 0,
  Departments = 1,
  Both = 2,  // after the opening download, which fills both tables
};

// The Sort By options, in the order of their radio buttons (the buttons' ids).
// Column: the list is sorted by a column header that has no option.
enum class SortMode : int { PluNumber = 0, Name = 1, Barcode = 2, Chronological = 3, Column = 4 };
SortKey SortKeyOf(SortMode mode);

// The columns of the list: the first seven for articles, the rest for departments.
enum class ListColumn {
  Plu,
  Barcode,
  Name,
  Price,
  SecondPrice,
  Department,
  Stock,
  DepartmentNumber,
  DepartmentName,
  PriceLimit,
  TaxGroup,
};

// The order the article list is in: by a column, or by slot (Chronologic) when
// there is none.
struct ListSort {
  std::optional<ListColumn> column;
  bool descending = false;
};

// The values that travel between the window's controls and its members.
struct ArticlesWindowControls {
  int selectedIndex = 0;   // selected list line, -1 for none
  std::string statusText;  // UTF-8
  std::string pluSearchText;
  std::string barcodeSearchText;
  std::string filterText;  // the name filter, UTF-8
  ViewMode viewMode = ViewMode::Articles;
  SortMode sortMode = SortMode::Chronological;
};

struct ArticlesWindowEnabled {
  bool edit = true, addNew = true, remove = true, upload = true, download = true;
  bool exportXls = true, importXls = true, openDatabase = true, sortOptions = true, filter = true;
  bool pluSearchWritable = false, barcodeSearchWritable = false;
};

// The widgets' side of the data exchange.
class ArticlesWindowView {
 public:
  virtual ~ArticlesWindowView() = default;
  // Copies what the controls show into the members.
  virtual void TakeControls(ArticlesWindowControls& controls) = 0;
  // Shows the members, the list and the enabled states.
  virtual void ShowControls(const ArticlesWindowControls& controls) = 0;
  // The list's lines changed (count or contents).
  virtual void ListChanged() = 0;
  virtual void EnabledChanged() = 0;
};

class ArticlesWindowLogic {
 public:
  enum class ListKind { Articles, Departments };

  ArticlesWindowLogic(Operator& op, DeviceProfile& profile, ArticleEditorPort* articleEditor,
                      DepartmentEditorPort* departmentEditor, RegisterTransfers* transfers);
  ~ArticlesWindowLogic();

  void SetView(ArticlesWindowView* view) { view_ = view; }
  // Without a workbook exchange Export XLS and Import XLS do nothing.
  void SetWorkbookExchange(WorkbookExchange* exchange) { workbooks_ = exchange; }
  // Register transfers and converter runs go through the runner (the window's
  // runs them on a worker behind a progress window); null: on the calling thread.
  void SetTaskRunner(TaskRunner* runner) { runner_ = runner ? runner : &directRunner_; }
  // A transfer or converter run is under way: the window must leave the logic alone.
  bool Busy() const { return presence_.Busy(); }

  // Commands of the window.
  void OnInitDialog(bool deviceConnected);
  void OnOpenDatabase();
  void OnEdit();
  void OnAddNew();
  void OnDelete();
  // The Select options as the operator clicks them: the view mode follows.
  void OnSelectArticles();
  void OnSelectDepartments();
  void ShowArticles();
  void ShowDepartments();
  // The register came or went while the window is open.
  void OnRegisterChanged(bool attached);
  bool RegisterAttached() const { return presence_.Attached(); }
  void OnSortOption();
  void OnPluSearchFocus();
  void OnBarcodeSearchFocus();
  void OnSearchFocusLost();
  void OnPluSearch();
  void OnBarcodeSearch();
  // The name filter's text changed; cleared (Escape) shows every article again.
  void OnFilterChanged();
  void OnFilterCleared();
  // A click on the header of column: sorts by it, the second click the other way round.
  void OnHeaderClicked(ListColumn column);
  void OnUpload();
  void OnDownload();
  void OnExportXls();
  void OnImportXls();
  void OnClose();

  // The list as it is shown: one line per article or department (record code
  // page). With a name filter set, row i is the i-th article that matches; the
  // selected index, Edit, Delete and the searches count rows as shown.
  ListKind Kind() const { return listKind_; }
  std::size_t ListCount() const;
  std::string ListLine(std::size_t row) const;
  // The table entry behind an article row.
  std::optional<std::size_t> TableIndexOfRow(std::size_t row) const;
  // Articles in the table, shown or not.
  std::size_t ArticleCount() const { return articleLines_; }

  // The columns of the list shown, their titles and cell texts (UTF-8).
  std::vector<ListColumn> Columns() const;
  static std::string ColumnTitle(ListColumn column);
  static bool IsNumeric(ListColumn column);
  std::string Cell(std::size_t row, ListColumn column) const;
  // The order the article rows are in; no column right after a load, which
  // lists the articles by slot whatever option is checked.
  ListSort Sort() const { return listSorted_ ? sort_ : ListSort{}; }

  // The values the controls show; the view (and a test standing in for it) writes them.
  ArticlesWindowControls& Controls() { return controls_; }
  const ArticlesWindowControls& Controls() const { return controls_; }
  const ArticlesWindowEnabled& Enabled() const { return enabled_; }
  // The download of the scope asked for (Both: the opening download of both
  // tables, listing the articles), as the Download button runs it.
  void DownloadTables(ViewMode scope);
  // 1 while the download of both tables runs.
  int DownloadAll() const { return downloadAll_; }
  // The last download failed (1) or did not complete.
  int TransferFailed() const { return transferFailed_; }
  // The last upload failed or did not complete (1).
  int UploadFailed() const { return uploadFailed_; }
  // The last download put a new file in place.
  bool DownloadReplacedFile() const { return downloadReplacedFile_; }
  // The last transfer or converter run was cancelled.
  bool TransferStopped() const { return transferStopped_; }
  // The upload of the scope asked for, as the Upload button runs it.
  void UploadTables(ViewMode scope);
  // How the transfer of the last Upload or Download ended; none when the
  // command ended before anything was transferred (declined, no file, no register).
  const std::optional<TransferOutcome>& LastOutcome() const { return lastOutcome_; }
  // 0 when the last Open Database was cancelled.
  int FileChosen() const { return fileChosen_; }
  int OpenDialogMode() const { return openDialogMode_; }
  const std::string& DatabasePath() const { return databasePath_; }
  const ArticleRecord& WorkRecord() const { return workRecord_; }

  ArticleTable& Table() { return table_; }
  const ArticleTable& Table() const { return table_; }
  DatabaseFile& Database() { return database_; }
  // The open file may only be read: for looking at and uploading, not for edits.
  bool ReadOnly() const { return database_.IsOpen() && database_.IsReadOnly(); }
  // What the file opened last lacks when it was cut short; empty when whole.
  const std::string& CutNotice() const { return cutNotice_; }
  const DeviceProfile& Profile() const { return profile_; }

  // Data exchange with the controls (true: controls to members).
  void UpdateData(bool takeFromControls);

  // Rebuilds table and list from the open file, one line per article in use.
  void ReloadFromFile();
  void EmptyList();

 private:
  void Tell(const std::string& text, MessageIcon icon);
  // "Active database file :PATH", saying so when the file may only be read.
  std::string ActiveFileText() const;
  // Refuses a change of a file that may only be read, saying why; true when refused.
  bool RefuseReadOnly();
  // Tells a failed write; operatorsWork: an edit, add or delete of the operator.
  bool ReportWrite(const IoResult& result, bool operatorsWork = true);
  void ReportLoad(const LoadOutcome& outcome);
  void SortAndRefill();
  // The rows shown change with the table's order or contents.
  void InvalidateRows();
  // Brings the filtered rows up to the table (a download appends to it).
  void CatchUpRows() const;
  void ApplyFilter(std::string text);
  void RefreshDepartmentNames();
  std::optional<int> RowOfTableIndex(std::size_t index) const;
  // The first row shown whose entry is wanted.
  std::optional<int> FindShown(const std::function<bool(const ArticleTableEntry&)>& wanted) const;
  // The enabled states follow the list shown and the register, after every command.
  void UpdateEnabled();
  // Selects the article with this PLU number, if the list shows it.
  void SelectPlu(std::uint32_t plu);
  // A register that arrived after the window opened is asked for its parameters first.
  bool EnsureParameters();
  // Which field of candidate another article of the table has; an edit may keep its own values.
  DuplicateField FindDuplicate(const ArticleRecord& candidate, bool editing, std::uint32_t oldPlu,
                               std::int64_t oldBarcode) const;
  bool IsDuplicate(const ArticleRecord& candidate, bool editing, std::uint32_t oldPlu, std::int64_t oldBarcode);
  // A download or an import builds a complete new file beside the open one
  // (a copy of it when copyCurrent) and puts it in its place only at the end;
  // until then the window and the disk keep the old file. False after telling why.
  bool BeginNewFile(DatabaseFile& fresh, bool copyCurrent);
  // Puts fresh in the open file's place, NAME.bak keeping the previous complete
  // file, and holds it as the open database from that moment on.
  bool PutInPlace(DatabaseFile& fresh);
  // The task sees the members; the window hears of the outcome once it is over.
  void RunTask(const std::string& title, const TaskRunner::Task& task);
  // The parameters, on the runner; true when the register answered.
  bool ReadParameters();

  // The outcome of a transfer in the window's members and status line.
  void ShowUploadOutcome(const TransferOutcome& outcome, const UploadSelection& selection);
  // Tells why the new or the open database file failed.
  void TellFileFailure(FileStep step, const std::string& why);

  ArticlesWindowControls controls_;
  ArticlesWindowEnabled enabled_;
  int openDialogMode_ = 1;
  int fileChosen_ = 1;
  std::string databasePath_;
  ArticleRecord workRecord_;
  DepartmentRecord departmentBuffer_;
  std::uint32_t workSlot_ = 0;
  int transferFailed_ = 0;
  int uploadFailed_ = 0;
  std::uint32_t loadedArticleCount_ = 0;
  int downloadAll_ = 0;
  bool downloadReplacedFile_ = false;
  bool transferStopped_ = false;
  std::optional<TransferOutcome> lastOutcome_;

  Operator& op_;
  DeviceProfile& profile_;
  ArticleEditorPort* articleEditor_;
  DepartmentEditorPort* departmentEditor_;
  RegisterTransfers* transfers_;
  WorkbookExchange* workbooks_ = nullptr;
  ArticlesWindowView* view_ = nullptr;
  DirectTaskRunner directRunner_;
  TaskRunner* runner_ = &directRunner_;

  ArticleTable table_;
  DatabaseFile database_;
  // The last article the editor showed that is in the file: Add New starts from it.
  std::optional<ArticleRecord> lastShown_;
  bool databaseJustCreated_ = false;
  // Open Database chooses a file to download into: a new one is made only by
  // a complete download, so until then it is a replacement not yet in place.
  bool choosingDownloadFile_ = false;
  std::string cutNotice_;
  RegisterPresence presence_;
  ListKind listKind_ = ListKind::Articles;
  std::size_t articleLines_ = 0;
  std::vector<DepartmentRecord> departmentRows_;
  std::vector<std::string> departmentNames_;  // by department position, for the articles' column
  ListSort sort_;
  bool listSorted_ = false;
  NameFilter filter_;
  // Filled lazily: the table indices of the rows a filter lets through, for
  // the first filteredUpTo_ entries of the table.
  mutable std::vector<std::uint32_t> shownRows_;
  mutable std::size_t filteredUpTo_ = 0;
};

// Messages of the window.
inline constexpr const char* kMsgOpenDatabasePlease = "Open a DataBase File Please!";
inline constexpr const char* kMsgSelectItem = "Select an item from the list please!";
inline constexpr const char* kMsgDeleteQuestion = "Do you really want to delete the selected article?";
inline constexpr const char* kMsgNoRegister = "No register attached";
inline constexpr const char* kMsgDuplicatePlu = "Duplicate Plu Number!";
inline constexpr const char* kMsgDuplicateBarcode = "Duplicate Barcode!";
inline constexpr const char* kMsgImportOverwrite =
    "You are going to overwrite the current database.\nAre you sure you want to do it?";
inline constexpr const char* kMsgUnableToOpenDatabase = "Unable to open the database file!";
inline constexpr const char* kArticlesConverterName = "QuorvexLP";
inline constexpr const char* kMsgDownloadCancelled = "Download cancelled";
inline constexpr const char* kReadOnlyMark = " (read-only)";
inline constexpr const char* kMsgNoDatabaseWritten = "no database file was written";
