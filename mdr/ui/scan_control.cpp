// Scan control. The window's thread never blocks on the scan: it waits for the threads while
// dispatching messages, because the scan thread changes the gadgets through messages that only
// complete when this thread handles them. The status-bar thread never holds the scan lock while
// it talks to the window, so stopping (which takes the lock on the window's thread) cannot
// deadlock against it.
#include "mdr/ui/scan_control.h"

#include <process.h>

#include <atomic>

#include "mdr/core/localization.h"
#include "mdr/core/logging.h"
#include "mdr/core/settings.h"
#include "mdr/core/program_end.h"
#include "common/handles.h"
#include "common/trace.h"
#include "common/window.h"
#include "common/late_bound.h"
#include "mdr/scan/detected_errors.h"
#include "mdr/scan/engine_state.h"
#include "mdr/scan/scan_thread.h"
#include "mdr/ui/gadget_scan_view.h"
#include "mdr/ui/main_ui.h"
#include "mdr/ui/results_list.h"
#include "mdr/ui/ui_logic.h"
#include "mdr/ui/tray_icon.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {

namespace {

struct ScanLockHolder {
    CRITICAL_SECTION cs;
    ScanLockHolder() { InitializeCriticalSection(&cs); }
};

class LockGuard {
  public:
    LockGuard() { EnterCriticalSection(&ScanLock()); }
    ~LockGuard() { LeaveCriticalSection(&ScanLock()); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;
};

std::atomic<int> g_running{0};
uint64_t g_itemsScanned = 0;  // under the scan lock
std::wstring g_currentItem;   // under the scan lock
bool g_userCancelled = false; // window's thread only

// Signalled when the running flag drops, so the status-bar thread need not finish its nap.
HANDLE StopEvent() {
    static UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    return event.get();
}

void ClearRunning() {
    g_running = 0;
    if (HANDLE e = StopEvent()) SetEvent(e);
}

// Status-bar refresh every 250 ms while the scan runs.
unsigned __stdcall StatusRefreshThread(void*) {
    MDR_HERE();
    std::wstring shown[3];
    try {
        for (;;) {
            if (TryEnterCriticalSection(&ScanLock())) {
                std::wstring item;
                uint64_t items = 0;
                try {
                    item = g_currentItem;
                    items = g_itemsScanned;
                } catch (...) {
                }
                LeaveCriticalSection(&ScanLock());
                const std::wstring texts[3] = {item, ItemsScannedText(items),
                                               ErrorsFoundText(ErrorsFound())};
                for (int part = 0; part < 3; ++part) {
                    if (texts[part] != shown[part]) {
                        SetStatusText(part, texts[part]);
                        shown[part] = texts[part];
                    }
                }
            }
            if (HANDLE e = StopEvent())
                WaitForSingleObject(e, 250);
            else
                Sleep(250);
            if (!g_running) return 0;
        }
    } catch (...) {
        return 0;
    }
}

// Dispatches the window's messages until handle is signalled or timeoutMs has passed.
bool PumpUntilSignaled(HANDLE handle, DWORD timeoutMs) {
    const ULONGLONG end = TickCount64() + timeoutMs;
    for (;;) {
        DWORD slice = 100;
        if (timeoutMs != INFINITE) {
            const ULONGLONG now = TickCount64();
            if (now >= end) return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
            slice = static_cast<DWORD>(std::min<ULONGLONG>(slice, end - now));
        }
        const DWORD r =
            MsgWaitForMultipleObjectsEx(1, &handle, slice, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (r == WAIT_OBJECT_0) return true;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                RequestQuit();
                StopScan();
                continue;
            }
            DispatchWindowMessage(msg);
            if (WaitForSingleObject(handle, 0) == WAIT_OBJECT_0) return true;
        }
    }
}

std::wstring Num(uint64_t n) {
    return std::to_wstring(n);
}

} // namespace

CRITICAL_SECTION& ScanLock() {
    static ScanLockHolder holder;
    return holder.cs;
}

bool ScanRunning() {
    return g_running != 0;
}

uint64_t ItemsScanned() {
    LockGuard lock;
    return g_itemsScanned;
}

void HandScanEngineSettings() {
    SetProgressCallback(ScanProgress);
    SetErrorReportCallback(ReportDetectedError);
    SetScanDelay(Settings().ScanMode);
    SetSkipRemovable(Settings().SkipRemovable);
}

int ScanProgress(const std::wstring& itemText) {
    {
        LockGuard lock;
        ++g_itemsScanned;
        try {
            g_currentItem = itemText;
        } catch (...) {
        }
    }
    return g_running ? 1 : 0;
}

int StopScan() {
    Log(L"Stopping scan");
    {
        LockGuard lock;
        ClearRunning();
    }
    Log(L"Signal sent, returning");
    return 1;
}

void ConfirmStopScan() {
    if (!Ui().scanning) return;
    if (AskYesNo(71, 143)) {
        g_userCancelled = true;
        StopScan();
    }
}

void ConfirmQuitDuringScan() {
    if (AskYesNo(71, 216)) {
        g_userCancelled = true;
        StopScan();
        RequestQuit();
    }
}

int StartScan() {
    MDR_HERE();
    MainUi& ui = Ui();
    if (ui.scanning) return 0;
    Log(L"Starting to scan the registry");
    if (ErrorsFound() != 0) {
        Log(L"There are unfixed errors in the list");
        if (!AskYesNo(137, 138)) {
            Log(L"User cancelled scanning");
            return 0;
        }
        Log(L"User continued scanning");
    }

    Log(L"Disabling controls");
    EnableControlsForScan(true);
    EnableCloseCommand(ui.window, 0);
    Log(L"Controls disabled");

    MDR_HERE();
    Log(L"Resetting variables and UI");
    ui.fixedCount = 0;
    SetStatusText(0, Text(139));
    SetStatusText(1, ItemsScannedText(0));
    SetStatusText(2, ErrorsFoundText(0));
    SetStatusText(3, ErrorsFixedText(0));
    ClearRecords();
    ClearResultRows();
    SetDetailsText(Text(140));
    SetErrorsFound(0);
    {
        LockGuard lock;
        g_itemsScanned = 0;
        g_currentItem.clear();
    }
    const ULONGLONG started = TickCount64();
    Log(L"Variables and UI reset");

    MDR_HERE();
    Log(L"Starting scan thread...");
    g_userCancelled = false;
    if (HANDLE e = StopEvent()) ResetEvent(e);
    g_running = 1;
    ui.scanning = true;
    unsigned scanId = 0;
    unsigned refreshId = 0;
    UniqueHandle scanThread(
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ScanThreadEntry, nullptr, 0, &scanId)));
    UniqueHandle refreshThread(reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, StatusRefreshThread, nullptr, 0, &refreshId)));
    Log(L"Scan thread ID: " + Num(scanId));
    Log(L"UI update thread ID " + Num(refreshId));
    if (!scanThread || !refreshThread) {
        Log(L"Error starting one of the threads, quitting...");
        StopScan();
        ShowError(19, 141);
        // Let whichever thread did start notice the stop before the process goes.
        if (scanThread) PumpUntilSignaled(scanThread.get(), 5000);
        if (refreshThread) PumpUntilSignaled(refreshThread.get(), 1000);
        EndProgram(0);
    }

    Log(L"-> Entering event loop");
    PumpUntilSignaled(scanThread.get(), INFINITE);
    MDR_HERE();
    Log(L"Scan thread returned...");
    ClearRunning();
    // The refresh thread notices at once (at worst after its 250 ms nap); give it a second
    // beyond that.
    PumpUntilSignaled(refreshThread.get(), 250 + 1000);
    FlushScanViewQueue(); // the last changes the scan made
    ui.scanning = false;
    {
        LockGuard lock;
        g_currentItem.clear();
    }
    if (Flags().quitRequested) {
        Log(L"Scan thread returned, we are quitting...");
        return 1;
    }

    const int64_t elapsed = static_cast<int64_t>((TickCount64() - started) / 1000);
    const std::wstring took =
        FormatDuration(elapsed, Text(144), Text(145), Text(146), Text(147), Text(148), Text(149));
    Log(L"Scan took " + took);
    SetStatusText(1, ItemsScannedText(ItemsScanned()));
    SetStatusText(2, ErrorsFoundText(ErrorsFound()));
    if (g_userCancelled) {
        Log(L"Scan was cancelled by user");
        SetStatusText(0, ReplacePlaceholder(Text(150), L"$TIMESTRING$", took));
    } else {
        Log(L"Scan finished successfully");
        SetStatusText(0, ReplacePlaceholder(Text(151), L"$TIMESTRING$", took));
    }
    SendMessageW(ui.progress, PBM_SETPOS, 0, 0);
    if (Flags().trayIconShown && ErrorsFound() > 0)
        ShowBalloon(kTrayIconId, ui.window, L"Veltrane Mendora", Text(215), 10, 0);

    Log(L"Enabling controls");
    EnableControlsForScan(false);
    EnableCloseCommand(ui.window, 1);
    Log(L"Controls enabled");
    Log(L"Returning...");
    return 1;
}

} // namespace mdr
