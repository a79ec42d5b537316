// Makes the layouts' pictures and the program icon, compiled into the window
// library, reachable under ":/images/..." before the first window opens.
#pragma once

#include <QIcon>

void InitWorkspaceResources();

// The program icon in the sizes that were drawn for it.
QIcon ProgramIcon();
