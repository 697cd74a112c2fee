// The backup manager window, the listing of the backup folder and restoring through the
// registry editor.
#include "mdr/repair/backup_manager.h"

#include <commctrl.h>
#include <cwchar>
#include <algorithm>
#include <utility>

#include "mdr/core/localization.h"
#include "mdr/core/logging.h"
#include "common/resources.h"
#include "mdr/core/settings.h"
#include "mdr/core/program_end.h"
#include "common/format.h"
#include "common/handles.h"
#include "common/ini.h"
#include "common/text.h"
#include "common/trace.h"
#include "common/window.h"
#include "mdr/repair/registry_editor.h"
#include "mdr/repair/message_box.h"
#include "regfile/reg_reader.h"

MDR_TRACE_MODULE(RestoreEngine);

namespace mdr {

namespace {

constexpr wchar_t kManagerClass[] = L"VeltraneMendoraBackupManager";

// The backup manager window and its controls.
constexpr int kClientWidth = 415;
constexpr int kClientHeight = 260;
constexpr int kTextId = 100;
constexpr int kListId = 101;
constexpr int kSeparatorId = 102;
constexpr int kCloseId = 103;
constexpr int kRemoveId = 104;
constexpr int kRestoreId = 105;
constexpr int kBackupFileIcon = 28;

// The header is on the first line; this much of the file is plenty to read it.
constexpr DWORD kHeaderBytes = 4096;
// Entries named in the message when a restore is incomplete.
constexpr size_t kShownMissing = 5;

enum class Command { None, Close, Remove, Restore };

struct ManagerState {
    HWND window = nullptr;
    HWND list = nullptr;
    std::vector<BackupEntry> entries;
    Command pending = Command::None;
    bool done = false;
};

std::wstring LocalDateText(const FILETIME& utcTime) {
    SYSTEMTIME utc{}, local{};
    if (!FileTimeToSystemTime(&utcTime, &utc)) return {};
    // The time zone rules of that date, not today's daylight saving bias.
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
    return BackupDateText(local);
}

// ---- The window ----

// Commands run from the window's loop, outside any window procedure. A click sent from another
// thread arrives inside GetMessage: the posted WM_NULL then wakes the loop.
LRESULT Request(HWND window, ManagerState* state, Command command) {
    if (state) state->pending = command;
    PostMessageW(window, WM_NULL, 0, 0);
    return 0;
}

LRESULT CALLBACK ManagerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        ManagerState* state = WindowContext<ManagerState>(window, message, lParam);
        switch (message) {
        case WM_COMMAND:
            if (!state || HIWORD(wParam) > 1) break; // only clicks, menus and accelerators
            switch (LOWORD(wParam)) {
            case kCloseId:
            case IDCANCEL: // Esc
                return Request(window, state, Command::Close);
            case kRemoveId:
                return Request(window, state, Command::Remove);
            case kRestoreId:
                return Request(window, state, Command::Restore);
            }
            break;
        case WM_CLOSE:
            return Request(window, state, Command::Close);
        case DM_GETDEFID:
            return MAKELRESULT(kRestoreId, DC_HASDEFID);
        case WM_DRAWITEM:
            if (DrawSeparator(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return TRUE;
            break;
        }
    } catch (...) {
        // Nothing may escape into the system's dispatch.
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool BuildManagerWindow(ManagerState& state, HWND owner) {
    MDR_HERE();
    if (!RegisterWindowClass({kManagerClass, ManagerProc})) return false;
    state.window = CreateModalWindow(
        {kManagerClass, LangText(Text::BackupManagerTitle), kClientWidth, kClientHeight}, owner,
        &state);
    if (!state.window) return false;
    HWND w = state.window;
    bool ok = AddLabel(w, LangText(Text::BackupManagerLabel), {5, 10, 400, 20}, kTextId) != nullptr;
    // One file at a time is restored or removed, so one row is selected at a time.
    state.list = AddReportList(w, kListId, {5, 35, 405, 175},
                               LVS_SHOWSELALWAYS | LVS_SINGLESEL | LVS_SHAREIMAGELISTS,
                               {{LangText(Text::BackupFileColumn), 150},
                                {LangText(Text::BackupCreatedColumn), 150},
                                {LangText(Text::BackupSizeColumn), 100}});
    ok = ok && state.list;
    ok = ok && AddSeparator(w, {5, 220, 405, 10}, kSeparatorId);
    ok = ok && AddButton(w, kCloseId, LangText(Text::CloseButton), {5, 230, 100, 25});
    // Wide enough for the longer translations ("Wiederherstellen").
    ok = ok && AddButton(w, kRemoveId, LangText(Text::BackupRemoveButton), {185, 230, 110, 25});
    ok = ok && AddButton(w, kRestoreId, LangText(Text::BackupRestoreButton), {300, 230, 110, 25},
                         BS_DEFPUSHBUTTON);
    if (!ok) {
        DestroyWindow(w);
        state.window = nullptr;
        return false;
    }

    // Shared with the rest of the program: LVS_SHAREIMAGELISTS keeps the list from destroying it.
    if (HIMAGELIST icons = AppIconList()) ListView_SetImageList(state.list, icons, LVSIL_SMALL);
    return true;
}

void FillList(const ManagerState& state) {
    MDR_HERE();
    int row = 0;
    for (const BackupEntry& entry : state.entries) {
        std::wstring name = entry.name;
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = row;
        item.pszText = name.data();
        item.iImage = kBackupFileIcon;
        const int index = ListView_InsertItem(state.list, &item);
        if (index < 0) continue;
        std::wstring date = entry.dateText, size = entry.sizeText;
        ListView_SetItemText(state.list, index, 1, date.data());
        ListView_SetItemText(state.list, index, 2, size.data());
        ++row;
    }
}

// Selects row, or the last one when row is past the end.
void SelectRowNear(HWND list, int row) {
    const int count = RowCount(list);
    if (count > 0) SelectRow(list, std::clamp(row, 0, count - 1));
}

// The entry of the selected row (found by its file name), or nullptr after telling the user
// to select one. row receives the row.
BackupEntry* SelectedEntry(ManagerState& state, int& row) {
    MDR_HERE();
    row = ListView_GetNextItem(state.list, -1, LVNI_SELECTED);
    if (row < 0) {
        ShowMessage(LangText(Text::SelectBackupFirst), LangText(Text::InformationTitle),
                    MB_ICONINFORMATION);
        return nullptr;
    }
    wchar_t name[MAX_PATH + 1] = {};
    ListView_GetItemText(state.list, row, 0, name, MAX_PATH);
    if (!name[0]) return nullptr;
    auto found = std::find_if(state.entries.begin(), state.entries.end(),
                              [&](const BackupEntry& e) { return e.name == name; });
    return found == state.entries.end() ? nullptr : &*found;
}

// Deletes the entry's file; its entry and row go with it. A file that is already gone counts
// as deleted: otherwise its row could never be removed.
void DeleteEntry(ManagerState& state, const BackupEntry* entry, int row) {
    MDR_HERE();
    if (!DeleteFileW(entry->path.c_str())) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            ShowMessage(LangText(Text::BackupNotDeleted), LangText(Text::ErrorTitle),
                        MB_ICONWARNING);
            return;
        }
    }
    state.entries.erase(state.entries.begin() + (entry - state.entries.data()));
    ListView_DeleteItem(state.list, row);
    SelectRowNear(state.list, row);
}

void OnRemove(ManagerState& state) {
    MDR_HERE();
    int row = -1;
    BackupEntry* entry = SelectedEntry(state, row);
    if (!entry) return;
    const std::wstring question = ReplacePlaceholder(LangText(Text::BackupDeleteQuestion),
                                                     L"$REMOVEFILE$", L"\"" + entry->path + L"\"");
    if (ShowMessage(question, LangText(Text::ConfirmTitle), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    DeleteEntry(state, entry, row);
}

void OnRestore(ManagerState& state) {
    MDR_HERE();
    int row = -1;
    BackupEntry* entry = SelectedEntry(state, row);
    if (!entry) return;
    // Nothing else may be started from this window while the editor imports.
    EnableWindow(state.window, FALSE);
    const RestoreOutcome outcome = RestoreBackupFileChecked(entry->path);
    EnableWindow(state.window, TRUE);
    SetActiveWindow(state.window);
    if (!outcome.restored) {
        // The file stays whatever DeleteBackups says: it may be the only copy of what was fixed.
        ShowMessage(LangText(Text::BackupNotRestored) + RestoreMissingText(outcome),
                    LangText(Text::WarningTitle), MB_ICONWARNING);
        return;
    }
    ShowMessage(LangText(Text::BackupRestored), LangText(Text::InformationTitle),
                MB_ICONINFORMATION);
    if (Settings().DeleteBackups == 1) DeleteEntry(state, entry, row);
}

void RunPending(ManagerState& state) {
    const Command command = std::exchange(state.pending, Command::None);
    switch (command) {
    case Command::Close:
        state.done = true;
        break;
    case Command::Remove:
        OnRemove(state);
        break;
    case Command::Restore:
        OnRestore(state);
        break;
    case Command::None:
        break;
    }
}

} // namespace

std::wstring BackupDateText(const SYSTEMTIME& t) {
    wchar_t text[32];
    swprintf(text, 32, L"%02u/%02u/%02u, %02u:%02u:%02u", t.wDay, t.wMonth, t.wYear % 100u, t.wHour,
             t.wMinute, t.wSecond);
    return text;
}

std::vector<BackupEntry> ListBackupFiles(const std::wstring& folder) {
    MDR_HERE();
    std::vector<BackupEntry> entries;
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW((folder + L"*.reg").c_str(), &data));
    if (!find) return entries;
    do {
        MDR_HERE();
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        // The pattern also matches through short names ("notes.registry" is NOTES~1.REG).
        if (!EndsWithNoCase(data.cFileName, L".reg")) continue;
        const int64_t size = static_cast<int64_t>(
            (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
        entries.push_back({data.cFileName, folder + data.cFileName,
                           LocalDateText(data.ftCreationTime), FormatByteSize(size, 2)});
    } while (FindNextFileW(find.get(), &data));
    return entries;
}

int HasRegFileHeader(const std::wstring& path) {
    MDR_HERE();
    if (path.empty() || FileSizeOf(path) <= 0) return 0;
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 0;
    std::string bytes(kHeaderBytes, '\0');
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes.data(), kHeaderBytes, &read, nullptr)) return 0;
    bytes.resize(read);
    return IsRegImportHeader(bytes) ? 1 : 0;
}

RestoreOutcome RestoreBackupFileChecked(const std::wstring& path) {
    MDR_HERE();
    RestoreOutcome outcome;
    outcome.refused = true;
    std::string bytes;
    if (path.empty() || FileSizeOf(path) <= 0 || ReadFileBytes(path, bytes) != FileState::Ok)
        return outcome;
    const bool importable = IsRegImportHeader(bytes);
    // Read as the editor would: UTF-16LE after its mark, otherwise ANSI.
    const std::vector<RegFileEntry> entries = ParseRegFileText(
        DecodeText(bytes, /*sniff=*/false), importable && bytes.substr(0, 2) != "\xFF\xFE");
    bytes = std::string();
    outcome.named = entries.size();

    std::vector<size_t> missing;
    if (importable) {
        RegistryEditorRun editor;
        if (editor.Start(RegistryEditorPath(), L"/s \"" + path + L"\"")) {
            outcome.refused = false;
            WaitDispatchingMessages(editor.Process());
            editor.Release();
            missing = EntriesNotInRegistry(entries);
        }
    }
    if (outcome.refused) {
        // Nothing was imported: every key and value the file holds is still to come back.
        for (size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].kind != RegFileEntry::Kind::Unreadable) missing.push_back(i);
        }
    }
    outcome.missing = missing.size();
    for (size_t i = 0; i < missing.size() && i < kShownMissing; ++i)
        outcome.firstMissing.push_back(RegEntryText(entries[missing[i]]));
    outcome.restored = !outcome.refused && outcome.named > 0 && missing.empty();
    if (!outcome.refused)
        Log(L"Restore of " + path + L": " + std::to_wstring(outcome.named - outcome.missing) +
            L" of " + std::to_wstring(outcome.named) + L" entries in the registry");
    return outcome;
}

int RestoreBackupFile(const std::wstring& path) {
    return RestoreBackupFileChecked(path).restored ? 1 : 0;
}

std::wstring RestoreMissingText(const RestoreOutcome& outcome) {
    if (outcome.missing == 0) {
        if (outcome.refused || outcome.named > 0) return {};
        return L"\r\n\r\nThe file names no registry key.";
    }
    std::wstring text = L"\r\n\r\n" + std::to_wstring(outcome.missing) +
                        (outcome.missing == 1 ? L" entry" : L" entries") +
                        L" of the backup did not come back:";
    for (const std::wstring& line : outcome.firstMissing)
        text += L"\r\n" + line;
    if (outcome.missing > outcome.firstMissing.size()) text += L"\r\n...";
    return text;
}

int ManageBackupWindow(HWND owner) {
    MDR_HERE();
    Log(L"ManageBackupWindow()");
    ManagerState state;
    state.entries = ListBackupFiles(Paths().backupFolder);

    if (!BuildManagerWindow(state, owner)) {
        ShowMessage(LangText(Text::WindowOpenFailed), LangText(Text::ErrorTitle), MB_ICONERROR);
        EndProgram();
    }
    FillList(state);
    SelectRowNear(state.list, 0);
    ShowModalWindow(state.window, state.list);
    RunModalLoop(
        state.window, [&] { return state.done; }, [&] { RunPending(state); });
    CloseModal(state.window, owner);
    Log(L"ManageBackupWindow() -> retn");
    return 1;
}

} // namespace mdr
