#include "workspace/common-qt/WorkspaceResources.h"

#include <QtCore/qglobal.h>

// The resources sit in a static library; naming their initialiser keeps the
// linker from dropping them.
void InitWorkspaceResources() { Q_INIT_RESOURCE(articles); }

QIcon ProgramIcon() {
  InitWorkspaceResources();
  QIcon icon;
  icon.addFile(QStringLiteral(":/images/articles-64.png"), QSize(64, 64));
  icon.addFile(QStringLiteral(":/images/articles-256.png"), QSize(256, 256));
  return icon;
}
