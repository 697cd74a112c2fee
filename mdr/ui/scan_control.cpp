// Scan control. The window's thread never blocks on the scan: it waits for the threads while
// dispatching messages, because the scan thread changes the gadgets through messages that only
// complete when this thread handles them. The status-bar thread never holds the scan lock while
// it talks to the window, so stopping (which takes the lock on the window's thread) cannot
// deadlock against it.
#include "mdr/ui/scan_control.h"

#include <process.h>

#include <atomic>

#include "mdr/core/fix_journal.h"
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

// Asks before a scan throws away errors found earlier and not fixed; true to go on.
bool MayDiscardUnfixedErrors() {
    if (ErrorsFound() == 0) return true;
    Log(L"There are unfixed errors in the list");
    if (!AskYesNo(Text::UnfixedErrorsTitle, Text::UnfixedErrorsQuestion)) {
        Log(L"User cancelled scanning");
        return false;
    }
    Log(L"User continued scanning");
    return true;
}

// While a scan runs only stopping, the notification area and exit work, and the window's Close
// command is greyed.
void DisableControls() {
    Log(L"Disabling controls");
    EnableControlsForScan(true);
    EnableCloseCommand(Ui().window, 0);
    Log(L"Controls disabled");
}

void EnableControls() {
    Log(L"Enabling controls");
    EnableControlsForScan(false);
    EnableCloseCommand(Ui().window, 1);
    Log(L"Controls enabled");
}

// The status bar, the lists, the details and the counters as a new scan starts with them.
void ResetForScan() {
    MDR_HERE();
    Log(L"Resetting variables and UI");
    if (!Paths().settingsFolder.empty()) LoadFixJournal(Paths().settingsFolder + kFixJournalFile);
    Ui().fixedCount = 0;
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
    Log(L"Variables and UI reset");
}

struct ScanThreads {
    UniqueHandle scan;
    UniqueHandle refresh;
};

// Starts the scan thread and the status-bar thread; the program ends when either cannot start.
ScanThreads StartScanThreads() {
    MDR_HERE();
    Log(L"Starting scan thread...");
    g_userCancelled = false;
    if (HANDLE e = StopEvent()) ResetEvent(e);
    g_running = 1;
    Ui().scanning = true;
    unsigned scanId = 0;
    unsigned refreshId = 0;
    ScanThreads threads;
    threads.scan.reset(
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ScanThreadEntry, nullptr, 0, &scanId)));
    threads.refresh.reset(reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, StatusRefreshThread, nullptr, 0, &refreshId)));
    Log(L"Scan thread ID: " + std::to_wstring(scanId));
    Log(L"UI update thread ID " + std::to_wstring(refreshId));
    if (threads.scan && threads.refresh) return threads;
    Log(L"Error starting one of the threads, quitting...");
    StopScan();
    ShowError(Text::ErrorTitle, Text::ScanStartFailed);
    // Let whichever thread did start notice the stop before the process goes.
    if (threads.scan) WaitForThread(threads.scan.get(), 5000);
    if (threads.refresh) WaitForThread(threads.refresh.get(), 1000);
    EndProgram(0);
}

// Waits, the window answering meanwhile, for the scan to end and the status-bar thread after it.
void WaitForScanEnd(const ScanThreads& threads) {
    Log(L"-> Entering event loop");
    WaitForThread(threads.scan.get(), INFINITE);
    MDR_HERE();
    Log(L"Scan thread returned...");
    ClearRunning();
    // The refresh thread notices at once (at worst after its 250 ms nap); give it a second
    // beyond that.
    WaitForThread(threads.refresh.get(), 250 + 1000);
    FlushScanViewQueue(); // the last changes the scan made
    Ui().scanning = false;
    // The sort and filter set before, then the selected row's details, now with what its fix
    // would delete (not counted mid-scan).
    ArrangeResultRows();
    LockGuard lock;
    g_currentItem.clear();
}

// How the scan went, in the status bar (and the log); the progress bar goes back to 0 and a
// window in the notification area shows the balloon when errors were found.
void ShowScanOutcome(ULONGLONG started) {
    const int64_t elapsed = static_cast<int64_t>((TickCount64() - started) / 1000);
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
    SendMessageW(Ui().progress, PBM_SETPOS, 0, 0);
    if (Flags().trayIconShown && ErrorsFound() > 0) ShowErrorsFoundBalloon();
}

} // namespace

CRITICAL_SECTION& ScanLock() {
    static ScanLockHolder holder;
    return holder.cs;
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
    if (Ui().scanning) return 0;
    Log(L"Starting to scan the registry");
    if (!MayDiscardUnfixedErrors()) return 0;
    DisableControls();
    ResetForScan();
    const ULONGLONG started = TickCount64();
    WaitForScanEnd(StartScanThreads());
    if (Flags().quitRequested) {
        Log(L"Scan thread returned, we are quitting...");
        return 1;
    }
    ShowScanOutcome(started);
    EnableControls();
    Log(L"Returning...");
    return 1;
}

} // namespace mdr
