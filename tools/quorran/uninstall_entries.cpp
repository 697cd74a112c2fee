// Quorran's model: reading, running, adding and deleting uninstall entries.
#include "tools/quorran/uninstall_entries.h"

#include <objbase.h>
#include <shlobj.h>
#include <psapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <unordered_map>

#include "common/format.h"
#include "common/late_bound.h"
#include "common/icon_file.h"
#include "common/path_form.h"
#include "common/record_ids.h"
#include "common/text.h"
#include "tools/frame/file_info.h"
#include "tools/frame/list_sync.h"
#include "tools/frame/tool_backup.h"

namespace mdr {

namespace {

std::wstring WithBackslash(std::wstring folder) {
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    return folder;
}

std::wstring Unquoted(std::wstring_view text) {
    return ReplaceAll(text, L"\"", L"");
}

std::wstring RemoveArgs(std::wstring_view text) {
    std::wstring buffer(text);
    buffer.push_back(L'\0');
    PathRemoveArgsW(buffer.data());
    return buffer.c_str();
}

bool HasExtension(std::wstring_view name) {
    const size_t dot = name.find_last_of(L'.');
    return dot != std::wstring_view::npos &&
           name.find_first_of(L"\\/", dot) == std::wstring_view::npos;
}

bool ContainsNoCase(std::wstring_view text, std::wstring_view part) {
    return ToLower(text).find(ToLower(part)) != std::wstring::npos;
}

std::wstring FileNameOf(std::wstring_view path) {
    const size_t slash = path.find_last_of(L"\\/");
    return std::wstring(slash == std::wstring_view::npos ? path : path.substr(slash + 1));
}

std::wstring ModuleFolder() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return L"";
    return std::wstring(path, wcsrchr(path, L'\\') + 1);
}

bool IsProductCode(std::wstring_view name) {
    if (name.size() != 38 || name.front() != L'{' || name.back() != L'}') return false;
    for (size_t i = 1; i < 37; ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? name[i] != L'-' : !iswxdigit(name[i])) return false;
    }
    return true;
}

// The key of one entry, open for reading through its view.
UniqueHkey OpenEntry(RootKey root, REGSAM view, const std::wstring& keyPath) {
    UniqueHkey key;
    if (RegOpenKeyExW(ToHkey(root), keyPath.c_str(), 0, KEY_READ | view, key.put()) !=
        ERROR_SUCCESS)
        key.reset();
    return key;
}

// The text the icon search starts from, with the folder it is tried in; an entry keeps its icon
// across refreshes while both stay the same.
std::wstring IconSource(const std::wstring& text, const std::wstring& folder) {
    return text + L'\x1F' + folder;
}

// The job's processes still running; -1 when the job cannot tell.
long ActiveProcesses(HANDLE job) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
    if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof(info),
                                   nullptr))
        return -1;
    return static_cast<long>(info.ActiveProcesses);
}

// The image file names of the job's processes; false when the job cannot tell.
bool JobImages(HANDLE job, std::vector<std::wstring>& images) {
    struct {
        JOBOBJECT_BASIC_PROCESS_ID_LIST list;
        ULONG_PTR more[255];
    } ids{};
    ids.list.NumberOfAssignedProcesses = 256;
    if (!QueryInformationJobObject(job, JobObjectBasicProcessIdList, &ids, sizeof(ids), nullptr))
        return false;
    for (DWORD i = 0; i < ids.list.NumberOfProcessIdsInList; ++i) {
        UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE,
                                         static_cast<DWORD>(ids.list.ProcessIdList[i])));
        wchar_t path[MAX_PATH] = {};
        if (process) GetModuleFileNameExW(process.get(), nullptr, path, MAX_PATH);
        images.push_back(FileNameOf(path));
    }
    return true;
}

} // namespace

std::vector<UninstallSource> UninstallSources() {
    const UninstallSource user{kHkcu, 0, kUninstallRoot, kScopeThisUser};
    if constexpr (sizeof(void*) == 8)
        return {{kHklm, 0, kUninstallRoot, kScopeAllUsers},
                {kHklm, 0, kUninstall32Root, kScopeAllUsers32},
                user};
    // On 64-bit Windows both are read through the 64-bit view, by the paths that view gives them,
    // so that their backups name the keys as the system's own registry editor finds them.
    if (RunsUnderWow64())
        return {{kHklm, KEY_WOW64_64KEY, kUninstallRoot, kScopeAllUsers},
                {kHklm, KEY_WOW64_64KEY, kUninstall32Root, kScopeAllUsers32},
                user};
    return {{kHklm, 0, kUninstallRoot, kScopeAllUsers}, user};
}

std::wstring HiddenReason(const EntryFacts& f) {
    if (Trim(f.displayName).empty()) return L"No name";
    if (f.systemComponent) return L"System component";
    const bool knowledgeBase =
        f.keyName.size() > 2 && ToLower(f.keyName.substr(0, 2)) == L"kb" && iswdigit(f.keyName[2]);
    if (!f.parentKeyName.empty() || ContainsNoCase(f.releaseType, L"Update") ||
        ContainsNoCase(f.releaseType, L"Hotfix") || knowledgeBase) {
        const std::wstring parent = !f.parentDisplayName.empty() ? f.parentDisplayName
                                    : !f.parentKeyName.empty()   ? f.parentKeyName
                                                                 : L"Windows";
        return L"Update of " + parent;
    }
    if (f.noRemove) return L"Protected";
    if (!f.hasUninstaller) return L"No uninstaller";
    return L"";
}

bool IsBareName(std::wstring_view name) {
    return !name.empty() && name.find_first_of(L"\\/:") == std::wstring_view::npos;
}

const ProgramSearch& WindowsProgramSearch() {
    static const ProgramSearch search = [] {
        const SystemFolders& f = QuorranFolders();
        ProgramSearch s{{ModuleFolder(), f.system, f.windows + L"System\\", f.windows},
                        ExpandEnvironment(L"%PATH%"),
                        {}};
        constexpr wchar_t kAppPaths[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
        s.appPaths = {{kHkcu, kAppPaths}, {kHklm, kAppPaths}};
        return s;
    }();
    return search;
}

std::wstring SearchProgram(std::wstring_view name, const ProgramSearch& where) {
    if (!IsBareName(name)) return L"";
    const std::wstring n(name);
    std::wstring list;
    for (const std::wstring& folder : where.folders)
        if (!folder.empty()) list += WithoutTrailingBackslash(folder) + L";";
    list += where.path;
    wchar_t found[MAX_PATH] = {};
    const DWORD length = SearchPathW(list.c_str(), n.c_str(), L".exe", MAX_PATH, found, nullptr);
    if (length > 0 && length < MAX_PATH && IsExistingFile(found)) return found;
    for (const auto& [root, path] : where.appPaths) {
        for (const std::wstring& key : {n, HasExtension(n) ? std::wstring() : n + L".exe"}) {
            if (key.empty()) continue;
            const std::wstring file =
                Unquoted(ExpandEnvironment(ReadValueAsText(root, path + L"\\" + key, L"")));
            if (IsExistingFile(file)) return file;
        }
    }
    return L"";
}

std::optional<UninstallCommand> MsiUninstallCommand(std::wstring_view keyName,
                                                    const std::wstring& systemFolder) {
    if (!IsProductCode(keyName)) return std::nullopt;
    return UninstallCommand{systemFolder + L"msiexec.exe", L"/x " + std::wstring(keyName), true,
                            true};
}

UninstallCommand CommandOf(const UninstallEntry& entry) {
    const std::wstring& system = QuorranFolders().system;
    if (entry.windowsInstaller) {
        if (auto msi = MsiUninstallCommand(FileNameOf(entry.keyPath), system)) return *msi;
    }
    return SplitUninstallString(entry.uninstallString, system);
}

const SystemFolders& QuorranFolders() {
    static const SystemFolders folders = [] {
        SystemFolders f{SpecialFolderPath(CSIDL_WINDOWS), SpecialFolderPath(CSIDL_SYSTEM),
                        SpecialFolderPath(CSIDL_PROGRAM_FILES)};
        const std::wstring profile = SpecialFolderPath(CSIDL_PROFILE);
        // Downloads has no CSIDL; its known folder is not there before Vista.
        for (const std::wstring& folder :
             {profile, SpecialFolderPath(CSIDL_DESKTOPDIRECTORY), SpecialFolderPath(CSIDL_PERSONAL),
              profile.empty() ? std::wstring() : profile + L"Downloads\\"})
            if (!folder.empty()) f.personal.push_back(folder);
        return f;
    }();
    return folders;
}

std::wstring InstallDateText(std::wstring_view raw) {
    if (raw.empty()) return kNotSpecified;
    if (raw.find(L'/') != std::wstring_view::npos) return std::wstring(raw);
    auto part = [&](size_t from, size_t count) {
        return from < raw.size() ? std::wstring(raw.substr(from, count)) : std::wstring();
    };
    return part(0, 4) + L"/" + part(4, 2) + L"/" + part(6, 2);
}

SizeShown ChooseSize(std::wstring_view estimatedKilobytes, int64_t measured) {
    constexpr unsigned long long kMostKilobytes = 2ull * 1024 * 1024 * 1024;
    const std::wstring text = Trim(estimatedKilobytes);
    wchar_t* end = nullptr;
    const unsigned long long kilobytes = wcstoull(text.c_str(), &end, 10);
    const bool reported = !text.empty() && text[0] != L'-' && *end == L'\0' && kilobytes > 0;
    const std::wstring reportedText =
        reported ? FormatByteSize(static_cast<long long>(kilobytes * 1024), 2) : L"";
    const bool believed = reported && kilobytes <= kMostKilobytes &&
                          (measured <= 0 || kilobytes * 1024 <= 100ull * measured);
    if (believed) return {reportedText + L" (registry)", L""};
    if (measured > 0) return {FormatByteSize(measured, 2) + L" (measured)", reportedText};
    return {kNotAvailable, reportedText};
}

bool IsExcludedInstallFolder(std::wstring_view folder, const SystemFolders& folders) {
    const std::wstring f = CanonicalPath(folder);
    if (f.empty()) return false;
    const std::wstring drive = folders.windows.substr(0, 3);
    for (const std::wstring& excluded :
         {folders.windows, folders.system, drive, std::wstring(L"\\"), folders.programFiles}) {
        if (f == CanonicalPath(excluded)) return true;
    }
    return std::any_of(folders.personal.begin(), folders.personal.end(),
                       [&](const std::wstring& p) { return EqualsNoCase(f, CanonicalPath(p)); });
}

FolderTotal FolderSize(const std::wstring& folder, size_t fileLimit,
                       const std::function<void()>& pause) {
    FolderTotal total;
    size_t files = 0;
    std::vector<std::wstring> pending{WithBackslash(folder)};
    while (!pending.empty()) {
        const std::wstring current = std::move(pending.back());
        pending.pop_back();
        if (pause) pause();
        WIN32_FIND_DATAW data;
        UniqueFind find(FindFirstFileW((current + L"*").c_str(), &data));
        if (!find) continue;
        do {
            const std::wstring_view name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                // A junction or link may lead back up the tree: its files are counted where
                // they really are.
                if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                    pending.push_back(current + data.cFileName + L"\\");
                continue;
            }
            if (++files > fileLimit) {
                total.complete = false;
                return total;
            }
            if (pause && files % 512 == 0) pause();
            total.bytes += static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) |
                                                data.nFileSizeLow);
        } while (FindNextFileW(find.get(), &data));
    }
    return total;
}

int64_t MeasuredFolder(const std::wstring& folder, const std::function<void()>& pause) {
    const std::wstring path = Trim(folder);
    if (path.empty() || path == L"\\") return -1;
    struct Known {
        bool refused = false;
        bool walked = false;
        FILETIME written{};
        int64_t bytes = -1;
    };
    // By the folder's text: the refusal costs file-system calls, and the tool has one thread.
    static std::unordered_map<std::wstring, Known> known;
    auto [it, added] = known.try_emplace(ToLower(path));
    Known& k = it->second;
    // A network folder could stall the refresh for as long as the network takes to answer.
    if (added) k.refused = IsExcludedInstallFolder(path, QuorranFolders()) || IsNetworkPath(path);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (k.refused ||
        !GetFileAttributesExW(WithoutTrailingBackslash(path).c_str(), GetFileExInfoStandard,
                              &data) ||
        !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return -1;
    if (k.walked && CompareFileTime(&k.written, &data.ftLastWriteTime) == 0) return k.bytes;
    const FolderTotal total = FolderSize(path, kSizeWalkFileLimit, pause);
    k = {false, true, data.ftLastWriteTime, total.complete ? total.bytes : -1};
    return k.bytes;
}

std::vector<std::wstring> IconCandidates(std::wstring_view text, std::wstring_view installFolder,
                                         const SystemFolders& folders) {
    const std::wstring i(text);
    const std::wstring f(installFolder);
    return {i,
            f + i,
            folders.windows + i,
            folders.windows + f + i,
            folders.system + i,
            folders.system + f + i};
}

std::vector<std::wstring> IconForms(std::wstring_view candidate) {
    const std::wstring c(candidate);
    const std::wstring withoutArgs = RemoveArgs(c);
    const std::wstring beforeComma = BeforeFirstComma(c);
    std::vector<std::wstring> forms = {
        c, Unquoted(c), withoutArgs, Unquoted(withoutArgs), beforeComma, Unquoted(beforeComma)};
    for (std::wstring& prefix : WordPrefixes(c))
        forms.push_back(std::move(prefix));
    return forms;
}

std::shared_ptr<UniqueHicon> FindEntryIcon(const std::wstring& text, const std::wstring& folder) {
    std::vector<std::wstring> tried;
    for (const std::wstring& candidate : IconCandidates(text, folder, QuorranFolders())) {
        for (const std::wstring& form : IconForms(candidate)) {
            if (form.empty() || std::find(tried.begin(), tried.end(), form) != tried.end())
                continue;
            tried.push_back(form);
            UniqueHicon icon = SmallIconOf(form, 0);
            if (icon) return std::make_shared<UniqueHicon>(std::move(icon));
        }
    }
    return nullptr;
}

bool IsExistingFile(const std::wstring& path) {
    if (path.empty()) return false;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

UninstallCommand SplitUninstallString(std::wstring_view command, const std::wstring& systemFolder,
                                      const ProgramSearch& search) {
    const std::wstring u = Trim(command);
    struct Form {
        const wchar_t* start;
        const wchar_t* program;
    };
    static constexpr Form kForms[] = {{L"rundll32.exe", L"rundll32.exe"},
                                      {L"msiexec.exe", L"msiexec.exe"},
                                      {L"rundll32", L"rundll32.exe"},
                                      {L"msiexec", L"msiexec.exe"}};
    for (const Form& form : kForms) {
        const size_t k = wcslen(form.start);
        if (ToLower(Trim(std::wstring_view(u).substr(0, k))) == form.start)
            return {systemFolder + form.program, Trim(std::wstring_view(u).substr(k)), true, true};
    }
    // A program given by bare name runs from where Windows finds it, never the current folder.
    auto locate = [&](const std::wstring& program) {
        return IsBareName(program)       ? SearchProgram(program, search)
               : IsExistingFile(program) ? program
                                         : std::wstring();
    };

    if (!u.empty() && u[0] == L'"') {
        const size_t close = u.find(L'"', 1);
        const std::wstring program =
            ExpandEnvironment(close == std::wstring::npos ? u.substr(1) : u.substr(1, close - 1));
        const std::wstring rest = close == std::wstring::npos ? L"" : Trim(u.substr(close + 1));
        const std::wstring found = locate(program);
        return {found.empty() ? program : found, rest, false, !found.empty()};
    }

    // Unquoted: the longest run of words that names an existing file is the program, so that
    // folders with blanks in their names work.
    const std::wstring expanded = ExpandEnvironment(u);
    std::vector<size_t> ends;
    for (size_t i = 0; i < expanded.size(); ++i)
        if (expanded[i] == L' ' && i > 0 && expanded[i - 1] != L' ') ends.push_back(i);
    ends.push_back(expanded.size());
    for (auto it = ends.rbegin(); it != ends.rend(); ++it) {
        const std::wstring found = locate(expanded.substr(0, *it));
        if (!found.empty()) return {found, Trim(expanded.substr(*it)), false, true};
    }
    // Nothing there: the first run of words naming an .exe is the program that is missing.
    for (size_t end : ends) {
        const std::wstring program = expanded.substr(0, end);
        if (EndsWithNoCase(program, L".exe"))
            return {program, Trim(expanded.substr(end)), false, false};
    }
    return {expanded, L"", false, false};
}

std::vector<UninstallEntry> ReadUninstallEntries(std::vector<UninstallEntry> previous,
                                                 const std::function<void()>& pause) {
    struct Found {
        const UninstallSource* source;
        std::wstring keyPath;
        std::wstring name;
        FILETIME written;
    };
    const std::vector<UninstallSource> sources = UninstallSources();
    std::vector<Found> subkeys;
    for (const UninstallSource& source : sources) {
        UniqueHkey root;
        if (RegOpenKeyExW(ToHkey(source.root), source.path, 0, KEY_READ | source.view,
                          root.put()) != ERROR_SUCCESS)
            continue;
        // The walk gives each key's last write, which tells whether it needs reading again.
        wchar_t name[256]; // key names are at most 255 characters
        for (DWORD i = 0;; ++i) {
            DWORD length = 256;
            FILETIME written{};
            const LONG rc =
                RegEnumKeyExW(root.get(), i, name, &length, nullptr, nullptr, nullptr, &written);
            if (rc == ERROR_NO_MORE_ITEMS) break;
            if (rc == ERROR_SUCCESS)
                subkeys.push_back({&source, std::wstring(source.path) + L"\\" + name,
                                   std::wstring(name, length), written});
        }
    }

    // Identity: the root, the view and the key path.
    auto identity = [](RootKey root, REGSAM view, const std::wstring& keyPath) {
        return std::to_wstring(root) + L":" + std::to_wstring(view) + L":" + ToLower(keyPath);
    };
    std::unordered_map<std::wstring, size_t> before;
    for (size_t i = 0; i < previous.size(); ++i)
        before.emplace(identity(previous[i].root, previous[i].view, previous[i].keyPath), i);
    std::vector<bool> taken(previous.size(), false);

    std::vector<UninstallEntry> list;
    for (const Found& found : subkeys) {
        if (pause) pause();
        auto it = before.find(identity(found.source->root, found.source->view, found.keyPath));
        UninstallEntry* old = nullptr;
        if (it != before.end() && !taken[it->second]) {
            old = &previous[it->second];
            taken[it->second] = true;
        }
        UninstallEntry e;
        // A key whose values are as they were is not read again; its program and folder are
        // looked at anew.
        if (old && CompareFileTime(&old->written, &found.written) == 0) {
            e = std::move(*old);
        } else {
            const UniqueHkey key = OpenEntry(found.source->root, found.source->view, found.keyPath);
            if (!key) {
                if (old) taken[it->second] = false; // its id is released below
                continue;
            }
            auto value = [&](const wchar_t* name) { return ReadOpenValueAsText(key.get(), name); };
            e.keyPath = found.keyPath;
            e.root = found.source->root;
            e.view = found.source->view;
            e.scope = found.source->scope;
            e.written = found.written;
            const std::wstring displayName = value(L"DisplayName");
            e.name = displayName.empty() ? found.name : displayName;
            e.uninstallString = value(L"UninstallString");
            e.quietUninstallString = value(L"QuietUninstallString");
            e.windowsInstaller = value(L"WindowsInstaller") == L"1";
            e.hidden = HiddenReason(
                {found.name, displayName,
                 !e.uninstallString.empty() || (e.windowsInstaller && IsProductCode(found.name)),
                 value(L"SystemComponent") == L"1", value(L"NoRemove") == L"1",
                 value(L"ParentKeyName"), value(L"ParentDisplayName"), value(L"ReleaseType")});
            const std::wstring company = value(L"Publisher");
            e.company = company.empty() ? kNotAvailable : company;
            const std::wstring version = value(L"DisplayVersion");
            e.version = version.empty() ? kNotReported : version;
            e.installDate = InstallDateText(value(L"InstallDate"));
            e.installFolder = WithBackslash(value(L"InstallLocation"));
            e.estimatedSize = value(L"EstimatedSize");
            std::wstring iconText = value(L"DisplayIcon");
            if (iconText.empty()) iconText = e.uninstallString;
            const std::wstring iconSource = IconSource(iconText, e.installFolder);
            e.id = old ? old->id : NewRecordId();
            e.icon = old && old->iconSource == iconSource
                         ? old->icon
                         : FindEntryIcon(iconText, e.installFolder);
            e.iconSource = iconSource;
        }
        SizeShown size = ChooseSize(e.estimatedSize, MeasuredFolder(e.installFolder, pause));
        e.size = std::move(size.text);
        e.reportedSize = std::move(size.reported);
        e.programMissing = !e.uninstallString.empty() && !CommandOf(e).found;
        list.push_back(std::move(e));
    }
    for (size_t i = 0; i < previous.size(); ++i)
        if (!taken[i]) ReleaseRecordId(previous[i].id);
    return list;
}

bool JobIsOver(HANDLE job, const std::wstring& ignoredImage) {
    const long active = ActiveProcesses(job);
    if (active <= 0 || ignoredImage.empty()) return active <= 0;
    std::vector<std::wstring> images;
    if (!JobImages(job, images)) return false;
    return std::all_of(images.begin(), images.end(), [&](const std::wstring& image) {
        return EqualsNoCase(image, ignoredImage);
    });
}

std::wstring DefaultBrowserImage() {
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (FAILED(AssocQueryStringW(ASSOCF_NOTRUNCATE, ASSOCSTR_EXECUTABLE, L"http", L"open", path,
                                 &size)))
        return L"";
    return FileNameOf(path);
}

DWORD RunUninstaller(const UninstallCommand& command, const WaitForHandle& wait,
                     const std::wstring& ignoredImage, UniqueHandle* unfinished) {
    std::wstring line = L"\"" + command.program + L"\"";
    if (!command.parameters.empty()) line += L" " + command.parameters;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    // Suspended until it is in the job, so nothing it starts can escape the wait.
    if (!CreateProcessW(command.program.c_str(), line.data(), nullptr, nullptr, FALSE,
                        CREATE_SUSPENDED, nullptr, nullptr, &startup, &info))
        return GetLastError();
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    const bool inJob = job && AssignProcessToJobObject(job.get(), process.get());
    ResumeThread(thread.get());
    if (!inJob || ActiveProcesses(job.get()) < 0) {
        wait(process.get());
        return ERROR_SUCCESS;
    }
    // A job tells no one when it empties except through a completion port, which a message
    // loop cannot wait on; a ticking timer lets the loop look every 100 ms instead.
    UniqueHandle timer(CreateWaitableTimerW(nullptr, FALSE, nullptr));
    LARGE_INTEGER due{};
    due.QuadPart = -1000000; // 100 ms
    if (!timer || !SetWaitableTimer(timer.get(), &due, 100, nullptr, nullptr, FALSE)) {
        wait(process.get());
        return ERROR_SUCCESS;
    }
    while (!JobIsOver(job.get(), ignoredImage)) {
        if (!wait(timer.get())) {
            if (unfinished) *unfinished = std::move(job);
            break;
        }
    }
    CancelWaitableTimer(timer.get());
    return ERROR_SUCCESS;
}

DeleteResult DeleteUninstallEntry(const UninstallEntry& entry, const std::wstring& backupFolder) {
    const std::wstring path = WithoutTrailingBackslash(entry.keyPath);
    if (path.empty()) return {DeleteResult::NotDeleted, L""};
    {
        // RegDeleteKeyW leaves a key with subkeys; such a key gets no backup either.
        const UniqueHkey key = OpenEntry(entry.root, entry.view, path);
        DWORD subkeys = 0;
        if (!key ||
            RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
            subkeys > 0)
            return {DeleteResult::NotDeleted, L""};
    }
    const ToolBackup backup = WriteToolBackup(
        L"Quorran", backupFolder,
        {{.root = entry.root, .key = path, .value = std::nullopt, .view = entry.view}});
    if (!backup.written) return {DeleteResult::BackupFailed, L""};
    const size_t slash = path.find_last_of(L'\\');
    const std::wstring parentPath = slash == std::wstring::npos ? L"" : path.substr(0, slash);
    const std::wstring name = path.substr(slash == std::wstring::npos ? 0 : slash + 1);
    UniqueHkey parent;
    // The name is taken in the parent's own view, which the handle already holds.
    if (RegOpenKeyExW(ToHkey(entry.root), parentPath.c_str(), 0, KEY_READ | entry.view,
                      parent.put()) != ERROR_SUCCESS ||
        RegDeleteKeyW(parent.get(), name.c_str()) != ERROR_SUCCESS ||
        OpenEntry(entry.root, entry.view, path))
        return {DeleteResult::NotDeleted, backup.file};
    return {DeleteResult::Deleted, backup.file};
}

namespace {

LONG WriteString(HKEY key, const wchar_t* name, const std::wstring& text) {
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
}

// Creates root\name (which must be new) and writes every value into it; false, with the key
// deleted again, when any step fails.
bool WriteNewKey(HKEY root, const std::wstring& name,
                 const std::vector<std::pair<const wchar_t*, std::wstring>>& values,
                 const ValueWriter& write) {
    UniqueHkey key;
    DWORD disposition = 0;
    if (RegCreateKeyExW(root, name.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                        &disposition) != ERROR_SUCCESS)
        return false;
    if (disposition != REG_CREATED_NEW_KEY) return false;
    bool ok = true;
    for (const auto& [value, text] : values)
        ok = ok && (write ? write(key.get(), value, text) : WriteString(key.get(), value, text)) ==
                       ERROR_SUCCESS;
    key.reset();
    if (!ok) RegDeleteKeyW(root, name.c_str());
    return ok;
}

} // namespace

AddOutcome AddUninstallEntry(const NewUninstallEntry& entry, const ValueWriter& write) {
    if (Trim(entry.identifier).empty()) return AddOutcome::NoIdentifier;
    const std::wstring path = std::wstring(kUninstallRoot) + L"\\" + entry.identifier;
    if (KeyExists(kHklm, path)) return AddOutcome::IdentifierExists;
    if (!IsExistingFile(entry.uninstaller)) return AddOutcome::UninstallerMissing;
    UniqueHkey root;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUninstallRoot, 0, nullptr, 0, KEY_READ | KEY_WRITE,
                        nullptr, root.put(), nullptr) != ERROR_SUCCESS)
        return AddOutcome::KeyNotCreated;
    const std::vector<std::pair<const wchar_t*, std::wstring>> values = {
        {L"DisplayName", entry.name},
        {L"Publisher", entry.publisher},
        {L"DisplayVersion", entry.version},
        {L"HelpLink", entry.helpLink},
        {L"InstallLocation", entry.installLocation},
        {L"DisplayIcon", entry.uninstaller},
        {L"UninstallString", Trim(L"\"" + entry.uninstaller + L"\" " + entry.parameters)}};
    const std::wstring name = WithoutTrailingBackslash(entry.identifier);
    const std::wstring temporary = L"~MDR new entry " + NewGuidText();
    if (!WriteNewKey(root.get(), temporary, values, write)) return AddOutcome::KeyNotCreated;
    // RegRenameKey (from Vista on) makes the finished key appear at once; before it, the values
    // are written a second time under the real name.
    using RenameFn = LONG(WINAPI*)(HKEY, LPCWSTR, LPCWSTR);
    static const LateBound<RenameFn> rename(L"advapi32.dll", "RegRenameKey", kWindowsVista);
    bool renamed = false;
    bool ok = false;
    if (const RenameFn renameKey = rename.get())
        ok = renamed = renameKey(root.get(), temporary.c_str(), name.c_str()) == ERROR_SUCCESS;
    else
        ok = WriteNewKey(root.get(), name, values, write);
    if (!renamed) RegDeleteKeyW(root.get(), temporary.c_str());
    return ok ? AddOutcome::Added : AddOutcome::KeyNotCreated;
}

std::wstring NewGuidText() {
    GUID guid{};
    if (FAILED(CoCreateGuid(&guid))) return L"";
    wchar_t buffer[76] = {};
    if (!StringFromGUID2(guid, buffer, 76)) return L"";
    return buffer;
}

RowContent EntryRow(const UninstallEntry& e) {
    return {
        IdentityKey({std::to_wstring(e.root), std::to_wstring(e.view), e.keyPath}),
        {e.name, e.company, e.version, e.installDate, e.size, e.uninstallString, e.scope, e.hidden},
        e.id,
        e.icon ? e.icon->get() : nullptr,
        e.programMissing && e.hidden.empty()};
}

std::vector<std::wstring> ExportRecordLines(const UninstallEntry& entry) {
    return {L"Name: " + entry.name,       L"Company: " + entry.company,
            L"Version: " + entry.version, L"InstallationDate: " + entry.installDate,
            L"Size: " + entry.size,       L"UninstallString: " + entry.uninstallString,
            L"Scope: " + entry.scope};
}

} // namespace mdr
