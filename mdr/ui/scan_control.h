// Scan control: starting the scan thread and the status-bar refresh thread, keeping the window
// responsive while they run, stopping on request and showing the outcome. Also the shared scan
// state: the scan lock, the running flag, the items-scanned counter and the current item.
#pragma once

#include <windows.h>
#include <cstdint>
#include <string>

namespace mdr {

// The scan mutex: guards the items-scanned counter and the current-item text.
CRITICAL_SECTION& ScanLock();
uint64_t ItemsScanned();

// Hands the scan engine its four settings (right after the main window exists).
void HandScanEngineSettings();

// Runs a whole scan on the window's thread, keeping the window alive meanwhile. 0 when the user
// declined to discard unfixed errors, 1 otherwise (also when quit was requested meanwhile).
int StartScan();
// Asks the running scan to stop. Returns 1.
int StopScan();
// The stop command during a scan: asks first; on Yes marks the scan as cancelled and stops it.
void ConfirmStopScan();
// Exit during a scan (the notification-area menu): asks, then stops and requests quit.
void ConfirmQuitDuringScan();

// The engine's progress callback: counts the item and remembers its text; 0 once stopped.
int ScanProgress(const std::wstring& itemText);

} // namespace mdr
