#include "WorkspaceResources.h"

#include <QtCore/qglobal.h>

// The resources sit in a static library; naming their initialiser keeps the
// linker from dropping them.
void InitWorkspaceResources() { Q_INIT_RESOURCE(articles); }
