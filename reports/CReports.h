// The reports window: the article and department lines of the current report
// file, Download Reports, Open Reports and Export Report, and the report view
// that follows the selection once a line was double-clicked.
#pragma once

#include <functional>
#include <memory>

#include <QDialog>
#include <QPointer>

#include "reports/CReportView.h"
#include "reports/ReportCharts.h"
#include "reports/ReportListModel.h"
#include "workspace/common-qt/GuiThreadOperator.h"
#include "workspace/common-qt/QtTaskRunner.h"
#include "reports/ReportsLogic.h"

namespace Ui {
class Reports;
}

class CReports : public QDialog, private ReportsView {
  Q_OBJECT

 public:
  CReports(Operator& op, DeviceProfile& profile, RegisterTransfers* transfers, WorkbookExchange* workbooks,
           bool deviceConnected, QWidget* parent = nullptr);
  ~CReports() override;

  // Follows the register's arrival and departure while the window is open.
  void FollowRegister(std::function<bool()> attached, int intervalMs = 500);
  ReportsLogic& Logic() { return logic_; }
  CReportView* View() const { return view_; }
  int DoModal() { return exec(); }

  // What a double-click on line row of either list does.
  void OpenArticleView(int row);
  void OpenDepartmentView(int row);

  ReportCharts* Charts() const { return charts_; }
  // Save Chart: the chart panel as a PNG file the operator names.
  void SaveChart();
 public slots:
  // During a download or an export: asks, then stops it and closes once it has ended.
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // Runs a command of the logic; a close asked for during it happens after it.
  void RunCommand(const std::function<void()>& command);
  void ListsChanged() override;
  void StatusChanged() override;
  void EnsureView();
  void ShowArticle(int row);
  void ShowDepartment(int row);
  void ShowTotals();

  std::unique_ptr<Ui::Reports> ui_;
  // Before the logic: it asks through them from its first command on.
  GuiThreadOperator operator_;
  QtTaskRunner runner_;
  bool closeAfterTransfer_ = false;
  ReportsLogic logic_;
  Operator& op_;
  ReportListModel articles_;
  ReportListModel departments_;
  ReportCharts* charts_ = nullptr;  // child of the window
  QPointer<CReportView> view_;
};
