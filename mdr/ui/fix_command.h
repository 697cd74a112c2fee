// Fixing as the main window's command (menu 14, pop-up 106, toolbar 503): the fix of repair/
// run over the main window's results list, scan-area tree and status bar.
#pragma once

#include "mdr/repair/fix_errors.h"

namespace mdr {

// Installs the fix as the main window's command. Call before the main window is built.
void RegisterFixCommand();
// The main window's side of the fix.
FixView& MainWindowFixView();
// Fixes the checked rows of the main window; see FixErrorsWindow(FixView&).
int FixErrorsWindow();

} // namespace mdr
