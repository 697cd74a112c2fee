// The main window: menus, toolbar, scan-area tree, results list, details box, status bar; the
// command line and the main event loop.
#pragma once

namespace mdr {

// A MainWindowRunner (app/startup.h): builds the window, runs the loop until quit is requested,
// stores the window state in Settings() and returns 1 (0 when the window could not be built).
int RunMainWindow();

} // namespace mdr
