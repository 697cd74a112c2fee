// The full registry backup through the system registry editor, with its progress window.
#include "mdr/repair/full_backup.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
#include <cwchar>
#include <cmath>

#include "mdr/core/localization.h"
#include "mdr/core/logging.h"
#include "mdr/core/program_end.h"
#include "common/handles.h"
#include "common/ini.h"
#include "common/progress_window.h"
#include "common/trace.h"
#include "common/window.h"
#include "mdr/repair/registry_editor.h"
#include "mdr/repair/message_box.h"

MDR_TRACE_MODULE(BackupEngine);

namespace mdr {

namespace {

constexpr wchar_t kProgressClass[] = L"VeltraneMendoraFullBackup";

// The progress window and its controls.
constexpr int kClientWidth = 372;
constexpr int kClientHeight = 141;
constexpr int kStateTextId = 150;
constexpr int kProgressId = 151;
constexpr int kIntroTextId = 152;
constexpr int kCancelId = 153;
constexpr int kSeparatorId = 154;

// The window over the exports: what it does, the bar, the root in hand and Cancel.
bool BuildProgressWindow(ProgressWindow& window, HWND owner) {
    MDR_HERE();
    return window.Open({.className = kProgressClass,
                        .title = LangText(Text::FullBackupTitle),
                        .clientWidth = kClientWidth,
                        .clientHeight = kClientHeight},
                       owner) &&
           window.AddText(LangText(Text::FullBackupProgressText), {10, 10, 355, 35},
                          kIntroTextId) &&
           window.AddBar({10, 45, 355, 20}, kProgressId) &&
           window.AddText(LangText(Text::FullBackupCompleted), {10, 75, 375, 15}, kStateTextId) &&
           window.AddCancel(LangText(Text::CancelButton), {10, 100, 355, 10}, kSeparatorId,
                            {260, 110, 105, 25}, kCancelId);
}

// Asked while a job runs: true when the user confirms the cancel.
bool CancelConfirmed(ProgressWindow& window) {
    if (!window.TakeCancelRequest()) return false;
    MDR_HERE();
    return ShowMessage(LangText(Text::FullBackupCancelQuestion), LangText(Text::ConfirmTitle),
                       MB_YESNO | MB_ICONQUESTION) == IDYES;
}

struct PickerRequest {
    HWND owner = nullptr;
    std::wstring prompt;
    std::wstring folder;
};

DWORD WINAPI PickerThread(void* parameter) {
    MDR_HERE();
    try {
        auto* request = static_cast<PickerRequest*>(parameter);
        const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        BROWSEINFOW info{};
        info.hwndOwner = request->owner;
        info.lpszTitle = request->prompt.c_str();
        info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
        const UniqueCoTaskMem chosen(SHBrowseForFolderW(&info));
        if (chosen) {
            wchar_t path[MAX_PATH] = {};
            if (SHGetPathFromIDListW(static_cast<PCIDLIST_ABSOLUTE>(chosen.get()), path))
                request->folder = path;
        }
        if (SUCCEEDED(com)) CoUninitialize();
    } catch (...) {
        // Reported to the caller as no folder chosen.
    }
    return 0;
}

} // namespace

std::wstring FullBackupTimeText(const SYSTEMTIME& t) {
    wchar_t text[32];
    swprintf(text, 32, L"%02u_%02u_%02u_(%02u%02u%02u)", t.wDay, t.wMonth, t.wYear % 100u, t.wHour,
             t.wMinute, t.wSecond);
    return text;
}

std::vector<FullBackupJob> FullBackupJobs(const std::wstring& folder,
                                          const std::wstring& timeText) {
    struct Root {
        const wchar_t* prefix;
        const wchar_t* name;
    };
    static constexpr Root kRoots[] = {{L"HKCR_", L"HKEY_CLASSES_ROOT"},
                                      {L"HKCU_", L"HKEY_CURRENT_USER"},
                                      {L"HKLM_", L"HKEY_LOCAL_MACHINE"},
                                      {L"HKU_", L"HKEY_USERS"},
                                      {L"HKCC_", L"HKEY_CURRENT_CONFIG"}};
    std::vector<FullBackupJob> jobs;
    for (const Root& root : kRoots) {
        FullBackupJob job;
        job.label = std::wstring(root.name) + L"...";
        job.file = folder + root.prefix + timeText + L".reg";
        job.arguments = L"/E \"" + job.file + L"\" \"" + root.name + L"\"";
        jobs.push_back(std::move(job));
    }
    return jobs;
}

int FullBackupProgress(int finished, int total) {
    if (total <= 0) return 0;
    return static_cast<int>(std::lround(finished * 100.0 / total));
}

std::wstring ChooseFolder(HWND owner, const std::wstring& prompt) {
    MDR_HERE();
    PickerRequest request{owner, prompt, {}};
    UniqueHandle thread(CreateThread(nullptr, 0, PickerThread, &request, 0, nullptr));
    if (!thread) return {};
    // The picker's owner lives on this thread: it must keep answering its messages.
    WaitDispatchingMessages(thread.get());
    WaitForSingleObject(thread.get(), INFINITE); // the request outlives the thread
    return request.folder;
}

int FullbackupWindow() {
    MDR_HERE();
    Log(L"FullbackupWindow()");
    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::wstring timeText = FullBackupTimeText(now);
    const std::wstring editor = RegistryEditorPath();

    // Checked before the folder is asked for, so that nobody chooses a folder in vain.
    if (FileSizeOf(editor) <= 0) {
        ShowMessage(
            ReplacePlaceholder(LangText(Text::FullBackupNoRegedit), L"$REGEDITEXE$", editor),
            LangText(Text::ErrorTitle), MB_ICONERROR);
        Log(L"FullbackupWindow() -> retn");
        return 0;
    }
    // The window that is active now owns the picker and then the progress window.
    HWND owner = GetActiveWindow();
    std::wstring folder = ChooseFolder(owner, LangText(Text::FullBackupFolderPrompt));
    if (folder.empty()) {
        Log(L"FullbackupWindow() -> retn");
        return 0;
    }
    if (folder.back() != L'\\') folder += L'\\';
    const std::vector<FullBackupJob> jobs = FullBackupJobs(folder, timeText);

    if (owner && !IsWindow(owner)) owner = nullptr;
    ProgressWindow window;
    if (!BuildProgressWindow(window, owner)) {
        ShowMessage(LangText(Text::WindowOpenFailed), LangText(Text::ErrorTitle), MB_ICONERROR);
        EndProgram();
    }
    window.Show();

    RegistryEditorRun run;
    for (size_t i = 0; i < jobs.size(); ++i) {
        MDR_HERE();
        if (run.Start(editor, jobs[i].arguments)) {
            const WaitEnd end = WaitDispatchingMessages(
                run.Process(),
                {.dialog = window.Handle(), .stop = [&] { return CancelConfirmed(window); }});
            if (end == WaitEnd::Stopped) {
                run.Release(); // terminates the editor; its file stays as far as it got
                window.Close();
                Log(L"FullbackupWindow() -> retn");
                return 1;
            }
        }
        window.SetText(kStateTextId, LangText(Text::FullBackupCompleted) + L" " + jobs[i].label);
        window.SetProgress(
            FullBackupProgress(static_cast<int>(i) + 1, static_cast<int>(jobs.size())));
    }
    window.Close();
    run.Release();
    Log(L"FullbackupWindow() -> retn");
    return 1;
}

} // namespace mdr
