// The reports window without its widgets: downloading the register's sales
// figures into a report file, reopening report files, and the detail lines of
// one article or department.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "data/DatabaseFile.h"
#include "data/DeviceProfile.h"
#include "workspace/common/Operator.h"
#include "data/Records.h"
#include "workspace/common/RegisterPresence.h"
#include "workspace/common/TaskRunner.h"
#include "transfer/TransferOutcome.h"

inline constexpr const char* kReportsConverterName = "Quorvex";

class RegisterTransfers;
class WorkbookExchange;

// The columns of the two lists: number, name and the figures.
enum class ReportColumn { Number, Name, Quantity, Total, Stock };

struct ReportTotals {
  std::size_t lines = 0;
  double quantity = 0;
  double total = 0;
};

// One bar of a chart: a name (UTF-8) and its sales total.
struct ReportBar {
  std::string name;
  double total = 0;
};

class ReportsView {
 public:
  virtual ~ReportsView() = default;
  virtual void ListsChanged() = 0;
  virtual void StatusChanged() = 0;
};

class ReportsLogic {
 public:
  ReportsLogic(Operator& op, DeviceProfile& profile, RegisterTransfers* transfers);

  void SetView(ReportsView* view) { view_ = view; }
  void SetWorkbookExchange(WorkbookExchange* exchange) { workbooks_ = exchange; }
  // Register transfers and converter runs go through the runner; null: on the calling thread.
  void SetTaskRunner(TaskRunner* runner) { runner_ = runner ? runner : &directRunner_; }
  bool Busy() const { return presence_.Busy(); }
  // How the transfer of the last Download Reports ended; none when it ended
  // before anything was transferred (no file chosen, no register).
  const std::optional<TransferOutcome>& LastOutcome() const { return lastOutcome_; }
  // The last download or export was cancelled.
  bool Stopped() const { return stopped_; }

  // Opening the window: with a register attached the parameters are read and
  // Download Reports is offered.
  void OnInitDialog(bool deviceConnected);
  // The register came or went while the window is open.
  void OnRegisterChanged(bool attached);
  bool DownloadEnabled() const { return presence_.Attached(); }

  void DownloadReports();
  void OpenReports();
  // The open report file as a workbook, through the converter.
  void ExportReport();

  // Detail lines (UTF-8, unsorted) of article line index / department line index.
  std::vector<std::string> ArticleDetails(int index);
  std::vector<std::string> DepartmentDetails(int index);

  // Lines in the record code page.
  const std::vector<std::string>& ArticleLines() const { return articleLines_; }
  const std::vector<std::string>& DepartmentLines() const { return departmentLines_; }

  // The lists as tables: columns, their titles and cell texts (UTF-8), and the
  // order of the lines sorted by a column (stable; the file's order for ties).
  static std::vector<ReportColumn> ArticleColumns();
  static std::vector<ReportColumn> DepartmentColumns();
  static std::string ColumnTitle(ReportColumn column, bool departments);
  static bool IsNumeric(ReportColumn column) { return column != ReportColumn::Name; }
  std::string ArticleCell(std::size_t line, ReportColumn column) const;
  std::string DepartmentCell(std::size_t line, ReportColumn column) const;
  std::vector<std::size_t> ArticleOrder(ReportColumn column, bool descending) const;
  std::vector<std::size_t> DepartmentOrder(ReportColumn column, bool descending) const;
  ReportTotals ArticleTotals() const;
  ReportTotals DepartmentTotals() const;
  // The best-selling articles by sales total (at most count, none without sales),
  // and every department with its sales total, in list order.
  std::vector<ReportBar> TopArticles(std::size_t count) const;
  std::vector<ReportBar> DepartmentSales() const;
  // The report file's path; empty while none is open.
  const std::string& ReportPath() const { return reportPath_; }
  const std::string& StatusText() const { return statusText_; }

  DatabaseFile& ReportFile() { return reportFile_; }
  void Close() { reportFile_.Close(); }

  ArticleRecord articleRecord;
  DepartmentRecord departmentRecord;

 private:
  void Changed();
  // Closes the report file and empties the lists, title and charts with it.
  void ForgetReport();
  // The task sees the members; the window hears of the outcome once it is over.
  void RunTask(const std::string& title, const TaskRunner::Task& task);
  bool ReadParameters();

  Operator& op_;
  DeviceProfile& profile_;
  RegisterTransfers* transfers_;
  WorkbookExchange* workbooks_ = nullptr;
  ReportsView* view_ = nullptr;
  DirectTaskRunner directRunner_;
  TaskRunner* runner_ = &directRunner_;
  bool stopped_ = false;
  std::optional<TransferOutcome> lastOutcome_;
  RegisterPresence presence_;  // the download is enabled while a register is attached
  DatabaseFile reportFile_;
  std::string statusText_;
  std::vector<std::string> articleLines_;
  std::vector<std::uint32_t> articleSlots_;  // the report file's slot of each article line
  std::vector<std::string> departmentLines_;
  // The figures of each line, as the file holds them.
  std::vector<ArticleRecord> articleRows_;
  std::vector<DepartmentRecord> departmentRows_;
  std::string reportPath_;
};
