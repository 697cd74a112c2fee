// The scan view on the main window's real gadgets. The scan thread's changes are queued and
// carried out on the window's thread in order, in batches: the scan never waits for the window
// to repaint, and the window repaints once per batch instead of once per row. Calls that return
// something (and the no-area notice) are carried out at once, after everything queued before.
#pragma once

#include <windows.h>

#include "mdr/scan/scan_view.h"

namespace mdr {

ScanView& MainWindowScanView();

// Window's thread: carries out everything queued so far.
void FlushScanViewQueue();
// Window's thread: the same for at most about budgetMs; the rest follows on a timer.
void FlushScanViewQueueFor(DWORD budgetMs);
// Window's thread: the row count the scan sees, after rows were removed or cleared here.
void SyncScanViewRowCount();

} // namespace mdr
