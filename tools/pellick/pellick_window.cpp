// Pellick's main window: the running processes and the selected one's modules on two tabs, the
// facts about the selected file below them, the timed refresh, and the commands of the toolbar,
// the popup menus and the keyboard.
#include "tools/pellick/pellick_window.h"

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <map>
#include <memory>

#include "common/export_text.h"
#include "common/ini.h"
#include "common/late_bound.h"
#include "common/record_ids.h"
#include "common/splitter.h"
#include "common/trace.h"
#include "common/resources.h"
#include "tools/frame/file_info.h"
#include "tools/frame/list_sync.h"
#include "tools/frame/report_list.h"
#include "tools/frame/tool_layout.h"
#include "tools/frame/wait_window.h"
#include "tools/pellick/process_list.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {

namespace {

enum Command {
    kRun = 0,
    kKill = 1,
    kViewFile = 2,
    kRefresh = 3, // the button only opens the speed menu; F5 sends it to refresh at once
    kExport = 4,
    kHelp = 5,
    kAbout = 6,
    kExit = 7,
    kView = 8, // the button only opens the View menu
    kSlow = 50,
    kNormal = 51,
    kFast = 52,
    kVeryFast = 53,
    kClose = 70,
    kKillTree = 71,
    kTreeView = 72,
    kMenuKill = 100,
    kMenuKillRemove = 101,
    kMenuViewFile = 102,
    kCopyLine = 103,
    kCopyAll = 104,
    kInfoCopyLine = 150,
    kInfoCopyAll = 151,
    kModuleViewFile = 200,
    kModuleCopyLine = 201,
    kModuleCopyAll = 202,
};

// Pictures of the icon table.
enum Picture {
    kPicStart = 1,
    kPicStop = 2,
    kPicExit = 4,
    kPicCopy = 6,
    kPicRemove = 9,
    kPicRefresh = 10,
    kPicModule = 13,
    kPicExport = 16,
    kPicHelp = 18,
    kPicAbout = 20,
    kPicFolder = 24,
};

constexpr int kTabId = 200;
constexpr int kProcessListId = 201;
constexpr int kModuleListId = 202;
constexpr int kInfoListId = 203;
constexpr int kSplitterId = 204;
constexpr int kPanelId = 205;
constexpr int kDividerFromTop = 230;
constexpr UINT_PTR kRefreshTimer = 1;
constexpr wchar_t kPanelClass[] = L"VeltraneMendoraPellickPanel";

constexpr wchar_t kRefreshCountProperty[] = L"MDRRefreshCount";
constexpr wchar_t kSettingsGroup[] = L"Pellick";
constexpr wchar_t kTreeViewKey[] = L"TreeView";
constexpr wchar_t kKillWarning[] = L"\r\n\r\nWARNING! This may lead to system instability.";
constexpr wchar_t kRemoveWarning[] =
    L" ?\r\n\r\nWARNING! This may lead to system instability. If you delete a legitimate system "
    L"file, there is a chance the system WILL NOT EVEN BOOT.\r\n\r\nUse this with extreme "
    L"caution. The author of this tool cannot be held responsible for your actions!\r\n\r\n"
    L"Press 'Yes' to continue and kill the file and remove it or 'No' to close this dialog.";
constexpr wchar_t kModulesOutOfReach[] = L"The 32-bit edition cannot list the modules of a 64-bit "
                                         L"process. Use the 64-bit edition.";
constexpr wchar_t kNotKilled[] = L"The process could not be killed.";
constexpr wchar_t kAlreadyEnded[] =
    L"The process has already ended. The list now shows the running processes.";

struct Speed {
    int command;
    UINT interval;
};
constexpr Speed kSpeeds[] = {{kSlow, 2000}, {kNormal, 1500}, {kFast, 1000}, {kVeryFast, 500}};

// The tab panel: the tab control with the two lists over its page area. Notifications and
// context menus go on to the main window.
struct Panel {
    HWND tab = nullptr;
    HWND pages[2] = {};
};

void LayOutPanel(HWND panel, const Panel& p) {
    RECT rc{};
    GetClientRect(panel, &rc);
    MoveWindow(p.tab, 0, 0, rc.right, rc.bottom, TRUE);
    TabCtrl_AdjustRect(p.tab, FALSE, &rc);
    for (HWND page : p.pages)
        MoveWindow(page, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, TRUE);
}

void ShowPage(const Panel& p, int page) {
    ShowWindow(p.pages[page], SW_SHOW);
    ShowWindow(p.pages[1 - page], SW_HIDE);
}

LRESULT CALLBACK PanelProc(HWND w, UINT message, WPARAM wp, LPARAM lp) {
    Panel* p = WindowContext<Panel>(w, message, lp);
    switch (message) {
    case WM_SIZE:
        if (p && p->tab) LayOutPanel(w, *p);
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lp);
        if (p && header->hwndFrom == p->tab && header->code == TCN_SELCHANGE)
            ShowPage(*p, TabCtrl_GetCurSel(p->tab) == 1 ? 1 : 0);
        return SendMessageW(GetParent(w), message, wp, lp);
    }
    case WM_COMMAND:
    case WM_CONTEXTMENU:
        return SendMessageW(GetParent(w), message, wp, lp);
    }
    return DefWindowProcW(w, message, wp, lp);
}

void SetTabText(HWND tab, int index, const std::wstring& text) {
    wchar_t shown[128] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = shown;
    item.cchTextMax = 128;
    if (TabCtrl_GetItem(tab, index, &item) && text == shown) return; // no repaint for nothing
    item.pszText = const_cast<wchar_t*>(text.c_str());
    TabCtrl_SetItem(tab, index, &item);
}

std::wstring StatusText() {
    HWND status = Frame().StatusBar();
    if (!status) return L"";
    std::wstring text(LOWORD(SendMessageW(status, SB_GETTEXTLENGTHW, 0, 0)) + 1u, L'\0');
    SendMessageW(status, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text.data()));
    text.resize(wcslen(text.c_str()));
    return text;
}

class Pellick final : public Tool {
  public:
    const ToolIdentity& Identity() const override { return kPellick; }

    std::vector<ToolItem> ToolbarItems() const override {
        return {kToolSeparator,
                {kRun, kPicStart, L"&Run"},
                {kKill, kPicStop, L"&Kill task"},
                {kViewFile, kPicFolder, L"&View file"},
                kToolSeparator,
                {kRefresh, kPicRefresh, L"&Refresh"},
                {kView, kPicModule, L"Vie&w"},
                {kExport, kPicExport, L"&Export list"},
                kToolSeparator,
                {kHelp, kPicHelp, L"&Help"},
                {kAbout, kPicAbout, L"&About"},
                {kExit, kPicExit, L"&Exit"}};
    }

    bool CreateMenus() override {
        speedMenu_ = Frame().MakePopupMenu({{kSlow, -1, L"&Slow (2 sec)"},
                                            {kNormal, -1, L"&Normal (1.5 sec)"},
                                            {kFast, -1, L"&Fast (1 sec)"},
                                            {kVeryFast, -1, L"&Very fast (0.5 sec)"}});
        processMenu_ =
            Frame().MakePopupMenu({{kClose, kPicExit, L"C&lose"},
                                   {kMenuKill, kPicStop, L"&Kill task"},
                                   {kKillTree, kPicStop, L"Kill &tree"},
                                   {kMenuKillRemove, kPicRemove, L"&Kill task and remove file"},
                                   kToolSeparator,
                                   {kMenuViewFile, kPicFolder, L"&View file"},
                                   kToolSeparator,
                                   {kCopyLine, kPicCopy, L"&Copy line"},
                                   {kCopyAll, kPicCopy, L"&Copy all"}});
        infoMenu_ = Frame().MakePopupMenu(
            {{kInfoCopyLine, kPicCopy, L"&Copy line"}, {kInfoCopyAll, kPicCopy, L"&Copy all"}});
        moduleMenu_ = Frame().MakePopupMenu({{kModuleViewFile, kPicFolder, L"&View file"},
                                             kToolSeparator,
                                             {kModuleCopyLine, kPicCopy, L"&Copy line"},
                                             {kModuleCopyAll, kPicCopy, L"&Copy all"}});
        viewMenu_ = Frame().MakePopupMenu({{kTreeView, -1, L"&Tree view"}});
        if (!speedMenu_ || !processMenu_ || !infoMenu_ || !moduleMenu_ || !viewMenu_) return false;
        CheckSpeed(kNormal);
        return true;
    }

    HWND CreateContent(HWND window, Place area) override {
        MakeRefreshDropDown();
        RegisterWindowClass({.name = kPanelClass, .procedure = PanelProc});
        HWND panel = CreateWindowExW(WS_EX_CONTROLPARENT, kPanelClass, L"",
                                     WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, area.width,
                                     kDividerFromTop, window,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPanelId)),
                                     GetModuleHandleW(nullptr), &panel_);
        if (!panel) return nullptr;
        panel_.tab = AddControl(panel, WC_TABCONTROLW, L"", WS_CLIPSIBLINGS | WS_TABSTOP,
                                {0, 0, area.width, kDividerFromTop}, kTabId);
        if (!panel_.tab) return nullptr;
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(L"Running processes");
        TabCtrl_InsertItem(panel_.tab, 0, &item);
        item.pszText = const_cast<wchar_t*>(L"Loaded modules");
        TabCtrl_InsertItem(panel_.tab, 1, &item);
        HWND processes = CreateToolList(panel, kProcessListId, {0, 0, area.width, kDividerFromTop},
                                        {{L"Process image path", 480},
                                         {L"PID", 80},
                                         {L"MEM", 80},
                                         {L"CPU", 50},
                                         {L"Private memory", 100},
                                         {L"Parent", 150},
                                         {L"Bits", 40},
                                         {L"Command line", 400}},
                                        true);
        HWND modules = CreateToolList(
            panel, kModuleListId, {0, 0, area.width, kDividerFromTop},
            {{L"Image path", 480}, {L"Base address", 80}, {L"Module size", 80}}, false);
        info_ = CreateToolList(window, kInfoListId, {0, 0, area.width, 100},
                               {{L"Item", 330}, {L"Value", 330}}, false);
        if (!processes || !modules || !info_) return nullptr;
        panel_.pages[0] = processes;
        panel_.pages[1] = modules;
        for (HWND page : panel_.pages)
            SetWindowPos(page, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        ShowPage(panel_, 0);
        processes_.Attach(processes, Frame().DefaultRowIcon(),
                          {ColumnKind::Text, ColumnKind::Number, ColumnKind::Number,
                           ColumnKind::Number, ColumnKind::Number, ColumnKind::Text,
                           ColumnKind::Number, ColumnKind::Text});
        modules_.Attach(modules, AppIcon(kPicModule));
        splitter_ = CreateSplitter(window, kSplitterId, SplitterPanes::Stacked, panel, info_, area,
                                   SplitterKeeps::FirstSize);
        SetSplitterMinimums(splitter_, 60, 40);
        SetSplitterPosition(splitter_, kDividerFromTop);
        LayOutPanel(panel, panel_);
        return splitter_;
    }

    void Start() override {
        ShowTree(Frame().Setting(kSettingsGroup, kTreeViewKey) == L"1", false);
        Refresh();
        // Row 0 selected, and its facts and modules shown, from the start.
        if (RowCount(processes_.Handle()) > 0) SelectRow(processes_.Handle(), 0);
        LoadSelection();
        SetFocus(processes_.Handle());
        SetTimer(Frame().Window(), kRefreshTimer, interval_, nullptr);
    }

    ToolCommands Commands() override {
        ToolCommands commands{{{kRun},
                               [this] {
                                   ShowRunDialog(Frame().Window());
                                   Refresh();
                               }},
                              {{kKill, kMenuKill}, [this] { Kill(); }},
                              {{kClose}, [this] { Close(); }},
                              {{kKillTree}, [this] { KillTree(); }},
                              {{kMenuKillRemove}, [this] { KillAndRemove(); }},
                              {{kViewFile, kMenuViewFile},
                               [this] {
                                   if (TabCtrl_GetCurSel(panel_.tab) == 1)
                                       ViewModuleFile();
                                   else
                                       ViewProcessFile();
                               }},
                              {{kModuleViewFile}, [this] { ViewModuleFile(); }},
                              {{kRefresh}, [this] { Refresh(); }},
                              {{kTreeView}, [this] { ShowTree(!treeView_, true); }},
                              {{kExport}, [this] { Export(); }}};
        for (int speed : {kSlow, kNormal, kFast, kVeryFast})
            commands.push_back({{speed}, [this, speed] {
                                    CheckSpeed(speed);
                                    SetTimer(Frame().Window(), kRefreshTimer, interval_, nullptr);
                                }});
        AddFrameCommands(commands, kHelp, kAbout, kExit);
        AddCopyCommands(commands, processes_.Handle(), kCopyLine, kCopyAll);
        AddCopyCommands(commands, info_, kInfoCopyLine, kInfoCopyAll);
        AddCopyCommands(commands, modules_.Handle(), kModuleCopyLine, kModuleCopyAll);
        return commands;
    }

    void RunCommand(const std::function<void()>& run) override {
        // The timed refresh waits while a command (and any question it asks) runs.
        ++busy_;
        ScopeExit done([&] { --busy_; });
        run();
    }

    bool Notify(const NMHDR& header, LRESULT& result) override {
        if (header.code == TBN_DROPDOWN && header.hwndFrom == Frame().Toolbar()) {
            const int button = reinterpret_cast<const NMTOOLBARW&>(header).iItem;
            OpenMenuBelow(button, button == kView ? viewMenu_.get() : speedMenu_.get());
            result = TBDDRET_DEFAULT;
            return true;
        }
        const bool onProcesses = header.hwndFrom == processes_.Handle();
        const bool onModules = header.hwndFrom == modules_.Handle();
        if (!onProcesses && !onModules) return false;
        switch (header.code) {
        case LVN_ITEMCHANGED: {
            const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
            if (onProcesses && (change.uChanged & LVIF_STATE) &&
                ((change.uNewState ^ change.uOldState) & LVIS_SELECTED))
                LoadSelection();
            return false;
        }
        case NM_DBLCLK:
            if (onProcesses)
                ViewProcessFile();
            else
                ViewModuleFile();
            return false;
        default:
            return false;
        }
    }

    void ContextMenu(HWND list, POINT at) override {
        HMENU menu = list == processes_.Handle() ? processMenu_.get()
                     : list == modules_.Handle() ? moduleMenu_.get()
                     : list == info_             ? infoMenu_.get()
                                                 : nullptr;
        if (!menu || SelectedRow(list) < 0) return;
        if (at.x == -1 && at.y == -1) at = KeyboardMenuPoint(list);
        Frame().ShowPopupMenu(menu, at);
    }

    SyncedList* MainList() override { return &processes_; }
    HWND LayoutSplitter() const override { return splitter_; }

    int KeyCommand(HWND focus, UINT key, bool control) override {
        if (key == VK_F5) return kRefresh;
        const bool onProcesses = focus == processes_.Handle();
        const bool onModules = focus == modules_.Handle();
        if (control && key == 'C')
            return onProcesses      ? kCopyLine
                   : onModules      ? kModuleCopyLine
                   : focus == info_ ? kInfoCopyLine
                                    : -1;
        if (control) return -1;
        if (onProcesses && key == VK_DELETE) return kKill;
        if (key == VK_RETURN) return onProcesses ? kMenuViewFile : onModules ? kModuleViewFile : -1;
        return -1;
    }

    bool OtherMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) override {
        if (message != WM_TIMER || wParam != kRefreshTimer) return false;
        // Modal windows dispatch timer messages too; a command's questions hold the list still.
        if (busy_ == 0 && IsWindowEnabled(Frame().Window())) Refresh();
        result = 0;
        return true;
    }

  private:
    void MakeRefreshDropDown() {
        HWND toolbar = Frame().Toolbar();
        if (!toolbar) return;
        SendMessageW(toolbar, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
        TBBUTTONINFOW info{};
        info.cbSize = sizeof(info);
        info.dwMask = TBIF_STYLE;
        info.fsStyle = BTNS_BUTTON | BTNS_WHOLEDROPDOWN;
        SendMessageW(toolbar, TB_SETBUTTONINFOW, kRefresh, reinterpret_cast<LPARAM>(&info));
        SendMessageW(toolbar, TB_SETBUTTONINFOW, kView, reinterpret_cast<LPARAM>(&info));
        SetToolbarCaption(toolbar, kRefresh, L"&Refresh");
        SetToolbarCaption(toolbar, kView, L"Vie&w");
    }

    void OpenMenuBelow(int command, HMENU menu) const {
        HWND toolbar = Frame().Toolbar();
        RECT button{};
        SendMessageW(toolbar, TB_GETRECT, static_cast<WPARAM>(command),
                     reinterpret_cast<LPARAM>(&button));
        POINT below{button.left, button.bottom};
        ClientToScreen(toolbar, &below);
        Frame().ShowPopupMenu(menu, below);
    }

    // The tree view on or off; kept for the next run when the user chose it.
    void ShowTree(bool on, bool keep) {
        treeView_ = on;
        recordParents_ = ParentsOf(records_);
        CheckMenuItem(viewMenu_.get(), kTreeView, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
        if (on)
            processes_.SetArranger([this](const std::vector<const RowContent*>& sorted) {
                return TreeArranged(sorted);
            });
        else
            processes_.SetArranger(nullptr);
        if (keep) {
            Frame().KeepSetting(kSettingsGroup, kTreeViewKey, on ? L"1" : L"0");
            Refresh();
        }
    }

    // The shown rows as a tree: each under its parent when that is shown too, siblings in the
    // sorted order.
    std::vector<const RowContent*>
    TreeArranged(const std::vector<const RowContent*>& sorted) const {
        std::map<uint32_t, size_t> shownAt, recordAt;
        for (size_t i = 0; i < sorted.size(); ++i)
            shownAt[sorted[i]->id] = i;
        for (size_t i = 0; i < records_.size(); ++i)
            recordAt[records_[i].id] = i;
        std::vector<int> parents(sorted.size(), -1);
        std::vector<size_t> order(sorted.size());
        for (size_t i = 0; i < sorted.size(); ++i) {
            order[i] = i;
            const auto record = recordAt.find(sorted[i]->id);
            if (record == recordAt.end() || record->second >= recordParents_.size()) continue;
            const int parent = recordParents_[record->second];
            if (parent < 0) continue;
            const auto shown = shownAt.find(records_[size_t(parent)].id);
            if (shown != shownAt.end()) parents[i] = static_cast<int>(shown->second);
        }
        std::vector<const RowContent*> rows;
        rows.reserve(sorted.size());
        for (const TreeRow& row : TreeOrder(parents, order))
            rows.push_back(sorted[row.index]);
        return rows;
    }

    void CheckSpeed(int command) {
        CheckMenuRadioItem(speedMenu_.get(), kSlow, kVeryFast, static_cast<UINT>(command),
                           MF_BYCOMMAND);
        for (const Speed& speed : kSpeeds)
            if (speed.command == command) interval_ = speed.interval;
    }

    // The selected row's record (by the id the row carries, never by its index).
    const ProcessRecord* SelectedRecord() const {
        return mdr::SelectedRecord(processes_.Handle(), records_);
    }

    void Refresh() {
        MDR_HERE();
        records_ = EnumerateProcesses(std::move(records_));
        std::vector<int> depths;
        recordParents_ = ParentsOf(records_);
        if (treeView_) {
            std::vector<size_t> order(records_.size());
            for (size_t i = 0; i < order.size(); ++i)
                order[i] = i;
            depths.resize(records_.size());
            for (const TreeRow& row : TreeOrder(recordParents_, order))
                depths[row.index] = row.depth;
        }
        processes_.Sync(ProcessRows(records_, depths));
        const std::wstring count = std::to_wstring(records_.size());
        // Written only when they read otherwise, so an idle refresh repaints nothing.
        const std::wstring title = L"MDR - Process manager (" + count + L" processes active)";
        if (WindowText(Frame().Window()) != title) Frame().SetTitle(title);
        const std::wstring status = L"Total processes: " + count + ViewNote();
        if (StatusText() != status) Frame().SetStatus(status);
        SetTabText(panel_.tab, 0, L"Running processes (" + count + L")");
        LoadSelection();
        // How many refreshes ran, for scripts and tests that check the speeds.
        SetPropW(Frame().Window(), kRefreshCountProperty,
                 reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(++refreshes_)));
    }

    // The facts and modules of the selected process, loaded again only when another one is
    // selected.
    void LoadSelection() {
        const ProcessRecord* record = SelectedRecord();
        if (record && static_cast<int64_t>(record->id) == loadedId_) return;
        if (!record && loadedId_ < 0) return;
        // A process that went away with its row takes its facts and modules along.
        loadedId_ = record ? static_cast<int64_t>(record->id) : -1;
        FillInfoList(info_, record ? FileInfoLines(record->path, FileInfoForm::Process)
                                   : std::vector<std::wstring>{});
        if (record) {
            moduleRecords_ = EnumerateModules(record->pid, std::move(moduleRecords_));
        } else {
            for (const ModuleRecord& module : moduleRecords_)
                ReleaseRecordId(module.id);
            moduleRecords_.clear();
        }
        std::vector<RowContent> rows;
        rows.reserve(moduleRecords_.size());
        for (const ModuleRecord& module : moduleRecords_)
            rows.push_back({IdentityKey({module.path, module.base}),
                            {module.path, module.base, module.size},
                            module.id,
                            nullptr,
                            false});
        if (record && rows.empty() && !EditionReaches(record->bits))
            rows.push_back({L"", {kModulesOutOfReach, L"", L""}, 0, nullptr, false});
        modules_.Sync(rows);
        SetTabText(panel_.tab, 1,
                   L"Loaded modules (" + std::to_wstring(moduleRecords_.size()) + L")");
    }

    void ViewProcessFile() const {
        if (const ProcessRecord* record = SelectedRecord()) ShowInFolder(record->path);
    }

    void ViewModuleFile() const {
        const int row = SelectedRow(modules_.Handle());
        if (row >= 0 && RowId(modules_.Handle(), row) > 0)
            ShowInFolder(CellText(modules_.Handle(), row, 0));
    }

    static std::wstring FilePart(const std::wstring& path) {
        const size_t cut = path.find_last_of(L"\\/");
        return cut == std::wstring::npos ? path : path.substr(cut + 1);
    }

    // Ends the process; false (after saying why) when it was not seen ended.
    bool KillChecked(const ProcessRecord& record) {
        const KillOutcome outcome = KillProcess(record);
        switch (outcome) {
        case KillOutcome::Killed:
            return true;
        case KillOutcome::Gone:
            Frame().Message(kAlreadyEnded, kTitleInformation, MB_OK | MB_ICONINFORMATION);
            Refresh();
            return false;
        case KillOutcome::Denied:
        case KillOutcome::Protected:
            Frame().Message(L"The process could not be killed: " + KillFailureText(outcome) + L".",
                            kTitleWarning, MB_OK | MB_ICONWARNING);
            return false;
        case KillOutcome::Failed:
        default:
            Frame().Message(kNotKilled, kTitleWarning, MB_OK | MB_ICONWARNING);
            return false;
        }
    }

    static std::wstring NameOf(const ProcessRecord& record) {
        return FilePart(record.path) + L", PID " + std::to_wstring(record.pid);
    }

    // Pellick never ends itself: it leaves chosen, with the reason in outcomes.
    static void TakeOutSelf(std::vector<ProcessRecord>& chosen,
                            std::vector<BatchOutcome>& outcomes) {
        std::erase_if(chosen, [&](const ProcessRecord& record) {
            if (record.pid != GetCurrentProcessId()) return false;
            outcomes.push_back({NameOf(record), L"Pellick does not end itself"});
            return true;
        });
    }

    // The process that draws the desktop stays unless a second question agrees.
    void ConfirmDesktop(std::vector<ProcessRecord>& chosen,
                        std::vector<BatchOutcome>& outcomes) const {
        const DWORD desktop = DesktopProcessId();
        std::erase_if(chosen, [&](const ProcessRecord& record) {
            if (desktop == 0 || record.pid != desktop) return false;
            const std::wstring question =
                L"\"" + FilePart(record.path) + L"\", PID " + std::to_wstring(record.pid) +
                L" draws your desktop and taskbar. Without it they are gone until it is started "
                L"again.\r\n\r\nEnd it anyway?";
            if (Frame().Message(question, kTitleConfirm,
                                MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES)
                return false;
            outcomes.push_back({NameOf(record), L"kept: it draws the desktop"});
            return true;
        });
    }

    // Ends each in the given order, after the desktop's second question; one report.
    void KillAll(std::vector<ProcessRecord> chosen, std::vector<BatchOutcome> outcomes) {
        ConfirmDesktop(chosen, outcomes);
        for (const ProcessRecord& record : chosen)
            outcomes.push_back({NameOf(record), KillFailureText(KillProcess(record))});
        Refresh();
        ShowBatchReport(L"Killed", L"processes", outcomes);
    }

    // Several processes: one question, each ended in turn, one report.
    void KillEach(std::vector<ProcessRecord> chosen) {
        std::vector<BatchOutcome> outcomes;
        TakeOutSelf(chosen, outcomes);
        std::vector<std::wstring> names;
        for (const ProcessRecord& record : chosen)
            names.push_back(NameOf(record));
        const std::wstring head = L"Kill these " + std::to_wstring(chosen.size()) + L" processes?";
        AskThenKill(head, names, std::move(chosen), std::move(outcomes));
    }

    // The question (head, the names, the warning), then Kill on every process when it is Yes;
    // nothing is asked when none is left.
    void AskThenKill(const std::wstring& head, const std::vector<std::wstring>& names,
                     std::vector<ProcessRecord> chosen, std::vector<BatchOutcome> outcomes) {
        if (!chosen.empty() && Frame().Message(BatchQuestion(head, names) + kKillWarning,
                                               kTitleConfirm, MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
        KillAll(std::move(chosen), std::move(outcomes));
    }

    // The selected process and every one it started, found by their parents' ids and start
    // times, children before parents.
    void KillTree() {
        const ProcessRecord* selected = SelectedRecord();
        if (!selected) return;
        const std::vector<int> parents = ParentsOf(records_);
        std::vector<ProcessRecord> tree;
        for (size_t i : TreeChildrenFirst(parents, static_cast<size_t>(selected - &records_[0])))
            tree.push_back(records_[i]);
        const ProcessRecord root = *selected;
        std::vector<BatchOutcome> outcomes;
        TakeOutSelf(tree, outcomes);
        std::vector<std::wstring> names; // the root first, as the tree shows them
        for (auto it = tree.rbegin(); it != tree.rend(); ++it)
            names.push_back(NameOf(*it));
        const std::wstring head = L"Kill the process named \"" + FilePart(root.path) + L"\", PID " +
                                  std::to_wstring(root.pid) + L" and every process it started, " +
                                  std::to_wstring(tree.size()) + L" processes in all?";
        AskThenKill(head, names, std::move(tree), std::move(outcomes));
    }

    // Asks the selected processes' programs to close, as their own close box would, so they can
    // ask to save; those still running after 5 seconds are offered Kill.
    void Close() {
        std::vector<ProcessRecord> chosen = SelectedRecords(processes_.Handle(), records_);
        if (chosen.empty()) return;
        std::vector<BatchOutcome> outcomes;
        TakeOutSelf(chosen, outcomes);
        ConfirmDesktop(chosen, outcomes);
        std::vector<std::pair<ProcessRecord, UniqueHandle>> asked;
        std::vector<ProcessRecord> running;
        for (const ProcessRecord& record : chosen) {
            UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, record.pid));
            if (process && PostCloseToWindows(record.pid) > 0)
                asked.emplace_back(record, std::move(process));
            else
                running.push_back(record); // no window to close: Kill is all there is
        }
        if (!asked.empty()) {
            // Bounded, and the window keeps painting meanwhile.
            WaitWindow wait(Frame().Window(), L"Close", L"Waiting for the programs to close...");
            const ULONGLONG end = TickCount64() + 5000;
            for (const auto& [record, process] : asked) {
                const ULONGLONG now = TickCount64();
                WaitDispatchingMessages(process.get(),
                                        {.timeoutMs = now < end ? DWORD(end - now) : 0});
            }
        }
        for (const auto& [record, process] : asked) {
            if (WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0)
                outcomes.push_back({NameOf(record), L""});
            else
                running.push_back(record);
        }
        if (!running.empty()) {
            std::vector<std::wstring> names;
            for (const ProcessRecord& record : running)
                names.push_back(NameOf(record));
            const std::wstring question =
                BatchQuestion(
                    L"Still running 5 seconds after being asked to close, or without a "
                    L"window to close (a program may be asking whether to save its "
                    L"work). " +
                        (running.size() == 1
                             ? std::wstring(L"Kill this process?")
                             : L"Kill these " + std::to_wstring(running.size()) + L" processes?"),
                    names) +
                kKillWarning;
            if (Frame().Message(question, kTitleConfirm, MB_YESNO | MB_ICONQUESTION) == IDYES) {
                for (const ProcessRecord& record : running)
                    outcomes.push_back({NameOf(record), KillFailureText(KillProcess(record))});
            } else {
                for (const ProcessRecord& record : running)
                    outcomes.push_back({NameOf(record), L"still running"});
            }
        }
        Refresh();
        ShowBatchReport(L"Ended", L"processes", outcomes);
    }

    void Kill() {
        const std::vector<ProcessRecord> chosen = SelectedRecords(processes_.Handle(), records_);
        if (chosen.size() > 1) return KillEach(chosen);
        const ProcessRecord* selected = SelectedRecord();
        if (!selected) return;
        const ProcessRecord record = *selected; // the list may change while the question waits
        if (record.pid == GetCurrentProcessId()) {
            Frame().Message(L"Pellick does not end itself.", kTitleInformation,
                            MB_OK | MB_ICONINFORMATION);
            return;
        }
        const std::wstring question = L"Are you sure you want to kill the process named \"" +
                                      FilePart(record.path) + L"\", PID " +
                                      std::to_wstring(record.pid) + L" ?" + kKillWarning;
        if (Frame().Message(question, kTitleConfirm, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
        std::vector<ProcessRecord> one{record};
        std::vector<BatchOutcome> kept;
        ConfirmDesktop(one, kept);
        if (one.empty() || !KillChecked(record)) return;
        Refresh();
        Frame().Message(L"The process was killed successfully.", kTitleInformation,
                        MB_OK | MB_ICONINFORMATION);
    }

    void KillAndRemove() {
        const ProcessRecord* selected = SelectedRecord();
        if (!selected) return;
        const ProcessRecord record = *selected;
        if (record.pid == GetCurrentProcessId()) {
            Frame().Message(L"Pellick does not end itself.", kTitleInformation,
                            MB_OK | MB_ICONINFORMATION);
            return;
        }
        SYSTEMTIME now{};
        GetLocalTime(&now);
        const std::wstring date = ExportDateText(now);
        const std::wstring question = L"Are you sure you want to kill the process with the PID " +
                                      std::to_wstring(record.pid) +
                                      L" then delete the following binary image file: " +
                                      L"\r\n\r\n\"" + record.path + L"\"" + kRemoveWarning;
        if (Frame().Message(question, kTitleConfirm, MB_YESNO | MB_ICONINFORMATION) != IDYES)
            return;
        if (!KillChecked(record)) return;
        Refresh();
        const RemoveOutcome outcome =
            BackUpAndRemoveFile(record.path, SpecialFolderPath(CSIDL_DESKTOP), date);
        switch (outcome.kind) {
        case RemoveOutcome::Removed:
            Frame().Message(L"The process was killed successfully and the file was moved to "
                            L"the Recycle Bin. A checked copy of it is on your desktop:\r\n" +
                                outcome.copy +
                                L"\r\nIf you have problems, you can copy the file back to the "
                                L"original location.",
                            L"OK", MB_OK | MB_ICONINFORMATION);
            break;
        case RemoveOutcome::NotDeleted:
            Frame().Message(
                L"The process was killed successfully but the file could NOT be deleted.", L"OK",
                MB_OK | MB_ICONWARNING);
            break;
        case RemoveOutcome::CopyFailed:
            Frame().Message(L"The process was killed successfully but the file was NOT deleted, "
                            L"because its backup copy could not be made at:\r\n" +
                                outcome.copy,
                            kTitleWarning, MB_OK | MB_ICONWARNING);
            break;
        }
    }

    void Export() const {
        // The records as they stand now: the count in the header and the blocks stay equal.
        auto records = std::make_shared<std::vector<ProcessRecord>>(records_);
        ExportListingCommand({records->size(),
                              [records](size_t i) { return ProcessExportLines((*records)[i]); },
                              false, ExportStatus::Full},
                             {L"", L"End of listing"});
    }

    SyncedList processes_;
    SyncedList modules_;
    HWND info_ = nullptr;
    HWND splitter_ = nullptr;
    Panel panel_;
    UniqueHmenu speedMenu_;
    UniqueHmenu processMenu_;
    UniqueHmenu infoMenu_;
    UniqueHmenu moduleMenu_;
    UniqueHmenu viewMenu_;
    bool treeView_ = false;
    ULONG_PTR refreshes_ = 0;
    std::vector<int> recordParents_; // of records_
    std::vector<ProcessRecord> records_;
    std::vector<ModuleRecord> moduleRecords_;
    int64_t loadedId_ = -1;
    UINT interval_ = 1500;
    int busy_ = 0;
};

} // namespace

Tool& PellickTool() {
    static Pellick tool;
    return tool;
}

} // namespace mdr
