// Ostrel's main window: the startup entries above, the facts about the selected entry's file
// below, and the commands of the toolbar, the popup menus and the keyboard.
#include "tools/ostrel/ostrel_window.h"

#include <commctrl.h>

#include <algorithm>

#include "common/splitter.h"
#include "common/trace.h"
#include "tools/frame/file_info.h"
#include "tools/frame/report_list.h"
#include "tools/frame/tool_paths.h"
#include "tools/frame/wait_window.h"
#include "tools/ostrel/startup_entries.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {

namespace {

enum Command {
    kAdd = 0,
    kRemove = 1,
    kViewFile = 2,
    kRefresh = 3,
    kExport = 4,
    kHelp = 5,
    kAbout = 6,
    kExit = 7,
    kMenuAdd = 50,
    kMenuRemove = 51,
    kMenuViewFile = 52,
    kDisable = 70,
    kEnable = 71,
    kRestoreDefault = 72,
    kCopyLine = 53,
    kCopyAll = 54,
    kInfoCopyLine = 100,
    kInfoCopyAll = 101,
};

// Pictures of the icon table.
enum Picture {
    kPicStart = 1,
    kPicStop = 2,
    kPicExit = 4,
    kPicAdd = 5,
    kPicCopy = 6,
    kPicRemove = 9,
    kPicRefresh = 10,
    kPicRestore = 12,
    kPicExport = 16,
    kPicHelp = 18,
    kPicAbout = 20,
    kPicFolder = 24,
};

constexpr int kEntryListId = 200;
constexpr int kInfoListId = 201;
constexpr int kSplitterId = 202;
constexpr int kDividerFromTop = 210;

constexpr wchar_t kRemoveQuestion[] =
    L"Are you sure you want to remove the following startup entry?\r\n\r\n";
constexpr wchar_t kRemoveWarning[] =
    L"\r\n\r\nWARNING! This may lead to system instability. If you delete a reference to a "
    L"legitimate system file, there is a chance the system WILL NOT EVEN BOOT.";

constexpr wchar_t kWinlogonRefusal[] =
    L"Windows cannot start without its Winlogon values Shell and Userinit, so they are never "
    L"removed. Use \"Restore the Windows default\" instead.";

class Ostrel final : public Tool {
  public:
    const ToolIdentity& Identity() const override { return kOstrel; }

    std::vector<ToolItem> ToolbarItems() const override {
        return {kToolSeparator,
                {kAdd, kPicAdd, L"&Add new"},
                {kRemove, kPicRemove, L"&Remove"},
                {kViewFile, kPicFolder, L"&View file"},
                kToolSeparator,
                {kDisable, kPicStop, L"&Disable"},
                {kEnable, kPicStart, L"E&nable"},
                kToolSeparator,
                {kRefresh, kPicRefresh, L"&Refresh"},
                {kExport, kPicExport, L"&Export"},
                kToolSeparator,
                {kHelp, kPicHelp, L"&Help"},
                {kAbout, kPicAbout, L"&About"},
                {kExit, kPicExit, L"&Exit"}};
    }

    void Prepare() override {
        UserStartupFolder();
        CommonStartupFolder();
    }

    bool CreateMenus() override {
        entryMenu_ =
            Frame().MakePopupMenu({{kMenuAdd, kPicAdd, L"&Add new"},
                                   {kMenuRemove, kPicRemove, L"&Remove"},
                                   {kMenuViewFile, kPicFolder, L"&View file"},
                                   kToolSeparator,
                                   {kDisable, kPicStop, L"&Disable"},
                                   {kEnable, kPicStart, L"E&nable"},
                                   {kRestoreDefault, kPicRestore, L"Restore the &Windows default"},
                                   kToolSeparator,
                                   {kCopyLine, kPicCopy, L"&Copy line"},
                                   {kCopyAll, kPicCopy, L"&Copy all"}});
        infoMenu_ = Frame().MakePopupMenu(
            {{kInfoCopyLine, kPicCopy, L"&Copy line"}, {kInfoCopyAll, kPicCopy, L"&Copy all"}});
        return entryMenu_ && infoMenu_;
    }

    HWND CreateContent(HWND window, Place area) override {
        HWND entries = CreateToolList(
            window, kEntryListId, {0, 0, area.width, kDividerFromTop},
            {{L"Name", 120}, {L"Startup string", 350}, {L"Type", 75}, {L"State", 70}}, true);
        info_ = CreateToolList(window, kInfoListId, {0, 0, area.width, 100},
                               {{L"Item", 270}, {L"Value", 275}}, false);
        if (!entries || !info_) return nullptr;
        list_.Attach(entries, Frame().DefaultRowIcon());
        splitter_ = CreateSplitter(window, kSplitterId, SplitterPanes::Stacked, entries, info_,
                                   area, SplitterKeeps::FirstSize);
        SetSplitterMinimums(splitter_, 40, 40);
        SetSplitterPosition(splitter_, kDividerFromTop);
        return splitter_;
    }

    void Start() override {
        Refresh();
        // Row 0 selected, and its facts shown, from the start.
        if (RowCount(list_.Handle()) > 0) SelectRow(list_.Handle(), 0);
        ShowSelectedInfo();
        SetFocus(list_.Handle());
    }

    ToolCommands Commands() override {
        ToolCommands commands{{{kAdd, kMenuAdd},
                               [this] {
                                   if (ShowAddDialog(Frame().Window())) Refresh();
                               }},
                              {{kRemove, kMenuRemove}, [this] { RemoveSelectedEntries(); }},
                              {{kViewFile, kMenuViewFile}, [this] { ViewFile(); }},
                              {{kRefresh}, [this] { Refresh(); }},
                              {{kExport}, [this] { Export(); }},
                              {{kDisable}, [this] { Switch(true); }},
                              {{kEnable}, [this] { Switch(false); }},
                              {{kRestoreDefault}, [this] { RestoreDefault(); }}};
        AddFrameCommands(commands, kHelp, kAbout, kExit);
        AddCopyCommands(commands, list_.Handle(), kCopyLine, kCopyAll);
        AddCopyCommands(commands, info_, kInfoCopyLine, kInfoCopyAll);
        return commands;
    }

    bool Notify(const NMHDR& header, LRESULT& result) override {
        if (header.hwndFrom != list_.Handle()) return false;
        switch (header.code) {
        case NM_CUSTOMDRAW:
            return list_.CustomDraw(reinterpret_cast<LPARAM>(&header), result);
        case LVN_ITEMCHANGED: {
            const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
            if ((change.uChanged & LVIF_STATE) &&
                ((change.uNewState ^ change.uOldState) & LVIS_SELECTED))
                ShowSelectedInfo();
            return false;
        }
        case NM_DBLCLK:
            ViewFile();
            return false;
        default:
            return false;
        }
    }

    void ContextMenu(HWND list, POINT at) override {
        HMENU menu = list == list_.Handle() ? entryMenu_.get()
                     : list == info_        ? infoMenu_.get()
                                            : nullptr;
        if (!menu || SelectedRow(list) < 0) return;
        if (at.x == -1 && at.y == -1) at = KeyboardMenuPoint(list);
        Frame().ShowPopupMenu(menu, at);
    }

    SyncedList* MainList() override { return &list_; }
    HWND LayoutSplitter() const override { return splitter_; }

    int KeyCommand(HWND focus, UINT key, bool control) override {
        if (key == VK_F5) return kRefresh;
        const bool onEntries = focus == list_.Handle();
        if (control && key == 'C')
            return onEntries ? kCopyLine : focus == info_ ? kInfoCopyLine : -1;
        if (!onEntries || control) return -1;
        if (key == VK_DELETE) return kRemove;
        if (key == VK_RETURN) return kViewFile;
        if (key == VK_SPACE) {
            // Space turns the selected entry the other way.
            const StartupEntry* entry = SelectedEntry();
            return entry && entry->state == EntryState::Disabled ? kEnable : kDisable;
        }
        return -1;
    }

  private:
    const StartupEntry* SelectedEntry() const { return SelectedRecord(list_.Handle(), entries_); }

    void Refresh() {
        MDR_HERE();
        entries_ =
            ScanStartupEntries(std::move(entries_), UserStartupFolder(), CommonStartupFolder());
        list_.Sync(EntryRows(entries_));
        const std::wstring count = std::to_wstring(entries_.size());
        Frame().SetTitle(L"MDR - Startup manager (" + count + L" startup items)");
        Frame().SetStatus(L"Total startup items: " + count + ViewNote());
        ShowSelectedInfo();
    }

    // The file-information lines of the selected entry, following a shortcut to its target.
    void ShowSelectedInfo() {
        const StartupEntry* entry = SelectedEntry();
        if (!entry) {
            FillInfoList(info_, {});
            return;
        }
        std::vector<std::wstring> lines;
        if (entry->type == kOrphanType) {
            lines = {L"Approval\nWindows' record of an entry switched on or off, left behind "
                     L"after the entry itself was removed"};
        } else {
            lines = FileInfoLines(EntryFile(*entry));
        }
        if (entry->fileMissing)
            lines.insert(lines.begin(), L"File status\nThe file this entry starts does not exist");
        if (entry->type == kWinlogonType)
            lines.insert(lines.begin(), entry->changedDefault
                                            ? L"Winlogon value\nChanged from the Windows default"
                                            : L"Winlogon value\nWindows default");
        FillInfoList(info_, lines);
    }

    void ViewFile() const {
        const int row = SelectedRow(list_.Handle());
        if (row < 0) return;
        ShowInFolder(CommandToFilePath(CellText(list_.Handle(), row, 1)));
    }

    void RemoveSelectedEntry() {
        const int row = SelectedRow(list_.Handle());
        if (row < 0) return;
        if (const StartupEntry* entry = SelectedEntry(); entry && entry->type == kWinlogonType) {
            Frame().Message(kWinlogonRefusal, kTitleInformation, MB_OK | MB_ICONINFORMATION);
            return;
        }
        const std::wstring question =
            kRemoveQuestion + CellText(list_.Handle(), row, 0) + kRemoveWarning;
        if (Frame().Message(question, kTitleConfirm, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
        const StartupEntry* entry = SelectedEntry();
        if (!entry) return;
        const bool registry = entry->root != 0;
        const std::wstring backupFolder = ToolBackupFolder();
        const RemoveResult result = RemoveStartupEntry(*entry, backupFolder);
        if (result.outcome == RemoveResult::Refused) {
            Frame().Message(kWinlogonRefusal, kTitleInformation, MB_OK | MB_ICONINFORMATION);
        } else if (result.outcome == RemoveResult::BackupFailed) {
            Frame().Message(L"The startup entry was not removed, because its backup could not be "
                            L"written to the folder\r\n" +
                                (backupFolder.empty() ? ToolFolder() + L"Backup\\" : backupFolder),
                            kTitleWarning, MB_OK | MB_ICONWARNING);
        } else if (result.outcome == RemoveResult::NotRemoved) {
            Frame().Message(registry ? L"The registry value could not be removed."
                                     : L"The startup file reference could not be removed. It "
                                       L"could neither go to the Recycle Bin nor be copied into "
                                       L"the backup folder first, so it was left in place.",
                            kTitleWarning, MB_OK | MB_ICONWARNING);
        }
        // An entry that could not be removed comes back with the refresh.
        Refresh();
    }

    // Several entries: one question, each removed after its own backup, one report.
    void RemoveSelectedEntries() {
        const std::vector<StartupEntry> chosen = SelectedRecords(list_.Handle(), entries_);
        if (chosen.size() < 2) return RemoveSelectedEntry();
        std::vector<std::wstring> names;
        for (const StartupEntry& entry : chosen)
            names.push_back(entry.name);
        const std::wstring question =
            BatchQuestion(L"Remove these " + std::to_wstring(chosen.size()) + L" startup entries?",
                          names) +
            kRemoveWarning;
        if (Frame().Message(question, kTitleConfirm, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
        const std::wstring backupFolder = ToolBackupFolder();
        std::vector<BatchOutcome> outcomes;
        for (const StartupEntry& entry : chosen) {
            const bool registry = entry.root != 0;
            const auto result = RemoveStartupEntry(entry, backupFolder);
            outcomes.push_back({entry.name, result.outcome == RemoveResult::Removed ? L""
                                            : result.outcome == RemoveResult::Refused
                                                ? L"Windows needs this Winlogon value"
                                            : result.outcome == RemoveResult::BackupFailed
                                                ? L"its backup could not be written"
                                            : registry ? L"the registry value could not be removed"
                                                       : L"the startup file could not be removed"});
        }
        Refresh();
        ShowBatchReport(L"Removed", L"startup entries", outcomes);
    }

    // Disable or Enable on the selected entries: only their StartupApproved values change.
    void Switch(bool disable) {
        const std::vector<StartupEntry> chosen = SelectedRecords(list_.Handle(), entries_);
        if (chosen.empty()) return;
        const wchar_t* verb = disable ? L"disabled" : L"enabled";
        if (chosen.size() == 1) {
            const std::wstring why = SwitchRefusal(chosen[0]);
            if (!why.empty()) {
                Frame().Message(L"The startup entry \"" + chosen[0].name + L"\" cannot be " + verb +
                                    L": " + why + L".",
                                kTitleInformation, MB_OK | MB_ICONINFORMATION);
                return;
            }
        }
        const SwitchResult result = SwitchStartupEntries(chosen, disable, ToolBackupFolder());
        Refresh();
        if (chosen.size() == 1) {
            if (!result.failures[0].empty())
                Frame().Message(L"The startup entry \"" + chosen[0].name + L"\" was not " + verb +
                                    L": " + result.failures[0] + L".",
                                kTitleWarning, MB_OK | MB_ICONWARNING);
            return;
        }
        std::vector<BatchOutcome> outcomes;
        for (size_t i = 0; i < chosen.size(); ++i)
            outcomes.push_back({chosen[i].name, result.failures[i]});
        ShowBatchReport(disable ? L"Disabled" : L"Enabled", L"startup entries", outcomes);
    }

    void RestoreDefault() {
        const StartupEntry* entry = SelectedEntry();
        if (!entry) return;
        if (entry->type != kWinlogonType) {
            Frame().Message(L"Only the Winlogon values Shell and Userinit have a Windows default "
                            L"to restore.",
                            kTitleInformation, MB_OK | MB_ICONINFORMATION);
            return;
        }
        const std::wstring name = entry->name;
        const std::wstring question = L"Give the Winlogon value \"" + name +
                                      L"\" back its Windows default?\r\n\r\nIt now holds:\r\n" +
                                      entry->startupString;
        if (Frame().Message(question, kTitleConfirm, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
        const std::wstring why = RestoreWinlogonDefault(*entry, ToolBackupFolder());
        Refresh();
        if (!why.empty())
            Frame().Message(L"The Winlogon value \"" + name + L"\" was not restored: " + why + L".",
                            kTitleWarning, MB_OK | MB_ICONWARNING);
    }

    void Export() const {
        // The records as they stand now: the count in the header and the blocks stay equal.
        auto records = std::make_shared<std::vector<StartupEntry>>(entries_);
        ExportListingCommand({records->size(),
                              [records](size_t i) { return ExportRecordLines((*records)[i]); },
                              true, ExportStatus::None});
    }

    SyncedList list_;
    HWND info_ = nullptr;
    HWND splitter_ = nullptr;
    UniqueHmenu entryMenu_;
    UniqueHmenu infoMenu_;
    std::vector<StartupEntry> entries_;
};

} // namespace

Tool& OstrelTool() {
    static Ostrel tool;
    return tool;
}

} // namespace mdr
