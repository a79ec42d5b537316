#include "reports/CReports.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QCloseEvent>
#include <QPushButton>
#include <QTableView>

#include "reports/CReportView.h"
#include "data/CFormat.h"
#include "workspace/common-qt/RegisterWatch.h"
#include "workspace/common-qt/TransferProgressDialog.h"
#include "workspace/common/UiText.h"
#include "workspace/common-qt/WindowSettings.h"
#include "ui_Reports.h"

namespace {

const QString kGeometryKey = QStringLiteral("reports/geometry");

// A list sorted by a header click; rows of one height, as many as the report holds.
void PrepareTable(QTableView* table, QAbstractItemModel* model, const QString& widthsKey) {
  table->setModel(model);
  table->verticalHeader()->hide();
  table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
  table->horizontalHeader()->setStretchLastSection(true);
  table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  table->setSortingEnabled(true);
  table->setColumnWidth(0, 70);
  table->setColumnWidth(1, 190);
  for (const auto& [column, width] : window_settings::LoadWidths(widthsKey)) {
    if (column < model->columnCount() - 1) table->setColumnWidth(column, width);
  }
}

void SaveWidths(const QTableView* table, const QString& widthsKey) {
  std::map<int, int> widths;
  for (int column = 0; column + 1 < table->model()->columnCount(); ++column)
    widths[column] = table->columnWidth(column);
  window_settings::SaveWidths(widthsKey, widths);
}

QString TotalsText(const char* what, const ReportTotals& totals, const char* quantityFormat) {
  return QString::fromStdString(CFormat("%zu %s    %s: ", totals.lines, what, UiText("MSG_AMOUNT").c_str()) +
                                CFormat(quantityFormat, totals.quantity) + "    " + UiText("MSG_TOTAL") + ": " +
                                CFormat("%.2f", totals.total));
}

QString Text(const char* key) { return QString::fromStdString(UiText(key)); }

}  // namespace

CReports::CReports(Operator& op, DeviceProfile& profile, RegisterTransfers* transfers, WorkbookExchange* workbooks,
                   bool deviceConnected, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::Reports>()),
      operator_(op),
      runner_(this),
      logic_(operator_, profile, transfers),
      op_(operator_),
      articles_(logic_, false),
      departments_(logic_, true) {
  ui_->setupUi(this);
  logic_.SetTaskRunner(&runner_);
  logic_.SetView(this);
  logic_.SetWorkbookExchange(workbooks);
  PrepareTable(ui_->articleList, &articles_, QStringLiteral("reports/articleColumns"));
  PrepareTable(ui_->departmentList, &departments_, QStringLiteral("reports/departmentColumns"));
  charts_ = new ReportCharts(ui_->chartPanel);
  ui_->chartLayout->addWidget(charts_);
  ui_->saveChartButton->setToolTip(tr("Save the charts as a PNG picture"));
  window_settings::RestoreGeometry(kGeometryKey, *this);
  ShowTotals();

  ui_->articlesLabel->setText(Text("DLG_REPORTS_ARTICLES"));
  ui_->departmentsLabel->setText(Text("DLG_REPORTS_DEPT"));
  ui_->downloadButton->setText(Text("DLG_REPORTS_DOWNLOADREPORTS"));
  ui_->openButton->setText(Text("DLG_REPORTS_OPENREPORTS"));
  ui_->exportButton->setText(Text("DLG_REPORTS_EXPORT"));
  ui_->closeButton->setText(Text("DLG_CANCEL"));

  logic_.OnInitDialog(deviceConnected);
  StatusChanged();

  connect(ui_->closeButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(ui_->downloadButton, &QPushButton::clicked, this,
          [this] { RunCommand([this] { logic_.DownloadReports(); }); });
  connect(ui_->openButton, &QPushButton::clicked, this, [this] { logic_.OpenReports(); });
  connect(ui_->exportButton, &QPushButton::clicked, this, [this] { RunCommand([this] { logic_.ExportReport(); }); });
  connect(ui_->saveChartButton, &QPushButton::clicked, this, &CReports::SaveChart);
  connect(ui_->articleList, &QTableView::doubleClicked, this,
          [this](const QModelIndex& i) { OpenArticleView(i.row()); });
  connect(ui_->departmentList, &QTableView::doubleClicked, this,
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
  SaveWidths(ui_->articleList, QStringLiteral("reports/articleColumns"));
  SaveWidths(ui_->departmentList, QStringLiteral("reports/departmentColumns"));
  window_settings::SaveGeometry(kGeometryKey, *this);
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
  articles_.Reset();
  departments_.Reset();
  ShowTotals();
  const std::string& path = logic_.ReportPath();
  charts_->SetReportName(path.empty() ? QString() : QFileInfo(QString::fromStdString(path)).fileName());
  charts_->Show(logic_.TopArticles(ReportCharts::kTopArticles), logic_.DepartmentSales());
  setWindowTitle(path.empty() ? tr("Reports")
                              : tr("Reports - %1").arg(QFileInfo(QString::fromStdString(path)).fileName()));
}

void CReports::ShowTotals() {
  ui_->articleTotals->setText(TotalsText("articles", logic_.ArticleTotals(), "%.2f"));
  ui_->departmentTotals->setText(TotalsText("departments", logic_.DepartmentTotals(), "%.3f"));
}

void CReports::SaveChart() {
  FileChoice choice;
  choice.kind = FileChoice::Kind::Save;
  choice.title = "Save Chart";
  choice.filters = {{".png", "*.png"}};
  choice.defaultExtension = "png";
  choice.confirmOverwrite = true;
  choice.remember = "chart";
  const auto path = op_.ChooseFile(choice);
  if (!path) return;
  QString error;
  if (!charts_->SaveAsPng(QString::fromStdString(*path), &error)) {
    op_.Tell("The chart could not be saved to " + *path + ":\n" + error.toStdString(), MessageIcon::Error);
  }
}

void CReports::StatusChanged() {
  ui_->statusLine->setText(QString::fromStdString(logic_.StatusText()));
  ui_->downloadButton->setEnabled(logic_.DownloadEnabled());
  ui_->downloadButton->setToolTip(logic_.DownloadEnabled() ? QString() : QStringLiteral("No register attached"));
}

void CReports::FollowRegister(std::function<bool()> attached, int intervalMs) {
  new RegisterWatch(
      std::move(attached), [this](bool now) { logic_.OnRegisterChanged(now); }, logic_.DownloadEnabled(), intervalMs,
      this);
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
  row = articles_.LineOfRow(row);
  if (!view_ || row < 0) return;
  view_->ShowLines(logic_.ArticleDetails(row));
  view_->activateWindow();
}

void CReports::ShowDepartment(int row) {
  row = departments_.LineOfRow(row);
  if (!view_ || row < 0) return;
  view_->ShowLines(logic_.DepartmentDetails(row));
  view_->activateWindow();
}
