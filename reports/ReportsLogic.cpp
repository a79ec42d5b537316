#include "reports/ReportsLogic.h"

#include <algorithm>
#include <limits>
#include <filesystem>

#include "data/ArticleSlots.h"
#include "data/ArticleTable.h"
#include "data/CFormat.h"
#include "workspace/common/ProgressText.h"
#include "device/RegisterTransfers.h"
#include "transfer/TransferService.h"
#include "workspace/common/UiText.h"
#include "workspace/common/WorkbookExchange.h"

namespace {

FileChoice ReportChoice(bool download) {
  FileChoice choice;
  choice.kind = download ? FileChoice::Kind::Save : FileChoice::Kind::Open;
  choice.title = download ? "Download Reports into" : "Open Reports";
  choice.filters = {{".db", "*.db"}, {"*.*", "*.*"}};
  choice.defaultExtension = "db";
  choice.remember = "report";
  choice.confirmOverwrite = download;
  choice.mustExist = !download;
  return choice;
}

// Department lines of the reports window carry five digits.
std::string DepartmentLine(const DepartmentRecord& department) {
  const std::string_view name = NameOf(department.NAME);
  return CFormat("%.5d : %.*s", static_cast<int>(department.DEPTNO), static_cast<int>(name.size()), name.data());
}

std::string Line(const char* key, const char* format, double value) { return UiText(key) + CFormat(format, value); }

}  // namespace

ReportsLogic::ReportsLogic(Operator& op, DeviceProfile& profile, RegisterTransfers* transfers)
    : articleRecord(ZeroArticle()),
      departmentRecord(ZeroDepartment()),
      op_(op),
      profile_(profile),
      transfers_(transfers) {}

void ReportsLogic::ForgetReport() {
  reportFile_.Close();
  reportPath_.clear();
  articleLines_.clear();
  articleSlots_.clear();
  articleRows_.clear();
  departmentLines_.clear();
  departmentRows_.clear();
}

void ReportsLogic::Changed() {
  if (view_) {
    view_->ListsChanged();
    view_->StatusChanged();
  }
}

void ReportsLogic::RunTask(const std::string& title, const TaskRunner::Task& task) {
  ReportsView* view = view_;
  view_ = nullptr;
  presence_.BeginTask();
  stopped_ = false;
  runner_->Run(title, task);
  presence_.EndTask();
  view_ = view;
}

bool ReportsLogic::ReadParameters() {
  bool answered = false;
  RunTask("Register", ReadParametersTask(*transfers_, op_, answered));
  return answered;
}

void ReportsLogic::OnInitDialog(bool deviceConnected) {
  presence_.Start(deviceConnected && transfers_ != nullptr);
  if (presence_.Attached()) {
    const bool answered = ReadParameters();
    presence_.OpeningRead(answered);
    if (!answered) statusText_ = RegisterPresence::NoAnswerText(transfers_->Address());
  } else {
    statusText_ = "No register attached";
  }
}

void ReportsLogic::OnRegisterChanged(bool attached) {
  // A register plugged in now is asked for its parameters before its report.
  const bool enabled = attached && transfers_ != nullptr;
  if (!presence_.Change(enabled)) return;
  statusText_ = enabled ? "Register attached: " + UiText("DV_1") : "No register attached";
  Changed();
}

void ReportsLogic::DownloadReports() {
  lastOutcome_.reset();
  if (!transfers_) return;
  const auto path = op_.ChooseFile(ReportChoice(true));
  if (!path) return;
  if (!presence_.EnsureParameters([this] { return ReadParameters(); })) {
    statusText_ = UiText("MSG_DEVICE_ERROR_MSG");
    Changed();
    return;
  }
  // The report goes into a new file that takes the chosen one's place only
  // at the end: a cancelled download leaves an earlier report as it was, and no
  // file where there was none. A register that stops answering half-way still
  // gives a report of what it sent, departments included.
  ForgetReport();
  Changed();
  std::error_code ec;
  const bool existed = std::filesystem::exists(*path, ec);
  DownloadRequest request = DownloadRequest::Report(*path);
  // The window's records: a field a reply leaves out keeps the value before.
  request.article = articleRecord;
  request.department = departmentRecord;
  TransferProgress progress;
  progress.article = [this](const ArticleRecord& article, std::uint32_t slot) {
    articleRecord = article;
    articleLines_.push_back(ArticleListLine(article.PLUNO, article.BARCODE, NameOf(article.NAME)));
    articleSlots_.push_back(slot);
    articleRows_.push_back(article);
  };
  progress.department = [this](const DepartmentRecord& department, std::uint32_t) {
    departmentRecord = department;
    departmentLines_.push_back(DepartmentLine(department));
    departmentRows_.push_back(department);
  };
  DatabaseFile placed;
  TransferOutcome outcome;
  RunTask("Download Reports", [&](TransferControl& control) {
    WaitCursor wait(op_);
    outcome = TransferService(*transfers_).Download(request, placed, control, progress);
  });
  lastOutcome_ = outcome;
  stopped_ = outcome.Cancelled();
  if (outcome.FileFailed()) {
    if (outcome.fileStep == FileStep::Begin) {
      op_.Tell(std::string(kMsgUnableToOpen) + "\n" + outcome.why, MessageIcon::Warning);
    } else {
      op_.Tell("The report file could not be written:\n" + outcome.why, MessageIcon::Error);
    }
  }
  if (outcome.placed) {
    reportFile_ = std::move(placed);
    reportPath_ = *path;
    std::vector<std::string> received;
    if (outcome.articleFailedAt) {
      received.push_back(GroupedCount(outcome.articles) + " articles received before the register stopped answering");
    }
    if (outcome.departmentFailedAt) {
      received.push_back(GroupedCount(outcome.departments) + " of " + GroupedCount(profile_.departmentCount) +
                         " departments received" +
                         (outcome.articleFailedAt ? "" : " before the register stopped answering"));
    }
    statusText_ = UiText("MSG_DEVICE_OK_MSG");
    if (!received.empty()) {
      statusText_ = UiText("MSG_DEVICE_ERROR_MSG") + "  -  " + received.front();
      if (received.size() > 1) statusText_ += ", " + received.back();
    }
  } else {
    // Nothing of this download is in a file, so none of it is listed.
    ForgetReport();
    if (!(outcome.FileFailed() && outcome.fileStep == FileStep::Begin)) {
      const std::string kept = *path + " was left as it was";
      statusText_ = outcome.Cancelled()    ? "Download cancelled: " + (existed ? kept : "no report file was written")
                    : outcome.FileFailed() ? kept
                                           : UiText("MSG_DEVICE_ERROR_MSG") + "  -  " + kept;
    }
  }
  Changed();
}

void ReportsLogic::OpenReports() {
  for (;;) {
    const auto path = op_.ChooseFile(ReportChoice(false));
    if (!path) return;
    if (reportFile_.IsOpen()) {
      // The earlier report's file is let go: nothing of it may stay on screen.
      ForgetReport();
      Changed();
    }
    if (const IoResult opened = reportFile_.OpenForReading(*path); !opened) {
      op_.Tell(kMsgUnableToOpen, MessageIcon::Warning);
      continue;
    }
    break;
  }
  if (!reportFile_.CheckHeader()) {
    op_.Tell(kMsgIncorrectFile, MessageIcon::Error);
    reportFile_.Close();
    return;
  }
  reportPath_ = reportFile_.Path();
  articleLines_.clear();
  articleSlots_.clear();
  articleRows_.clear();
  for (const ArticleSlots::Slot slot : ArticleSlots(reportFile_, SlotRule::NotAllZero)) {
    const ArticleRecord& article = slot.record;
    articleLines_.push_back(ArticleListLine(article.PLUNO, article.BARCODE, NameOf(article.NAME)));
    articleSlots_.push_back(slot.number);
    articleRows_.push_back(article);
  }
  departmentLines_.clear();
  departmentRows_.clear();
  DepartmentRecord department;
  for (std::uint32_t k = 0; k < profile_.departmentCount; ++k) {
    department = ZeroDepartment();
    reportFile_.ReadDepartment(k, department);
    departmentLines_.push_back(DepartmentLine(department));
    departmentRows_.push_back(department);
  }
  Changed();
}

std::vector<std::string> ReportsLogic::ArticleDetails(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= articleSlots_.size()) return {};
  reportFile_.ReadArticle(articleSlots_[static_cast<std::size_t>(index)], articleRecord);
  const ArticleRecord& a = articleRecord;
  std::vector<std::string> lines;
  lines.push_back(UiText("MSG_PLUREP_NAME") + ": " + UiName(NameOf(a.NAME)));
  lines.push_back(Line("MSG_SINGLEPRICE", ": %.2f", a.SING_PRICE));
  lines.push_back(Line("MSG_AMOUNT", ": %.2f", a.SOLDQTY));
  lines.push_back(Line("MSG_TOTAL", ": %.2f", a.AMOUNT));
  lines.push_back(Line("MSG_TOTAL2", ": %.2f", a.AMOUNT_DS));
  if (profile_.secondPriceInReports) {
    lines.push_back(Line("MSG_SINGLEPRICE2", ": %.2f", a.MAX_PRICE));
    lines.push_back(Line("MSG_AMOUNT2", ": %.2f", a.SOLDQTY_DS));
    lines.push_back(Line("MSG_TOTAL2", ": %.2f", a.AMOUNT_DS));
  }
  const auto quantity = [](const char* key, double value) {
    return value == kNotControlledWhole ? UiText(key) + ":  ---" : Line(key, ": %.3f", value);
  };
  lines.push_back(quantity("MSG_STOCKQTY", a.STOCKQTY));
  lines.push_back(quantity("MSG_INITQTY", a.INITQTY));
  return lines;
}

std::vector<std::string> ReportsLogic::DepartmentDetails(int index) {
  if (index < 0) return {};
  reportFile_.ReadDepartment(static_cast<std::uint32_t>(index), departmentRecord);
  const DepartmentRecord& d = departmentRecord;
  return {UiText("MSG_DEPTREP_NAME") + ": " + UiName(NameOf(d.NAME)), Line("MSG_AMOUNT", ": %.3f", d.SOLDQTY),
          Line("MSG_TOTAL", ": %.2f", d.AMOUNT)};
}

void ReportsLogic::ExportReport() {
  if (!reportFile_.IsOpen()) {
    op_.Tell("Open a DataBase File Please!", MessageIcon::Error);
    return;
  }
  if (!workbooks_) return;
  const auto workbook = WorkbookExchange::ChooseWorkbook(op_, true, reportPath_);
  if (!workbook) return;
  bool written = false;
  RunTask("Export Report", [&](TransferControl& control) {
    written = workbooks_->Export(op_, reportFile_, *workbook, kReportsConverterName, control);
    stopped_ = control.StopRequested();
  });
  if (stopped_ || written) {
    statusText_ = written ? kMsgWorkbookWritten + *workbook : "Export cancelled: no workbook was written";
    Changed();
  }
}

std::vector<ReportColumn> ReportsLogic::ArticleColumns() {
  return {ReportColumn::Number, ReportColumn::Name, ReportColumn::Quantity, ReportColumn::Total, ReportColumn::Stock};
}

std::vector<ReportColumn> ReportsLogic::DepartmentColumns() {
  return {ReportColumn::Number, ReportColumn::Name, ReportColumn::Quantity, ReportColumn::Total};
}

std::string ReportsLogic::ColumnTitle(ReportColumn column, bool departments) {
  switch (column) {
    case ReportColumn::Number: return departments ? "No" : "PLU";
    case ReportColumn::Name: return UiText(departments ? "MSG_DEPTREP_NAME" : "MSG_PLUREP_NAME");
    case ReportColumn::Quantity: return UiText("MSG_AMOUNT");
    case ReportColumn::Total: return UiText("MSG_TOTAL");
    case ReportColumn::Stock: return UiText("MSG_STOCKQTY");
  }
  return {};
}

std::string ReportsLogic::ArticleCell(std::size_t line, ReportColumn column) const {
  if (line >= articleRows_.size()) return {};
  const ArticleRecord& a = articleRows_[line];
  switch (column) {
    case ReportColumn::Number: return CFormat("%.5d", static_cast<int>(a.PLUNO));
    case ReportColumn::Name: return UiName(NameOf(a.NAME));
    // The figures as the report view writes them.
    case ReportColumn::Quantity: return CFormat("%.2f", a.SOLDQTY);
    case ReportColumn::Total: return CFormat("%.2f", a.AMOUNT);
    case ReportColumn::Stock: return IsNotControlled(a.STOCKQTY, a.OPT_FRACT_QTY) ? "---" : CFormat("%.3f", a.STOCKQTY);
  }
  return {};
}

std::string ReportsLogic::DepartmentCell(std::size_t line, ReportColumn column) const {
  if (line >= departmentRows_.size()) return {};
  const DepartmentRecord& d = departmentRows_[line];
  switch (column) {
    case ReportColumn::Number: return CFormat("%.5d", static_cast<int>(d.DEPTNO));
    case ReportColumn::Name: return UiName(NameOf(d.NAME));
    case ReportColumn::Quantity: return CFormat("%.3f", d.SOLDQTY);
    case ReportColumn::Total: return CFormat("%.2f", d.AMOUNT);
    case ReportColumn::Stock: break;
  }
  return {};
}

namespace {

template <class Record, class Less>
std::vector<std::size_t> SortedOrder(const std::vector<Record>& rows, bool descending, Less less) {
  std::vector<std::size_t> order(rows.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return descending ? less(rows[b], rows[a]) : less(rows[a], rows[b]);
  });
  return order;
}

// Not-controlled stock after every counted one.
double StockKey(const ArticleRecord& a) {
  return IsNotControlled(a.STOCKQTY, a.OPT_FRACT_QTY) ? std::numeric_limits<double>::infinity() : a.STOCKQTY;
}

}  // namespace

std::vector<std::size_t> ReportsLogic::ArticleOrder(ReportColumn column, bool descending) const {
  return SortedOrder(articleRows_, descending, [column](const ArticleRecord& a, const ArticleRecord& b) {
    switch (column) {
      case ReportColumn::Number: return a.PLUNO < b.PLUNO;
      case ReportColumn::Name: return NameOf(a.NAME) < NameOf(b.NAME);
      case ReportColumn::Quantity: return a.SOLDQTY < b.SOLDQTY;
      case ReportColumn::Total: return a.AMOUNT < b.AMOUNT;
      case ReportColumn::Stock: return StockKey(a) < StockKey(b);
    }
    return false;
  });
}

std::vector<std::size_t> ReportsLogic::DepartmentOrder(ReportColumn column, bool descending) const {
  return SortedOrder(departmentRows_, descending, [column](const DepartmentRecord& a, const DepartmentRecord& b) {
    switch (column) {
      case ReportColumn::Number: return a.DEPTNO < b.DEPTNO;
      case ReportColumn::Name: return NameOf(a.NAME) < NameOf(b.NAME);
      case ReportColumn::Quantity: return a.SOLDQTY < b.SOLDQTY;
      case ReportColumn::Total: return a.AMOUNT < b.AMOUNT;
      case ReportColumn::Stock: break;
    }
    return false;
  });
}

ReportTotals ReportsLogic::ArticleTotals() const {
  ReportTotals totals;
  totals.lines = articleRows_.size();
  for (const ArticleRecord& a : articleRows_) {
    totals.quantity += a.SOLDQTY;
    totals.total += a.AMOUNT;
  }
  return totals;
}

ReportTotals ReportsLogic::DepartmentTotals() const {
  ReportTotals totals;
  totals.lines = departmentRows_.size();
  for (const DepartmentRecord& d : departmentRows_) {
    totals.quantity += d.SOLDQTY;
    totals.total += d.AMOUNT;
  }
  return totals;
}

std::vector<ReportBar> ReportsLogic::TopArticles(std::size_t count) const {
  std::vector<ReportBar> bars;
  for (const std::size_t line : ArticleOrder(ReportColumn::Total, true)) {
    if (bars.size() >= count || articleRows_[line].AMOUNT <= 0) break;
    bars.push_back({UiName(NameOf(articleRows_[line].NAME)), articleRows_[line].AMOUNT});
  }
  return bars;
}

std::vector<ReportBar> ReportsLogic::DepartmentSales() const {
  std::vector<ReportBar> bars;
  for (const DepartmentRecord& d : departmentRows_) bars.push_back({UiName(NameOf(d.NAME)), d.AMOUNT});
  return bars;
}
