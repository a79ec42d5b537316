#include "workspace/articles/CARTICLESDlg.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QEvent>
#include <QFocusEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableView>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTimer>

#include "workspace/articles/ArticleEditorAdapter.h"
#include "workspace/articles/ArticlesListModel.h"
#include "workspace/editors/CArticleEditor.h"
#include "workspace/articles/DepartmentEditorAdapter.h"
#include "workspace/common/PresetFileOperator.h"
#include "workspace/common-qt/GuiThreadOperator.h"
#include "workspace/common-qt/QtOperator.h"
#include "workspace/common-qt/QtTaskRunner.h"
#include "workspace/common-qt/TransferProgressDialog.h"
#include "workspace/common-qt/RegisterWatch.h"
#include "workspace/common/UiText.h"
#include "workspace/common-qt/WindowSettings.h"
#include "workspace/common-qt/WorkspaceResources.h"
#include "ui_CARTICLESDlg.h"

namespace {

QString Text(const char* key) { return QString::fromStdString(UiText(key)); }

const QString kColumnsKey = QStringLiteral("articles/columns");
const QString kGeometryKey = QStringLiteral("articles/geometry");

// Widths the columns start with before the operator sets their own.
int DefaultWidth(ListColumn column) {
  switch (column) {
    case ListColumn::Name:
    case ListColumn::DepartmentName: return 260;
    case ListColumn::Barcode: return 130;
    case ListColumn::Department: return 130;
    case ListColumn::Stock: return 110;
    default: return 80;
  }
}

void SetTextKeepingCursor(QLineEdit* box, const std::string& text) {
  const QString value = QString::fromStdString(text);
  if (box->text() != value) box->setText(value);
}

}  // namespace

CARTICLESDlg::CARTICLESDlg(DeviceProfile& profile, const GroupNames& names, RegisterTransfers* transfers,
                           bool deviceConnected, QWidget* parent, ArticlesWindowParts parts)
    : QDialog(parent), ui_(std::make_unique<Ui::ArticlesMain>()), deviceConnected_(deviceConnected) {
  InitWorkspaceResources();
  ui_->setupUi(this);
  setWindowIcon(ProgramIcon());
  baseTitle_ = windowTitle();

  Operator* op = parts.op;
  if (!op) {
    ownOperator_ = std::make_unique<QtOperator>(this);
    op = ownOperator_.get();
  }
  // Transfers run on a worker; their questions come back to this thread.
  guiOperator_ = std::make_unique<GuiThreadOperator>(*op);
  operator_ = std::make_unique<PresetFileOperator>(*guiOperator_);

  ArticleEditorPort* articleEditor = parts.articleEditor;
  if (!articleEditor) {
    articleEditor_ = new CArticleEditor(profile, names, *operator_, this);
    articleAdapter_ = std::make_unique<ArticleEditorAdapter>(*articleEditor_);
    articleEditor = articleAdapter_.get();
  }
  DepartmentEditorPort* departmentEditor = parts.departmentEditor;
  if (!departmentEditor) {
    departmentAdapter_ = std::make_unique<DepartmentEditorAdapter>(profile, names, *operator_, this);
    departmentEditor = departmentAdapter_.get();
  }
  logic_ = std::make_unique<ArticlesWindowLogic>(*operator_, profile, articleEditor, departmentEditor, transfers);
  runner_ = std::make_unique<QtTaskRunner>(this, parts.progressShowAfterMs);
  logic_->SetTaskRunner(runner_.get());
  // The logic keeps one database object for its life, so the editor's pointer
  // stays right whichever file is opened in it.
  if (articleEditor_) articleEditor_->SetDatabase(&logic_->Database());

  model_ = new ArticlesListModel(*logic_, this);
  QTableView* table = ui_->listArticles;
  table->setModel(model_);
  // Rows of one fixed height: 49,999 of them lay out without measuring any.
  table->verticalHeader()->hide();
  table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
  QHeaderView* header = table->horizontalHeader();
  header->setSectionsClickable(true);
  header->setSortIndicatorShown(true);
  header->setHighlightSections(false);
  header->setStretchLastSection(true);
  header->setSortIndicator(-1, Qt::AscendingOrder);
  columnWidths_ = window_settings::LoadWidths(kColumnsKey);
  ApplyColumnWidths();
  connect(header, &QHeaderView::sectionResized, this, [this](int section, int, int size) {
    if (applyingWidths_ || section < 0 || static_cast<std::size_t>(section) >= model_->Columns().size()) return;
    // The stretched last column is as wide as the window leaves it, not as the operator chose.
    if (section == model_->columnCount() - 1) return;
    columnWidths_[static_cast<int>(model_->Columns()[static_cast<std::size_t>(section)])] = size;
  });
  window_settings::RestoreGeometry(kGeometryKey, *this);

  viewGroup_ = new QButtonGroup(this);
  viewGroup_->addButton(ui_->radioArticles, static_cast<int>(ViewMode::Articles));
  viewGroup_->addButton(ui_->radioDepartments, static_cast<int>(ViewMode::Departments));
  sortGroup_ = new QButtonGroup(this);
  sortGroup_->addButton(ui_->radioSortPlu, static_cast<int>(SortMode::PluNumber));
  sortGroup_->addButton(ui_->radioSortName, static_cast<int>(SortMode::Name));
  sortGroup_->addButton(ui_->radioSortBarcode, static_cast<int>(SortMode::Barcode));
  sortGroup_->addButton(ui_->radioSortChronologic, static_cast<int>(SortMode::Chronological));

  Wire();
  // The window opens on the list: a search box becomes writable only when the
  // operator goes to it.
  ui_->listArticles->setFocus();
  logic_->SetView(this);
  EnabledChanged();
}

CARTICLESDlg::~CARTICLESDlg() {
  // The logic must not call back into a half-destroyed window.
  logic_->SetView(nullptr);
  window_settings::SaveWidths(kColumnsKey, columnWidths_);
  window_settings::SaveGeometry(kGeometryKey, *this);
}

void CARTICLESDlg::ApplyColumnWidths() {
  const std::vector<ListColumn>& columns = model_->Columns();
  if (columns == widthsAppliedTo_) return;
  widthsAppliedTo_ = columns;
  applyingWidths_ = true;
  for (std::size_t section = 0; section < columns.size(); ++section) {
    const auto saved = columnWidths_.find(static_cast<int>(columns[section]));
    ui_->listArticles->setColumnWidth(static_cast<int>(section),
                                      saved != columnWidths_.end() ? saved->second : DefaultWidth(columns[section]));
  }
  applyingWidths_ = false;
}

void CARTICLESDlg::ShowSortIndicator() {
  const ListSort sort = logic_->Sort();
  const int section = sort.column ? model_->SectionOf(*sort.column) : -1;
  ui_->listArticles->horizontalHeader()->setSortIndicator(section,
                                                          sort.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void CARTICLESDlg::Wire() {
  const auto command = [this](QPushButton* button, void (ArticlesWindowLogic::*handler)()) {
    connect(button, &QPushButton::clicked, this,
            [this, handler] { RunCommand([this, handler] { (logic_.get()->*handler)(); }); });
  };
  command(ui_->buttonEdit, &ArticlesWindowLogic::OnEdit);
  command(ui_->buttonAddNew, &ArticlesWindowLogic::OnAddNew);
  command(ui_->buttonDelete, &ArticlesWindowLogic::OnDelete);
  command(ui_->buttonUpload, &ArticlesWindowLogic::OnUpload);
  command(ui_->buttonDownload, &ArticlesWindowLogic::OnDownload);
  command(ui_->buttonOpenDatabase, &ArticlesWindowLogic::OnOpenDatabase);
  connect(ui_->buttonExportXls, &QPushButton::clicked, this, [this] {
    if (workbook_.exportXls) RunCommand([this] { workbook_.exportXls(*logic_); });
  });
  connect(ui_->buttonImportXls, &QPushButton::clicked, this, [this] {
    if (workbook_.importXls) RunCommand([this] { workbook_.importXls(*logic_); });
  });
  connect(ui_->buttonClose, &QPushButton::clicked, this, &CARTICLESDlg::reject);

  connect(ui_->radioArticles, &QRadioButton::clicked, this, [this] { logic_->OnSelectArticles(); });
  connect(ui_->radioDepartments, &QRadioButton::clicked, this, [this] { logic_->OnSelectDepartments(); });
  for (QAbstractButton* option : sortGroup_->buttons()) {
    connect(option, &QAbstractButton::clicked, this, [this] { logic_->OnSortOption(); });
  }

  connect(ui_->listArticles, &QTableView::doubleClicked, this, [this] {
    if (logic_->Enabled().edit) logic_->OnEdit();
  });
  connect(ui_->listArticles->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
    if (section >= 0 && static_cast<std::size_t>(section) < model_->Columns().size()) {
      logic_->OnHeaderClicked(model_->Columns()[static_cast<std::size_t>(section)]);
    }
    // A click the logic refused (the departments) must not leave an indicator behind.
    ShowSortIndicator();
  });
  // The name filter narrows the list as it is typed; Escape shows everything again.
  ui_->editFilter->installEventFilter(this);
  ui_->editFilter->setToolTip(tr("Show only the articles whose name contains this text (Escape clears it)"));
  connect(ui_->editFilter, &QLineEdit::textEdited, this, [this] { logic_->OnFilterChanged(); });
  // Enter and Delete on a line act on it; Ctrl+F goes to the PLU search.
  ui_->listArticles->installEventFilter(this);
  auto* find = new QShortcut(QKeySequence::Find, this);
  connect(find, &QShortcut::activated, this, [this] { ui_->editPluSearch->setFocus(Qt::ShortcutFocusReason); });
  ui_->editPluSearch->setToolTip(tr("Type a PLU number to find the article (Ctrl+F)"));

  ui_->editPluSearch->installEventFilter(this);
  ui_->editBarcodeSearch->installEventFilter(this);
  connect(ui_->editPluSearch, &QLineEdit::textEdited, this, [this] { logic_->OnPluSearch(); });
  connect(ui_->editBarcodeSearch, &QLineEdit::textEdited, this, [this] { logic_->OnBarcodeSearch(); });
}

void CARTICLESDlg::SetWorkbookHooks(WorkbookHooks hooks) {
  workbook_ = std::move(hooks);
  EnabledChanged();
}

QTableView* CARTICLESDlg::List() const { return ui_->listArticles; }
QLineEdit* CARTICLESDlg::FilterBox() const { return ui_->editFilter; }
QLineEdit* CARTICLESDlg::PluSearchBox() const { return ui_->editPluSearch; }
QLineEdit* CARTICLESDlg::BarcodeSearchBox() const { return ui_->editBarcodeSearch; }
QLineEdit* CARTICLESDlg::StatusLine() const { return ui_->editStatus; }
QPushButton* CARTICLESDlg::Button(const char* objectName) const { return findChild<QPushButton*>(objectName); }
QRadioButton* CARTICLESDlg::Option(const char* objectName) const { return findChild<QRadioButton*>(objectName); }

int CARTICLESDlg::DoModal() {
  ApplyTexts();
  // The opening download asks its question over the window, once it is up.
  QTimer::singleShot(0, this, [this] {
    RunCommand([this] {
      logic_->OnInitDialog(deviceConnected_);
      OpenStartDatabase();
    });
  });
  return exec();
}

void CARTICLESDlg::Prepare() {
  ApplyTexts();
  logic_->OnInitDialog(deviceConnected_);
  OpenStartDatabase();
}

void CARTICLESDlg::OpenStartDatabase() {
  if (startDatabase_.empty() || logic_->Database().IsOpen()) return;
  operator_->PresetNextFile(startDatabase_);
  logic_->OnOpenDatabase();
}

void CARTICLESDlg::ApplyTexts() {
  ui_->labelPluSearch->setText(Text("DLG_ARTICLEMAIN_PLUSEARCH"));
  ui_->labelBarcodeSearch->setText(Text("DLG_ARTICLEMAIN_BARCODESEARCH"));
  ui_->groupControlMenu->setTitle(Text("DLG_ARTICLEMAIN_CONTROLMENU"));
  ui_->buttonEdit->setText(Text("DLG_ARTICLEMAIN_BUTTONEDIT"));
  ui_->buttonAddNew->setText(Text("DLG_ARTICLEMAIN_ADDNEW"));
  ui_->buttonDelete->setText(Text("DLG_ARTICLEMAIN_DELETE"));
  ui_->buttonImportXls->setText(Text("DLG_ARTICLEMAIN_IMPORTXLS"));
  ui_->buttonUpload->setText(Text("DLG_ARTICLEMAIN_UPLOAD"));
  ui_->buttonDownload->setText(Text("DLG_ARTICLEMAIN_DOWNLOAD"));
  ui_->buttonExportXls->setText(Text("DLG_ARTICLEMAIN_EXPORTXLS"));
  ui_->buttonOpenDatabase->setText(Text("DLG_ARTICLEMAIN_OPENDATABASE"));
  ui_->groupSortBy->setTitle(Text("DLG_ARTICLEMAIN_SORTMENU"));
  ui_->radioSortPlu->setText(Text("DLG_ARTICLEMAIN_SORTPLUNUMBER"));
  ui_->radioSortName->setText(Text("DLG_ARTICLEMAIN_SORTNAME"));
  ui_->radioSortBarcode->setText(Text("DLG_ARTICLEMAIN_SORTBARCODE"));
  ui_->radioSortChronologic->setText(Text("DLG_ARTICLEMAIN_SORTCHRONOLOGIC"));
  ui_->groupSelect->setTitle(Text("DLG_ARTICLEMAIN_SELECTMENU"));
  ui_->radioArticles->setText(Text("DLG_ARTICLEMAIN_ARTICLES"));
  ui_->radioDepartments->setText(Text("DLG_ARTICLEMAIN_DEPARTMENTS"));
  ui_->buttonClose->setText(Text("DLG_ARTICLEMAIN_IDCANCEL"));
}

void CARTICLESDlg::RunCommand(const std::function<void()>& command) {
  command();
  if (closeAfterTransfer_ && !runner_->Running()) {
    closeAfterTransfer_ = false;
    reject();
  }
}

void CARTICLESDlg::reject() {
  if (runner_->Running()) {
    // The worker still works on the logic and the file: stop it first, close
    // once it has ended (RunCommand), and only then may the engine stop.
    if (closeAfterTransfer_) return;
    if (operator_->Ask(kMsgStopTransferQuestion, {}, MessageButtons::YesNo, MessageIcon::Question) != Answer::Yes) {
      return;
    }
    closeAfterTransfer_ = true;
    runner_->RequestStop();
    return;
  }
  logic_->OnClose();
  QDialog::reject();
}

void CARTICLESDlg::closeEvent(QCloseEvent* event) {
  if (runner_->Running()) {
    event->ignore();
    reject();
    return;
  }
  QDialog::closeEvent(event);
}

void CARTICLESDlg::FollowRegister(std::function<bool()> attached, int intervalMs) {
  new RegisterWatch(
      std::move(attached), [this](bool now) { logic_->OnRegisterChanged(now); }, logic_->RegisterAttached(), intervalMs,
      this);
}

bool CARTICLESDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui_->editFilter && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    // Escape here clears the filter; only in an empty filter does it close the window.
    if (!ui_->editFilter->text().isEmpty()) {
      ui_->editFilter->clear();
      logic_->OnFilterCleared();
      return true;
    }
  }
  if (watched == ui_->listArticles && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      if (logic_->Enabled().edit) logic_->OnEdit();
      return true;
    }
    if (key == Qt::Key_Delete && logic_->Enabled().remove) {
      logic_->OnDelete();
      return true;
    }
  }
  const bool plu = watched == ui_->editPluSearch;
  if (plu || watched == ui_->editBarcodeSearch) {
    if (event->type() == QEvent::FocusIn) {
      if (plu) {
        logic_->OnPluSearchFocus();
      } else {
        logic_->OnBarcodeSearchFocus();
      }
    } else if (event->type() == QEvent::FocusOut) {
      // A message box or another program taking the focus for a moment is not
      // the operator leaving the box.
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) logic_->OnSearchFocusLost();
    }
  }
  return QDialog::eventFilter(watched, event);
}

int CARTICLESDlg::SelectedRow() const {
  const QModelIndexList rows = ui_->listArticles->selectionModel()->selectedIndexes();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void CARTICLESDlg::TakeControls(ArticlesWindowControls& controls) {
  controls.selectedIndex = SelectedRow();
  controls.statusText = ui_->editStatus->text().toStdString();
  controls.pluSearchText = ui_->editPluSearch->text().toStdString();
  controls.barcodeSearchText = ui_->editBarcodeSearch->text().toStdString();
  controls.filterText = ui_->editFilter->text().toStdString();
  if (const int view = viewGroup_->checkedId(); view >= 0) controls.viewMode = static_cast<ViewMode>(view);
  if (const int sort = sortGroup_->checkedId(); sort >= 0) controls.sortMode = static_cast<SortMode>(sort);
}

void CARTICLESDlg::ShowControls(const ArticlesWindowControls& controls) {
  QTableView* list = ui_->listArticles;
  const int row = controls.selectedIndex;
  if (row >= 0 && row < model_->rowCount()) {
    const QModelIndex index = model_->index(row, 0);
    list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list->scrollTo(index);
  } else {
    list->selectionModel()->clearSelection();
    list->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
  }
  SetTextKeepingCursor(ui_->editStatus, controls.statusText);
  SetTextKeepingCursor(ui_->editPluSearch, controls.pluSearchText);
  SetTextKeepingCursor(ui_->editBarcodeSearch, controls.barcodeSearchText);
  SetTextKeepingCursor(ui_->editFilter, controls.filterText);

  // The opening download's view mode checks neither view option.
  viewGroup_->setExclusive(false);
  ui_->radioArticles->setChecked(controls.viewMode == ViewMode::Articles);
  ui_->radioDepartments->setChecked(controls.viewMode == ViewMode::Departments);
  viewGroup_->setExclusive(true);
  // A column without an option checks none of them.
  sortGroup_->setExclusive(false);
  for (QAbstractButton* option : sortGroup_->buttons()) {
    option->setChecked(sortGroup_->id(option) == static_cast<int>(controls.sortMode));
  }
  sortGroup_->setExclusive(true);
  ShowSortIndicator();
}

void CARTICLESDlg::ListChanged() {
  model_->Reset();
  ApplyColumnWidths();
  ShowSortIndicator();
}

void CARTICLESDlg::EnabledChanged() {
  const ArticlesWindowEnabled& on = logic_->Enabled();
  // A file that may only be read says so where the operator looks first.
  const bool readOnly = logic_->ReadOnly();
  setWindowTitle(readOnly ? baseTitle_ + QString::fromUtf8(kReadOnlyMark) : baseTitle_);
  const QString onlyRead = readOnly ? tr("The database file may only be read") : QString();
  ui_->buttonEdit->setEnabled(on.edit);
  ui_->buttonEdit->setToolTip(on.edit ? tr("Edit the selected line (Enter or double-click)") : onlyRead);
  ui_->buttonAddNew->setEnabled(on.addNew);
  ui_->buttonAddNew->setToolTip(readOnly ? onlyRead : QString());
  ui_->buttonDelete->setEnabled(on.remove);
  ui_->buttonDelete->setToolTip(on.remove ? tr("Delete the selected article (Delete)") : onlyRead);
  ui_->buttonUpload->setEnabled(on.upload);
  ui_->buttonDownload->setEnabled(on.download);
  // A greyed-out transfer button says why.
  const QString noRegister = QString::fromUtf8(kMsgNoRegister);
  ui_->buttonUpload->setToolTip(on.upload ? QString() : noRegister);
  ui_->buttonDownload->setToolTip(on.download ? QString() : noRegister);
  ui_->buttonExportXls->setEnabled(on.exportXls && static_cast<bool>(workbook_.exportXls));
  ui_->buttonImportXls->setEnabled(on.importXls && static_cast<bool>(workbook_.importXls));
  ui_->buttonOpenDatabase->setEnabled(on.openDatabase);
  ui_->groupSortBy->setEnabled(on.sortOptions);
  ui_->editFilter->setEnabled(on.filter);
  ui_->labelFilter->setEnabled(on.filter);
  ui_->editPluSearch->setReadOnly(!on.pluSearchWritable);
  ui_->editBarcodeSearch->setReadOnly(!on.barcodeSearchWritable);
}
