// Runs the window tests inside one QApplication on the offscreen platform.
#include <gtest/gtest.h>

#include <cstdlib>

#include <QApplication>
#include <QTemporaryDir>

#include "workspace/common-qt/WindowSettings.h"

int main(int argc, char** argv) {
  // Also when the test list is read at build time, outside the test environment.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  // What the windows remember goes to a file of this run, never into the home folder.
  QTemporaryDir settings;
  window_settings::UseFile(settings.filePath(QStringLiteral("settings.ini")));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
