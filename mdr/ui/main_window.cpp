// The main window: construction, the window procedure, the command table and the main loop.
#include "mdr/ui/main_window.h"

#include <shellapi.h>

#include <array>
#include <exception>
#include <string>
#include <vector>

#include "mdr/core/config.h"
#include "mdr/core/localization.h"
#include "mdr/core/logging.h"
#include "mdr/core/product.h"
#include "mdr/core/settings.h"
#include "common/resize.h"
#include "common/text.h"
#include "common/trace.h"
#include "common/window.h"
#include "resource_ids.h"
#include "mdr/scan/detected_errors.h"
#include "mdr/scan/scan_view.h"
#include "mdr/ui/area_tree.h"
#include "mdr/ui/command_hooks.h"
#include "mdr/ui/command_ids.h"
#include "mdr/ui/gadget_scan_view.h"
#include "mdr/ui/main_ui.h"
#include "mdr/ui/results_list.h"
#include "mdr/ui/scan_control.h"
#include "common/splitter.h"
#include "common/late_bound.h"
#include "mdr/ui/tools_menu.h"
#include "mdr/ui/ui_logic.h"
#include "mdr/ui/ui_resources.h"
#include "mdr/ui/tray_icon.h"
#include "version.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {

namespace {

constexpr int kInnerWidth = 700;
constexpr int kInnerHeight = 480;
constexpr int kMinTrackWidth = 600;
constexpr int kMinTrackHeight = 400;
constexpr int kMaximizedState = 16777216;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
                               WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CLIPCHILDREN;
constexpr wchar_t kTrayTitle[] = L"Veltrane Mendora";
constexpr wchar_t kHelpTitle[] = L"Veltrane Mendora Help";
// How long one batch of the scan's changes may hold the window before input and painting.
constexpr DWORD kFlushBudgetMs = 15;

bool g_showMaximizedOnRestore = false; // started with "-minimized" and saved maximized

std::wstring WindowTitle() {
    return std::wstring(L"Veltrane Registry Cleaner ") + MDR_VERSION_TEXT;
}

// ---- Commands ----------------------------------------------------------------------------------

void RunHook(HookedCommand c) {
    if (CommandHandler h = GetCommandHandler(c)) h();
}

void ConfirmExit() {
    if (AskYesNo(Text::ConfirmTitle, Text::ExitQuestion)) RequestQuit();
}

void OpenHelp() {
    MDR_HERE();
    if (ActivateWindowByTitle(kHelpTitle)) return;
    const std::wstring file = Paths().programFolder + L"MDR.chm";
    const auto r = reinterpret_cast<INT_PTR>(
        ShellExecuteW(Ui().window, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (r <= 32) Log(L"Could not open the help file " + file);
}

void OpenWebSite() {
    ShellExecuteW(Ui().window, L"open", kMakerWebAddress, nullptr, nullptr, SW_SHOWNORMAL);
}

struct Command {
    int id;
    void (*run)();
    // Set for commands carried out by another module: without its handler the command is
    // disabled.
    int hook; // -1 = none, else a HookedCommand
    // What the command does while a scan runs; nothing when not given. Only stopping, the
    // notification area and exit work then.
    void (*whileScanning)() = nullptr;
};

constexpr int kNoHook = -1;
constexpr int kJumpHook = 100;

// One row per id; ids sharing an action share a handler.
const Command kCommands[] = {
    {kCmdStartScan, [] { StartScan(); }, kNoHook},
    {kBtnScan, [] { StartScan(); }, kNoHook},
    {kCmdStopScan, ConfirmStopScan, kNoHook, ConfirmStopScan},
    {kBtnStop, ConfirmStopScan, kNoHook, ConfirmStopScan},
    {kCmdMinimizeToTray, MinimizeToTray, kNoHook, MinimizeToTray},
    {kCmdExit, ConfirmExit, kNoHook},
    {kBtnExit, ConfirmExit, kNoHook},
    {kCmdTrayExit, ConfirmExit, kNoHook, ConfirmQuitDuringScan},
    {kCmdTickAllAreas, [] { SetAllAreaTicks(true); }, kNoHook},
    {kCmdTreeTickAll, [] { SetAllAreaTicks(true); }, kNoHook},
    {kCmdUntickAllAreas, [] { SetAllAreaTicks(false); }, kNoHook},
    {kCmdTreeUntickAll, [] { SetAllAreaTicks(false); }, kNoHook},
    {kCmdSelectAll, SelectAllErrors, kNoHook},
    {kCmdListSelectAll, SelectAllErrors, kNoHook},
    {kCmdSelectSafe, SelectSafeErrors, kNoHook},
    {kCmdListSelectSafe, SelectSafeErrors, kNoHook},
    {kCmdSelectUnsafe, SelectUnsafeErrors, kNoHook},
    {kCmdListSelectUnsafe, SelectUnsafeErrors, kNoHook},
    {kCmdDeselectAll, DeselectAllErrors, kNoHook},
    {kCmdListDeselectAll, DeselectAllErrors, kNoHook},
    {kCmdDeselectSafe, DeselectSafeErrors, kNoHook},
    {kCmdDeselectUnsafe, DeselectUnsafeErrors, kNoHook},
    {kCmdInvertSelection, InvertSelection, kNoHook},
    {kCmdListInvert, InvertSelection, kNoHook},
    {kCmdOpenInRegedit, OpenSelectedInRegistryEditor, kJumpHook},
    {kCmdListOpenInRegedit, OpenSelectedInRegistryEditor, kJumpHook},
    {kCmdFix, [] { RunHook(HookedCommand::Fix); }, static_cast<int>(HookedCommand::Fix)},
    {kCmdListFix, [] { RunHook(HookedCommand::Fix); }, static_cast<int>(HookedCommand::Fix)},
    {kBtnFix, [] { RunHook(HookedCommand::Fix); }, static_cast<int>(HookedCommand::Fix)},
    {kCmdBackupManager, [] { RunHook(HookedCommand::BackupManager); },
     static_cast<int>(HookedCommand::BackupManager)},
    {kBtnBackupManager, [] { RunHook(HookedCommand::BackupManager); },
     static_cast<int>(HookedCommand::BackupManager)},
    {kCmdFullBackup, [] { RunHook(HookedCommand::FullBackup); },
     static_cast<int>(HookedCommand::FullBackup)},
    {kCmdRestorePoint, [] { RunHook(HookedCommand::RestorePoint); },
     static_cast<int>(HookedCommand::RestorePoint)},
    {kCmdExport, [] { RunHook(HookedCommand::Export); }, static_cast<int>(HookedCommand::Export)},
    {kCmdSettings, [] { RunHook(HookedCommand::Settings); },
     static_cast<int>(HookedCommand::Settings)},
    {kBtnSettings, [] { RunHook(HookedCommand::Settings); },
     static_cast<int>(HookedCommand::Settings)},
    {kCmdHelp, OpenHelp, kNoHook},
    {kBtnHelp, OpenHelp, kNoHook},
    {kCmdWebSite, OpenWebSite, kNoHook},
    {kCmdAbout, [] { RunHook(HookedCommand::About); }, static_cast<int>(HookedCommand::About)},
    {kBtnAbout, [] { RunHook(HookedCommand::About); }, static_cast<int>(HookedCommand::About)},
    {kCmdListAddException, AddSelectedToExceptions, kNoHook},
    {kCmdListFilter, FocusResultFilter, kNoHook},
    {kCmdTrayRestore, RestoreFromTray, kNoHook, RestoreFromTray},
};

const Command* FindCommand(int id) {
    for (const Command& c : kCommands) {
        if (c.id == id) return &c;
    }
    return nullptr;
}

bool CommandAvailable(const Command& c) {
    if (c.hook == kNoHook) return true;
    if (c.hook == kJumpHook) return GetRegistryJumpHandler() != nullptr;
    return GetCommandHandler(static_cast<HookedCommand>(c.hook)) != nullptr;
}

bool CommandAvailable(int id) {
    const Command* c = FindCommand(id);
    return c && CommandAvailable(*c);
}

void OnCommand(int id) {
    MDR_HERE();
    const bool scanning = Ui().scanning;
    if (const Command* c = FindCommand(id)) {
        if (scanning) {
            if (c->whileScanning) c->whileScanning();
        } else if (CommandAvailable(*c)) {
            c->run();
        }
        return;
    }
    if (!scanning && id >= kFirstToolId) {
        if (ToolLauncher launch = ToolMenuLauncher()) launch(id);
    }
}

// ---- Window procedure --------------------------------------------------------------------------

// When the notification-area menu last closed; see OnTrayIcon.
ULONGLONG g_trayMenuClosed = 0;

void OnTrayIcon(LPARAM lp) {
    switch (LOWORD(lp)) {
    case WM_LBUTTONDBLCLK:
        RestoreFromTray();
        break;
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU: {
        // After a balloon the icon speaks version 4, which reports one right click both ways:
        // answer whichever comes first.
        if (TickCount64() - g_trayMenuClosed < 300) break;
        POINT pt;
        GetCursorPos(&pt);
        ShowPopupMenu(3, pt);
        g_trayMenuClosed = TickCount64();
        break;
    }
    default:
        break;
    }
}

bool OnNotify(NMHDR* hdr, LRESULT* result) {
    MainUi& ui = Ui();
    if (hdr->hwndFrom == ui.list) {
        return OnResultsListNotify(hdr, result);
    }
    if (hdr->hwndFrom == ui.tree) {
        const bool handled = OnAreaTreeNotify(hdr, result);
        if (hdr->code != NM_CUSTOMDRAW) KeepRootExpanded();
        return handled;
    }
    return OnToolbarNotify(hdr, result);
}

void StoreWindowState();

void OnEndSession() {
    MDR_HERE();
    Log(L"Session ending");
    if (Ui().scanning) StopScan();
    StoreWindowState();
    if (!SaveWindowGroup()) Log(L"Could not save settings");
}

bool HandleMessage(HWND w, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    MainUi& ui = Ui();
    switch (msg) {
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lp);
        info->ptMinTrackSize.x = kMinTrackWidth;
        info->ptMinTrackSize.y = kMinTrackHeight;
        return true;
    }
    case WM_SIZE:
        if (wp != SIZE_MINIMIZED && ui.statusBar) OnWindowSized();
        return true;
    case WM_COMMAND:
        // Menus and accelerators (no sender) and toolbar buttons; gadgets' own notifications
        // need no answer.
        if (lp == 0 || reinterpret_cast<HWND>(lp) == ui.toolbar) OnCommand(LOWORD(wp));
        if (reinterpret_cast<HWND>(lp) == ui.filter && HIWORD(wp) == EN_CHANGE)
            OnResultFilterChanged();
        return true;
    case WM_NOTIFY:
        return OnNotify(reinterpret_cast<NMHDR*>(lp), result);
    case WM_CLOSE:
        if (!ui.scanning) ConfirmExit();
        return true; // the window is destroyed only once the loop has ended
    case WM_MEASUREITEM:
        if (MeasureMenuPicture(reinterpret_cast<MEASUREITEMSTRUCT*>(lp))) {
            *result = TRUE;
            return true;
        }
        return false;
    case WM_DRAWITEM:
        if (OnDrawMenuItem(reinterpret_cast<DRAWITEMSTRUCT*>(lp))) {
            *result = TRUE;
            return true;
        }
        return false;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
        if (reinterpret_cast<HWND>(lp) == ui.details) {
            HDC dc = reinterpret_cast<HDC>(wp);
            SetBkColor(dc, RGB(255, 255, 255));
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            *result = reinterpret_cast<LRESULT>(ui.detailsBrush.get());
            return true;
        }
        return false;
    case WM_ENDSESSION:
        // Windows is logging off or shutting down and will not let the loop end normally:
        // stop a scan and keep the window state, as an exit would.
        if (wp) OnEndSession();
        return true;
    case kMsgRunOnUiThread:
        FlushScanViewQueue();
        (*reinterpret_cast<const std::function<void()>*>(lp))();
        return true;
    case kMsgQueryRowColor:
        *result = static_cast<LRESULT>(ResultRowColor(static_cast<int>(wp)));
        return true;
    case kMsgFlushScanView:
        FlushScanViewQueueFor(kFlushBudgetMs);
        return true;
    case WM_TIMER:
        if (wp != kFlushTimerId) return false;
        KillTimer(w, kFlushTimerId);
        FlushScanViewQueueFor(kFlushBudgetMs);
        return true;
    case kMsgTrayIcon:
        OnTrayIcon(lp);
        return true;
    default:
        if (msg == ui.taskbarCreated && ui.taskbarCreated != 0 && Flags().trayIconShown) {
            // The shell restarted and forgot our icon.
            AddTrayIcon(w, kTrayIconId, kMsgTrayIcon);
            return true;
        }
        return false;
    }
}

LRESULT CALLBACK MainWindowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    try {
        LRESULT result = 0;
        if (HandleMessage(w, msg, wp, lp, &result)) return result;
    } catch (const std::exception& e) {
        Log(L"Unexpected error in the main window: " + FromUtf8(e.what()));
    } catch (...) {
        Log(L"Unexpected error in the main window");
    }
    return DefWindowProcW(w, msg, wp, lp);
}

// ---- Construction ------------------------------------------------------------------------------

// Outer size for an inner (client) size, menu bar included.
SIZE OuterSizeFor(int innerWidth, int innerHeight) {
    RECT rc{0, 0, innerWidth, innerHeight};
    AdjustWindowRectEx(&rc, kWindowStyle, TRUE, 0);
    return {rc.right - rc.left, rc.bottom - rc.top};
}

// Moves the window to (x, y) with the given inner size; a window that would be off every
// monitor goes to the middle of the primary one's work area instead.
void PlaceWindow(HWND w, int x, int y, int innerWidth, int innerHeight) {
    const SIZE outer = OuterSizeFor(innerWidth, innerHeight);
    RECT wanted{x, y, x + outer.cx, y + outer.cy};
    if (!MonitorFromRect(&wanted, MONITOR_DEFAULTTONULL)) wanted = CentredFrame(nullptr, outer);
    SetWindowPos(w, nullptr, wanted.left, wanted.top, outer.cx, outer.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    // A wrapped menu bar makes the frame taller than computed: correct once by measuring.
    RECT client{};
    GetClientRect(w, &client);
    const int dw = innerWidth - client.right;
    const int dh = innerHeight - client.bottom;
    if (dw != 0 || dh != 0)
        SetWindowPos(w, nullptr, 0, 0, outer.cx + dw, outer.cy + dh,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
}

bool RegisterMainClass() {
    // Shared icons: the class keeps them for the life of the process.
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WindowClassSpec params{kMainWindowClass, MainWindowProc, CS_DBLCLKS};
    params.icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON,
                                                GetSystemMetrics(SM_CXICON),
                                                GetSystemMetrics(SM_CYICON), LR_SHARED));
    params.smallIcon = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, 16, 16, LR_SHARED));
    return RegisterWindowClass(params);
}

bool CreateGadgets() {
    MDR_HERE();
    MainUi& ui = Ui();
    RECT client{};
    GetClientRect(ui.window, &client);
    const int innerHeight = client.bottom;
    const int toolbarHeight = WindowHeight(ui.toolbar);
    const int statusHeight = WindowHeight(ui.statusBar);

    ui.list = CreateResultsList(ui.window);
    ui.filter = CreateFilterBox(ui.window);
    ui.details = CreateDetailsBox(ui.window);
    if (!ui.list || !ui.filter || !ui.details) return false;
    HWND filterPane =
        CreateSplitter(ui.window, kGadgetIdBase + kGadgetFilterPane, SplitterPanes::Stacked,
                       ui.filter, ui.list, {0, 0, 100, 100}, SplitterKeeps::FirstFixed);
    if (!filterPane) return false;
    SetSplitterMinimums(filterPane, WindowHeight(ui.filter), 0);
    SetSplitterPosition(filterPane, WindowHeight(ui.filter));
    ui.listSplitter =
        CreateSplitter(ui.window, kGadgetIdBase + kGadgetListSplitter, SplitterPanes::Stacked,
                       filterPane, ui.details, {0, 0, 100, 100}, SplitterKeeps::SecondSize);
    ui.tree = CreateAreaTree(ui.window);
    if (!ui.listSplitter || !ui.tree) return false;
    ui.treeSplitter = CreateSplitter(
        ui.window, kGadgetIdBase + kGadgetTreeSplitter, SplitterPanes::SideBySide, ui.tree,
        ui.listSplitter,
        {0, toolbarHeight, kInnerWidth, innerHeight - statusHeight - toolbarHeight - 28},
        SplitterKeeps::FirstSize);
    ui.progress =
        AddProgressBar(ui.window, kGadgetIdBase + kGadgetProgressBar,
                       {5, innerHeight - statusHeight - toolbarHeight + 21, 690, 15}, PBS_SMOOTH);
    return ui.treeSplitter && ui.progress;
}

void ConfigureGadgets() {
    MDR_HERE();
    MainUi& ui = Ui();
    AddResultColumns();
    ui.detailsBrush.reset(CreateSolidBrush(RGB(255, 255, 255)));
    SetSplitterMinimums(ui.listSplitter, 80, 80);
    SetSplitterPosition(ui.listSplitter, 300);
    SetSplitterMinimums(ui.treeSplitter, 190, 200);
    SetSplitterPosition(ui.treeSplitter, Settings().SplitterWidth);
}

bool AddAccelerators() {
    ACCEL keys[] = {
        {FCONTROL | FVIRTKEY, 'S', kCmdStartScan},
        {FCONTROL | FVIRTKEY, 'W', kCmdStopScan},
        {FCONTROL | FVIRTKEY, 'T', kCmdMinimizeToTray},
        {FCONTROL | FVIRTKEY, 'I', kCmdInvertSelection},
        {FCONTROL | FVIRTKEY, 'O', kCmdOpenInRegedit},
        {FCONTROL | FVIRTKEY, 'R', kCmdFix},
        {FCONTROL | FVIRTKEY, 'B', kCmdBackupManager},
        {FCONTROL | FVIRTKEY, 'E', kCmdExport},
        {FCONTROL | FVIRTKEY, 'F', kCmdListFilter},
        {FVIRTKEY, VK_F1, kCmdHelp},
    };
    Ui().accelerators.reset(CreateAcceleratorTableW(keys, static_cast<int>(std::size(keys))));
    return static_cast<bool>(Ui().accelerators);
}

void ShowMainWindow() {
    MDR_HERE();
    MainUi& ui = Ui();
    const AppSettings& s = Settings();
    const bool maximized = s.MainWinState == kMaximizedState || s.MainWinState == 1;
    PlaceWindow(ui.window, s.MainWinX, s.MainWinY, s.MainWinWidth, s.MainWinHeight);
    if (Flags().cmdMinimized) {
        if (AddTrayIcon(ui.window, kTrayIconId, kMsgTrayIcon)) {
            Flags().trayIconShown = true;
            g_showMaximizedOnRestore = maximized;
            return;
        }
        // Without an icon a hidden window could never be reached again: show it instead.
        Log(L"Could not add the notification-area icon, showing the window");
    }
    ShowWindow(ui.window, maximized ? SW_SHOWMAXIMIZED : SW_SHOW);
    UpdateWindow(ui.window);
}

void StoreWindowState() {
    MDR_HERE();
    MainUi& ui = Ui();
    AppSettings& s = Settings();
    if (IsIconic(ui.window)) {
        Flags().minimizedAtExit = true;
    } else {
        WINDOWPLACEMENT wp{};
        wp.length = sizeof(wp);
        RECT outer{};
        RECT client{};
        GetWindowRect(ui.window, &outer);
        GetClientRect(ui.window, &client);
        int innerWidth = client.right;
        int innerHeight = client.bottom;
        if (IsZoomed(ui.window) && GetWindowPlacement(ui.window, &wp)) {
            // Keep the size the window returns to, not the whole screen.
            const SIZE frame = OuterSizeFor(0, 0);
            outer = wp.rcNormalPosition;
            innerWidth = (outer.right - outer.left) - frame.cx;
            innerHeight = (outer.bottom - outer.top) - frame.cy;
        }
        s.MainWinX = outer.left;
        s.MainWinY = outer.top;
        s.MainWinWidth = innerWidth;
        s.MainWinHeight = innerHeight;
        s.MainWinState = IsZoomed(ui.window) ? kMaximizedState : 0;
    }
    for (int c = 0; c < kResultColumns; ++c)
        s.ColumnWidth[c] = ListView_GetColumnWidth(ui.list, c);
    s.SplitterWidth = GetSplitterPosition(ui.treeSplitter);
    s.ScanZonesState = FormatScanZones(AreaTicks());
}

void DestroyMainWindow() {
    MainUi& ui = Ui();
    if (Flags().trayIconShown) RemoveTrayIcon(ui.window, kTrayIconId);
    SetScanView(nullptr);
    if (ui.window) DestroyWindow(ui.window);
    ui = MainUi{}; // the menus, accelerators, image lists and brush go with it
}

// ---- Building the window, step by step -------------------------------------------------------

void LoadCommonControls() {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_BAR_CLASSES |
                                              ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES |
                                              ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
}

// The window, hidden until it is complete.
bool CreateHiddenWindow() {
    MainUi& ui = Ui();
    const SIZE outer = OuterSizeFor(kInnerWidth, kInnerHeight);
    if (RegisterMainClass()) {
        ui.window = CreateWindowExW(0, kMainWindowClass, WindowTitle().c_str(), kWindowStyle,
                                    Settings().MainWinX, Settings().MainWinY, outer.cx, outer.cy,
                                    nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    if (!ui.window) {
        ShowError(Text::ErrorTitle, Text::WindowOpenFailed);
        return false;
    }
    ui.taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    return true;
}

// The scan engine's settings and the scan view.
void ConnectScanEngine() {
    Log(L"Opened main window, setting callbacks");
    HandScanEngineSettings();
    SetScanView(&MainWindowScanView());
    Log(L"Callbacks set");
}

// Four fields: what happens, items scanned, errors found, errors fixed.
bool CreateStatusBar() {
    MainUi& ui = Ui();
    Log(L"Creating statusbar");
    ui.statusBar = CreateWindowExW(
        0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, ui.window,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStatusBarControlId)),
        GetModuleHandleW(nullptr), nullptr);
    if (!ui.statusBar) {
        Log(L"Error creating statusbar");
        ShowError(Text::ErrorTitle, Text::StatusBarFailed);
        return false;
    }
    const std::array<int, 4> edges = InitialStatusPartEdges();
    SendMessageW(ui.statusBar, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(edges.data()));
    SetStatusText(0, LangText(Text::ReadyStatus));
    SetStatusText(1, ItemsScannedText(0));
    SetStatusText(2, ErrorsFoundText(0));
    SetStatusText(3, ErrorsFixedText(0));
    Log(L"Statusbar created successfully");
    return true;
}

bool CreateMenusAndToolbar() {
    Log(L"Creating menus");
    if (!BuildMenus()) {
        ShowError(Text::ErrorTitle, Text::MenusFailed);
        return false;
    }
    Log(L"Creating toolbar");
    if (!BuildToolbar()) {
        ShowError(Text::ErrorTitle, Text::ToolbarFailed);
        return false;
    }
    return true;
}

// The results list, details, tree, splitters and progress bar, the tree filled; the splitters
// grow with the window and the progress bar keeps to its bottom edge.
bool CreateFilledGadgets() {
    MainUi& ui = Ui();
    Log(L"Creating gadgets");
    if (!CreateGadgets()) {
        ShowError(Text::ErrorTitle, Text::WindowOpenFailed);
        return false;
    }
    Log(L"Configuring gadgets");
    ConfigureGadgets();
    if (!FillAreaTree(ParseScanZones(Settings().ScanZonesState))) {
        ShowError(Text::ErrorTitle, Text::WindowOpenFailed);
        return false;
    }
    Log(L"Adding auto resize support");
    RegisterResize(ui.window, ui.listSplitter, {.growHeight = true, .growWidth = true});
    RegisterResize(ui.window, ui.treeSplitter, {.growHeight = true, .growWidth = true});
    RegisterResize(ui.window, ui.progress, {.moveDown = true, .growWidth = true});
    return true;
}

// What the command line asked for (start-up has read it into Flags()): a scan, then the
// balloon, or the end when it found no errors.
void RunCommandLine() {
    if (Flags().cmdScan) StartScan();
    if (!Flags().cmdWarnOrDie || Flags().quitRequested) return;
    if (ErrorsFound() == 0)
        RequestQuit();
    else if (Flags().trayIconShown)
        ShowErrorsFoundBalloon();
}

} // namespace

// ---- Shared helpers (main_ui.h)
// ------------------------------------------------------------------

MainUi& Ui() {
    static MainUi ui;
    return ui;
}

void RunOnUiThread(const std::function<void()>& f) {
    const MainUi& ui = Ui();
    if (!ui.window || GetCurrentThreadId() == ui.threadId) {
        FlushScanViewQueue();
        f();
        return;
    }
    SendMessageW(ui.window, kMsgRunOnUiThread, 0, reinterpret_cast<LPARAM>(&f));
}

void ShowErrorsFoundBalloon() {
    ShowBalloon(kTrayIconId, Ui().window, kTrayTitle, LangText(Text::ErrorsFoundBalloon), 10, 0);
}

bool AskYesNo(Text title, Text text) {
    return MessageBoxW(Ui().window, LangText(text).c_str(), LangText(title).c_str(),
                       MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void ShowInfo(Text title, Text text) {
    MessageBoxW(Ui().window, LangText(text).c_str(), LangText(title).c_str(),
                MB_OK | MB_ICONINFORMATION);
}

void ShowWarning(Text title, Text text) {
    MessageBoxW(Ui().window, LangText(text).c_str(), LangText(title).c_str(),
                MB_OK | MB_ICONEXCLAMATION);
}

void ShowError(Text title, Text text) {
    MessageBoxW(Ui().window, LangText(text).c_str(), LangText(title).c_str(), MB_OK | MB_ICONERROR);
}

namespace {
std::wstring g_statusText; // field 0 as last set, shown while no filter is set
} // namespace

void SetStatusText(int part, const std::wstring& text) {
    std::wstring shown = text;
    if (part == 0) {
        g_statusText = text;
        if (!Ui().scanning)
            if (std::wstring filtered = ResultFilterStatus(); !filtered.empty()) shown = filtered;
    }
    if (Ui().statusBar)
        SendMessageW(Ui().statusBar, SB_SETTEXTW, static_cast<WPARAM>(part),
                     reinterpret_cast<LPARAM>(shown.c_str()));
}

void RefreshStatusText() {
    SetStatusText(0, g_statusText);
}

std::wstring ItemsScannedText(uint64_t n) {
    return ReplacePlaceholder(LangText(Text::ScannedStatus), L"$ITEMSSCANNED$", std::to_wstring(n));
}

std::wstring ErrorsFoundText(uint64_t n) {
    return ReplacePlaceholder(LangText(Text::ErrorsStatus), L"$ERRRORSDETECTED$",
                              std::to_wstring(n));
}

std::wstring ErrorsFixedText(uint64_t n) {
    return ReplacePlaceholder(LangText(Text::FixedStatus), L"$ERRORSFIXED$", std::to_wstring(n));
}

void EnableControlsForScan(bool scanning) {
    MDR_HERE();
    for (int id = 0; id <= kLastMenuBarId; ++id)
        EnableMenuCommand(id, !scanning && CommandAvailable(id));
    EnableMenuCommand(kCmdStopScan, scanning);
    if (scanning) EnableMenuCommand(kCmdMinimizeToTray, true);
    for (int id : {kCmdListFix, kCmdListOpenInRegedit})
        EnableMenuCommand(id, CommandAvailable(id));
    for (int id = kBtnScan; id <= kBtnExit; ++id)
        EnableToolbarButton(id, !scanning && CommandAvailable(id));
    EnableToolbarButton(kBtnTools, !scanning && !ToolMenu().empty());
    EnableToolbarButton(kBtnStop, scanning);
    // The filter waits for the scan's rows; the list arranges itself once they are in.
    EnableWindow(Ui().filter, !scanning);
    EnableMenuCommand(kCmdListFilter, !scanning);
}

void OnWindowSized() {
    MDR_HERE();
    MainUi& ui = Ui();
    SendMessageW(ui.toolbar, TB_AUTOSIZE, 0, 0);
    SendMessageW(ui.statusBar, WM_SIZE, 0, 0);
    RECT client{};
    GetClientRect(ui.window, &client);
    const std::array<int, 4> edges = StatusPartEdges(client.right);
    SendMessageW(ui.statusBar, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(edges.data()));
    ResizeLayout(ui.window);
}

void MinimizeToTray() {
    MDR_HERE();
    MainUi& ui = Ui();
    if (Flags().trayIconShown) return;
    if (AddTrayIcon(ui.window, kTrayIconId, kMsgTrayIcon)) {
        ShowWindow(ui.window, SW_HIDE);
        Flags().trayIconShown = true;
    }
}

void RestoreFromTray() {
    MDR_HERE();
    MainUi& ui = Ui();
    if (!Flags().trayIconShown) return;
    RemoveTrayIcon(ui.window, kTrayIconId);
    ShowWindow(ui.window, g_showMaximizedOnRestore ? SW_SHOWMAXIMIZED : SW_SHOW);
    g_showMaximizedOnRestore = false;
    SetForegroundWindow(ui.window);
    Flags().trayIconShown = false;
}

void RequestQuit() {
    Flags().quitRequested = true;
    if (Ui().window) PostMessageW(Ui().window, WM_NULL, 0, 0); // wakes the loop
}

void ShowPopupMenu(int menu, POINT screen) {
    MainUi& ui = Ui();
    if (menu < 1 || menu > 4 || !ui.popups[menu]) return;
    // Without the foreground the menu of the notification-area icon would not close when the
    // user clicks elsewhere.
    SetForegroundWindow(ui.window);
    TrackPopupMenu(ui.popups[menu].get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0,
                   ui.window, nullptr);
    PostMessageW(ui.window, WM_NULL, 0, 0);
}

// The results list's keys: Ctrl+A ticks every shown row (in the boxes it selects their text), Esc
// clears the filter, Enter or Down in the filter box goes on to the list. True when used.
bool OnListKey(const MSG& msg) {
    MainUi& ui = Ui();
    if (msg.message != WM_KEYDOWN || ui.scanning) return false;
    const bool control = GetKeyState(VK_CONTROL) < 0;
    const bool inFilter = msg.hwnd == ui.filter;
    if (msg.wParam == 'A' && control) {
        if (msg.hwnd == ui.list)
            OnCommand(kCmdListSelectAll);
        else if (inFilter || msg.hwnd == ui.details)
            SendMessageW(msg.hwnd, EM_SETSEL, 0, -1);
        else
            return false;
        return true;
    }
    if (msg.wParam == VK_ESCAPE && (inFilter || msg.hwnd == ui.list) &&
        GetWindowTextLengthW(ui.filter) > 0) {
        ClearResultFilter();
        return true;
    }
    if (inFilter && (msg.wParam == VK_RETURN || msg.wParam == VK_DOWN)) {
        SetFocus(ui.list);
        return true;
    }
    return false;
}

void DispatchWindowMessage(MSG& msg) {
    MainUi& ui = Ui();
    if (OnListKey(msg)) return;
    if (ui.accelerators && ui.window &&
        TranslateAcceleratorW(ui.window, ui.accelerators.get(), &msg))
        return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    if (msg.message == WM_KEYDOWN || msg.message == WM_KEYUP) KeepRootExpanded();
}

// ---- Public ------------------------------------------------------------------------------------

HWND MainWindowHandle() {
    return Ui().window;
}

void SetErrorsFixedCount(uint64_t count) {
    Ui().fixedCount = count;
    SetStatusText(3, ErrorsFixedText(count));
}

bool BuildMainWindow() {
    MDR_HERE();
    Ui().threadId = GetCurrentThreadId();
    LoadCommonControls();
    if (!CreateHiddenWindow()) return false;
    ConnectScanEngine();
    if (!CreateStatusBar() || !CreateMenusAndToolbar() || !CreateFilledGadgets()) return false;
    Log(L"Adding keyboard shortcuts");
    AddAccelerators();
    EnableControlsForScan(false);
    Log(L"Checking for program parameters");
    ShowMainWindow();
    RunCommandLine();
    return true;
}

void RunMainLoop() {
    MDR_HERE();
    Log(L"-> Entering main loop...");
    MSG msg;
    while (!Flags().quitRequested) {
        const BOOL r = GetMessageW(&msg, nullptr, 0, 0);
        if (r == 0 || r == -1) break;
        DispatchWindowMessage(msg);
    }
}

int RunMainWindow() {
    MDR_HERE();
    if (!BuildMainWindow()) {
        DestroyMainWindow();
        return 0;
    }
    RunMainLoop();
    StoreWindowState();
    DestroyMainWindow();
    return 1;
}

} // namespace mdr
