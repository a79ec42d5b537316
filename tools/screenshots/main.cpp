// Makes the pictures of the manual from the program's own windows:
//   screenshots [--register R] --database DB FOLDER
// writes start-window.png, main-window.png, article-editor.png, progress.png and reports.png
// into FOLDER. Run it under Xvfb with the demo register (the default here).
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTableView>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include "workspace/app/ArticlesCommandLine.h"
#include "workspace/app/CARTICLESApp.h"
#include "workspace/articles/CARTICLESDlg.h"
#include "workspace/editors/CArticleEditor.h"
#include "workspace/start/CDeviceType.h"
#include "reports/CReportView.h"
#include "reports/CReports.h"
#include "workspace/common-qt/TransferProgressDialog.h"
#include "workspace/common/UnattendedOperator.h"
#include "workspace/common-qt/WindowSettings.h"

namespace {

constexpr const char* kUsage = "usage: screenshots [--register usb|demo|...] --database DB FOLDER\n";

// Lets the windows lay themselves out and paint.
void Settle() {
  for (int i = 0; i < 20; ++i) {
    QApplication::processEvents();
    QThread::msleep(10);
  }
}

bool Save(const QPixmap& picture, const std::string& path) {
  if (picture.save(QString::fromStdString(path))) return true;
  std::cerr << "screenshots: the picture could not be written to " << path << "\n";
  return false;
}

// Start-up as the program does it; the monitor's first look at the register
// comes at once: wait for it so the windows open as they would for the operator.
void StartUp(CARTICLESApp& app) {
  app.StartUp();
  QElapsedTimer waited;
  waited.start();
  while (app.Monitor()->Rounds() == 0 && waited.elapsed() < 2000) QThread::msleep(5);
}

// The articles window over the given database as the Goods button opens it,
// answering No to the opening download question, with the name filter set to
// "bread" and the third line shown selected.
bool OpenArticlesWindow(CARTICLESApp& app, CARTICLESDlg& window, const std::string& database) {
  window.SetWorkbookHooks(app.workbookHooks);
  window.SetStartDatabase(database);
  window.Prepare();
  if (!window.Logic().Database().IsOpen()) {
    std::cerr << "screenshots: " << database << " could not be opened\n";
    return false;
  }
  window.show();
  window.FilterBox()->setText(QStringLiteral("bread"));
  window.Logic().OnFilterChanged();
  if (window.List()->model()->rowCount() > 2) {
    window.List()->setCurrentIndex(window.List()->model()->index(2, 0));
  }
  Settle();
  return true;
}

// progress.png: an upload to the register in its progress window over the
// articles window, taken once a few dozen articles are sent; then Cancel.
bool ProgressPicture(CARTICLESApp& app, const std::string& database, const std::string& picture) {
  UnattendedOperator agreeing(database, true);
  CARTICLESDlg window(app.Profile(), app.Names(), app.Transfers(), app.DeviceConnected(), nullptr, {&agreeing});
  window.SetWorkbookHooks(app.workbookHooks);
  window.Logic().OnRegisterChanged(app.DeviceConnected());
  window.Logic().OnOpenDatabase();
  window.show();
  Settle();
  bool saved = false;
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, [&] {
    auto* progress = window.findChild<TransferProgressDialog*>();
    if (!progress || !progress->isVisible() || progress->CountText().section(' ', 1, 1).toInt() < 40) return;
    look.stop();
    const QPixmap under = window.grab();
    const QPixmap over = progress->grab();
    QPixmap both(under.size());
    both.setDevicePixelRatio(under.devicePixelRatio());
    QPainter painter(&both);
    painter.drawPixmap(0, 0, under);
    // Where the window manager puts it: in the middle of the window.
    const QRect place((under.width() - over.width()) / 2, (under.height() - over.height()) / 2, over.width(),
                      over.height());
    painter.drawPixmap(place.topLeft(), over);
    painter.setPen(QColor(90, 90, 90));  // the frame the window manager would draw
    painter.drawRect(place.adjusted(-1, -1, 0, 0));
    painter.end();
    saved = Save(both, picture);
    progress->CancelButton()->click();
  });
  look.start(50);
  window.Button("buttonUpload")->click();
  Settle();
  window.reject();
  if (!saved) std::cerr << "screenshots: the upload ended before its progress window could be taken\n";
  return saved;
}

// Pictures of every window for the manual, made with the program's own objects:
// start-window.png, main-window.png, article-editor.png (the third article of
// the database) and reports.png (the reports window after a download from the
// register, beside the report view of its third article).
int Screenshots(CARTICLESApp& app, const ArticlesCommandLine& line, const std::string& folderName) {
  if (line.database.empty()) {
    std::cerr << "screenshots: --database names the articles to show\n";
    return 2;
  }
  const std::filesystem::path folder(folderName);
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  const auto path = [&](const char* name) { return (folder / name).string(); };
  StartUp(app);

  {
    CDeviceType start(app.Profile(),
                      {[&app] { app.OpenGoods(); }, app.reportsAction, [&app] { app.OpenConfiguration(); }});
    start.Prepare();
    start.show();
    Settle();
    if (!Save(start.grab(), path("start-window.png"))) return 1;
  }

  UnattendedOperator op(line.database, false);
  CARTICLESDlg window(app.Profile(), app.Names(), app.Transfers(), app.DeviceConnected(), nullptr, {&op});
  if (!OpenArticlesWindow(app, window, line.database)) return 1;
  if (!Save(window.grab(), path("main-window.png"))) return 1;

  {
    ArticlesWindowLogic& logic = window.Logic();
    const std::size_t row = logic.ListCount() > 2 ? 2 : 0;
    if (logic.ListCount() == 0) {
      std::cerr << "screenshots: " << line.database << " holds no articles to show in the editor\n";
      return 1;
    }
    CArticleEditor editor(app.Profile(), app.Names(), op);
    if (logic.Database().ReadArticle(logic.Table().Entry(*logic.TableIndexOfRow(row)).recordNo, editor.Record()) !=
        ReadStatus::Ok) {
      std::cerr << "screenshots: the article could not be read from " << line.database << "\n";
      return 1;
    }
    editor.SetDatabase(&logic.Database());
    editor.Prepare();
    editor.show();
    Settle();
    const bool saved = Save(editor.grab(), path("article-editor.png"));
    editor.reject();
    if (!saved) return 1;
  }
  window.reject();
  if (!ProgressPicture(app, line.database, path("progress.png"))) return 1;

  {
    QTemporaryDir scratch;
    const std::string report = (std::filesystem::path(scratch.path().toStdString()) / "report.db").string();
    UnattendedOperator reportOp(report, true);
    CReports reports(reportOp, app.Profile(), app.Transfers(), app.Workbooks(), app.DeviceConnected());
    reports.show();
    Settle();
    reports.Logic().DownloadReports();
    if (reports.Logic().ArticleLines().size() < 3) {
      std::cerr << "screenshots: the report download brought too few articles; is a register attached?\n";
      return 1;
    }
    // Selected as by a click, then opened as by a double-click.
    if (auto* list = reports.findChild<QTableView*>(QStringLiteral("articleList"))) {
      list->setCurrentIndex(list->model()->index(2, 0));
    }
    reports.OpenArticleView(2);
    Settle();
    const QPixmap left = reports.grab();
    const QPixmap right = reports.View()->grab();
    // The two windows side by side, as they stand on the screen.
    const int gap = 12;
    QPixmap both(left.width() + gap + right.width(), std::max(left.height(), right.height()));
    both.setDevicePixelRatio(left.devicePixelRatio());
    both.fill(Qt::transparent);
    QPainter painter(&both);
    painter.drawPixmap(0, 0, left);
    painter.drawPixmap(left.width() + gap, 0, right);
    painter.end();
    if (!Save(both, path("reports.png"))) return 1;
    reports.Logic().Close();
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication qt(argc, argv);
  // The pictures show the windows as they first open, whatever this user's settings.
  QTemporaryDir settingsFolder;
  window_settings::UseFile(settingsFolder.filePath(QStringLiteral("settings.ini")));
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args.back().starts_with("-")) {
    std::cerr << kUsage;
    return 2;
  }
  const std::string folder = args.back();
  args.pop_back();
  // The demo register unless another is named: its report download gives the reports picture.
  args.insert(args.begin(), "--register=demo");
  std::string error;
  const auto line = ArticlesCommandLine::Parse(args, &error);
  if (!line) {
    std::cerr << "screenshots: " << error << "\n" << kUsage;
    return 2;
  }
  ArticlesAppSettings settings;
  settings.registerChoice = line->registerChoice;
  settings.startDatabase = line->database;
  CARTICLESApp app(settings);
  return Screenshots(app, *line, folder);
}
