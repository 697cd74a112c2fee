// Quorran's main window: the uninstall entries of the machine and the commands of the toolbar,
// the popup menu and the keyboard.
#include "tools/quorran/quorran_window.h"

#include <commctrl.h>

#include <algorithm>
#include <memory>

#include "common/trace.h"
#include "common/window.h"
#include "common/resources.h"
#include "tools/frame/list_sync.h"
#include "tools/frame/report_list.h"
#include "tools/frame/tool_paths.h"
#include "tools/frame/wait_window.h"
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

    void Prepare() override { QuorranFolders(); }

    bool CreateMenus() override {
        menu_ = Frame().MakePopupMenu({{kMenuUninstall, kPicUninstall, L"&Uninstall"},
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
                                    {L"Uninstall string", 150}},
                                   true);
        if (list)
            list_.Attach(list, Frame().DefaultRowIcon(),
                         {ColumnKind::Text, ColumnKind::Text, ColumnKind::Text, ColumnKind::Date,
                          ColumnKind::Size, ColumnKind::Text});
        return list;
    }

    void Start() override {
        // Commands posted while the first refresh drains the events are dropped, as during any
        // other command.
        busy_ = true;
        Refresh();
        busy_ = false;
        SetFocus(list_.Handle());
    }

    ToolCommands Commands() override {
        ToolCommands commands{{{kAdd},
                               [this] {
                                   if (ShowAddDialog(Frame().Window())) Refresh();
                               }},
                              {{kUninstall, kMenuUninstall}, [this] { UninstallSelected(); }},
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
        if (header.hwndFrom != list_.Handle() || header.code != NM_CUSTOMDRAW) return false;
        return list_.CustomDraw(reinterpret_cast<LPARAM>(&header), result);
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
        for (const UninstallEntry& e : entries_)
            rows.push_back(
                {IdentityKey({e.keyPath}),
                 {e.name, e.company, e.version, e.installDate, e.size, e.uninstallString},
                 e.id,
                 e.icon ? e.icon->get() : nullptr,
                 e.programMissing});
        list_.Sync(rows);
        const std::wstring count = std::to_wstring(entries_.size());
        Frame().SetTitle(L"MDR - Uninstall manager (" + count + L" entries found)");
        Frame().SetStatus(L"Total entries: " + count + ViewNote());
    }

    // Deletes the entry's key after writing its backup; tells the user when no backup could be
    // written. A key that could not be deleted simply stays listed.
    void DeleteEntry(const std::wstring& keyPath) {
        const std::wstring folder = ToolBackupFolder();
        const DeleteResult result = DeleteUninstallEntry(keyPath, folder);
        if (result.outcome == DeleteResult::BackupFailed) {
            Frame().Message(L"The uninstall entry was not deleted, because its backup could not "
                            L"be written to the folder\r\n" +
                                (folder.empty() ? ToolFolder() + L"Backup\\" : folder),
                            kTitleWarning, MB_OK | MB_ICONWARNING);
        }
    }

    void UninstallSelected() {
        const UninstallEntry* selected = SelectedEntry();
        if (!selected) return;
        const UninstallEntry entry = *selected;
        if (Frame().Message(L"Are you sure you want to uninstall " + entry.name + L" ?",
                            kTitleConfirm, MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
        const UninstallCommand command =
            SplitUninstallString(entry.uninstallString, QuorranFolders().system);
        if (!command.systemProgram && !IsExistingFile(command.program)) {
            if (Frame().Message(kAlreadyUninstalled, L"Program already uninstalled",
                                MB_YESNO | MB_ICONQUESTION) == IDYES)
                DeleteEntry(entry.keyPath);
        } else {
            HWND main = Frame().Window();
            EnableWindow(main, FALSE);
            const bool started =
                RunUninstaller(command, [](HANDLE handle) { WaitDispatchingMessages(handle); });
            CloseModal(nullptr, main);
            if (!started) {
                // The program is there but would not start: the entry is not gone, so no
                // offer to delete it.
                Frame().Message(L"The uninstall program could not be started:\r\n" +
                                    command.program,
                                kTitleError, MB_OK | MB_ICONERROR);
            }
        }
        Refresh();
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
        DeleteEntry(entry.keyPath);
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
            const DeleteResult result = DeleteUninstallEntry(entry.keyPath, folder);
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
        auto records = std::make_shared<std::vector<UninstallEntry>>(entries_);
        ExportListingCommand({records->size(),
                              [records](size_t i) { return ExportRecordLines((*records)[i]); },
                              true, ExportStatus::PerRecord});
    }

    SyncedList list_;
    UniqueHmenu menu_;
    std::vector<UninstallEntry> entries_;
    bool busy_ = false;
};

} // namespace

Tool& QuorranTool() {
    static Quorran tool;
    return tool;
}

} // namespace mdr
