#include "workspace/common-qt/WindowSettings.h"

#include <QWidget>

namespace window_settings {
namespace {

QString& FileOverride() {
  static QString path;
  return path;
}

}  // namespace

void UseFile(const QString& iniPath) { FileOverride() = iniPath; }

std::unique_ptr<QSettings> Open() {
  if (!FileOverride().isEmpty()) return std::make_unique<QSettings>(FileOverride(), QSettings::IniFormat);
  return std::make_unique<QSettings>(QStringLiteral("Quillbay"), QStringLiteral("articles"));
}

void SaveGeometry(const QString& key, const QWidget& window) { Open()->setValue(key, window.saveGeometry()); }

void RestoreGeometry(const QString& key, QWidget& window) {
  const QByteArray geometry = Open()->value(key).toByteArray();
  if (!geometry.isEmpty()) window.restoreGeometry(geometry);
}

std::map<int, int> LoadWidths(const QString& group) {
  const auto settings = Open();
  settings->beginGroup(group);
  std::map<int, int> widths;
  for (const QString& key : settings->childKeys()) {
    bool keyOk = false, widthOk = false;
    const int column = key.toInt(&keyOk);
    const int width = settings->value(key).toInt(&widthOk);
    // A hand-edited or damaged file must not make a column vanish or fill the screen.
    if (keyOk && widthOk && width >= 16 && width <= 2000) widths[column] = width;
  }
  return widths;
}

void SaveWidths(const QString& group, const std::map<int, int>& widths) {
  const auto settings = Open();
  settings->beginGroup(group);
  for (const auto& [column, width] : widths) settings->setValue(QString::number(column), width);
}

}  // namespace window_settings
