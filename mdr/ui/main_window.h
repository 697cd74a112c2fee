// The main window: menus, toolbar, scan-area tree, results list, details box, status bar; the
// command line and the main event loop.
#pragma once

#include <windows.h>
#include <cstdint>

namespace mdr {

// The runner that start-up calls: builds the window, runs the loop until quit is requested,
// stores the window state in Settings() and returns 1 (0 when the window could not be built).
int RunMainWindow();

// Builds the window in order: window, engine settings, status bar, menus, toolbar, gadgets,
// tree, resizing, shortcuts, command line, showing, "-scan"/"-warnordie". False after telling
// the user why the window could not be built.
bool BuildMainWindow();
// The main event loop; returns once quit is requested.
void RunMainLoop();

// The main window, nullptr before it exists.
HWND MainWindowHandle();

// Status-bar field 3: the count a fix reports.
void SetErrorsFixedCount(uint64_t count);

} // namespace mdr
