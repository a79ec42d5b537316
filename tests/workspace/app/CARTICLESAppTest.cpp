#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include "workspace/app/CARTICLESApp.h"
#include "workspace/articles/CARTICLESDlg.h"
#include "workspace/start/CDeviceType.h"
#include "reports/CReports.h"
#include "workspace/app/QuitOnSignal.h"
#include "device/RegisterTransfers.h"
#include "tests/workspace/support/ScriptedOperator.h"
#include "tests/data/TempDir.h"
#include "workspace/common/UiText.h"
#include "tests/workspace/support/WorkspaceTestConfig.h"

namespace {

using namespace std::chrono_literals;

ArticlesAppSettings DemoSettings() {
  ArticlesAppSettings settings;
  settings.registerChoice = *RegisterChoice::Parse("demo", nullptr);
  settings.timing.afterFramePauseMs = 0;
  settings.timing.startPauseMs = 0;
  settings.timing.stopPollMs = 1;
  settings.timing.noDevicePollMs = 1;
  settings.timing.lineReadTimeoutMs = 20;
  // The monitor keeps its real period: stopping must not wait it out.
  return settings;
}

bool WaitConnected(const CARTICLESApp& app) {
  const auto end = std::chrono::steady_clock::now() + 2s;
  while (!app.DeviceConnected()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

// Runs action on the modal window that will be up shortly.
void WhenModal(std::function<void(QWidget*)> action) {
  auto* timer = new QTimer(qApp);
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, action = std::move(action)] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      action(modal);
    }
  });
  timer->start();
}

TEST(CARTICLESAppTest, StartsWithTheDemoRegisterAndStopsWithinASecond) {
  WorkspaceTestConfig config;
  ScriptedOperator op;
  CARTICLESApp app(DemoSettings(), &op);
  EXPECT_FALSE(app.DeviceConnected());
  app.StartUp();
  EXPECT_EQ(app.StartDirectory(), std::filesystem::current_path().string());
  EXPECT_STREQ(app.Names().taxChars, "ABCDEFGH");
  ASSERT_TRUE(WaitConnected(app));
  ASSERT_NE(app.Transfers(), nullptr);
  EXPECT_TRUE(app.Transfers()->ReadDeviceParameters());
  EXPECT_EQ(app.Profile().departmentCount, 8u);
  EXPECT_TRUE(op.Asked().empty());  // the demo register has nothing to warn about

  const auto begin = std::chrono::steady_clock::now();
  app.ShutDown();
  EXPECT_LT(std::chrono::steady_clock::now() - begin, 500ms);
  EXPECT_EQ(app.Monitor(), nullptr);
  EXPECT_EQ(app.Connection(), nullptr);
  app.ShutDown();
}

TEST(CARTICLESAppTest, AConnectionProblemIsToldOnceAtStartUp) {
  WorkspaceTestConfig config;
  ScriptedOperator op;
  ArticlesAppSettings settings = DemoSettings();
  settings.registerChoice = *RegisterChoice::Parse("serial:/nonexistent/ttyQB0", nullptr);
  CARTICLESApp app(settings, &op);
  app.StartUp();
  ASSERT_EQ(op.Asked().size(), 1u);
  EXPECT_NE(op.Asked()[0].text.find("/nonexistent/ttyQB0"), std::string::npos);
  EXPECT_EQ(op.Asked()[0].icon, MessageIcon::Warning);
  EXPECT_FALSE(app.DeviceConnected());
}

TEST(CARTICLESAppTest, GoodsOpensAFreshWindowThatReadsTheAttachedState) {
  WorkspaceTestConfig config;
  ScriptedOperator op;
  CARTICLESApp app(DemoSettings(), &op);
  app.StartUp();
  ASSERT_TRUE(WaitConnected(app));
  const std::string question = UiText("MSG_DOWNLOAD_QUESTION");
  for (int round = 1; round <= 2; ++round) {
    bool uploadEnabled = false;
    // The window offers the opening download (answered No), then is closed.
    op.onAsk = [&](const AskedQuestion& asked) {
      if (asked.text != question) return;
      if (auto* window = qobject_cast<CARTICLESDlg*>(QApplication::activeModalWidget())) {
        uploadEnabled = window->Button("buttonUpload")->isEnabled();
        QTimer::singleShot(0, window, &CARTICLESDlg::reject);
      }
    };
    app.OpenGoods();
    EXPECT_EQ(app.GoodsOpened(), round);
    EXPECT_TRUE(uploadEnabled);
    ASSERT_EQ(op.Unscripted().size(), static_cast<std::size_t>(round));
    EXPECT_EQ(op.Unscripted().back(), question);
  }
  app.ShutDown();
}

TEST(CARTICLESAppTest, ExitInTheStartWindowEndsTheProgramPromptly) {
  WorkspaceTestConfig config;
  ScriptedOperator op;
  CARTICLESApp app(DemoSettings(), &op);
  QElapsedTimer exitPressed;
  WhenModal([&](QWidget* modal) {
    auto* start = qobject_cast<CDeviceType*>(modal);
    ASSERT_NE(start, nullptr);
    EXPECT_TRUE(start->GoodsButton()->isEnabled());
    EXPECT_TRUE(start->ConfigurationButton()->isEnabled());
    EXPECT_TRUE(start->ReportsButton()->isEnabled());
    exitPressed.start();
    start->ExitButton()->click();
  });
  EXPECT_EQ(app.InitInstance(), 0);
  ASSERT_TRUE(exitPressed.isValid());
  EXPECT_LT(exitPressed.elapsed(), 500);
  EXPECT_EQ(app.Profile().departmentCount, 8u);  // set by the start window
  EXPECT_EQ(app.Monitor(), nullptr);
}

}  // namespace

namespace {

TEST(CARTICLESAppTest, ReportsButtonOpensTheReportsWindow) {
  WorkspaceTestConfig config;
  ScriptedOperator op;
  CARTICLESApp app(DemoSettings(), &op);
  app.StartUp();
  QElapsedTimer waited;
  waited.start();
  while (app.Monitor()->Rounds() == 0 && waited.elapsed() < 2000) QThread::msleep(5);
  ASSERT_TRUE(app.DeviceConnected());
  ASSERT_NE(app.Workbooks(), nullptr);
  bool seen = false;
  WhenModal([&](QWidget* modal) {
    auto* reports = qobject_cast<CReports*>(modal);
    ASSERT_NE(reports, nullptr);
    seen = true;
    EXPECT_TRUE(reports->findChild<QPushButton*>("downloadButton")->isEnabled());
    reports->reject();
  });
  app.reportsAction();
  EXPECT_TRUE(seen);
  app.ShutDown();
}

TEST(CARTICLESAppTest, SigtermDuringADownloadStopsItAndClosesTheWindowsAfterTheWorker) {
  WorkspaceTestConfig config;
  TempDir dir;
  ScriptedOperator op;
  CARTICLESApp app(DemoSettings(), &op);
  const QuitOnSignal quit;
  app.StartUp();
  ASSERT_TRUE(WaitConnected(app));
  const std::string path = dir.File("shop.db");
  op.QueueAnswer(Answer::Yes);  // the opening download
  op.QueueFile(path);
  op.QueueAnswer(Answer::Ok);
  bool raised = false;
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, [&] {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* window = qobject_cast<CARTICLESDlg*>(top);
      if (!raised && window && window->Logic().Busy() && window->Logic().DownloadAll() == 1) {
        raised = true;
        std::raise(SIGTERM);
      }
    }
  });
  look.start(1);
  app.OpenGoods();  // returns once the window closed
  app.ShutDown();
  EXPECT_TRUE(raised);
  EXPECT_EQ(quit.Signal(), SIGTERM);
  // A new file is made only by a complete download: nothing is left.
  EXPECT_FALSE(std::filesystem::exists(path));
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path())) ++entries;
  EXPECT_EQ(entries, 0u);
}

}  // namespace
