// The articles program: command line, then the application object.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include <QApplication>

#include "workspace/app/ArticlesCommandLine.h"
#include "ArticlesVersion.h"
#include "workspace/app/CARTICLESApp.h"
#include "data/Config.h"
#include "workspace/app/QuitOnSignal.h"
#include "workspace/app/SampleDatabase.h"

namespace {

const std::string program = "articles";

std::vector<std::string> Arguments(int argc, char** argv) { return {argv + 1, argv + argc}; }

// A display, or a platform named for Qt that needs none (-platform offscreen).
bool PlatformNamed(int argc, char** argv) {
  if (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || std::getenv("QT_QPA_PLATFORM")) return true;
  for (const std::string& arg : Arguments(argc, argv)) {
    if (arg == "-platform" || arg == "--platform") return true;
  }
  return false;
}

// The jobs that end without a window.
int RunWithoutWindows(const ArticlesCommandLine& line) {
  if (line.help) {
    std::cout << ArticlesCommandLine::Usage(program);
    return 0;
  }
  if (line.version) {
    std::cout << program << " " << ARTICLES_VERSION << "\n";
    return 0;
  }
  SelectConfiguredCodePage();
  std::string error;
  std::size_t articles = 0;
  if (!SampleDatabase::Create(line.makeSample, &error, &articles)) {
    std::cerr << program << ": no sample database: " << error << "\n";
    return 1;
  }
  std::cout << "Wrote " << articles << " articles of the demo register to " << line.makeSample << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  // Jobs that need no display are done before Qt looks for one.
  if (const auto early = ArticlesCommandLine::Parse(Arguments(argc, argv), &error)) {
    if (!early->NeedsWindows()) return RunWithoutWindows(*early);
  } else {
    // Qt's own options start with a single dash; anything else is ours and wrong.
    bool qtOptions = false;
    for (const std::string& arg : Arguments(argc, argv)) qtOptions |= arg.size() > 1 && arg[0] == '-' && arg[1] != '-';
    if (!qtOptions) {
      std::cerr << program << ": " << error << "\n";
      return 2;
    }
  }
  if (!PlatformNamed(argc, argv)) {
    std::cerr << program
              << ": there is no display to show the windows on (neither DISPLAY nor WAYLAND_DISPLAY "
                 "is set; -platform offscreen runs without one)\n";
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
  if (!line->NeedsWindows()) return RunWithoutWindows(*line);
  ArticlesAppSettings settings;
  settings.registerChoice = line->registerChoice;
  settings.startDatabase = line->database;
  CARTICLESApp app(settings);
  const QuitOnSignal quit;
  const int status = app.InitInstance();
  return quit.Signal() != 0 ? 128 + quit.Signal() : status;
}
