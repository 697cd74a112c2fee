#include "mdr/scan/scan_thread.h"

#include <windows.h>

#include "mdr/core/localization.h"
#include "mdr/core/logging.h"
#include "common/trace.h"
#include "common/late_bound.h"
#include "mdr/scan/areas.h"
#include "mdr/scan/scan_memo.h"
#include "mdr/scan/scan_view.h"

MDR_TRACE_MODULE(ScanEngine);

namespace mdr {

namespace {

// One area in tree order: its procedure and the log lines it leaves (their spacing differs from
// area to area and is kept as it is, since people compare logs across versions).
struct AreaProcedure {
    int (*run)();
    const wchar_t* name; // fixed English name, for the selection line
    const wchar_t* entering;
    const wchar_t* cancelled;
    const wchar_t* returned;
    const wchar_t* exiting; // followed by the area error count
};

const AreaProcedure kAreas[kAreaCount] = {
    {ScanActiveXCom, L"ActiveX / COM", L"-> Entering ScanActiveXCom()",
     L"-> Exiting ScanActiveXCom() -> Cancel", L"-> ScanActiveXCom() -> return",
     L"-> Exiting ScanActiveXCom(), "},
    {ScanApplicationPaths, L"Application paths", L"-> Entering ScanApplicationPaths()",
     L"-> Exiting ScanApplicationPaths() -> Cancel", L"-> ScanApplicationPaths() -> return",
     L"-> Exiting ScanApplicationPaths(), "},
    {ScanDrivers, L"Drivers", L"-> Entering ScanDrivers()", L"-> Exiting ScanDrivers() -> Cancel",
     L"-> ScanDrivers() -> return", L"-> Exiting ScanDrivers(), "},
    {ScanHelp, L"Help files", L"->Entering ScanHelp()", L"->Exiting ScanHelp() -> Cancel",
     L"-> ScanHelp() -> return", L"->Exiting ScanHelp(), "},
    {ScanExtensions, L"File extensions", L"->Entering ScanExtensions()",
     L"->Exiting ScanExtensions() -> Cancel", L"-> ScanExtensions() -> return",
     L"->Exiting ScanExtensions(), "},
    {ScanFonts, L"Fonts", L"->Entering ScanFonts()", L"->Exiting ScanFonts() -> Cancel",
     L"-> ScanFonts() -> return", L"->Exiting ScanFonts(), "},
    {ScanHistory, L"History list (MRU)", L"->Entering ScanHistory()",
     L"->Exiting ScanHistory() -> Cancel", L"-> ScanHistory() -> return",
     L"->Exiting ScanHistory(), "},
    {ScanIEBHOs, L"IE BHO", L"->Entering ScanIEBHOs()", L"->Exiting ScanIEBHOs() -> Cancel",
     L"-> ScanIEBHOs() -> return", L"->Exiting ScanIEBHOs(), "},
    {ScanIEExtensions, L"IE Extensions", L"->Entering ScanIEExtensions()",
     L"->Exiting ScanIEExtensions() -> Cancel", L"-> ScanIEExtensions() -> return",
     L"->Exiting ScanIEExtensions(), "},
    {ScanIEToolbars, L"IE Toolbars", L"->Entering ScanIEToolbars()",
     L"->Exiting ScanIEToolbars() -> Cancel", L"-> ScanIEToolbars() -> return",
     L"->Exiting ScanIEToolbars(), "},
    {ScanInstalledSoftware, L"Installed software", L"->Entering ScanInstalledSoftware()",
     L"->Exiting ScanInstalledSoftware() -> Cancel", L"-> ScanInstalledSoftware() -> return",
     L"->Exiting ScanInstalledSoftware(), "},
    {ScanMUICache, L"MUI Cache", L"->Entering ScanMUICache()",
     L"->Exiting ScanMUICache() -> Cancel", L"-> ScanMUICache() -> return",
     L"->Exiting ScanMUICache(), "},
    {ScanObsoleteSoftware, L"Obsolete software", L"->Entering ScanObsoleteSoftware()",
     L"->Exiting ScanObsoleteSoftware() -> Cancel", L"->ScanObsoleteSoftware() -> return",
     L"->Exiting ScanObsoleteSoftware(), "},
    {ScanServices, L"Services", L"->Entering ScanServices()", L"->Exiting ScanServices() -> Cancel",
     L"-> ScanServices() -> return", L"->Exiting ScanServices(), "},
    {ScanSharedDLLs, L"Shared DLLs", L"->Entering ScanSharedDLLs()",
     L"->Exiting ScanSharedDLLs() -> Cancel", L"-> ScanSharedDLLs() -> return",
     L"->Exiting ScanSharedDLLs(), "},
    {ScanSounds, L"Sounds", L"->Entering ScanSounds()", L"->Exiting ScanSounds() -> Cancel",
     L"-> ScanSounds() -> return", L"->Exiting ScanSounds(), "},
    {ScanStartupSoftware, L"Startup software", L"->Entering ScanStartupSoftware()",
     L"->Exiting ScanStartupSoftware() -> Cancel", L"-> ScanStartupSoftware() -> return",
     L"->Exiting ScanStartupSoftware(), "},
    {ScanTypelib, L"Type libraries", L"->Entering ScanTypelib()",
     L"->Exiting ScanTypelib() -> Cancel", L"-> ScanTypelib() -> return",
     L"->Exiting ScanTypelib(), "},
};

AreaEntry g_areaTable[kAreaCount];
volatile LONG g_currentArea = 0;
int g_areaErrorCount = 0;
// Set while the tree's check boxes are hidden, so an unexpected failure can still give them back.
bool g_treeHidden = false;

void GiveBackTree(ScanView* view) {
    view->ShowTreeCheckboxes();
    RestoreTreeItems();
    g_treeHidden = false;
}

// The icon an area keeps once it has run: by what was stored, not by what the checks found.
AreaIcon FinalIcon(int item) {
    return g_areaTable[item - 1].errorsFound > 0 ? AreaIcon::ErrorsFound : AreaIcon::Normal;
}

// Media-less removable drives must not bring up "insert a disk" boxes from the scan thread.
void QuietCriticalErrors() {
    static const LateBound<BOOL(WINAPI*)(DWORD, LPDWORD)> setThreadErrorMode(
        L"kernel32.dll", "SetThreadErrorMode", kWindows7);
    // Before Windows 7 the process-wide mode set at start-up covers this thread too.
    if (const auto set = setThreadErrorMode.get())
        set(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, nullptr);
}

} // namespace

AreaEntry* AreaTable() {
    return g_areaTable;
}
int CurrentArea() {
    return static_cast<int>(g_currentArea);
}
void SetCurrentArea(int item) {
    InterlockedExchange(&g_currentArea, item);
}
int& AreaErrorCount() {
    return g_areaErrorCount;
}

int ProgressPercent(int done, int selected) {
    if (selected <= 0) return 0;
    // Exact integer rounding of done * 100 / selected, halves to the even neighbour.
    long long numerator = static_cast<long long>(done) * 100;
    long long quotient = numerator / selected;
    long long twiceRemainder = (numerator % selected) * 2;
    if (twiceRemainder > selected || (twiceRemainder == selected && quotient % 2 != 0)) ++quotient;
    return static_cast<int>(quotient);
}

int ResetAreaTree() {
    MDR_HERE();
    Log(L"Reseting scan areas tree");
    if (ScanView* view = GetScanView()) {
        for (int item = 1; item <= kAreaCount; ++item) {
            view->SetAreaIcon(item, AreaIcon::Normal);
            view->SetAreaText(item, g_areaTable[item - 1].name);
        }
    }
    Log(L"Tree reset, returning");
    return 1;
}

int StoreTreeItems() {
    Log(L"Storing tree items");
    if (ScanView* view = GetScanView()) view->StoreTreeItems();
    Log(L"Tree items stored, returning");
    return 1;
}

int RestoreTreeItems() {
    Log(L"Restoring tree items");
    if (ScanView* view = GetScanView()) view->RestoreTreeItems();
    Log(L"Tree items restored, returning");
    return 1;
}

int ScanThread() {
    MDR_HERE();
    Log(L"Entered the scan thread");
    QuietCriticalErrors();
    ScanView* view = GetScanView();

    bool selected[kAreaCount] = {};
    int selectedCount = 0;
    for (int item = 1; item <= kAreaCount && view; ++item) {
        if (!view->IsAreaChecked(item)) continue;
        selected[item - 1] = true;
        ++selectedCount;
        Log(std::wstring(kAreas[item - 1].name) + L" scan selected");
    }
    if (selectedCount == 0) {
        Log(L"No areas selected, returning");
        if (view)
            view->ShowInformation(LangText(Text::NoAreaTicked), LangText(Text::InformationTitle));
        return 0;
    }

    // The answers of this scan only: made now, dropped when the scan returns.
    const ScanMemoScope memo;

    Log(L"Resetting error count");
    for (AreaEntry& area : g_areaTable)
        area.errorsFound = 0;

    Log(L"Preparing UI");
    ResetAreaTree();
    StoreTreeItems();
    g_treeHidden = true;
    view->HideTreeCheckboxes();
    view->SelectTreeItem(0);

    int done = 0;
    for (int item = 1; item <= kAreaCount; ++item) {
        MDR_HERE();
        if (!selected[item - 1]) continue;
        const AreaProcedure& area = kAreas[item - 1];
        Log(area.entering);
        SetCurrentArea(item);
        view->SetAreaIcon(item, AreaIcon::Scanning);

        int result = area.run();

        if (result == -1) {
            GiveBackTree(view);
            view->SetAreaIcon(item, FinalIcon(item));
            Log(area.cancelled);
            return 0;
        }
        Log(area.returned);
        view->SetAreaIcon(item, FinalIcon(item));
        ++done;
        view->SetProgress(ProgressPercent(done, selectedCount));
        Log(area.exiting + std::to_wstring(result));
    }

    Log(L"Restoring UI params, cleaning...");
    view->SetCurrentItemText(L"");
    GiveBackTree(view);
    Log(L"->Exiting from the scan thread");
    return 1;
}

unsigned __stdcall ScanThreadEntry(void*) {
    // Nothing may escape a thread entry; a failure here ends the scan as if cancelled.
    try {
        return static_cast<unsigned>(ScanThread());
    } catch (...) {
        try {
            Log(L"Scan thread stopped by an unexpected failure");
            if (ScanView* view = GetScanView(); view && g_treeHidden) GiveBackTree(view);
        } catch (...) {
        }
        return 0;
    }
}

} // namespace mdr
