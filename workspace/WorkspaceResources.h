// Makes the layouts' pictures and the program icon, compiled into the window
// library, reachable under ":/images/..." before the first window opens.
#pragma once

void InitWorkspaceResources();
