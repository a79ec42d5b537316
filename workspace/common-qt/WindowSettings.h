// What the windows remember between runs: their sizes, column widths, the last
// folder and the last file chosen of each kind. Kept with QSettings under the
// organisation "Quillbay" and the application "articles"; tests and tools point
// it at a file of their own, so they never touch the user's settings.
#pragma once

#include <map>
#include <memory>

#include <QSettings>
#include <QString>

class QHeaderView;
class QWidget;

namespace window_settings {

// From now on every setting goes to this INI file (empty: the user's settings).
void UseFile(const QString& iniPath);
std::unique_ptr<QSettings> Open();

void SaveGeometry(const QString& key, const QWidget& window);
void RestoreGeometry(const QString& key, QWidget& window);

// Column widths by a key of each column's own (not by position, which changes
// with the columns a register has).
std::map<int, int> LoadWidths(const QString& group);
void SaveWidths(const QString& group, const std::map<int, int>& widths);

}  // namespace window_settings
