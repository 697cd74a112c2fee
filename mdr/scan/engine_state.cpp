#include "mdr/scan/engine_state.h"

#include <shlobj.h>

#include <atomic>
#include <memory>

#include "common/handles.h"
#include "common/text.h"
#include "common/trace.h"
#include "common/late_bound.h"
#include "mdr/scan/scan_memo.h"

MDR_TRACE_MODULE(Registry);

namespace mdr {

namespace {

void PauseAfterItem();

// The scan delay applies to every registry walk once the engine's state exists.
struct EngineState {
    EngineState() { SetWalkPause(PauseAfterItem); }
    EnginePaths paths;
    std::atomic<ProgressCallback> progress{nullptr};
    std::atomic<ErrorReportCallback> errorReport{nullptr};
    std::atomic<int> scanDelay{0};
    std::atomic<int> skipRemovable{1};
};

EngineState& State() {
    static EngineState state;
    return state;
}

// Alertable, so a scan with delay 0 still yields. A negative delay read from a hand-edited
// Config.ini would be INFINITE as a DWORD and freeze the scan; it counts as 0.
void PauseAfterItem() {
    int delay = GetScanDelay();
    SleepEx(delay > 0 ? static_cast<DWORD>(delay) : 0, TRUE);
}

// Whether PathExists(name) is false for certain because the name lies below `missing`, a folder
// path (ending in "\") that was looked for and not found: every name PathExists tries for it (the
// whole name and the part before its first ",", each cut to 260 characters) lies below it too.
bool BelowMissingFolder(std::wstring_view name, std::wstring_view missing) {
    if (missing.empty() || missing.size() > MAX_PATH) return false;
    const size_t comma = name.find(L',');
    return name.substr(0, MAX_PATH).starts_with(missing) &&
           (comma == std::wstring_view::npos || comma >= missing.size());
}

bool AnyWordPrefixExists(std::wstring_view text, std::wstring_view missing = {}) {
    for (const std::wstring& candidate : WordPrefixes(text))
        if (!BelowMissingFolder(candidate, missing) && MemoPathExists(candidate)) return true;
    return false;
}

std::wstring SpecialFolder(int csidl) {
    ITEMIDLIST* raw = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &raw)) || !raw) return L"";
    const UniqueCoTaskMem pidl(raw);
    wchar_t buffer[MAX_PATH] = {};
    if (!SHGetPathFromIDListW(raw, buffer)) return L"";
    std::wstring folder(buffer);
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder;
}

thread_local RegistryView t_view = RegistryView::Native;

std::wstring EnvironmentValue(const wchar_t* name) {
    DWORD need = GetEnvironmentVariableW(name, nullptr, 0);
    if (need == 0) return L"";
    std::wstring value(need, L'\0');
    DWORD got = GetEnvironmentVariableW(name, value.data(), need);
    if (got == 0 || got >= need) return L"";
    value.resize(got);
    return value;
}

} // namespace

RegistryView CurrentView() {
    return t_view;
}

Wow32ViewScope::Wow32ViewScope() {
    t_view = RegistryView::Wow32;
    SetThirtyTwoBitExpansion(true);
}

Wow32ViewScope::~Wow32ViewScope() {
    t_view = RegistryView::Native;
    SetThirtyTwoBitExpansion(false);
}

std::wstring Wow32Twin(RootKey root, std::wstring_view keyPath) {
    const std::wstring_view software = L"Software\\";
    const std::wstring_view classes = L"Software\\Classes\\";
    if (FindNoCase(keyPath, L"Wow6432Node") != std::wstring::npos) return L"";
    if (root == kHkcu && StartsWithNoCase(keyPath, classes))
        return std::wstring(keyPath.substr(0, classes.size())) + L"Wow6432Node\\" +
               std::wstring(keyPath.substr(classes.size()));
    if (root != kHklm) return L"";
    if (EqualsNoCase(keyPath, L"Software")) return std::wstring(keyPath) + L"\\Wow6432Node";
    if (!StartsWithNoCase(keyPath, software)) return L"";
    return std::wstring(keyPath.substr(0, software.size())) + L"Wow6432Node\\" +
           std::wstring(keyPath.substr(software.size()));
}

std::wstring ReferencedKeyPath(RootKey root, const std::wstring& keyPath) {
    if (MemoKeyExists(root, keyPath)) return keyPath;
    if (t_view != RegistryView::Wow32) return L"";
    std::wstring twin = Wow32Twin(root, keyPath);
    return !twin.empty() && MemoKeyExists(root, twin) ? twin : L"";
}

int ReferencedKeyExists(RootKey root, const std::wstring& keyPath) {
    return ReferencedKeyPath(root, keyPath).empty() ? 0 : 1;
}

int FileReferenceExists(std::wstring_view input) {
    MDR_HERE();
    if (Trim(input).empty()) return 0;
    // In the 32-bit view every candidate is looked for as a 32-bit program would: System32 is
    // its SysWOW64.
    const EnginePaths& paths = ScanEnginePaths();
    const bool wow32 = t_view == RegistryView::Wow32;
    auto seen = [&](const std::wstring& path) {
        return wow32 ? Wow32FilePath(path, paths.systemFolder, paths.wow64Folder) : path;
    };
    std::wstring text(input);
    if (text.front() == L'@') text.erase(0, 1);
    if (MemoPathExists(seen(text))) return 1;
    text = Trim(LongPathOf(text));
    text = LongPathOf(RewriteReferenceText(text, paths.windowsFolder));
    if (MemoPathExists(seen(text))) return 1;
    // An unquoted command line whose program sits in a folder with blanks in its name.
    if (AnyWordPrefixExists(seen(text))) return 1;
    // A reference that names its drive ("C:\...") lies below a search folder only when that folder
    // holds an entry named like the drive, which no Windows name can be. "<folder>C:" is looked
    // for once per scan; when it is missing, nothing below it is looked for.
    const bool namesDrive = text.size() >= 3 && text[1] == L':' && text[2] == L'\\';
    for (const std::wstring& folder : paths.searchFolders) {
        std::wstring candidate = seen(folder + text);
        std::wstring missing;
        if (namesDrive) {
            std::wstring drive = seen(folder + text.substr(0, 2));
            if (candidate.starts_with(drive + L'\\') && !MemoPathExists(drive))
                missing = drive + L'\\';
        }
        if ((!BelowMissingFolder(candidate, missing) && MemoPathExists(candidate)) ||
            AnyWordPrefixExists(candidate, missing))
            return 1;
    }
    if (GetSkipRemovable() == 1 && IsOnRemovableDrive(text)) return 1;
    return 0;
}

int IsOnRemovableDrive(std::wstring_view path) {
    const std::vector<std::wstring>& roots = ScanEnginePaths().removableRoots;
    if (roots.empty()) return 0;
    std::wstring head = Trim(ToLower(path.substr(0, 3)));
    for (const std::wstring& root : roots)
        if (head == Trim(ToLower(root))) return 1;
    return 0;
}

// ---- Start-up state ----

const EnginePaths& ScanEnginePaths() {
    return State().paths;
}

void InitScanEnginePaths() {
    MDR_HERE();
    EnginePaths p;
    std::wstring windir = EnvironmentValue(L"windir");
    if (windir.empty()) {
        // Without the variable the system still knows its folder.
        wchar_t buffer[MAX_PATH] = {};
        UINT got = GetWindowsDirectoryW(buffer, MAX_PATH);
        if (got > 0 && got < MAX_PATH) windir.assign(buffer, got);
    }
    if (windir.empty() || windir.back() != L'\\') windir += L'\\';
    p.windowsFolder = windir;
    p.systemFolder = windir + L"system32\\";
    p.wow64Folder = SystemWow64Folder();
    p.driversFolder = windir + L"system32\\drivers\\";
    p.fontsFolder = SpecialFolder(CSIDL_FONTS);
    p.recentFolder = SpecialFolder(CSIDL_RECENT);

    std::wstring searchPath =
        EnvironmentValue(L"Path") + L";" + EnvironmentValue(L"TEMP") + L";" + p.driversFolder;
    for (const std::wstring& field : SearchPathFields(searchPath))
        p.searchFolders.push_back(LongPathOf(ExpandEnvironment(field)));
    p.searchFolders.push_back(p.windowsFolder + L"Media\\");
    p.searchFolders.push_back(p.windowsFolder + L"Help\\");

    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
        wchar_t root[] = {letter, L':', L'\\', L'\0'};
        UINT type = GetDriveTypeW(root);
        if (type == DRIVE_REMOVABLE || type == DRIVE_CDROM) p.removableRoots.push_back(root);
    }
    State().paths = std::move(p);
}

void SetSearchFolders(std::vector<std::wstring> folders) {
    State().paths.searchFolders = std::move(folders);
}

void SetRemovableRoots(std::vector<std::wstring> roots) {
    State().paths.removableRoots = std::move(roots);
}

// ---- Settings ----

int SetProgressCallback(ProgressCallback cb) {
    State().progress = cb;
    return 1;
}
int SetErrorReportCallback(ErrorReportCallback cb) {
    State().errorReport = cb;
    return 1;
}
int SetScanDelay(int milliseconds) {
    State().scanDelay = milliseconds;
    return 1;
}
int SetSkipRemovable(int flag) {
    State().skipRemovable = flag;
    return 1;
}
ProgressCallback GetProgressCallback() {
    return State().progress;
}
ErrorReportCallback GetErrorReportCallback() {
    return State().errorReport;
}
int GetScanDelay() {
    return State().scanDelay;
}
int GetSkipRemovable() {
    return State().skipRemovable;
}

} // namespace mdr
