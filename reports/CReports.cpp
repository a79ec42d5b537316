#include "CReports.h"

#include <QCloseEvent>
#include <QPushButton>

#include "CReportView.h"
#include "RegisterWatch.h"
#include "TransferProgressDialog.h"
#include "UiText.h"
#include "ui_Reports.h"

namespace {

QStringList Utf8Lines(const std::vector<std::string>& lines) {
  QStringList list;
  list.reserve(static_cast<qsizetype>(lines.size()));
  for (const auto& line : lines) list << QString::fromStdString(UiName(line));
  return list;
}

QString Text(const char* key) { return QString::fromStdString(UiText(key)); }

}  // namespace

CReports::CReports(Operator& op, DeviceProfile& profile, RegisterTransfers* transfers, WorkbookExchange* workbooks,
                   bool deviceConnected, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::Reports>()),
      operator_(op),
      runner_(this),
      logic_(operator_, profile, transfers) {
  ui_->setupUi(this);
  logic_.SetTaskRunner(&runner_);
  logic_.SetView(this);
  logic_.SetWorkbookExchange(workbooks);
  ui_->articleList->setModel(&articles_);
  ui_->departmentList->setModel(&departments_);

  ui_->articlesLabel->setText(Text("DLG_REPORTS_ARTICLES"));
  ui_->departmentsLabel->setText(Text("DLG_REPORTS_DEPT"));
  ui_->downloadButton->setText(Text("DLG_REPORTS_DOWNLOADREPORTS"));
  ui_->openButton->setText(Text("DLG_REPORTS_OPENREPORTS"));
  ui_->exportButton->setText(Text("DLG_REPORTS_EXPORT"));
  ui_->closeButton->setText(Text("DLG_CANCEL"));

  logic_.OnInitDialog(deviceConnected);
  StatusChanged();

  connect(ui_->closeButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(ui_->downloadButton, &QPushButton::clicked, this, [this] { RunCommand([this] { logic_.DownloadReports(); }); });
  connect(ui_->openButton, &QPushButton::clicked, this, [this] { logic_.OpenReports(); });
  connect(ui_->exportButton, &QPushButton::clicked, this, [this] { RunCommand([this] { logic_.ExportReport(); }); });
  connect(ui_->articleList, &QListView::doubleClicked, this, [this](const QModelIndex& i) { OpenArticleView(i.row()); });
  connect(ui_->departmentList, &QListView::doubleClicked, this,
          [this](const QModelIndex& i) { OpenDepartmentView(i.row()); });
  connect(ui_->articleList->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) { ShowArticle(current.row()); });
  connect(ui_->departmentList->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) { ShowDepartment(current.row()); });
}

CReports::~CReports() {
  // The view belongs to this window's time on screen; the report file closes with it.
  if (view_) view_->close();
  logic_.Close();
}

void CReports::RunCommand(const std::function<void()>& command) {
  command();
  if (closeAfterTransfer_ && !runner_.Running()) {
    closeAfterTransfer_ = false;
    reject();
  }
}

void CReports::reject() {
  if (runner_.Running()) {
    // The worker still fills the report file: stop it first, close once it has ended.
    if (closeAfterTransfer_) return;
    if (operator_.Ask(kMsgStopTransferQuestion, {}, MessageButtons::YesNo, MessageIcon::Question) != Answer::Yes) {
      return;
    }
    closeAfterTransfer_ = true;
    runner_.RequestStop();
    return;
  }
  QDialog::reject();
}

void CReports::closeEvent(QCloseEvent* event) {
  if (runner_.Running()) {
    event->ignore();
    reject();
    return;
  }
  QDialog::closeEvent(event);
}

void CReports::ListsChanged() {
  articles_.setStringList(Utf8Lines(logic_.ArticleLines()));
  departments_.setStringList(Utf8Lines(logic_.DepartmentLines()));
}

void CReports::StatusChanged() {
  ui_->statusLine->setText(QString::fromStdString(logic_.StatusText()));
  ui_->downloadButton->setEnabled(logic_.DownloadEnabled());
  ui_->downloadButton->setToolTip(logic_.DownloadEnabled() ? QString() : QStringLiteral("No register attached"));
}

void CReports::FollowRegister(std::function<bool()> attached, int intervalMs) {
  new RegisterWatch(std::move(attached), [this](bool now) { logic_.OnRegisterChanged(now); },
                    logic_.DownloadEnabled(), intervalMs, this);
}

void CReports::EnsureView() {
  if (view_) return;
  view_ = new CReportView(this);
  view_->show();
}

void CReports::OpenArticleView(int row) {
  EnsureView();
  ShowArticle(row);
}

void CReports::OpenDepartmentView(int row) {
  EnsureView();
  ShowDepartment(row);
}

void CReports::ShowArticle(int row) {
  if (!view_ || row < 0) return;
  view_->ShowLines(logic_.ArticleDetails(row));
  view_->activateWindow();
}

void CReports::ShowDepartment(int row) {
  if (!view_ || row < 0) return;
  view_->ShowLines(logic_.DepartmentDetails(row));
  view_->activateWindow();
}
