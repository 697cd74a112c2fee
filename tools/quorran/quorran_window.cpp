// Quorran's main window: the uninstall entries of the machine and the commands of the toolbar,
// the popup menu and the keyboard.
#include "tools/quorran/quorran_window.h"

#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <unordered_set>

#include "common/ini.h"
#include "common/text.h"
#include "common/trace.h"
#include "common/window.h"
#include "common/resources.h"
#include "tools/frame/list_sync.h"
#include "tools/frame/report_list.h"
#include "tools/frame/tool_layout.h"
#include "tools/frame/tool_paths.h"
#include "tools/frame/wait_window.h"
#include "tools/quorran/shell_launch.h"
#include "tools/quorran/uninstall_entries.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {

namespace {

enum Command {
    kAdd = 0,
    kUninstall = 1,
    kDelete = 2,
    kRefresh = 3,
    kExport = 4,
    kHelp = 5,
    kAbout = 6,
    kExit = 7,
    kMenuUninstall = 50,
    kMenuDelete = 51,
    kCopyLine = 52,
    kCopyAll = 53,
    kShowHidden = 70,
    kQuietUninstall = 71,
};

// Pictures of the icon table.
enum Picture {
    kPicExit = 4,
    kPicAdd = 5,
    kPicCopy = 6,
    kPicDelete = 9,
    kPicRefresh = 10,
    kPicUninstall = 12,
    kPicExport = 16,
    kPicHelp = 18,
    kPicAbout = 20,
    kPicWait = 27,
};

constexpr int kEntryListId = 200;
constexpr int kWhyHiddenColumn = 7;
// Watches a job left running by "Stop waiting", to refresh the list once it empties.
constexpr UINT_PTR kJobTimer = 300;
constexpr int kStopWaitingId = 1;

// The uninstall wait: the program's name and the button that ends the wait.
class UninstallWait : public ProgressWindow {
  public:
    UninstallWait(HWND owner, const std::wstring& name) {
        static constexpr wchar_t kClass[] = L"VeltraneMendoraQuorranWait";
        if (!Open({.className = kClass,
                   .title = L"Uninstalling",
                   .clientWidth = 333,
                   .clientHeight = 95},
                  owner))
            return;
        AddText(L"Waiting for the uninstaller of " + name + L" to finish...", {10, 10, 313, 30},
                -1);
        AddCancel(L"Stop waiting", {10, 45, 313, 10}, -1, {218, 60, 105, 25}, kStopWaitingId);
        Show();
    }
};

// The system's own words for an error code.
std::wstring SystemErrorText(DWORD error) {
    wchar_t text[512] = {};
    if (!FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                        0, text, 512, nullptr))
        return L"Error " + std::to_wstring(error) + L".";
    return Trim(text);
}

constexpr wchar_t kViewGroup[] = L"View";
constexpr wchar_t kShowHiddenKey[] = L"ShowHidden";

constexpr wchar_t kDeleteNote[] =
    L"Note that this will delete the uninstallation entry from the registry, but the program "
    L"itself will NOT be uninstalled. It is recommended to use this function only to clean "
    L"entries that were not cleaned from uninstalled software.";
constexpr wchar_t kAlreadyUninstalled[] =
    L"There was an error while executing the uninstall string. It is possible that the program "
    L"was already removed and couldn't clean the uninstall entry. Would you like to remove it "
    L"from the registry?";

class Quorran final : public Tool {
  public:
    const ToolIdentity& Identity() const override { return kQuorran; }

    std::vector<ToolItem> ToolbarItems() const override {
        return {kToolSeparator,
                {kAdd, kPicAdd, L"&Add"},
                {kUninstall, kPicUninstall, L"&Uninstall"},
                {kDelete, kPicDelete, L"&Delete"},
                kToolSeparator,
                {kRefresh, kPicRefresh, L"&Refresh"},
                {kExport, kPicExport, L"&Export"},
                kToolSeparator,
                {kHelp, kPicHelp, L"&Help"},
                {kAbout, kPicAbout, L"&About"},
                {kExit, kPicExit, L"&Exit"}};
    }

    void Prepare() override {
        QuorranFolders();
        showHidden_ = Frame().Setting(kViewGroup, kShowHiddenKey) == L"1";
    }

    bool CreateMenus() override {
        // The View menu of the menu bar; without it the toggle still runs by its number.
        if (HMENU bar = CreateMenu()) {
            HMENU view = CreatePopupMenu();
            if (view && AppendMenuW(view, MF_STRING, kShowHidden, L"Show &hidden entries") &&
                AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(view), L"&View") &&
                SetMenu(Frame().Window(), bar)) {
                viewMenu_ = view;
                CheckMenuItem(view, kShowHidden, showHidden_ ? MF_CHECKED : MF_UNCHECKED);
            } else {
                if (view) DestroyMenu(view);
                DestroyMenu(bar);
            }
        }
        menu_ = Frame().MakePopupMenu({{kMenuUninstall, kPicUninstall, L"&Uninstall"},
                                       {kQuietUninstall, kPicUninstall, L"&Quiet uninstall"},
                                       {kMenuDelete, kPicDelete, L"&Delete"},
                                       kToolSeparator,
                                       {kCopyLine, kPicCopy, L"&Copy line"},
                                       {kCopyAll, kPicCopy, L"&Copy all"}});
        // Without its menu the tool still lists and runs its toolbar commands.
        return true;
    }

    HWND CreateContent(HWND window, Place area) override {
        HWND list = CreateToolList(window, kEntryListId, area,
                                   {{L"Program name", 170},
                                    {L"Company", 150},
                                    {L"Version", 100},
                                    {L"Installation date", 100},
                                    {L"Estimated size", 100},
                                    {L"Uninstall string", 150},
                                    {L"Scope", 110},
                                    {L"Why hidden", 130}},
                                   true);
        if (list) SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_INFOTIP, LVS_EX_INFOTIP);
        if (list)
            list_.Attach(list, Frame().DefaultRowIcon(),
                         {ColumnKind::Text, ColumnKind::Text, ColumnKind::Text, ColumnKind::Date,
                          ColumnKind::Size, ColumnKind::Text, ColumnKind::Text, ColumnKind::Text});
        return list;
    }

    void Start() override {
        // Commands posted while the first refresh drains the events are dropped, as during any
        // other command.
        busy_ = true;
        ShowWhyHiddenColumn();
        Refresh();
        busy_ = false;
        SetFocus(list_.Handle());
    }

    ToolCommands Commands() override {
        ToolCommands commands{{{kAdd},
                               [this] {
                                   if (ShowAddDialog(Frame().Window())) Refresh();
                               }},
                              {{kUninstall, kMenuUninstall}, [this] { UninstallSelected(false); }},
                              {{kQuietUninstall}, [this] { UninstallSelected(true); }},
                              {{kShowHidden}, [this] { ToggleHidden(); }},
                              {{kDelete, kMenuDelete}, [this] { DeleteSelected(); }},
                              {{kRefresh}, [this] { Refresh(); }},
                              {{kExport}, [this] { Export(); }}};
        AddFrameCommands(commands, kHelp, kAbout, kExit);
        AddCopyCommands(commands, list_.Handle(), kCopyLine, kCopyAll);
        return commands;
    }

    void RunCommand(const std::function<void()>& run) override {
        // Commands posted while a refresh or an uninstaller runs would start a second one.
        if (busy_) return;
        busy_ = true;
        ScopeExit idle([&] { busy_ = false; });
        run();
    }

    bool Notify(const NMHDR& header, LRESULT& result) override {
        if (header.hwndFrom != list_.Handle()) return false;
        if (header.code == LVN_GETINFOTIPW) {
            SizeTip(*reinterpret_cast<NMLVGETINFOTIPW*>(const_cast<NMHDR*>(&header)));
            return true;
        }
        if (header.code != NM_CUSTOMDRAW) return false;
        if (!list_.CustomDraw(reinterpret_cast<LPARAM>(&header), result)) return false;
        // Entries Windows hides are drawn greyed.
        auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(const_cast<NMHDR*>(&header));
        if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT &&
            hiddenIds_.count(static_cast<uint32_t>(draw->nmcd.lItemlParam)))
            draw->clrText = GetSysColor(COLOR_GRAYTEXT);
        return true;
    }

    bool OtherMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) override {
        if (message != WM_TIMER || wParam != kJobTimer) return false;
        result = 0;
        // The uninstaller the user stopped waiting for has ended: the list shows what it left.
        if (!busy_ && (!pendingJob_ || JobIsOver(pendingJob_.get(), browser_))) {
            KillTimer(Frame().Window(), kJobTimer);
            pendingJob_.reset();
            RunCommand([this] { Refresh(); });
        }
        return true;
    }

    void ContextMenu(HWND list, POINT at) override {
        if (list != list_.Handle() || !menu_ || SelectedRow(list) < 0) return;
        if (at.x == -1 && at.y == -1) at = KeyboardMenuPoint(list);
        Frame().ShowPopupMenu(menu_.get(), at);
    }

    SyncedList* MainList() override { return &list_; }

    int KeyCommand(HWND focus, UINT key, bool control) override {
        if (key == VK_F5) return kRefresh;
        if (focus != list_.Handle()) return -1;
        if (control) return key == 'C' ? kCopyLine : -1;
        if (key == VK_DELETE) return kDelete;
        if (key == VK_RETURN) return kUninstall;
        return -1;
    }

  private:
    const UninstallEntry* SelectedEntry() const { return SelectedRecord(list_.Handle(), entries_); }

    void Refresh() {
        MDR_HERE();
        {
            WaitWindow wait(Frame().Window(), L"Refreshing list",
                            L"Please wait while the information is being gathered...",
                            AppIcon(kPicWait));
            MessagePump pump;
            entries_ = ReadUninstallEntries(std::move(entries_), [&] { pump.Drain(); });
        }
        std::vector<RowContent> rows;
        rows.reserve(entries_.size());
        hiddenIds_.clear();
        size_t hidden = 0;
        for (const UninstallEntry& e : entries_) {
            if (!e.hidden.empty()) {
                ++hidden;
                hiddenIds_.insert(e.id);
                if (!showHidden_) continue;
            }
            rows.push_back(EntryRow(e));
        }
        list_.Sync(rows);
        const std::wstring programs = std::to_wstring(entries_.size() - hidden);
        Frame().SetTitle(L"MDR - Uninstall manager (" + programs + L" entries found)");
        Frame().SetStatus(programs + L" programs, " + std::to_wstring(hidden) + L" hidden");
    }

    // The tip of a row whose program reports a size not believed: that figure.
    void SizeTip(NMLVGETINFOTIPW& tip) const {
        const int64_t id = RowId(list_.Handle(), tip.iItem);
        for (const UninstallEntry& e : entries_) {
            if (static_cast<int64_t>(e.id) != id || e.reportedSize.empty()) continue;
            const std::wstring text = L"The program reports " + e.reportedSize +
                                      L"; the size of its folder is shown instead.";
            if (tip.pszText && tip.cchTextMax > 0)
                lstrcpynW(tip.pszText, text.c_str(), tip.cchTextMax);
        }
    }

    void ToggleHidden() {
        showHidden_ = !showHidden_;
        if (viewMenu_)
            CheckMenuItem(viewMenu_, kShowHidden, showHidden_ ? MF_CHECKED : MF_UNCHECKED);
        Frame().KeepSetting(kViewGroup, kShowHiddenKey, showHidden_ ? L"1" : L"0");
        ShowWhyHiddenColumn();
        Refresh();
    }

    // "Why hidden" has nothing to say while hidden entries are not shown: it folds away, and
    // opens again at the width it had.
    void ShowWhyHiddenColumn() {
        HWND list = list_.Handle();
        const int width =
            static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, kWhyHiddenColumn, 0));
        if (width > 0) whyHiddenWidth_ = width;
        SendMessageW(list, LVM_SETCOLUMNWIDTH, kWhyHiddenColumn, showHidden_ ? whyHiddenWidth_ : 0);
    }

    // Deletes the entry's key after writing its backup; tells the user when no backup could be
    // written. A key that could not be deleted simply stays listed.
    void DeleteEntry(const UninstallEntry& entry) {
        const std::wstring folder = ToolBackupFolder();
        const DeleteResult result = DeleteUninstallEntry(entry, folder);
        if (result.outcome == DeleteResult::BackupFailed) {
            Frame().Message(L"The uninstall entry was not deleted, because its backup could not "
                            L"be written to the folder\r\n" +
                                (folder.empty() ? ToolFolder() + L"Backup\\" : folder),
                            kTitleWarning, MB_OK | MB_ICONWARNING);
        }
    }

    void UninstallSelected(bool quiet) {
        const UninstallEntry* selected = SelectedEntry();
        if (!selected) return;
        const UninstallEntry entry = *selected;
        const UninstallCommand command =
            quiet ? SplitUninstallString(entry.quietUninstallString, QuorranFolders().system)
                  : CommandOf(entry);
        // Hidden entries may have no uninstaller at all: nothing to run, nothing to offer.
        if (command.program.empty()) {
            Frame().Message(entry.name +
                                (quiet ? L" has no quiet uninstaller." : L" has no uninstaller."),
                            kTitleInformation, MB_OK | MB_ICONINFORMATION);
            return;
        }
        // A per-user entry's uninstaller runs without administrator rights, as Windows runs it.
        std::unique_ptr<DesktopShell> shell;
        if (entry.root == kHkcu && RunsElevated()) shell = std::make_unique<DesktopShell>();
        const LaunchMethod method =
            ChooseLaunchMethod(entry.root, shell != nullptr, shell && shell->Available());
        std::wstring question = quiet ? L"Are you sure you want to uninstall " + entry.name +
                                            L" quietly? This command line will run:\r\n\r\n" +
                                            CommandLine(command)
                                      : L"Are you sure you want to uninstall " + entry.name + L" ?";
        if (method == LaunchMethod::ElevatedAfterWarning)
            question += L"\r\n\r\nThis entry belongs to this user alone, and the desktop shell "
                        L"cannot start it without administrator rights here. This command line "
                        L"will run with administrator rights:\r\n\r\n" +
                        CommandLine(command);
        if (Frame().Message(question, kTitleConfirm, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
        DWORD error = ERROR_SUCCESS;
        if (method != LaunchMethod::ShellUnelevated)
            error = RunWithWait(entry.name, command);
        else if (!command.found)
            error = ERROR_FILE_NOT_FOUND;
        else if (!shell->Start(command.program, command.parameters))
            error = ERROR_ACCESS_DENIED;
        if (error != ERROR_SUCCESS) {
            // Only a program that is nowhere to be found may be gone with its entry left behind.
            const bool gone =
                !command.found && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND);
            if (gone) {
                if (Frame().Message(kAlreadyUninstalled, L"Program already uninstalled",
                                    MB_YESNO | MB_ICONQUESTION) == IDYES)
                    DeleteEntry(entry);
            } else {
                Frame().Message(L"The uninstall program could not be started:\r\n" +
                                    CommandLine(command) + L"\r\n\r\n" + SystemErrorText(error),
                                kTitleError, MB_OK | MB_ICONERROR);
            }
        }
        Refresh();
    }

    static std::wstring CommandLine(const UninstallCommand& command) {
        return Trim(L"\"" + command.program + L"\" " + command.parameters);
    }

    // Runs the uninstaller with the wait window; the user may stop waiting, and the list is
    // refreshed again once what it started has ended.
    DWORD RunWithWait(const std::wstring& name, const UninstallCommand& command) {
        HWND main = Frame().Window();
        if (pendingJob_) KillTimer(main, kJobTimer);
        pendingJob_.reset();
        browser_ = DefaultBrowserImage();
        DWORD error = ERROR_SUCCESS;
        {
            UninstallWait window(main, name);
            auto wait = [&](HANDLE handle) {
                return WaitDispatchingMessages(handle, {.dialog = window.Handle(), .stop = [&] {
                                                            return window.TakeCancelRequest();
                                                        }}) != WaitEnd::Stopped;
            };
            error = RunUninstaller(command, wait, browser_, &pendingJob_);
        }
        CloseModal(nullptr, main);
        if (pendingJob_) SetTimer(main, kJobTimer, 250, nullptr);
        return error;
    }

    void DeleteSelected() {
        const std::vector<UninstallEntry> chosen = SelectedRecords(list_.Handle(), entries_);
        if (chosen.size() > 1) return DeleteEach(chosen);
        const UninstallEntry* selected = SelectedEntry();
        if (!selected) return;
        const UninstallEntry entry = *selected;
        if (Frame().Message(L"Are you sure you want to delete the reference to " + entry.name +
                                L" ?\r\n\r\n" + kDeleteNote,
                            kTitleConfirm, MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
        DeleteEntry(entry);
        Refresh();
    }

    // Several entries: one question, each key deleted after its own backup, one report.
    void DeleteEach(const std::vector<UninstallEntry>& chosen) {
        std::vector<std::wstring> names;
        for (const UninstallEntry& entry : chosen)
            names.push_back(entry.name);
        const std::wstring question =
            BatchQuestion(
                L"Delete these " + std::to_wstring(chosen.size()) + L" uninstall entries?", names) +
            L"\r\n\r\n" + kDeleteNote;
        if (Frame().Message(question, kTitleConfirm, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
        const std::wstring folder = ToolBackupFolder();
        std::vector<BatchOutcome> outcomes;
        for (const UninstallEntry& entry : chosen) {
            const DeleteResult result = DeleteUninstallEntry(entry, folder);
            outcomes.push_back({entry.name, result.outcome == DeleteResult::Deleted ? L""
                                            : result.outcome == DeleteResult::BackupFailed
                                                ? L"its backup could not be written"
                                                : L"its key could not be deleted"});
        }
        Refresh();
        ShowBatchReport(L"Deleted", L"uninstall entries", outcomes);
    }

    void Export() const {
        // The records as they stand now: the count in the header and the blocks stay equal.
        // Hidden entries are exported only while they are shown.
        auto records = std::make_shared<std::vector<UninstallEntry>>();
        for (const UninstallEntry& e : entries_)
            if (showHidden_ || e.hidden.empty()) records->push_back(e);
        ExportListingCommand({records->size(),
                              [records](size_t i) { return ExportRecordLines((*records)[i]); },
                              true, ExportStatus::PerRecord});
    }

    SyncedList list_;
    UniqueHmenu menu_;
    HMENU viewMenu_ = nullptr; // owned by the window's menu bar
    std::vector<UninstallEntry> entries_;
    std::unordered_set<uint32_t> hiddenIds_;
    bool showHidden_ = false;
    int whyHiddenWidth_ = 130;
    UniqueHandle pendingJob_;
    std::wstring browser_;
    bool busy_ = false;
};

} // namespace

Tool& QuorranTool() {
    static Quorran tool;
    return tool;
}

} // namespace mdr
