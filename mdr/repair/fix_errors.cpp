// Fixing selected errors: questions, backup, restore point, deletions and the bookkeeping after.
#include "mdr/repair/fix_errors.h"
#include "regfile/reg_text.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <algorithm>
#include <exception>
#include <unordered_map>

#include "mdr/core/fix_journal.h"
#include "mdr/core/localization.h"
#include "mdr/core/logging.h"
#include "mdr/core/settings.h"
#include "mdr/core/program_end.h"
#include "common/handles.h"
#include "common/progress_window.h"
#include "common/text.h"
#include "common/trace.h"
#include "common/window.h"
#include "regfile/backup_names.h"
#include "mdr/repair/message_box.h"
#include "regfile/reg_writer.h"
#include "mdr/repair/restore_point.h"
#include "mdr/scan/area_containers.h"
#include "mdr/scan/scan_thread.h"

MDR_TRACE_MODULE(BackupEngine);

namespace mdr {

namespace {

constexpr wchar_t kRepairWindowClass[] = L"MDR_RepairWindow";
constexpr int kRepairWidth = 372;
constexpr int kRepairHeight = 100;
constexpr int kStepText = 200;
constexpr int kProgressBar = 201;
constexpr int kHeadlineText = 202;
constexpr int kStepTextWidth = 300;
constexpr DWORD kRowPauseMs = 10;
constexpr size_t kOmissionsListed = 10;
constexpr wchar_t kEllipsis[] = L"\\..\\";

constexpr int kKeyEntry = 0;
constexpr int kValueEntry = 1;

// English texts of the two safeguards around the backup, Text::BackupIncomplete and
// Text::InexactBackupQuestion; they stand in for language files written before them.
constexpr wchar_t kRefusedContainerText[] =
    L"Not fixed, because the key $KEY$ is one the scan walks, or lies above one, and deleting "
    L"it would take every entry below it too.";
constexpr wchar_t kBackupIncompleteText[] =
    L"The backup file $BACKUPFILELOCATION$ could not be written completely, so nothing was "
    L"removed from the registry.\r\n\r\nMake sure the drive has free space and try again.";
constexpr wchar_t kInexactQuestion[] =
    L"The backup cannot give back these entries exactly once they are removed:\r\n\r\n"
    L"$ENTRIES$\r\n\r\nRemove them anyway?\r\n\r\nChoose No to leave them in the registry; "
    L"the other selected errors are fixed.";

bool g_fixRunning = false;

// Today as the journal of fixes writes it, "2026-12-07".
std::wstring TodayText() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    wchar_t text[16];
    swprintf(text, 16, L"%04u-%02u-%02u", t.wYear, t.wMonth, t.wDay);
    return text;
}

std::wstring Num(uint64_t n) {
    return std::to_wstring(n);
}

std::wstring Quoted(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

std::wstring BackupFolder() {
    const AppPaths& paths = Paths();
    return paths.backupFolder.empty() ? paths.programFolder + L"Backup\\" : paths.backupFolder;
}

// ---- The repair window ----

// The progress window of the fix: a headline, the bar and the step in hand below it.
bool BuildRepairWindow(ProgressWindow& window, HWND owner) {
    MDR_HERE();
    const bool made =
        window.Open({.className = kRepairWindowClass,
                     .title = LangText(Text::FixProgressTitle),
                     .clientWidth = kRepairWidth,
                     .clientHeight = kRepairHeight,
                     .exStyle = WS_EX_DLGMODALFRAME},
                    owner, IDC_WAIT) &&
        window.AddText(LangText(Text::FixProgressText), {10, 10, 355, 35}, kHeadlineText) &&
        window.AddBar({10, 45, 355, 20}, kProgressBar, PBS_SMOOTH) &&
        window.AddText(LangText(Text::FixWorkingStep), {10, 75, 355, 15}, kStepText,
                       SS_LEFTNOWORDWRAP | SS_NOPREFIX);
    if (made) window.Show();
    return made;
}

// Closes a backup file left open when the fix leaves early.
struct BackupFileGuard {
    ~BackupFileGuard() {
        if (open) CloseBackupFile();
    }
    bool open = false;
};

// ---- Rows and records ----

// The row that now shows record id: normally still row (rows are handled from the bottom, so
// none below it was removed before it), else wherever it went; -1 when it is gone.
int RowOfRecord(FixView& view, int row, uint32_t id) {
    if (row >= 0 && row < view.RowCount() && view.RowId(row) == id) return row;
    for (int r = view.RowCount() - 1; r >= 0; --r) {
        if (view.RowId(r) == id) return r;
    }
    return -1;
}

std::vector<DetectedError>::iterator FindRecord(uint32_t id) {
    auto& records = Records();
    return std::find_if(records.begin(), records.end(),
                        [id](const DetectedError& e) { return e.id == id; });
}

std::wstring KeyText(const DetectedError& e) {
    return RootKeyName(e.root) + L"\\" + e.keyPath;
}

void BackUp(const DetectedError& e) {
    MDR_HERE();
    // A key line alone would make the registry editor create the key on restore: what is gone
    // already is left out.
    if ((e.entryType == kKeyEntry || e.entryType == kValueEntry) && !KeyExists(e.root, e.keyPath)) {
        Log(L"Already gone, nothing to back up: " + Quoted(KeyText(e)));
        return;
    }
    if (e.entryType == kKeyEntry) {
        BackupKey(e.root, e.keyPath);
        Log(L"Backed up key: " + Quoted(KeyText(e)));
    } else if (e.entryType == kValueEntry) {
        BackupValue(e.root, e.keyPath, e.valueName);
        Log(L"Backed up value: " + Quoted(KeyText(e)) + L" -> " + Quoted(e.valueName));
    }
}

// Deletes what the record names; true when it is gone. A record naming a key the areas walk, or
// one above it, is refused whatever area made it, and its key text noted in refused.
bool Delete(const DetectedError& e, ProgressWindow& window, HWND measureWindow,
            std::vector<std::wstring>& refused) {
    MDR_HERE();
    if (const std::wstring container = ContainerHitBy(e.root, e.keyPath, e.entryType != kKeyEntry);
        !container.empty()) {
        Log(L"refused: would delete the container " + Quoted(container) + L" (" +
            Quoted(KeyText(e)) + L")");
        refused.push_back(KeyText(e));
        return false;
    }
    if (e.entryType == kKeyEntry) {
        window.SetText(kStepText,
                       FitPathToWidth(measureWindow, L"Fixing key: " + KeyText(e), kStepTextWidth));
        if (DeleteRegistryKey(e.root, e.keyPath) == 1) {
            Log(L"Removed key: " + Quoted(KeyText(e)));
            return true;
        }
        Log(L"Error deleting key: " + Quoted(KeyText(e)));
        return false;
    }
    if (e.entryType == kValueEntry) {
        window.SetText(kStepText,
                       FitPathToWidth(measureWindow,
                                      L"Fixing key: " + KeyText(e) + L" -> " + e.valueName,
                                      kStepTextWidth));
        if (DeleteRegistryValue(e.root, e.keyPath, e.valueName) == 1) {
            Log(L"Removed value: " + Quoted(KeyText(e)) + L" -> " + Quoted(e.valueName));
            return true;
        }
        Log(L"Error deleting value: " + Quoted(KeyText(e)) + L" -> " + Quoted(e.valueName));
    }
    return false;
}

// The fixed error leaves the list, its area's count and the record list.
void Forget(FixView& view, int row, std::vector<DetectedError>::iterator record) {
    const uint32_t id = record->id;
    const int shown = RowOfRecord(view, row, id);
    if (shown >= 0) view.RemoveRow(shown);
    if (record->areaIndex >= 0 && record->areaIndex < kAreaCount) {
        int& count = AreaTable()[record->areaIndex].errorsFound;
        if (count > 0) --count;
    }
    ReleaseRecordId(id);
    Records().erase(record);
}

// Asks whether to remove what the backup cannot give back exactly; true on Yes.
bool ConfirmInexactRemoval(const std::vector<std::wstring>& items) {
    std::wstring list;
    for (size_t i = 0; i < items.size() && i < kOmissionsListed; ++i)
        list += (i ? L"\r\n" : L"") + items[i];
    if (items.size() > kOmissionsListed)
        list += L"\r\n(" + Num(items.size() - kOmissionsListed) + L" more)";
    const std::wstring text = ReplacePlaceholder(
        LangTextOr(Text::InexactBackupQuestion, kInexactQuestion), L"$ENTRIES$", list);
    return ShowMessage(text, LangText(Text::ConfirmTitle),
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

} // namespace

// ---- Pure steps ----

FixChoice FixChoiceFor(int beforeFixing) {
    // question, backup, restore point, asking, chosen, skipped
    static const FixChoice kChoices[] = {
        {std::nullopt, true, true, nullptr, L"Creating backup and restore point", nullptr},
        {std::nullopt, true, false, nullptr, L"Creating backup", nullptr},
        {std::nullopt, false, true, nullptr, L"Creating restore point", nullptr},
        {Text::AskBothQuestion, true, true, L"Asking user to backup and create a restore point",
         L"Creating backup and restore point",
         L"Skipping the creation of a backup and restore point"},
        {Text::AskBackupQuestion, true, false, L"Asking user to backup", L"Creating backup",
         L"Skipping the creation of a backup"},
        {Text::AskRestorePointQuestion, false, true, L"Asking user to make restore point",
         L"Creating restore point", L"Skipping restore point creation"},
    };
    if (beforeFixing < 0 || beforeFixing >= static_cast<int>(std::size(kChoices))) return {};
    return kChoices[beforeFixing];
}

std::wstring BackupFileName(const SYSTEMTIME& localTime, int attempt) {
    return BackupFileName(L"MDR", localTime, attempt);
}

std::wstring FreeBackupFilePath(const std::wstring& folder, const SYSTEMTIME& localTime,
                                const std::function<bool(const std::wstring&)>& taken) {
    return FreeBackupFilePath(folder, L"MDR", localTime, taken);
}

std::wstring ReserveBackupFile(const std::wstring& folder, const SYSTEMTIME& localTime) {
    MDR_HERE();
    return ReserveBackupFile(folder, L"MDR", localTime);
}

std::vector<int> RowsInFixOrder(const std::vector<bool>& checked,
                                const std::vector<size_t>& scanPosition) {
    std::vector<int> rows;
    for (int row = static_cast<int>(checked.size()) - 1; row >= 0; --row) {
        if (checked[row]) rows.push_back(row);
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [&](int a, int b) { return scanPosition[a] > scanPosition[b]; });
    return rows;
}

uint64_t ErrorsLeftAfterFix(uint64_t checkedRows, uint64_t fixedErrors) {
    return checkedRows > fixedErrors ? checkedRows - fixedErrors : 0;
}

std::wstring AreaLabel(const std::wstring& name, int errorCount) {
    return errorCount > 0 ? name + L" (" + std::to_wstring(errorCount) + L")" : name;
}

bool OmissionConcerns(std::wstring_view omission, const DetectedError& error) {
    const std::wstring path = WithoutTrailingBackslash(error.keyPath);
    std::wstring key = RootKeyName(error.root);
    if (!path.empty()) key += L"\\" + OmissionName(path);
    // The key itself could not be read or named: nothing in it came along.
    if (EqualsNoCase(omission, key)) return true;
    if (error.entryType == kValueEntry)
        return EqualsNoCase(omission, key + L" -> " + OmissionName(error.valueName));
    return StartsWithNoCase(omission, key + L"\\") || StartsWithNoCase(omission, key + L" -> ");
}

std::vector<bool> RowsToDelete(bool backupChosen, bool backupComplete,
                               const std::vector<bool>& inexact, bool removeInexact) {
    std::vector<bool> allowed(inexact.size());
    for (size_t i = 0; i < inexact.size(); ++i)
        allowed[i] = !backupChosen || (backupComplete && (!inexact[i] || removeInexact));
    return allowed;
}

std::wstring FitPathToWidth(std::wstring_view text, int width, const TextWidth& measure) {
    if (measure(text) <= width) return std::wstring(text);
    const size_t cut = text.rfind(L'\\');
    const std::wstring_view folder = cut == std::wstring_view::npos ? L"" : text.substr(0, cut + 1);
    const std::wstring_view last = cut == std::wstring_view::npos ? text : text.substr(cut + 1);
    const int room = width - measure(kEllipsis);
    std::wstring head;
    std::wstring tail;
    size_t h = 0;
    size_t t = 0;
    for (;;) {
        std::wstring candidate = head + kEllipsis + tail;
        if (measure(candidate) >= room) return candidate;
        // Both parts used up: the text cannot get any wider.
        if (h >= folder.size() && t >= last.size()) return candidate;
        if (h < folder.size()) head += folder[h++];
        if (t < last.size()) tail += last[t++];
    }
}

std::wstring FitPathToWidth(HWND window, std::wstring_view text, int width) {
    MDR_HERE();
    const WindowDc windowDc(window);
    if (!windowDc) return std::wstring(text);
    HFONT font = window ? reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)) : nullptr;
    if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    HDC dc = windowDc.get();
    const SelectedObject selected(dc, font);
    return FitPathToWidth(text, width, [dc](std::wstring_view s) {
        SIZE size{};
        GetTextExtentPoint32W(dc, s.data(), static_cast<int>(s.size()), &size);
        return static_cast<int>(size.cx);
    });
}

// ---- Registry ----

int DeleteRegistryKey(RootKey root, std::wstring_view keyPath) {
    MDR_HERE();
    const std::wstring path = WithoutTrailingBackslash(keyPath);
    // Never a whole root: an empty path (or one of separators only) names the root itself.
    if (path.find_first_not_of(L'\\') == std::wstring::npos) return 0;
    if (RootKeyName(root).empty()) return 0;
    if (!KeyExists(root, path)) return 1;
    const LSTATUS rc = SHDeleteKeyW(ToHkey(root), path.c_str());
    if (rc == ERROR_SUCCESS) return 1;
    // Removed by someone else meanwhile is removed all the same.
    return (rc == ERROR_FILE_NOT_FOUND && !KeyExists(root, path)) ? 1 : 0;
}

int DeleteRegistryValue(RootKey root, std::wstring_view keyPath, std::wstring_view valueName) {
    MDR_HERE();
    const std::wstring path = WithoutTrailingBackslash(keyPath);
    const std::wstring name(valueName);
    if (RootKeyName(root).empty()) return 0;
    UniqueHkey key;
    LONG rc = RegOpenKeyExW(ToHkey(root), path.c_str(), 0, KEY_SET_VALUE, key.put());
    if (rc == ERROR_FILE_NOT_FOUND) return 1; // the key is gone, and the value with it
    if (rc != ERROR_SUCCESS) {
        // No right to change the key: already gone still counts, but only when we can see it.
        UniqueHkey probe;
        rc = RegOpenKeyExW(ToHkey(root), path.c_str(), 0, KEY_QUERY_VALUE, probe.put());
        if (rc == ERROR_FILE_NOT_FOUND) return 1;
        if (rc != ERROR_SUCCESS) return 0;
        rc = RegQueryValueExW(probe.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr);
        return rc == ERROR_FILE_NOT_FOUND ? 1 : 0;
    }
    rc = RegDeleteValueW(key.get(), name.c_str());
    return (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) ? 1 : 0;
}

// ---- The fix ----

namespace {

// What one fix works on, from the question to the report.
struct FixRun {
    explicit FixRun(FixView& v) : view(v) {}

    FixView& view;
    SYSTEMTIME now{};
    std::wstring folder;
    std::wstring backupPath;
    // The checked rows and their records' identifiers, taken once: both passes work on exactly
    // these, so nothing is deleted that was not backed up first.
    int rowCount = 0;
    std::vector<bool> checked;
    std::vector<uint32_t> ids;
    std::vector<int> targets;
    uint64_t checkedCount = 0;
    bool backup = false;
    bool restorePoint = false;
    BackupFileGuard backupFile;
    bool backupComplete = true;
    std::vector<bool> inexact;
    bool removeInexact = false;
    uint64_t fixed = 0;
    std::vector<std::wstring> refused; // the records that named a container, as key texts
    std::vector<JournalEntry> journal; // what was removed, for the journal of fixes
};

// Asks whether to fix at all and takes the checked rows; false when there is nothing to do.
bool AskToFix(FixRun& run) {
    if (Records().empty()) {
        Log(L"No errors to fix");
        ShowMessage(LangText(Text::NothingToFix), LangText(Text::InformationTitle),
                    MB_OK | MB_ICONINFORMATION);
        return false;
    }
    if (ShowMessage(LangText(Text::FixConfirmQuestion), LangText(Text::ConfirmTitle),
                    MB_YESNO | MB_ICONQUESTION) != IDYES) {
        Log(L"User cancelled fixing...");
        return false;
    }
    MDR_HERE();
    run.rowCount = run.view.RowCount();
    run.checked.assign(run.rowCount, false);
    run.ids.assign(run.rowCount, 0);
    for (int row = 0; row < run.rowCount; ++row) {
        run.checked[row] = run.view.IsRowChecked(row);
        if (run.checked[row]) run.ids[row] = run.view.RowId(row);
    }
    // The list may be sorted: the fix goes by the order the scan found the entries in.
    const std::unordered_map<uint32_t, size_t> position = RecordPositions();
    std::vector<size_t> scanPosition(run.rowCount, 0);
    for (int row = 0; row < run.rowCount; ++row)
        if (const auto it = position.find(run.ids[row]); it != position.end())
            scanPosition[row] = it->second;
    run.targets = RowsInFixOrder(run.checked, scanPosition);
    run.checkedCount = run.targets.size();
    Log(L"Total entries selected for fix: " + Num(run.checkedCount));
    if (run.checkedCount == 0) {
        Log(L"No error entries selected, returning");
        ShowMessage(LangText(Text::NoErrorsChecked), LangText(Text::InformationTitle),
                    MB_OK | MB_ICONINFORMATION);
        return false;
    }
    return true;
}

// The backup and restore point the settings ask for, or the user's answer when they ask.
void AskForSafeguards(FixRun& run) {
    const FixChoice choice = FixChoiceFor(Settings().BeforeFixing);
    run.backup = choice.backup;
    run.restorePoint = choice.restorePoint;
    if (choice.question) {
        Log(choice.askingLog);
        if (ShowMessage(LangText(*choice.question), LangText(Text::ConfirmTitle),
                        MB_YESNO | MB_ICONQUESTION) == IDYES) {
            Log(choice.chosenLog);
        } else {
            Log(choice.skippedLog);
            run.backup = run.restorePoint = false;
        }
    } else if (choice.chosenLog) {
        Log(choice.chosenLog);
    }
}

// Opens a backup file of its own; false (the user told) when none could be made.
bool OpenBackup(FixRun& run) {
    MDR_HERE();
    CreateDirectoryW(run.folder.c_str(), nullptr); // the user may have removed it
    const std::wstring reserved = ReserveBackupFile(run.folder, run.now);
    if (!reserved.empty()) run.backupPath = reserved;
    if (reserved.empty() || CreateBackupFile(run.backupPath) != 1) {
        if (!reserved.empty()) DeleteFileW(reserved.c_str());
        ShowMessage(ReplacePlaceholder(LangText(Text::BackupNotCreated), L"$BACKUPFILELOCATION$",
                                       Quoted(run.backupPath)),
                    LangText(Text::ErrorTitle), MB_OK | MB_ICONERROR);
        return false;
    }
    run.backupFile.open = true;
    return true;
}

// The repair window over the window that is active now; the program ends when it cannot open.
void OpenRepairWindow(FixRun& run, ProgressWindow& window) {
    HWND owner = GetActiveWindow();
    if (!owner) owner = run.view.Window();
    if (BuildRepairWindow(window, owner)) return;
    window.Close();
    if (run.backupFile.open) {
        CloseBackupFile();
        DeleteFileW(run.backupPath.c_str()); // nothing was removed, so it backs up nothing
    }
    ShowMessage(LangText(Text::WindowOpenFailed), LangText(Text::ErrorTitle), MB_OK | MB_ICONERROR);
    EndProgram(0);
}

// Hands every checked row that still has its record to handle, in the fix's order, the bar
// following and the window answering meanwhile; a row without its record has nothing to go by.
void ForEachCheckedRecord(
    FixRun& run, ProgressWindow& window, MessagePump& pump,
    const std::function<void(int row, std::vector<DetectedError>::iterator record)>& handle) {
    const int total = static_cast<int>(run.targets.size());
    for (int done = 0; done < total; ++done) {
        MDR_HERE();
        pump.Drain();
        const int row = run.targets[done];
        auto record = FindRecord(run.ids[row]);
        if (record != Records().end()) handle(row, record);
        window.SetProgress(ProgressPercent(done + 1, total));
        pump.Pause(kRowPauseMs);
    }
}

// Writes every checked row's entry to the backup file, then closes it.
void BackUpRows(FixRun& run, ProgressWindow& window, MessagePump& pump) {
    MDR_HERE();
    Log(L"Created backup file, saving registry data");
    ForEachCheckedRecord(run, window, pump, [](int, auto record) { BackUp(*record); });
    Log(L"Closing backup file");
    window.SetText(kStepText, LangText(Text::FixClosingBackupStep));
    run.backupFile.open = false;
    run.backupComplete = CloseBackupFile() == 1;
    window.SetText(kStepText, LangText(Text::FixWorkingStep));
    Log(L"Backup file closed");
}

// What the backup cannot give back: never deleted without the user's word. An incomplete
// backup removes nothing at all.
void ConfirmInexactRows(FixRun& run) {
    if (run.backup && !run.backupComplete) {
        Log(L"The backup file could not be written completely, nothing will be removed");
        DeleteFileW(run.backupPath.c_str()); // it backs up nothing that is removed
        return;
    }
    if (!run.backup || BackupOmissions().empty()) return;
    MDR_HERE();
    const std::vector<std::wstring>& omissions = BackupOmissions();
    bool any = false;
    for (int row : run.targets) {
        auto record = FindRecord(run.ids[row]);
        if (record == Records().end()) continue;
        run.inexact[row] =
            std::any_of(omissions.begin(), omissions.end(),
                        [&](const std::wstring& o) { return OmissionConcerns(o, *record); });
        any = any || run.inexact[row];
    }
    for (const std::wstring& item : omissions)
        Log(L"The backup cannot restore exactly: " + item);
    if (any) {
        run.removeInexact = ConfirmInexactRemoval(omissions);
        Log(run.removeInexact ? L"User chose to remove them all the same"
                              : L"User chose to keep them");
    }
}

// The restore point when chosen, then the deletions, bottom row first.
void DeleteRows(FixRun& run, ProgressWindow& window, MessagePump& pump) {
    const std::vector<bool> allowed =
        RowsToDelete(run.backup, run.backupComplete, run.inexact, run.removeInexact);
    if (run.backup && !run.backupComplete) return;
    if (run.restorePoint) {
        Log(L"SetRestorePoint(1)");
        SetRestorePoint(1);
        pump.Drain();
    }
    MDR_HERE();
    Log(L"Beginning to fix the errors");
    window.SetProgress(0);
    HWND measureWindow = run.view.Window();
    ForEachCheckedRecord(run, window, pump, [&](int row, auto record) {
        if (!allowed[row]) {
            Log(L"Kept, the backup cannot restore it: " + Quoted(KeyText(*record)));
        } else if (Delete(*record, window, measureWindow, run.refused)) {
            run.journal.push_back({record->root, record->keyPath, record->valueName,
                                   record->areaIndex, TodayText(), record->entryType == 1});
            Forget(run.view, row, record);
            ++run.fixed;
        }
    });
    // A later scan tells what comes back from what is new.
    if (!run.journal.empty() && !Paths().settingsFolder.empty() &&
        !AppendToJournal(Paths().settingsFolder + kFixJournalFile, run.journal))
        Log(L"The journal of fixes could not be written");
}

// The main window's details, status and area labels after the fix, the counts, and the
// repair window closed.
void UpdateView(FixRun& run, ProgressWindow& window) {
    MDR_HERE();
    Log(L"Registry fixed...");
    run.view.RefreshDetails();
    run.view.SetStatusText(LangText(Text::ReadyStatus));
    for (int item = 1; item <= kAreaCount; ++item) {
        const AreaEntry& area = AreaTable()[item - 1];
        run.view.SetAreaLabel(item, AreaLabel(area.name, area.errorsFound), area.errorsFound <= 0);
    }
    Log(L"Closing registry repair window");
    SetErrorsFound(ErrorsLeftAfterFix(run.checkedCount, run.fixed));
    run.view.AddFixedErrors(run.fixed);
    window.Close();
}

// Tells the user how it went; 1 when the fix ran through, 0 after an incomplete backup.
int Report(const FixRun& run) {
    Log(L"Status: " + Num(run.fixed) + L" of " + Num(run.checkedCount) + L" errors fixed");
    if (run.backup && !run.backupComplete) {
        ShowMessage(ReplacePlaceholder(LangTextOr(Text::BackupIncomplete, kBackupIncompleteText),
                                       L"$BACKUPFILELOCATION$", Quoted(run.backupPath)),
                    LangText(Text::ErrorTitle), MB_OK | MB_ICONERROR);
        Log(L"FixErrorsWindow() -> retn");
        return 0;
    }
    std::wstring message =
        LangText(run.fixed == run.checkedCount ? Text::FixAllDone : Text::FixSomeFailed);
    for (const std::wstring& key : run.refused)
        message += L"\n\n" +
                   ReplacePlaceholder(LangTextOr(Text::FixRefusedContainer, kRefusedContainerText),
                                      L"$KEY$", Quoted(key));
    ShowMessage(message, LangText(Text::InformationTitle), MB_OK | MB_ICONINFORMATION);
    Log(L"FixErrorsWindow() -> retn");
    return 1;
}

} // namespace

int FixErrorsWindow(FixView& view) {
    MDR_HERE();
    // A command that reaches the window while the fix pumps messages must not start a second.
    if (g_fixRunning) return 0;
    g_fixRunning = true;
    ScopeExit running([] { g_fixRunning = false; });

    Log(L"FixErrorsWindow()");
    FixRun run(view);
    GetLocalTime(&run.now);
    run.folder = BackupFolder();
    run.backupPath = run.folder + BackupFileName(run.now, 1);

    if (!AskToFix(run)) return 0;
    AskForSafeguards(run);
    if (run.backup && !OpenBackup(run)) return 0;

    ProgressWindow window;
    OpenRepairWindow(run, window);
    MessagePump pump;
    pump.Drain();

    run.inexact.assign(run.rowCount, false);
    if (run.backup) BackUpRows(run, window, pump);
    ConfirmInexactRows(run);
    DeleteRows(run, window, pump);
    UpdateView(run, window);
    return Report(run);
}

} // namespace mdr
