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

// A quit message during the scan stops it; the program ends once it has.
void StopScanToQuit() {
    RequestQuit();
    StopScan();
}

// Waits for a thread of the scan while the window goes on answering, its keyboard shortcuts
// included.
void WaitForThread(HANDLE thread, DWORD timeoutMs) {
    WaitDispatchingMessages(
        thread,
        {.dispatch = DispatchWindowMessage, .quit = StopScanToQuit, .timeoutMs = timeoutMs});
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
    if (AskYesNo(Text::ConfirmTitle, Text::StopScanQuestion)) {
        g_userCancelled = true;
        StopScan();
    }
}

void ConfirmQuitDuringScan() {
    if (AskYesNo(Text::ConfirmTitle, Text::ExitQuestion)) {
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
        if (!AskYesNo(Text::UnfixedErrorsTitle, Text::UnfixedErrorsQuestion)) {
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
    SetStatusText(0, LangText(Text::ScanningStatus));
    SetStatusText(1, ItemsScannedText(0));
    SetStatusText(2, ErrorsFoundText(0));
    SetStatusText(3, ErrorsFixedText(0));
    ClearRecords();
    ClearResultRows();
    SetDetailsText(LangText(Text::DetailsHint));
    SetErrorsFound(0);
    {
        LockGuard lock;
        g_itemsScanned = 0;
        g_currentItem.clear();
    }
    const ULONGLONG started = GetTickCount64();
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
        ShowError(Text::ErrorTitle, Text::ScanStartFailed);
        // Let whichever thread did start notice the stop before the process goes.
        if (scanThread) WaitForThread(scanThread.get(), 5000);
        if (refreshThread) WaitForThread(refreshThread.get(), 1000);
        EndProgram(0);
    }

    Log(L"-> Entering event loop");
    WaitForThread(scanThread.get(), INFINITE);
    MDR_HERE();
    Log(L"Scan thread returned...");
    ClearRunning();
    // The refresh thread notices at once (at worst after its 250 ms nap); give it a second
    // beyond that.
    WaitForThread(refreshThread.get(), 250 + 1000);
    FlushScanViewQueue(); // the last changes the scan made
    ui.scanning = false;
    // The selected row's details, now with what its fix would delete (not counted mid-scan).
    ShowSelectedDetails();
    {
        LockGuard lock;
        g_currentItem.clear();
    }
    if (Flags().quitRequested) {
        Log(L"Scan thread returned, we are quitting...");
        return 1;
    }

    const int64_t elapsed = static_cast<int64_t>((GetTickCount64() - started) / 1000);
    const std::wstring took =
        FormatDuration(elapsed, LangText(Text::Hour), LangText(Text::Hours), LangText(Text::Minute),
                       LangText(Text::Minutes), LangText(Text::Second), LangText(Text::Seconds));
    Log(L"Scan took " + took);
    SetStatusText(1, ItemsScannedText(ItemsScanned()));
    SetStatusText(2, ErrorsFoundText(ErrorsFound()));
    if (g_userCancelled) {
        Log(L"Scan was cancelled by user");
        SetStatusText(
            0, ReplacePlaceholder(LangText(Text::ScanCancelledStatus), L"$TIMESTRING$", took));
    } else {
        Log(L"Scan finished successfully");
        SetStatusText(
            0, ReplacePlaceholder(LangText(Text::ScanFinishedStatus), L"$TIMESTRING$", took));
    }
    SendMessageW(ui.progress, PBM_SETPOS, 0, 0);
    if (Flags().trayIconShown && ErrorsFound() > 0)
        ShowBalloon(kTrayIconId, ui.window, L"Veltrane Mendora", LangText(Text::ErrorsFoundBalloon),
                    10, 0);

    Log(L"Enabling controls");
    EnableControlsForScan(false);
    EnableCloseCommand(ui.window, 1);
    Log(L"Controls enabled");
    Log(L"Returning...");
    return 1;
}

} // namespace mdr
