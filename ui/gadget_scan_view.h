// The scan view on the main window's real gadgets. Every call made from the scan thread is
// carried out on the window's thread, which keeps dispatching messages during a scan.
#pragma once

#include "scan/scan_view.h"

namespace mdr {

ScanView& MainWindowScanView();

} // namespace mdr
