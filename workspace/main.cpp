// The articles program: command line, then the application object.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QPixmap>
#include <QThread>

#include "ArticlesCommandLine.h"
#include "ArticlesListModel.h"
#include "CARTICLESApp.h"
#include "CARTICLESDlg.h"
#include "Config.h"
#include "SampleDatabase.h"
#include "UnattendedOperator.h"

namespace {

std::vector<std::string> Arguments(int argc, char** argv) { return {argv + 1, argv + argc}; }

// A picture of the articles window over the given database, for the manual.
int Screenshot(CARTICLESApp& app, const ArticlesCommandLine& line) {
  app.StartUp();
  // The monitor's first look at the register comes at once; wait for it so the
  // window opens as it would for the operator.
  QElapsedTimer waited;
  waited.start();
  while (app.Monitor()->Rounds() == 0 && waited.elapsed() < 2000) QThread::msleep(5);
  UnattendedOperator op(line.database, false);
  CARTICLESDlg window(app.Profile(), app.Names(), app.Transfers(), app.DeviceConnected(), nullptr, {&op});
  window.SetStartDatabase(line.database);
  window.Prepare();
  if (!window.Logic().Database().IsOpen()) {
    std::cerr << "articles: " << line.database << " could not be opened\n";
    return 1;
  }
  window.show();
  if (window.List()->model()->rowCount() > 2) {
    window.List()->setCurrentIndex(window.List()->model()->index(2, 0));
  }
  for (int i = 0; i < 20; ++i) {
    QApplication::processEvents();
    QThread::msleep(10);
  }
  if (!window.grab().save(QString::fromStdString(line.screenshot))) {
    std::cerr << "articles: the picture could not be written to " << line.screenshot << "\n";
    return 1;
  }
  window.reject();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string program = "articles";
  std::string error;
  // Jobs that need no display are done before Qt looks for one.
  if (const auto early = ArticlesCommandLine::Parse(Arguments(argc, argv), &error)) {
    if (early->help) {
      std::cout << ArticlesCommandLine::Usage(program);
      return 0;
    }
    if (early->version) {
      std::cout << program << " " << ARTICLES_VERSION << "\n";
      return 0;
    }
    if (!early->makeSample.empty()) {
      SelectConfiguredCodePage();
      std::size_t articles = 0;
      if (!SampleDatabase::Create(early->makeSample, &error, &articles)) {
        std::cerr << program << ": no sample database: " << error << "\n";
        return 1;
      }
      std::cout << "Wrote " << articles << " articles of the demo register to " << early->makeSample << "\n";
      return 0;
    }
  } else {
    // Qt's own options start with a single dash; anything else is ours and wrong.
    bool qtOptions = false;
    for (const std::string& arg : Arguments(argc, argv)) qtOptions |= arg.size() > 1 && arg[0] == '-' && arg[1] != '-';
    if (!qtOptions) {
      std::cerr << program << ": " << error << "\n";
      return 2;
    }
  }
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) {
    std::cerr << program << ": there is no display to show the windows on (neither DISPLAY nor WAYLAND_DISPLAY is set)\n";
    return 1;
  }

  QApplication qt(argc, argv);  // takes its own options out of argv
  QApplication::setApplicationName(QString::fromStdString(program));
  QApplication::setApplicationVersion(QStringLiteral(ARTICLES_VERSION));
  const auto line = ArticlesCommandLine::Parse(Arguments(argc, argv), &error);
  if (!line) {
    std::cerr << program << ": " << error << "\n";
    return 2;
  }
  ArticlesAppSettings settings;
  settings.registerChoice = line->registerChoice;
  settings.startDatabase = line->database;
  CARTICLESApp app(settings);
  if (!line->screenshot.empty()) return Screenshot(app, *line);
  return app.InitInstance();
}
