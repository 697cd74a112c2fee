// Sevrid's main window: the services list and its commands from the toolbar, the popup menu
// with its start-type submenu, and the keyboard.
#include <windows.h>
#include <commctrl.h>

#include <optional>

#include <algorithm>

#include "common/ini.h"
#include "common/text.h"
#include "common/trace.h"
#include "common/resources.h"
#include "tools/frame/file_info.h"
#include "tools/frame/report_list.h"
#include "tools/frame/tool_backup.h"
#include "tools/frame/tool_frame.h"
#include "tools/frame/tool_layout.h"
#include "tools/frame/tool_paths.h"
#include "tools/frame/wait_window.h"
#include "tools/sevrid/services.h"
#include "tools/sevrid/sevrid_window.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {

namespace {

enum Command {
    kStart = 0,
    kStop = 1,
    kRestart = 2,
    kDelete = 3,
    kViewFile = 4,
    kRefresh = 5,
    kExport = 6,
    kHelp = 7,
    kAbout = 8,
    kExit = 9,
    kMenuStart = 50,
    kMenuStop = 51,
    kMenuRestart = 52,
    kAutoStart = 53,
    kDemandStart = 54,
    kDisabled = 55,
    kMenuDelete = 56,
    kMenuViewFile = 57,
    kCopyLine = 58,
    kCopyAll = 59,
    kDelayedStart = 70,
    kHideWindows = 71,
    kShowDrivers = 72,
};

enum Picture {
    kPicStart = 1,
    kPicStop = 2,
    kPicExit = 4,
    kPicCopy = 6,
    kPicRemove = 9,
    kPicRefresh = 10,
    kPicRestart = 12,
    kPicExport = 16,
    kPicHelp = 18,
    kPicAbout = 20,
    kPicFolder = 24,
    kPicSystem = 31,
};

constexpr int kListId = 200;
constexpr wchar_t kInformation[] = L"Information";

class Sevrid final : public Tool {
  public:
    const ToolIdentity& Identity() const override { return kSevrid; }

    std::vector<ToolItem> ToolbarItems() const override {
        return {kToolSeparator,
                {kStart, kPicStart, L"&Start"},
                {kStop, kPicStop, L"&Stop"},
                {kRestart, kPicRestart, L"&Restart"},
                {kDelete, kPicRemove, L"&Delete"},
                {kViewFile, kPicFolder, L"&View file"},
                kToolSeparator,
                {kRefresh, kPicRefresh, L"&Refresh"},
                {kExport, kPicExport, L"&Export"},
                kToolSeparator,
                {kHelp, kPicHelp, L"&Help"},
                {kAbout, kPicAbout, L"&About"},
                {kExit, kPicExit, L"&Exit"}};
    }

    bool CreateMenus() override {
        const ToolFrame& frame = Frame();
        menu_ = frame.MakePopupMenu({{kMenuStart, kPicStart, L"&Start service"},
                                     {kMenuStop, kPicStop, L"&Stop service"},
                                     {kMenuRestart, kPicRestart, L"&Restart service"},
                                     kToolSeparator});
        UniqueHmenu types = frame.MakePopupMenu({{kAutoStart, -1, L"&Auto start"},
                                                 {kDelayedStart, -1, L"Auto&matic (Delayed Start)"},
                                                 {kDemandStart, -1, L"&Demand start"},
                                                 {kDisabled, -1, L"&Disabled"}});
        if (!menu_ || !types) return false;
        if (!AppendMenuW(menu_.get(), MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(types.get()),
                         L"Startup type"))
            return false;
        types.release(); // the menu owns it now
        // The View menu on a menu bar, which the window owns once set.
        HMENU bar = CreateMenu();
        HMENU view = CreatePopupMenu();
        if (!bar || !view ||
            !AppendMenuW(view, MF_STRING | (hideWindows_ ? MF_CHECKED : MF_UNCHECKED), kHideWindows,
                         L"&Hide Windows services") ||
            !AppendMenuW(view, MF_STRING | (showDrivers_ ? MF_CHECKED : MF_UNCHECKED), kShowDrivers,
                         L"Show &drivers") ||
            !AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(view), L"&View") ||
            !SetMenu(frame.Window(), bar)) {
            if (view) DestroyMenu(view);
            if (bar) DestroyMenu(bar);
            return false;
        }
        view_ = view;
        return frame.AppendMenuItems(menu_.get(), {kToolSeparator,
                                                   {kMenuDelete, kPicRemove, L"&Delete service"},
                                                   {kMenuViewFile, kPicFolder, L"&View file"},
                                                   kToolSeparator,
                                                   {kCopyLine, kPicCopy, L"&Copy line"},
                                                   {kCopyAll, kPicCopy, L"&Copy all"}});
    }

    HWND CreateContent(HWND window, Place area) override {
        HWND list = CreateToolList(window, kListId, area,
                                   {{L"Service name", 170},
                                    {L"Status", 80},
                                    {L"Startup type", 80},
                                    {L"Command", 200},
                                    {L"Description", 250},
                                    {L"Log on as", 120},
                                    {L"PID", 50},
                                    {L"Group", 100},
                                    {L"Type", 60}},
                                   true);
        if (list)
            list_.Attach(list, Frame().DefaultRowIcon(),
                         {ColumnKind::Text, ColumnKind::Text, ColumnKind::Text, ColumnKind::Text,
                          ColumnKind::Text, ColumnKind::Text, ColumnKind::Number});
        return list;
    }

    void Prepare() override {
        hideWindows_ = Frame().Setting(kViewGroup, kHideKey) == L"1";
        showDrivers_ = Frame().Setting(kViewGroup, kDriversKey) == L"1";
    }

    void Start() override {
        Refresh();
        SetFocus(list_.Handle());
    }

    ToolCommands Commands() override {
        ToolCommands commands{
            {{kStart, kMenuStart},
             [this] { OneOrEach(&Sevrid::StartCommand, &Sevrid::StartEach); }},
            {{kStop, kMenuStop}, [this] { OneOrEach(&Sevrid::StopCommand, &Sevrid::StopEach); }},
            {{kRestart, kMenuRestart}, [this] { RestartCommand(); }},
            {{kDelete, kMenuDelete},
             [this] { OneOrEach(&Sevrid::DeleteCommand, &Sevrid::DeleteEach); }},
            {{kAutoStart}, [this] { StartTypeCommand(SERVICE_AUTO_START); }},
            {{kDelayedStart}, [this] { StartTypeCommand(SERVICE_AUTO_START, true); }},
            {{kDemandStart}, [this] { StartTypeCommand(SERVICE_DEMAND_START); }},
            {{kDisabled}, [this] { StartTypeCommand(SERVICE_DISABLED); }},
            {{kViewFile, kMenuViewFile},
             [this] {
                 if (const ServiceRecord* r = Selected())
                     ShowInFolder(CommandToFilePath(r->binaryPath));
             }},
            {{kRefresh}, [this] { Refresh(); }},
            {{kHideWindows}, [this] { Toggle(hideWindows_, kHideWindows, kHideKey); }},
            {{kShowDrivers}, [this] { Toggle(showDrivers_, kShowDrivers, kDriversKey); }},
            {{kExport}, [this] { Export(); }},
            {{kCopyAll}, [this] { CopyAllPadded(); }}};
        AddFrameCommands(commands, kHelp, kAbout, kExit);
        AddCopyCommands(commands, list_.Handle(), kCopyLine, -1); // Copy all pads its columns
        return commands;
    }

    bool Notify(const NMHDR& header, LRESULT& result) override {
        if (header.hwndFrom != list_.Handle()) return false;
        if (header.code == NM_CUSTOMDRAW)
            return list_.CustomDraw(reinterpret_cast<LPARAM>(&header), result);
        return false;
    }

    void ContextMenu(HWND list, POINT at) override {
        const ServiceRecord* r = list == list_.Handle() ? Selected() : nullptr;
        if (!r) return;
        // The start-type marks follow the record; another start type leaves them as they are.
        if (r->startType >= SERVICE_AUTO_START && r->startType <= SERVICE_DISABLED) {
            const int checked =
                r->delayedStart && r->startType == SERVICE_AUTO_START
                    ? kDelayedStart
                    : kAutoStart + static_cast<int>(r->startType - SERVICE_AUTO_START);
            for (int item : {kAutoStart, kDelayedStart, kDemandStart, kDisabled})
                CheckMenuItem(menu_.get(), static_cast<UINT>(item),
                              MF_BYCOMMAND | (item == checked ? MF_CHECKED : MF_UNCHECKED));
        }
        const std::wstring refused = DelayedStartRefusal(*r);
        EnableMenuItem(menu_.get(), kDelayedStart,
                       MF_BYCOMMAND | (refused.empty() ? MF_ENABLED : MF_GRAYED));
        if (!refused.empty()) Frame().SetStatus(refused);
        if (at.x == -1 && at.y == -1) at = KeyboardMenuPoint(list);
        Frame().ShowPopupMenu(menu_.get(), at);
    }

    SyncedList* MainList() override { return &list_; }

    int KeyCommand(HWND focus, UINT key, bool control) override {
        if (key == VK_F5) return kRefresh;
        if (focus != list_.Handle()) return -1;
        if (control) return key == 'C' ? kCopyLine : -1;
        if (key == VK_DELETE) return kDelete;
        if (key == VK_RETURN) return kViewFile;
        return -1;
    }

  private:
    // The record of the selected row, when it names a service.
    const ServiceRecord* Selected() const {
        const ServiceRecord* r = SelectedRecord(list_.Handle(), records_);
        return r && !r->name.empty() ? r : nullptr;
    }

    void Refresh() {
        MDR_HERE();
        records_ = CollectServices(std::move(records_), showDrivers_, &watch_);
        // The selected service stays selected (the list keeps rows by service name) and, when it
        // was in view, stays in view wherever the manager's new order puts it.
        const HWND list = list_.Handle();
        const int before = SelectedRow(list);
        const int top = static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
        const int page = static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
        list_.Sync(ServiceRows(records_, hideWindows_));
        if (const int after = SelectedRow(list);
            before >= top && before <= top + page && after >= 0 && after != before)
            SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(after), FALSE);
        const std::wstring count = std::to_wstring(records_.size());
        Frame().SetTitle(L"MDR - Services manager (" + count + L" services found)");
        std::wstring status = L"Total services: " + count + ViewNote();
        if (hideWindows_)
            status += L", Windows services hidden: " +
                      std::to_wstring(records_.size() - list_.RecordCount());
        Frame().SetStatus(status);
    }

    static constexpr wchar_t kViewGroup[] = L"View";
    static constexpr wchar_t kHideKey[] = L"HideWindowsServices";
    static constexpr wchar_t kDriversKey[] = L"ShowDrivers";

    // A View menu switch: flipped, marked, kept for the next run, and the list shown anew.
    void Toggle(bool& on, int item, const wchar_t* key) {
        on = !on;
        CheckMenuItem(view_, static_cast<UINT>(item),
                      MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
        Frame().KeepSetting(kViewGroup, key, on ? L"1" : L"0");
        Refresh();
    }

    int Tell(const std::wstring& text, const wchar_t* title, UINT flags) const {
        return Frame().Message(text, title, flags);
    }
    bool Ask(const std::wstring& text) const {
        return Tell(text, kInformation, MB_YESNO | MB_ICONQUESTION) == IDYES;
    }

    // The commands' waits run behind the wait window, which keeps painting. Without it the
    // command does not run at all (nothing else would keep the window answering): nothing.
    template <typename F> auto WithWaitWindow(F work) const {
        WaitWindow wait(Frame().Window(), L"Applying changes",
                        L"Please wait until the changes are applied to the service...",
                        AppIcon(kPicSystem));
        using Result = decltype(work(ServiceWait{}));
        if (!wait.Opened()) {
            Tell(L"Error opening window!", kTitleError, MB_OK | MB_ICONERROR);
            return std::optional<Result>();
        }
        MessagePump pump;
        return std::optional<Result>(work(ServiceWait{[&pump] { pump.Drain(); }}));
    }

    // The question's line that names the running dependents a command takes along.
    static std::wstring DependentsLine(const std::wstring& doing, const ServiceRecord& r,
                                       const std::wstring& also,
                                       const std::vector<DependentService>& dependents) {
        if (dependents.empty()) return L"";
        // As many names as a batch question shows; a long chain is counted beyond them.
        std::wstring names;
        for (size_t i = 0; i < dependents.size() && i < kBatchNamesShown; ++i)
            names += (i == 0 ? L"" : L", ") + dependents[i].displayName;
        if (dependents.size() > kBatchNamesShown)
            names += L" and " + std::to_wstring(dependents.size() - kBatchNamesShown) + L" more";
        return L"\r\n\r\n" + doing + L" " + r.displayName + L" also " + also + L": " + names + L".";
    }
    static std::wstring FailuresLine(const wchar_t* label, const std::vector<std::wstring>& names) {
        std::wstring line;
        for (const std::wstring& name : names)
            line += (line.empty() ? L"\r\n\r\n" + std::wstring(label) + L": " : L", ") + name;
        return names.empty() ? L"" : line + L".";
    }

    void StartFailed(DWORD error) const {
        Tell(L"The service could not be started. Error code: " + std::to_wstring(error),
             kTitleWarning, MB_OK | MB_ICONWARNING);
    }

    void StartCommand() {
        const ServiceRecord* r = Selected();
        if (!r) return;
        if (r->startType == SERVICE_DISABLED) {
            Tell(L"This service is disabled, please enable it first. (Right click -> Startup type "
                 L"-> Automatic or Demand)",
                 kInformation, MB_OK | MB_ICONINFORMATION);
            return;
        }
        if (r->state == SERVICE_RUNNING) {
            Tell(L"This service cannot be started because it is already running.", kInformation,
                 MB_OK | MB_ICONINFORMATION);
            return;
        }
        if (!Ask(L"Are you sure you want to start the " + r->displayName + L" service?")) return;
        const std::wstring name = r->name;
        const auto result =
            WithWaitWindow([&](const ServiceWait& wait) { return StartServiceByName(name, wait); });
        if (!result) return;
        Refresh();
        if (result->ok)
            Tell(L"The service was started successfully.", kInformation,
                 MB_OK | MB_ICONINFORMATION);
        else
            StartFailed(result->error);
    }

    void StopCommand() {
        const ServiceRecord* r = Selected();
        if (!r) return;
        if (r->state == SERVICE_STOPPED) {
            Tell(L"This service cannot be stopped because it isn't running.", kInformation,
                 MB_OK | MB_ICONINFORMATION);
            return;
        }
        const std::vector<DependentService> dependents = RunningDependents(r->name);
        if (!Ask(L"Are you sure you want to stop the " + r->displayName + L" service?" +
                 DependentsLine(L"Stopping", *r, L"stops", dependents)))
            return;
        const std::wstring name = r->name;
        const auto stopped = WithWaitWindow(
            [&](const ServiceWait& wait) { return StopWithDependents(name, dependents, wait); });
        if (!stopped) return;
        Refresh();
        const std::wstring failures = FailuresLine(L"Not stopped", stopped->failures);
        if (stopped->ok && failures.empty())
            Tell(L"The service was stopped successfully.", kInformation,
                 MB_OK | MB_ICONINFORMATION);
        else
            Tell((stopped->ok ? L"The service was stopped successfully."
                              : L"The service could not be stopped.") +
                     failures,
                 kTitleWarning, MB_OK | MB_ICONWARNING);
    }

    // Stops the service and its running dependents, then starts it and exactly those again.
    void RestartCommand() {
        const ServiceRecord* r = Selected();
        if (!r) return;
        if (r->state != SERVICE_RUNNING || r->startType == SERVICE_DISABLED) {
            Refresh();
            Tell(L"This service cannot be restarted because it isn't running.", kInformation,
                 MB_OK | MB_ICONINFORMATION);
            return;
        }
        const std::vector<DependentService> dependents = RunningDependents(r->name);
        if (!Ask(L"Are you sure you want to restart the " + r->displayName + L" service?" +
                 DependentsLine(L"Restarting", *r, L"restarts", dependents)))
            return;
        const std::wstring name = r->name;
        const auto outcome =
            WithWaitWindow([&](const ServiceWait& wait) -> std::pair<ChainResult, ChainResult> {
                ChainResult stopped = StopWithDependents(name, dependents, wait);
                if (!stopped.ok) return {stopped, {}};
                return {stopped, StartWithDependents(name, dependents, wait)};
            });
        if (!outcome) return;
        Refresh();
        const auto& [stopped, started] = *outcome;
        if (!stopped.ok) {
            Tell(L"The service could not be stopped. Restart aborted." +
                     FailuresLine(L"Not stopped", stopped.failures),
                 kTitleWarning, MB_OK | MB_ICONWARNING);
            return;
        }
        const std::wstring failures = FailuresLine(L"Not stopped", stopped.failures) +
                                      FailuresLine(L"Not started again", started.failures);
        if (!started.ok)
            StartFailed(started.error);
        else if (!failures.empty())
            Tell(L"The service was restarted successfully." + failures, kTitleWarning,
                 MB_OK | MB_ICONWARNING);
        else
            Tell(L"The service was restarted successfully.", kInformation,
                 MB_OK | MB_ICONINFORMATION);
    }

    void DeleteCommand() {
        const ServiceRecord* r = Selected();
        if (!r) return;
        const std::wstring question =
            L"Are you sure you want to remove the following service?\r\n\r\n" + r->name + L" (" +
            r->displayName +
            L")\r\n\r\nWARNING! This may lead to system instability. If you delete a legitimate "
            L"service, there is a chance\r\nthe system WILL NOT EVEN BOOT. Note that the "
            L"executable itself will not be deleted. Only the\r\nreference to the service will "
            L"be removed.";
        if (Tell(question, kTitleConfirm, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
        const std::wstring folder = ToolBackupFolder();
        const std::optional<ServiceResult> deleted = DeleteWithBackup(r->name, folder);
        if (!deleted) {
            Tell(L"The service was not deleted, because its backup could not be written to the "
                 L"folder\r\n" +
                     (folder.empty() ? ToolFolder() + L"Backup\\" : folder),
                 kTitleWarning, MB_OK | MB_ICONWARNING);
            return;
        }
        const ServiceResult result = *deleted;
        if (result.error == ERROR_CANCELLED) return;
        Refresh();
        if (result.ok)
            Tell(L"The service was deleted successfully.", kInformation,
                 MB_OK | MB_ICONINFORMATION);
        else if (result.error == ERROR_SERVICE_MARKED_FOR_DELETE)
            Tell(L"The service is already marked for deletion.", kInformation,
                 MB_OK | MB_ICONINFORMATION);
        else if (result.error == ERROR_ACCESS_DENIED)
            Tell(L"Deletion function returned access denied.", kInformation,
                 MB_OK | MB_ICONINFORMATION);
        else
            Tell(L"The service cannot be deleted.", kInformation, MB_OK | MB_ICONINFORMATION);
    }

    // Deletes the service after writing its whole registry key, so that MDR's backup manager can
    // bring it back; none when the backup could not be written (nothing is deleted then).
    std::optional<ServiceResult> DeleteWithBackup(const std::wstring& name,
                                                  const std::wstring& folder) const {
        const ToolBackup backup =
            WriteToolBackup(L"Sevrid", folder, {{kHklm, kServicesKey + name, std::nullopt}});
        if (!backup.written) return std::nullopt;
        const auto result = WithWaitWindow(
            [&](const ServiceWait& wait) { return DeleteServiceByName(name, wait); });
        // Nothing was deleted: the backup would only stand for a change that did not happen.
        if (!result || !result->ok) DeleteFileW(backup.file.c_str());
        // No wait window: nothing was tried, and the error has been shown.
        return result.value_or(ServiceResult{false, ERROR_CANCELLED});
    }

    // A command on the one selected service, or on each of several with one question and one
    // report.
    using Each = std::wstring (Sevrid::*)(const ServiceRecord&);
    void OneOrEach(void (Sevrid::*one)(), Each each) {
        std::vector<ServiceRecord> chosen = SelectedRecords(list_.Handle(), records_);
        std::erase_if(chosen, [](const ServiceRecord& r) { return r.name.empty(); });
        if (chosen.size() < 2) return (this->*one)();
        const bool deleting = each == &Sevrid::DeleteEach;
        std::vector<std::wstring> names;
        for (const ServiceRecord& r : chosen)
            names.push_back(r.displayName);
        const std::wstring verb = deleting                     ? L"Delete"
                                  : each == &Sevrid::StartEach ? L"Start"
                                                               : L"Stop";
        std::wstring question = BatchQuestion(
            verb + L" these " + std::to_wstring(chosen.size()) + L" services?", names);
        if (deleting)
            question +=
                L"\r\n\r\nWARNING! This may lead to system instability. Only the references "
                L"to the services are removed, not their executables.";
        if (each == &Sevrid::StopEach) question += BatchDependentsLine(chosen);
        if (Tell(question, kTitleConfirm, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
        std::vector<BatchOutcome> outcomes;
        for (const ServiceRecord& r : chosen)
            outcomes.push_back({r.displayName, (this->*each)(r)});
        Refresh();
        ShowBatchReport(deleting                     ? L"Deleted"
                        : each == &Sevrid::StartEach ? L"Started"
                                                     : L"Stopped",
                        L"services", outcomes);
    }

    std::wstring StartEach(const ServiceRecord& r) {
        if (r.startType == SERVICE_DISABLED) return L"it is disabled";
        if (r.state == SERVICE_RUNNING) return L"it is already running";
        const auto result = WithWaitWindow(
            [&](const ServiceWait& wait) { return StartServiceByName(r.name, wait); });
        if (!result) return L"no wait window";
        return result->ok ? L"" : L"error code " + std::to_wstring(result->error);
    }

    // The running services that depend on the chosen ones and are not chosen themselves: they
    // stop too, so the question names them.
    static std::wstring BatchDependentsLine(const std::vector<ServiceRecord>& chosen) {
        std::vector<std::wstring> names;
        for (const ServiceRecord& r : chosen)
            for (const DependentService& d : RunningDependents(r.name))
                if (std::none_of(chosen.begin(), chosen.end(),
                                 [&](const ServiceRecord& c) {
                                     return ToLower(c.name) == ToLower(d.name);
                                 }) &&
                    std::find(names.begin(), names.end(), d.displayName) == names.end())
                    names.push_back(d.displayName);
        return names.empty() ? L"" : BatchQuestion(L"\r\n\r\nThis also stops:", names);
    }

    // Its running dependents first, as Stop does; one that a chosen service before took along
    // is stopped already.
    std::wstring StopEach(const ServiceRecord& r) {
        if (r.state == SERVICE_STOPPED) return L"it isn't running";
        const std::vector<DependentService> dependents = RunningDependents(r.name);
        const auto stopped = WithWaitWindow(
            [&](const ServiceWait& wait) { return StopWithDependents(r.name, dependents, wait); });
        if (!stopped) return L"no wait window";
        if (!stopped->ok) return L"it could not be stopped";
        std::wstring why;
        for (const std::wstring& failed : stopped->failures)
            why += (why.empty() ? L"dependents not stopped: " : L", ") + failed;
        return why;
    }

    std::wstring DeleteEach(const ServiceRecord& r) {
        const std::optional<ServiceResult> result = DeleteWithBackup(r.name, ToolBackupFolder());
        if (!result) return L"its backup could not be written";
        if (result->ok) return L"";
        if (result->error == ERROR_SERVICE_MARKED_FOR_DELETE)
            return L"it is already marked for deletion";
        if (result->error == ERROR_ACCESS_DENIED) return L"access denied";
        return L"error code " + std::to_wstring(result->error);
    }

    // Why the delayed start cannot be chosen for r; "" when it can.
    static std::wstring DelayedStartRefusal(const ServiceRecord& r) {
        if (!DelayedStartAvailable())
            return L"Automatic (Delayed Start) needs Windows Vista or later.";
        if (!r.delayedKnown) return L"This system cannot delay the start of this service.";
        return L"";
    }

    // The start type changes only after the values it rewrites are in a backup, so that MDR's
    // backup manager can put the old one back.
    void StartTypeCommand(DWORD startType, bool delayed = false) {
        const ServiceRecord* r = Selected();
        if (!r) return;
        if (delayed && !DelayedStartRefusal(*r).empty()) {
            Frame().SetStatus(DelayedStartRefusal(*r));
            return;
        }
        const std::wstring key = kServicesKey + r->name;
        const std::wstring folder = ToolBackupFolder();
        const ToolBackup backup = WriteToolBackup(
            L"Sevrid", folder, {{kHklm, key, kStartValue}, {kHklm, key, kDelayedValue, true}});
        if (!backup.written) {
            Tell(L"The startup type was not changed, because its backup could not be written to "
                 L"the folder\r\n" +
                     (folder.empty() ? ToolFolder() + L"Backup\\" : folder),
                 kTitleWarning, MB_OK | MB_ICONWARNING);
            return;
        }
        if (SetServiceStartType(r->name, startType, delayed)) {
            Refresh();
            Tell(L"Operation completed successfully.", kInformation, MB_OK | MB_ICONINFORMATION);
        } else {
            // What the system refused may have changed nothing; the backup stays all the same,
            // as part of it may have been applied.
            Refresh();
            Tell(L"Operation could not be completed.", kInformation, MB_OK | MB_ICONWARNING);
        }
    }

    void CopyAllPadded() const {
        std::wstring text;
        for (int row = 0, count = RowCount(list_.Handle()); row < count; ++row) {
            std::vector<std::wstring> texts = RowTexts(list_.Handle(), row);
            texts.resize(5); // the five columns of the listing; the later ones are extras
            text += PaddedCopyLine(texts);
        }
        SetClipboardText(Frame().Window(), text);
    }

    void Export() const {
        // The records as they stand now: the count in the header and the blocks stay equal.
        auto records = std::make_shared<std::vector<ServiceRecord>>(records_);
        ExportListingCommand({records->size(),
                              [records](size_t i) { return ServiceExportLines((*records)[i]); },
                              true, ExportStatus::Full});
    }

    SyncedList list_;
    UniqueHmenu menu_;
    HMENU view_ = nullptr; // the View menu, owned by the window's menu bar
    bool hideWindows_ = false;
    bool showDrivers_ = false;
    ServicesKeyWatch watch_;
    std::vector<ServiceRecord> records_;
};

} // namespace

Tool& SevridTool() {
    static Sevrid tool;
    return tool;
}

} // namespace mdr
