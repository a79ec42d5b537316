// The reports window on screen (offscreen), against the demo register.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "FastTiming.h"
#include "CReportView.h"
#include "CReports.h"
#include "QtConverterLauncher.h"
#include "RegisterTransfers.h"
#include "ScriptedOperator.h"
#include "TempDir.h"
#include "UiText.h"
#include "WorkbookExchange.h"
#include "WorkspaceTestConfig.h"
#include "cDemoRegister.h"
#include "cDeviceProtocol.h"

namespace {


class ReportsWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    profile.SetForDeviceType();
    cDemoRegister::Options options;
    options.timing = FastTiming();
    demo = std::make_unique<cDemoRegister>(options);
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
  std::unique_ptr<cDemoRegister> demo;
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
  auto* articles = Child<QListView>(window, "articleList");
  ASSERT_EQ(static_cast<std::size_t>(articles->model()->rowCount()), demo->ArticleCount());
  EXPECT_EQ(Child<QListView>(window, "departmentList")->model()->rowCount(), 8);
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

  auto* departments = Child<QListView>(window, "departmentList");
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
  EXPECT_EQ(Child<QListView>(window, "articleList")->model()->rowCount(), 0);
}
