// The reports window on screen (offscreen), against the demo register.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QTableView>
#include <QPushButton>
#include <QTest>
#include <QValueAxis>
#include <cmath>
#include <filesystem>

#include "tests/device/FastTiming.h"
#include "reports/CReportView.h"
#include "data/CFormat.h"
#include "reports/CReports.h"
#include "workspace/common-qt/QtConverterLauncher.h"
#include "device/RegisterTransfers.h"
#include "tests/workspace/support/ScriptedOperator.h"
#include "tests/data/TempDir.h"
#include "workspace/common/UiText.h"
#include "workspace/common/WorkbookExchange.h"
#include "tests/workspace/support/WorkspaceTestConfig.h"
#include "device/transport/DemoRegister.h"
#include "device/cDeviceProtocol.h"

namespace {

class ReportsWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    profile.SetForDeviceType();
    DemoRegister::Options options;
    options.timing = FastTiming();
    demo = std::make_unique<DemoRegister>(options);
    engine.Start(demo.get());
  }
  void TearDown() override { engine.Stop(); }

  template <typename T>
  T* Child(QWidget& parent, const char* name) {
    T* child = parent.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }

  WorkspaceTestConfig config;
  TempDir dir;
  ScriptedOperator op;
  DeviceProfile profile;
  std::unique_ptr<DemoRegister> demo;
  cDeviceProtocol engine{FastTiming()};
  RegisterTransfers transfers{
      [this](std::uint16_t c, const std::string& q, std::string& r) { return engine.DeviceTransaction(c, q, r); },
      profile};
  QtConverterLauncher launcher;
  WorkbookExchange workbooks{launcher, dir.Path().string(), {ARTICLES_BIN_DIR}};
};

}  // namespace

TEST_F(ReportsWindow, DownloadViewAndExport) {
  CReports window(op, profile, &transfers, &workbooks, true);
  window.show();
  auto* download = Child<QPushButton>(window, "downloadButton");
  ASSERT_TRUE(download->isEnabled());
  EXPECT_EQ(Child<QPushButton>(window, "closeButton")->text().toStdString(), UiText("DLG_CANCEL"));

  op.QueueFile(dir.File("report.db"));
  QTest::mouseClick(download, Qt::LeftButton);
  auto* articles = Child<QTableView>(window, "articleList");
  ASSERT_EQ(static_cast<std::size_t>(articles->model()->rowCount()), demo->ArticleCount());
  EXPECT_EQ(Child<QTableView>(window, "departmentList")->model()->rowCount(), 8);
  EXPECT_EQ(Child<QLineEdit>(window, "statusLine")->text().toStdString(), UiText("MSG_DEVICE_OK_MSG"));

  // A selection before any double-click shows nothing.
  articles->setCurrentIndex(articles->model()->index(1, 0));
  EXPECT_EQ(window.View(), nullptr);

  window.OpenArticleView(0);
  ASSERT_NE(window.View(), nullptr);
  auto lines = window.View()->Lines();
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_TRUE(std::is_sorted(lines.begin(), lines.end()));
  const std::string firstName = lines[0];

  // Every selection change refreshes the open view.
  articles->setCurrentIndex(articles->model()->index(5, 0));
  EXPECT_NE(window.View()->Lines(), lines);

  auto* departments = Child<QTableView>(window, "departmentList");
  departments->setCurrentIndex(departments->model()->index(2, 0));
  EXPECT_EQ(window.View()->Lines().size(), 3u);

  // Cancel closes the view; the next double-click opens a new one.
  QTest::mouseClick(window.View()->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_EQ(window.View(), nullptr);
  window.OpenDepartmentView(0);
  ASSERT_NE(window.View(), nullptr);

  op.QueueFile(dir.File("report.xlsx"));
  QTest::mouseClick(Child<QPushButton>(window, "exportButton"), Qt::LeftButton);
  EXPECT_TRUE(std::filesystem::exists(dir.File("report.xlsx"))) << testing::PrintToString(op.AskedTexts());
}

TEST_F(ReportsWindow, WithoutARegisterOnlyOpeningAndExportWork) {
  CReports window(op, profile, &transfers, &workbooks, false);
  EXPECT_FALSE(Child<QPushButton>(window, "downloadButton")->isEnabled());
  EXPECT_TRUE(Child<QPushButton>(window, "openButton")->isEnabled());
  QTest::mouseClick(Child<QPushButton>(window, "exportButton"), Qt::LeftButton);
  EXPECT_EQ(op.AskedTexts().back(), "Open a DataBase File Please!");

  // A file that is not a report: the message, and the lists stay empty.
  WriteBytes(dir.File("bad.db"), std::vector<unsigned char>(50, 'x'));
  op.QueueFile(dir.File("bad.db"));
  QTest::mouseClick(Child<QPushButton>(window, "openButton"), Qt::LeftButton);
  EXPECT_EQ(op.AskedTexts().back(), "Incorrect File!");
  EXPECT_EQ(Child<QTableView>(window, "articleList")->model()->rowCount(), 0);
}

TEST_F(ReportsWindow, FiguresAsSortableColumnsWithTotalsAndCharts) {
  CReports window(op, profile, &transfers, &workbooks, true);
  window.show();
  op.QueueFile(dir.File("sales.db"));
  QTest::mouseClick(Child<QPushButton>(window, "downloadButton"), Qt::LeftButton);
  EXPECT_EQ(window.windowTitle(), "Reports - sales.db");
  const ReportsLogic& logic = window.Logic();
  ASSERT_GT(logic.ArticleLines().size(), 20u);

  // Totals are the sums of the lines.
  ReportTotals sums;
  for (std::size_t i = 0; i < logic.ArticleLines().size(); ++i) {
    sums.total += std::stod(logic.ArticleCell(i, ReportColumn::Total));
  }
  EXPECT_NEAR(logic.ArticleTotals().total, sums.total, 0.01 * static_cast<double>(logic.ArticleLines().size()));
  EXPECT_EQ(logic.ArticleTotals().lines, logic.ArticleLines().size());
  EXPECT_TRUE(Child<QLabel>(window, "articleTotals")
                  ->text()
                  .contains(QString::fromStdString(CFormat("%.2f", logic.ArticleTotals().total))));

  // Sorting by each column orders the lines by it; the view follows the sorted row.
  for (const ReportColumn column : ReportsLogic::ArticleColumns()) {
    const auto order = logic.ArticleOrder(column, false);
    ASSERT_EQ(order.size(), logic.ArticleLines().size());
    for (std::size_t i = 1; i < order.size(); ++i) {
      if (column == ReportColumn::Name) {
        EXPECT_LE(logic.ArticleCell(order[i - 1], column), logic.ArticleCell(order[i], column));
      } else if (column != ReportColumn::Stock) {
        EXPECT_LE(std::stod(logic.ArticleCell(order[i - 1], column)), std::stod(logic.ArticleCell(order[i], column)));
      }
    }
  }
  auto* articles = Child<QTableView>(window, "articleList");
  articles->sortByColumn(3, Qt::DescendingOrder);
  const std::size_t best = logic.ArticleOrder(ReportColumn::Total, true)[0];
  EXPECT_EQ(articles->model()->index(0, 1).data().toString().toStdString(),
            logic.ArticleCell(best, ReportColumn::Name));
  window.OpenArticleView(0);
  ASSERT_NE(window.View(), nullptr);
  const auto lines = window.View()->Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      UiText("MSG_PLUREP_NAME") + ": " + logic.ArticleCell(best, ReportColumn::Name)),
            lines.end());

  // The charts: the 20 best sellers, best first, and every department.
  const auto top = logic.TopArticles(ReportCharts::kTopArticles);
  ASSERT_EQ(top.size(), 20u);
  EXPECT_TRUE(std::is_sorted(top.begin(), top.end(), [](const auto& a, const auto& b) { return a.total > b.total; }));
  EXPECT_EQ(window.Charts()->ArticleBars(), 20);
  EXPECT_EQ(window.Charts()->DepartmentBars(), 8);
  op.QueueFile(dir.File("chart.png"));
  QTest::mouseClick(Child<QPushButton>(window, "saveChartButton"), Qt::LeftButton);
  EXPECT_FALSE(QImage(QString::fromStdString(dir.File("chart.png"))).isNull());
}

TEST_F(ReportsWindow, AnIncorrectFileLeavesNothingOfTheEarlierReport) {
  CReports window(op, profile, &transfers, &workbooks, true);
  window.show();
  op.QueueFile(dir.File("sales.db"));
  QTest::mouseClick(Child<QPushButton>(window, "downloadButton"), Qt::LeftButton);
  ASSERT_EQ(window.windowTitle(), "Reports - sales.db");
  ASSERT_GT(window.Charts()->ArticleBars(), 0);

  WriteBytes(dir.File("bad.db"), std::vector<unsigned char>(50, 'x'));
  op.QueueFile(dir.File("bad.db"));
  QTest::mouseClick(Child<QPushButton>(window, "openButton"), Qt::LeftButton);
  EXPECT_EQ(op.AskedTexts().back(), "Incorrect File!");
  EXPECT_EQ(window.windowTitle(), "Reports");
  EXPECT_EQ(window.Charts()->ArticleBars(), 0);
  EXPECT_EQ(window.Charts()->DepartmentBars(), 0);
  EXPECT_EQ(Child<QTableView>(window, "articleList")->model()->rowCount(), 0);
  EXPECT_EQ(Child<QTableView>(window, "departmentList")->model()->rowCount(), 0);
  EXPECT_TRUE(window.Logic().ReportPath().empty());

  // A cancelled dialog keeps the report on screen.
  op.QueueFile(dir.File("sales.db"));
  QTest::mouseClick(Child<QPushButton>(window, "openButton"), Qt::LeftButton);
  ASSERT_EQ(window.windowTitle(), "Reports - sales.db");
  op.QueueFile(std::nullopt);
  QTest::mouseClick(Child<QPushButton>(window, "openButton"), Qt::LeftButton);
  EXPECT_EQ(window.windowTitle(), "Reports - sales.db");
  EXPECT_GT(window.Charts()->ArticleBars(), 0);
}

TEST(ReportChartsTest, TheSalesAxisRunsInRoundStepsWithGroupedFigures) {
  for (const double highest : {0.0, 0.4, 3.0, 9.99, 80.0, 1234.56, 99999.0, 123456.78, 5e6, 987654321.0}) {
    SCOPED_TRACE(highest);
    const ReportCharts::AxisScale scale = ReportCharts::ScaleFor(highest);
    ASSERT_GE(scale.intervals, 1);
    EXPECT_LE(scale.intervals, 5);
    // Room for the figure beside the longest bar.
    EXPECT_GE(scale.max, highest * 1.2);
    const double step = scale.max / scale.intervals;
    const double mantissa = step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    EXPECT_TRUE(std::abs(mantissa - 1) < 1e-6 || std::abs(mantissa - 2) < 1e-6 || std::abs(mantissa - 5) < 1e-6)
        << step;
    // The labels show the steps exactly, without needless decimals.
    const QString label = QString::number(step, 'f', scale.decimals);
    EXPECT_NEAR(label.toDouble(), step, 1e-9) << label.toStdString();
    if (step >= 1) {
      EXPECT_EQ(scale.decimals, 0);
    }
  }
  EXPECT_EQ(ReportCharts::ScaleFor(80).max, 100.0);
  EXPECT_EQ(ReportCharts::ScaleFor(80).intervals, 5);
  EXPECT_EQ(ReportCharts::FiguresLocale().toString(1234567.5, 'f', 2), "1,234,567.50");

  WorkspaceTestConfig config;
  ReportCharts charts;
  charts.Show({{"Bread", 1234.5}, {"Milk", 80}}, {{"Food", 99999}});
  EXPECT_EQ(charts.ArticleTotalsAxis()->max(), ReportCharts::ScaleFor(1234.5).max);
  EXPECT_EQ(charts.ArticleTotalsAxis()->tickCount(), ReportCharts::ScaleFor(1234.5).intervals + 1);
  EXPECT_EQ(charts.DepartmentTotalsAxis()->max(), ReportCharts::ScaleFor(99999).max);
}

TEST_F(ReportsWindow, ASavedChartSaysWhatItShowsAndWhen) {
  EXPECT_EQ(ReportCharts::Caption("sales.db", QDate(2026, 1, 5)), "Sales report sales.db, 2026-01-05");
  CReports window(op, profile, &transfers, &workbooks, true);
  window.show();
  op.QueueFile(dir.File("sales.db"));
  QTest::mouseClick(Child<QPushButton>(window, "downloadButton"), Qt::LeftButton);
  const QImage panel = window.Charts()->grab().toImage();
  const QImage picture = window.Charts()->Picture(QDate(2026, 1, 5));
  ASSERT_GT(picture.height(), panel.height());
  // The band above the charts carries the caption: it is not blank.
  const int band = picture.height() - panel.height();
  bool written = false;
  for (int y = 0; y < band && !written; ++y) {
    for (int x = 0; x < picture.width() && !written; ++x) written = picture.pixel(x, y) != qRgb(255, 255, 255);
  }
  EXPECT_TRUE(written);
  op.QueueFile(dir.File("chart.png"));
  QTest::mouseClick(Child<QPushButton>(window, "saveChartButton"), Qt::LeftButton);
  EXPECT_EQ(QImage(QString::fromStdString(dir.File("chart.png"))).height(), picture.height());
}

// A register that is there but never answers is named in the status line, not
// taken for one that answered.
TEST_F(ReportsWindow, ARegisterThatDoesNotAnswerIsNamed) {
  RegisterTransfers silent{[](std::uint16_t, const std::string&, std::string&) { return 1; }, profile};
  silent.SetAddress("serial:/dev/ttyS9");
  ReportsLogic logic(op, profile, &silent);
  logic.OnInitDialog(true);
  EXPECT_EQ(logic.StatusText(), "no register answers on serial:/dev/ttyS9");
  EXPECT_TRUE(logic.DownloadEnabled());
}
