// The tools' frame: start-up, the main window and its procedure, the event loop with the
// keyboard, popup menus with pictures, About, help and exit.
#include "tools/frame/tool_frame.h"

#include <commctrl.h>
#include <shellapi.h>
#include <algorithm>
#include <unordered_map>

#include "common/debug_privilege.h"
#include "common/resize.h"
#include "common/splitter.h"
#include "common/trace.h"
#include "common/resources.h"
#include "common/late_bound.h"
#include "resource_ids.h"
#include "tools/frame/report_list.h"
#include "tools/frame/tool_layout.h"
#include "tools/frame/tool_paths.h"
#include "version.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {

namespace {

constexpr wchar_t kMainClass[] = L"VeltraneMendoraTool";
constexpr wchar_t kAboutClass[] = L"VeltraneMendoraToolAbout";
constexpr int kClientWidth = 550;
constexpr int kClientHeight = 400;
constexpr int kMinTrackWidth = 440;
constexpr int kMinTrackHeight = 300;
constexpr DWORD kMainStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD kMainExStyle = WS_EX_CONTROLPARENT;
constexpr int kToolbarId = 900;
constexpr int kStatusId = 901;
constexpr int kDefaultRowIcon = 0; // icon-table entry of rows whose file has no icon
constexpr int kFilterId = 902;
constexpr int kFilterHeight = 26;

ToolFrame g_frame;
std::wstring g_statusText; // the tool's own status text, shown while no filter is set
bool g_startMaximized = false;
// The running tool's commands by number, filled once its lists exist.
std::unordered_map<int, std::function<void()>> g_commands;

// "<Tool>.ini" in MDR's settings folder: the window's layout and the tool's kept choices.
std::wstring LayoutFile() {
    const std::wstring folder = UserSettingsFolder();
    return folder.empty() ? L"" : folder + Frame().Identity().program + L".ini";
}

} // namespace

// The frame's own access to its members, for the procedures below.
struct FrameAccess {
    static Tool& ToolOf() { return *g_frame.tool_; }
    static void SetWindow(HWND w) { g_frame.window_ = w; }
    static void SetToolbar(HWND w) { g_frame.toolbar_ = w; }
    static void SetStatus(HWND w) { g_frame.status_ = w; }
    static void SetFilter(HWND w) { g_frame.filter_ = w; }
    static UniqueHimagelist& ToolbarImages() { return g_frame.toolbarImages_; }
    static void SetTool(Tool* tool) { g_frame.tool_ = tool; }
};

ToolFrame& Frame() {
    return g_frame;
}

HFONT ToolFrame::Font() const {
    return AppFont(1);
}

HICON ToolFrame::DefaultRowIcon() const {
    return AppIcon(kDefaultRowIcon);
}

void ToolFrame::SetTitle(const std::wstring& title) const {
    SetWindowTextW(window_, title.c_str());
}

void ToolFrame::SetStatus(const std::wstring& text) const {
    g_statusText = text;
    std::wstring shown = text;
    if (const SyncedList* list = tool_ ? tool_->MainList() : nullptr;
        list && !list->Filter().empty())
        shown = std::to_wstring(list->ShownCount()) + L" of " +
                std::to_wstring(list->RecordCount()) + L" shown";
    if (status_) SendMessageW(status_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(shown.c_str()));
}

int ToolFrame::Message(const std::wstring& text, const wchar_t* title, UINT flags) const {
    return MessageBoxW(window_, text.c_str(), title, flags);
}

UniqueHmenu ToolFrame::MakePopupMenu(const std::vector<ToolItem>& items) const {
    UniqueHmenu menu(CreatePopupMenu());
    if (menu && !AppendMenuItems(menu.get(), items)) menu.reset();
    return menu;
}

bool ToolFrame::AppendMenuItems(HMENU menu, const std::vector<ToolItem>& items) const {
    for (const ToolItem& item : items) {
        MENUITEMINFOW mii{};
        mii.cbSize = sizeof(mii);
        std::wstring caption = item.caption ? item.caption : L"";
        if (item.command < 0) {
            mii.fMask = MIIM_FTYPE;
            mii.fType = MFT_SEPARATOR;
        } else {
            mii.fMask = MIIM_ID | MIIM_STRING | MIIM_DATA | (item.icon >= 0 ? MIIM_BITMAP : 0);
            mii.wID = static_cast<UINT>(item.command);
            mii.dwTypeData = caption.data();
            // The picture is drawn on request, so it keeps its alpha edges.
            mii.dwItemData = reinterpret_cast<ULONG_PTR>(AppIcon(item.icon));
            if (item.icon >= 0) mii.hbmpItem = HBMMENU_CALLBACK;
        }
        if (!InsertMenuItemW(menu, GetMenuItemCount(menu), TRUE, &mii)) return false;
    }
    return true;
}

void ToolFrame::ShowPopupMenu(HMENU menu, POINT at) const {
    // The owner must be in front, or the menu does not close when the user clicks elsewhere.
    SetForegroundWindow(window_);
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, window_,
                   nullptr);
    PostMessageW(window_, WM_NULL, 0, 0);
}

bool ToolFrame::ConfirmExit() const {
    return Message(Identity().exitQuestion, kTitleConfirm, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

std::wstring ToolFrame::Setting(const wchar_t* group, const wchar_t* key) const {
    IniFile ini;
    const std::wstring file = LayoutFile();
    if (file.empty() || ini.Load(file) != FileState::Ok) return L"";
    return ini.GetString(group, key);
}

void ToolFrame::KeepSetting(const wchar_t* group, const wchar_t* key,
                            const std::wstring& value) const {
    const std::wstring file = LayoutFile();
    if (file.empty()) return;
    IniFile ini;
    if (ini.Load(file) != FileState::Ok) ini = IniFile{};
    ini.Set(group, key, value);
    ini.Save(file);
}

void ToolFrame::OpenHelp() const {
    const std::wstring file = ToolFolder() + Identity().helpFile;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.hwnd = window_;
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.nShow = SW_SHOWNORMAL;
    ShellExecuteExW(&info);
}

void AddFrameCommands(ToolCommands& commands, int help, int about, int exit) {
    commands.push_back({{help}, [] { Frame().OpenHelp(); }});
    commands.push_back({{about}, [] { Frame().ShowAbout(); }});
    commands.push_back({{exit}, [] { PostMessageW(Frame().Window(), WM_CLOSE, 0, 0); }});
}

void AddCopyCommands(ToolCommands& commands, HWND list, int line, int all) {
    commands.push_back({{line}, [list] { CopyRowToClipboard(list, SelectedRow(list)); }});
    if (all >= 0) commands.push_back({{all}, [list] { CopyAllToClipboard(list); }});
}

void ShowBatchReport(std::wstring_view done, std::wstring_view noun,
                     const std::vector<BatchOutcome>& outcomes) {
    const bool allDone = std::all_of(outcomes.begin(), outcomes.end(),
                                     [](const BatchOutcome& o) { return o.failure.empty(); });
    Frame().Message(BatchReport(done, noun, outcomes), allDone ? kTitleInformation : kTitleWarning,
                    MB_OK | (allDone ? MB_ICONINFORMATION : MB_ICONWARNING));
}

void ShowInFolder(const std::wstring& path) {
    if (path.empty()) return;
    const std::wstring parameters = L"/select,\"" + path + L"\"";
    ShellExecuteW(nullptr, L"open", L"explorer.exe", parameters.c_str(), nullptr, SW_SHOWNORMAL);
}

std::wstring ViewNote() {
    return RunsUnderWow64() ? L" (32-bit view)" : L"";
}

bool CheckAdministrator() {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) return false;
    CloseServiceHandle(manager);
    return true;
}

std::vector<std::wstring> StartupWarnings(bool administrator, bool debugPrivilege) {
    std::vector<std::wstring> warnings;
    if (!administrator)
        warnings.push_back(L"You need to run this tool under an administrator account.");
    if (!debugPrivilege)
        warnings.push_back(
            L"Could not assign the debug priviledge. Are you sure you are administrator?");
    return warnings;
}

// ---- About -------------------------------------------------------------------------------------

namespace {

constexpr int kAboutClose = 10;
constexpr int kAboutLink = 11;

struct AboutState {
    bool done = false;
    UniqueHicon picture;
    UniqueHfont linkFont;
};

LRESULT CALLBACK AboutProc(HWND w, UINT message, WPARAM wp, LPARAM lp) {
    AboutState* state = WindowContext<AboutState>(w, message, lp);
    switch (message) {
    case WM_COMMAND:
        if (!state) break;
        if (LOWORD(wp) == kAboutLink && HIWORD(wp) == STN_CLICKED)
            ShellExecuteW(w, L"open", kMakerWebsite, nullptr, nullptr, SW_SHOWNORMAL);
        if (LOWORD(wp) == kAboutClose || LOWORD(wp) == IDCANCEL) state->done = true;
        return 0;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lp) == GetDlgItem(w, kAboutLink)) {
            HDC dc = reinterpret_cast<HDC>(wp);
            SetTextColor(dc, RGB(128, 128, 128));
            SetBkMode(dc, TRANSPARENT);
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        break;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wp) == GetDlgItem(w, kAboutLink)) {
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        }
        break;
    case WM_CLOSE:
        if (state) state->done = true;
        return 0;
    }
    return DefWindowProcW(w, message, wp, lp);
}

} // namespace

void ToolFrame::ShowAbout() const {
    MDR_HERE();
    RegisterWindowClass({.name = kAboutClass, .procedure = AboutProc});
    AboutState state;
    HWND w = CreateModalWindow(
        {.className = kAboutClass, .title = L"About", .clientWidth = 307, .clientHeight = 187},
        window_, &state);
    if (!w) {
        EnableWindow(window_, TRUE);
        Message(L"Error opening window!", kTitleError, MB_OK | MB_ICONERROR);
        return;
    }
    state.picture.reset(static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, 48, 48, 0)));
    HWND picture = AddControl(w, L"STATIC", L"", SS_ICON | SS_REALSIZEIMAGE, {10, 10, 48, 48}, -1);
    SendMessageW(picture, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(state.picture.get()));
    AddLabel(w, Identity().aboutLine, {70, 10, 230, 20});
    AddLabel(w, std::wstring(L"Version: ") + MDR_VERSION_TEXT, {70, 35, 230, 20});
    LOGFONTW face{};
    GetObjectW(DialogFont(), sizeof(face), &face);
    face.lfUnderline = TRUE;
    state.linkFont.reset(CreateFontIndirectW(&face));
    AddControl(w, L"STATIC", kMakerWebsite, SS_CENTER | SS_NOTIFY | SS_NOPREFIX, {80, 135, 140, 15},
               kAboutLink, 0, state.linkFont.get());
    HWND close = AddButton(w, kAboutClose, L"Close", {100, 160, 105, 20}, BS_DEFPUSHBUTTON);
    ShowModalWindow(w, close);
    RunModalLoop(w, [&] { return state.done; });
    CloseModal(w, window_);
}

// ---- Main window -------------------------------------------------------------------------------

namespace {

void OnFilterChanged() {
    SyncedList* list = FrameAccess::ToolOf().MainList();
    if (!list) return;
    list->SetFilter(WindowText(Frame().FilterBox()));
    Frame().SetStatus(g_statusText);
}

// Menus, toolbar buttons and the keyboard (notification code 0 or 1) run the tool's commands;
// the filter box narrows the main list as the user types.
LRESULT OnMainCommand(WPARAM wp, LPARAM lp) {
    if (HIWORD(wp) == EN_CHANGE && reinterpret_cast<HWND>(lp) == Frame().FilterBox()) {
        try {
            OnFilterChanged();
        } catch (...) {
        }
        return 0;
    }
    if (HIWORD(wp) > 1) return 0;
    try {
        const auto found = g_commands.find(LOWORD(wp));
        if (found != g_commands.end()) FrameAccess::ToolOf().RunCommand(found->second);
    } catch (...) {
        // Nothing may leave the window procedure; the command is simply over.
    }
    return 0;
}

// A header click on the main list sorts it.
bool OnListNotify(const NMHDR& header) {
    SyncedList* list = FrameAccess::ToolOf().MainList();
    if (!list || header.hwndFrom != list->Handle() || header.code != LVN_COLUMNCLICK) return false;
    list->ToggleSort(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
    return true;
}

// Puts back what the last run kept; what the file lacks stays as the tool made it.
void RestoreLayout(HWND main) {
    IniFile ini;
    const std::wstring file = LayoutFile();
    if (file.empty() || ini.Load(file) != FileState::Ok) return;
    SyncedList* list = FrameAccess::ToolOf().MainList();
    HWND listWindow = list ? list->Handle() : nullptr;
    const ToolLayout layout = ReadToolLayout(ini, listWindow ? ColumnCount(listWindow) : 0);
    if (layout.hasPlacement) {
        WINDOWPLACEMENT place{};
        place.length = sizeof(place);
        GetWindowPlacement(main, &place);
        place.rcNormalPosition = layout.normal;
        // A place off every monitor (one unplugged since) comes back onto the nearest one.
        if (!MonitorFromRect(&layout.normal, MONITOR_DEFAULTTONULL)) {
            MONITORINFO monitor{};
            monitor.cbSize = sizeof(monitor);
            if (GetMonitorInfoW(MonitorFromRect(&layout.normal, MONITOR_DEFAULTTONEAREST),
                                &monitor))
                place.rcNormalPosition = ClampOntoWorkArea(layout.normal, monitor.rcWork);
        }
        place.showCmd = SW_HIDE; // it shows once filled
        SetWindowPlacement(main, &place);
        g_startMaximized = layout.maximized;
    }
    if (HWND splitter = FrameAccess::ToolOf().LayoutSplitter(); splitter && layout.splitter >= 0)
        SetSplitterPosition(splitter, layout.splitter);
    if (!listWindow) return;
    for (size_t c = 0; c < layout.widths.size(); ++c)
        SendMessageW(listWindow, LVM_SETCOLUMNWIDTH, c, layout.widths[c]);
    if (!layout.order.empty())
        SendMessageW(listWindow, LVM_SETCOLUMNORDERARRAY, layout.order.size(),
                     reinterpret_cast<LPARAM>(layout.order.data()));
    if (layout.sortColumn >= 0) list->SetSort(layout.sortColumn, layout.descending);
}

// Keeps the layout for the next run; only a normal exit writes the file.
void SaveLayout() {
    HWND main = Frame().Window();
    const std::wstring file = LayoutFile();
    if (file.empty()) return;
    IniFile ini;
    if (ini.Load(file) != FileState::Ok) ini = IniFile{};
    ToolLayout layout;
    WINDOWPLACEMENT place{};
    place.length = sizeof(place);
    if (GetWindowPlacement(main, &place)) {
        layout.hasPlacement = true;
        layout.maximized = place.showCmd == SW_SHOWMAXIMIZED;
        layout.normal = place.rcNormalPosition;
    }
    if (HWND splitter = FrameAccess::ToolOf().LayoutSplitter())
        layout.splitter = GetSplitterPosition(splitter);
    if (SyncedList* list = FrameAccess::ToolOf().MainList()) {
        const int columns = ColumnCount(list->Handle());
        layout.order.resize(static_cast<size_t>(columns));
        for (int c = 0; c < columns; ++c)
            layout.widths.push_back(static_cast<int>(
                SendMessageW(list->Handle(), LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(c), 0)));
        if (!SendMessageW(list->Handle(), LVM_GETCOLUMNORDERARRAY, layout.order.size(),
                          reinterpret_cast<LPARAM>(layout.order.data())))
            layout.order.clear();
        layout.sortColumn = list->SortColumn();
        layout.descending = list->SortDescending();
    }
    WriteToolLayout(ini, layout);
    ini.Save(file);
}

LRESULT CALLBACK MainProc(HWND w, UINT message, WPARAM wp, LPARAM lp) {
    switch (message) {
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lp);
        info->ptMinTrackSize = {kMinTrackWidth, kMinTrackHeight};
        return 0;
    }
    case WM_SIZE:
        if (HWND toolbar = Frame().Toolbar()) SendMessageW(toolbar, TB_AUTOSIZE, 0, 0);
        if (HWND status = Frame().StatusBar()) SendMessageW(status, WM_SIZE, 0, 0);
        ResizeLayout(w);
        return 0;
    case WM_COMMAND:
        return OnMainCommand(wp, lp);
    case WM_NOTIFY: {
        LRESULT result = 0;
        try {
            if (OnListNotify(*reinterpret_cast<NMHDR*>(lp))) return 0;
            if (FrameAccess::ToolOf().Notify(*reinterpret_cast<NMHDR*>(lp), result)) return result;
        } catch (...) {
        }
        break;
    }
    case WM_CONTEXTMENU: {
        HWND list = reinterpret_cast<HWND>(wp);
        POINT at{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        try {
            FrameAccess::ToolOf().ContextMenu(list, at);
        } catch (...) {
        }
        return 0;
    }
    case WM_MEASUREITEM:
        if (MeasureMenuPicture(reinterpret_cast<MEASUREITEMSTRUCT*>(lp))) return TRUE;
        break;
    case WM_DRAWITEM:
        if (const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
            DrawMenuPicture(dis, reinterpret_cast<HICON>(dis->itemData)))
            return TRUE;
        break;
    case WM_CLOSE:
        if (IsWindowEnabled(w) && Frame().ConfirmExit()) {
            try {
                SaveLayout();
            } catch (...) {
            }
            DestroyWindow(w);
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        if (g_frame.Window() == w) {
            LRESULT result = 0;
            try {
                if (FrameAccess::ToolOf().OtherMessage(message, wp, lp, result)) return result;
            } catch (...) {
            }
        }
        break;
    }
    return DefWindowProcW(w, message, wp, lp);
}

HWND CreateToolbar(HWND main, const std::vector<ToolItem>& items) {
    HWND tb = CreateWindowExW(
        0, TOOLBARCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TBSTYLE_FLAT | CCS_TOP,
        0, 0, 0, 0, main, reinterpret_cast<HMENU>(kToolbarId), GetModuleHandleW(nullptr), nullptr);
    if (!tb) return nullptr;
    SendMessageW(tb, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(tb, TB_SETBITMAPSIZE, 0, MAKELPARAM(16, 16));
    UniqueHimagelist& images = FrameAccess::ToolbarImages();
    images.reset(ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 8, 0));
    std::vector<TBBUTTON> buttons;
    for (const ToolItem& item : items) {
        TBBUTTON b{};
        if (item.command < 0) {
            b.fsStyle = BTNS_SEP;
            b.idCommand = -1; // not 0: that is a command of the tools, set by its number
        } else {
            b.iBitmap = I_IMAGENONE;
            if (HICON icon = AppIcon(item.icon)) b.iBitmap = ImageList_AddIcon(images.get(), icon);
            b.idCommand = item.command;
            b.fsState = TBSTATE_ENABLED;
            b.fsStyle = BTNS_BUTTON;
        }
        buttons.push_back(b);
    }
    SendMessageW(tb, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images.get()));
    // One long blank string in the pool makes every button reserve a text row; the captions
    // replace it per button.
    static const wchar_t kPlaceholder[] = L"                    \0";
    SendMessageW(tb, TB_ADDSTRINGW, 0, reinterpret_cast<LPARAM>(kPlaceholder));
    if (!SendMessageW(tb, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data())))
        return nullptr;
    for (const ToolItem& item : items)
        if (item.command >= 0) SetToolbarCaption(tb, item.command, item.caption);
    return tb;
}

// Moves the keyboard focus to the next (or previous) control that takes it with Tab.
void MoveFocus(HWND main, bool back) {
    HWND next = GetNextDlgTabItem(main, GetFocus(), back);
    if (next) SetFocus(next);
}

bool IsListOf(HWND focus) {
    const SyncedList* list = FrameAccess::ToolOf().MainList();
    return list && focus == list->Handle();
}

// The frame's own keys: the filter from anywhere, select all and copy on the main list.
int FrameKeyCommand(HWND focus, UINT key, bool control) {
    if (!control || !FrameAccess::ToolOf().MainList()) return -1;
    if (key == 'F' || key == 'E') return kFilterCommand;
    if (!IsListOf(focus)) return -1;
    if (key == 'A') return kSelectAllCommand;
    if (key == 'C') return kCopySelectedCommand;
    return -1;
}

// Handles the frame's keys before the focused control sees them; true when it used the key.
bool PreTranslateKey(HWND main, const MSG& msg) {
    if (msg.message != WM_KEYDOWN || !IsWindowEnabled(main)) return false;
    if (msg.hwnd != main && !IsChild(main, msg.hwnd)) return false;
    const bool control = GetKeyState(VK_CONTROL) < 0;
    if (msg.wParam == VK_TAB && !control) {
        MoveFocus(main, GetKeyState(VK_SHIFT) < 0);
        return true;
    }
    if (const int command = FrameKeyCommand(msg.hwnd, static_cast<UINT>(msg.wParam), control);
        command >= 0) {
        SendMessageW(main, WM_COMMAND, static_cast<WPARAM>(command), 0);
        return true;
    }
    if (msg.wParam == VK_ESCAPE && !WindowText(Frame().FilterBox()).empty() &&
        (msg.hwnd == Frame().FilterBox() || IsListOf(msg.hwnd))) {
        SetWindowTextW(Frame().FilterBox(), L""); // the box's change clears the filter
        return true;
    }
    // The key's window is the one with the keyboard focus.
    const int command =
        FrameAccess::ToolOf().KeyCommand(msg.hwnd, static_cast<UINT>(msg.wParam), control);
    if (command < 0) return false;
    SendMessageW(main, WM_COMMAND, static_cast<WPARAM>(command), 0);
    return true;
}

} // namespace

int RunTool(Tool& tool) {
    MDR_HERE();
    FrameAccess::SetTool(&tool);
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    // Step 1: pictures and the font.
    CreateAppResources();
    // Steps 3 and 4: neither failure stops the tool.
    const bool administrator = CheckAdministrator();
    const bool debug = EnableDebugPrivilege() == 1;
    for (const std::wstring& warning : StartupWarnings(administrator, debug))
        MessageBoxW(nullptr, warning.c_str(), kTitleError, MB_OK | MB_ICONINFORMATION);
    // Step 5.
    tool.Prepare();

    // Step 6: the main window, hidden until it is filled.
    RegisterWindowClass({.name = kMainClass,
                         .procedure = MainProc,
                         .icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP))});
    const RECT frame = CentredFrame(nullptr, kClientWidth, kClientHeight, kMainStyle, kMainExStyle);
    HWND main =
        CreateWindowExW(kMainExStyle, kMainClass, tool.Identity().title, kMainStyle, frame.left,
                        frame.top, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                        nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!main) {
        MessageBoxW(nullptr, L"Error opening window!", kTitleError, MB_OK | MB_ICONERROR);
        return 1;
    }
    FrameAccess::SetWindow(main);

    // Step 7: the status bar, one field.
    HWND status = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP,
                                  0, 0, 0, 0, main, reinterpret_cast<HMENU>(kStatusId),
                                  GetModuleHandleW(nullptr), nullptr);
    if (status) {
        int edges[] = {1024};
        SendMessageW(status, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(edges));
        FrameAccess::SetStatus(status);
    }
    // Step 8: the toolbar; the tool goes on without it.
    // The frame's own button after the tool's: the filter, also on Ctrl+F.
    std::vector<ToolItem> toolbarItems = tool.ToolbarItems();
    if (tool.MainList()) {
        toolbarItems.push_back(kToolSeparator);
        toolbarItems.push_back({kFilterCommand, -1, L"F&ilter"});
    }
    HWND toolbar = CreateToolbar(main, toolbarItems);
    if (!toolbar) MessageBoxW(main, L"Error creating toolbar!", kTitleError, MB_OK | MB_ICONERROR);
    FrameAccess::SetToolbar(toolbar);
    // Step 9: the popup menus.
    if (!tool.CreateMenus()) {
        MessageBoxW(main, L"Error creating menu!", kTitleError, MB_OK | MB_ICONERROR);
        DestroyWindow(main);
        return 1;
    }
    // Step 10: the lists, between toolbar and status bar, anchored to the window's edges.
    RECT client{};
    GetClientRect(main, &client);
    const int top = WindowHeight(toolbar);
    AddLabel(main, L"&Filter:", {6, top + 6, 40, 16}, -1, SS_LEFT);
    HWND filter = AddControl(main, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP,
                             {50, top + 3, client.right - 54, 20}, kFilterId, WS_EX_CLIENTEDGE);
    if (filter) RegisterResize(main, filter, {.growWidth = true});
    FrameAccess::SetFilter(filter);
    const int listTop = top + kFilterHeight;
    const Place area{0, listTop, client.right, client.bottom - listTop - WindowHeight(status)};
    if (HWND content = tool.CreateContent(main, area))
        RegisterResize(main, content, {.growHeight = true, .growWidth = true});
    for (ToolCommand& command : tool.Commands())
        for (int id : command.ids)
            g_commands[id] = command.run;
    if (SyncedList* list = tool.MainList()) {
        HWND handle = list->Handle();
        SendMessageW(handle, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_HEADERDRAGDROP,
                     LVS_EX_HEADERDRAGDROP);
        g_commands[kFilterCommand] = [filter] {
            SetFocus(filter);
            SendMessageW(filter, EM_SETSEL, 0, -1);
        };
        g_commands[kSelectAllCommand] = [handle] {
            SetFocus(handle);
            SelectAllRows(handle);
        };
        g_commands[kCopySelectedCommand] = [handle] { CopySelectedRowsToClipboard(handle); };
    }
    RestoreLayout(main);

    // Step 11: the first refresh, then the window shows.
    tool.Start();
    ShowWindow(main, g_startMaximized ? SW_SHOWMAXIMIZED : SW_SHOW);
    SetForegroundWindow(main);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (PreTranslateKey(main, msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

} // namespace mdr
