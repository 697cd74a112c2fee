// Quorran's model: reading, running, adding and deleting uninstall entries.
#include "tools/quorran/uninstall_entries.h"

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <unordered_map>

#include "common/format.h"
#include "common/icon_file.h"
#include "common/path_form.h"
#include "common/record_ids.h"
#include "common/text.h"
#include "tools/frame/file_info.h"
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

std::wstring UninstallValue(const std::wstring& keyPath, const wchar_t* name) {
    return ReadValueAsText(kHklm, keyPath, name);
}

// The text the icon search starts from, with the folder it is tried in; an entry keeps its icon
// across refreshes while both stay the same.
std::wstring IconSource(const std::wstring& text, const std::wstring& folder) {
    return text + L'\x1F' + folder;
}

std::wstring SizeOfEntry(const std::wstring& keyPath, const std::wstring& folder,
                         const std::function<void()>& pause) {
    const std::wstring estimated = UninstallValue(keyPath, L"EstimatedSize");
    if (!estimated.empty()) return EstimatedSizeText(estimated);
    // A network folder could stall the refresh for as long as the network takes to answer.
    if (IsExcludedInstallFolder(folder, QuorranFolders()) || IsNetworkPath(folder))
        return kNotAvailable;
    const FolderTotal total = FolderSize(Trim(folder), kSizeWalkFileLimit, pause);
    if (!total.complete || total.bytes <= 0) return kNotAvailable;
    return FormatByteSize(total.bytes, 2);
}

// The job's processes still running; -1 when the job cannot tell.
long ActiveProcesses(HANDLE job) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
    if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof(info),
                                   nullptr))
        return -1;
    return static_cast<long>(info.ActiveProcesses);
}

} // namespace

const SystemFolders& QuorranFolders() {
    static const SystemFolders folders{SpecialFolderPath(CSIDL_WINDOWS),
                                       SpecialFolderPath(CSIDL_SYSTEM),
                                       SpecialFolderPath(CSIDL_PROGRAM_FILES)};
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

std::wstring EstimatedSizeText(std::wstring_view kilobytes) {
    // Other programs write this value: anything but a plausible count of kilobytes (up to
    // 2 TB) is not shown as a size.
    constexpr unsigned long long kMostKilobytes = 2ull * 1024 * 1024 * 1024;
    const std::wstring text = Trim(kilobytes);
    wchar_t* end = nullptr;
    const unsigned long long number = wcstoull(text.c_str(), &end, 10);
    if (text.empty() || text[0] == L'-' || *end != L'\0' || number == 0 || number > kMostKilobytes)
        return kNotAvailable;
    return FormatByteSize(static_cast<long long>(number * 1024), 2);
}

bool IsExcludedInstallFolder(std::wstring_view folder, const SystemFolders& folders) {
    const std::wstring f = CanonicalPath(folder);
    if (f.empty()) return false;
    const std::wstring drive = folders.windows.substr(0, 3);
    for (const std::wstring& excluded :
         {folders.windows, folders.system, drive, std::wstring(L"\\"), folders.programFiles}) {
        if (f == CanonicalPath(excluded)) return true;
    }
    return false;
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

UninstallCommand SplitUninstallString(std::wstring_view command, const std::wstring& systemFolder) {
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
            return {systemFolder + form.program, Trim(std::wstring_view(u).substr(k)), true};
    }

    if (!u.empty() && u[0] == L'"') {
        const size_t close = u.find(L'"', 1);
        if (close == std::wstring::npos) return {ExpandEnvironment(u.substr(1)), L"", false};
        return {ExpandEnvironment(u.substr(1, close - 1)), Trim(u.substr(close + 1)), false};
    }

    // Unquoted: the longest run of words that names an existing file is the program, so that
    // folders with blanks in their names work.
    const std::wstring expanded = ExpandEnvironment(u);
    std::vector<size_t> ends;
    for (size_t i = 0; i < expanded.size(); ++i)
        if (expanded[i] == L' ' && i > 0 && expanded[i - 1] != L' ') ends.push_back(i);
    ends.push_back(expanded.size());
    for (auto it = ends.rbegin(); it != ends.rend(); ++it) {
        const std::wstring program = expanded.substr(0, *it);
        if (IsExistingFile(program)) return {program, Trim(expanded.substr(*it)), false};
    }
    // Nothing there: the first run of words naming an .exe is the program that is missing.
    for (size_t end : ends) {
        const std::wstring program = expanded.substr(0, end);
        if (EndsWithNoCase(program, L".exe")) return {program, Trim(expanded.substr(end)), false};
    }
    return {expanded, L"", false};
}

std::vector<UninstallEntry> ReadUninstallEntries(std::vector<UninstallEntry> previous,
                                                 const std::function<void()>& pause) {
    // The entries' key paths; the 64-bit edition reads those of 32-bit programs as well.
    std::vector<std::wstring> subkeys;
    std::vector<const wchar_t*> roots = {kUninstallRoot};
    if constexpr (sizeof(void*) == 8) roots.push_back(kUninstall32Root);
    for (const wchar_t* rootPath : roots) {
        UniqueHkey root;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, rootPath, 0, KEY_READ, root.put()) != ERROR_SUCCESS)
            continue;
        wchar_t name[256];
        for (DWORD i = 0;; ++i) {
            DWORD length = 256;
            const LONG rc =
                RegEnumKeyExW(root.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_NO_MORE_ITEMS) break;
            if (rc == ERROR_SUCCESS)
                subkeys.push_back(std::wstring(rootPath) + L"\\" + std::wstring(name, length));
        }
    }

    std::unordered_map<std::wstring, size_t> before;
    for (size_t i = 0; i < previous.size(); ++i)
        before.emplace(ToLower(previous[i].keyPath), i);
    std::vector<bool> taken(previous.size(), false);

    std::vector<UninstallEntry> list;
    for (const std::wstring& keyPath : subkeys) {
        if (pause) pause();
        UninstallEntry e;
        e.keyPath = keyPath;
        e.name = UninstallValue(e.keyPath, L"DisplayName");
        e.uninstallString = UninstallValue(e.keyPath, L"UninstallString");
        if (e.name.empty() || e.uninstallString.empty()) continue;
        const std::wstring company = UninstallValue(e.keyPath, L"Publisher");
        e.company = company.empty() ? kNotAvailable : company;
        const std::wstring version = UninstallValue(e.keyPath, L"DisplayVersion");
        e.version = version.empty() ? kNotReported : version;
        e.installDate = InstallDateText(UninstallValue(e.keyPath, L"InstallDate"));
        const std::wstring folder = WithBackslash(UninstallValue(e.keyPath, L"InstallLocation"));
        e.size = SizeOfEntry(e.keyPath, folder, pause);
        const UninstallCommand command =
            SplitUninstallString(e.uninstallString, QuorranFolders().system);
        e.programMissing = !command.systemProgram && !IsExistingFile(command.program);

        std::wstring iconText = UninstallValue(e.keyPath, L"DisplayIcon");
        if (iconText.empty()) iconText = e.uninstallString;
        e.iconSource = IconSource(iconText, folder);
        auto it = before.find(ToLower(e.keyPath));
        if (it != before.end() && !taken[it->second]) {
            UninstallEntry& old = previous[it->second];
            taken[it->second] = true;
            e.id = old.id;
            if (old.iconSource == e.iconSource)
                e.icon = old.icon;
            else
                e.icon = FindEntryIcon(iconText, folder);
        } else {
            e.id = NewRecordId();
            e.icon = FindEntryIcon(iconText, folder);
        }
        list.push_back(std::move(e));
    }
    for (size_t i = 0; i < previous.size(); ++i)
        if (!taken[i]) ReleaseRecordId(previous[i].id);
    return list;
}

bool RunUninstaller(const UninstallCommand& command, const WaitForHandle& wait) {
    std::wstring line = L"\"" + command.program + L"\"";
    if (!command.parameters.empty()) line += L" " + command.parameters;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    // Suspended until it is in the job, so nothing it starts can escape the wait.
    if (!CreateProcessW(command.program.c_str(), line.data(), nullptr, nullptr, FALSE,
                        CREATE_SUSPENDED, nullptr, nullptr, &startup, &info))
        return false;
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    const bool inJob = job && AssignProcessToJobObject(job.get(), process.get());
    ResumeThread(thread.get());
    if (!inJob || ActiveProcesses(job.get()) < 0) {
        wait(process.get());
        return true;
    }
    // A job tells no one when it empties except through a completion port, which a message
    // loop cannot wait on; a ticking timer lets the loop look every 100 ms instead.
    UniqueHandle timer(CreateWaitableTimerW(nullptr, FALSE, nullptr));
    LARGE_INTEGER due{};
    due.QuadPart = -1000000; // 100 ms
    if (!timer || !SetWaitableTimer(timer.get(), &due, 100, nullptr, nullptr, FALSE)) {
        wait(process.get());
        return true;
    }
    while (ActiveProcesses(job.get()) > 0)
        wait(timer.get());
    CancelWaitableTimer(timer.get());
    return true;
}

DeleteResult DeleteUninstallEntry(const std::wstring& keyPath, const std::wstring& backupFolder) {
    const std::wstring path = WithoutTrailingBackslash(keyPath);
    if (path.empty() || !KeyExists(kHklm, path)) return {DeleteResult::NotDeleted, L""};
    const ToolBackup backup =
        WriteToolBackup(L"Quorran", backupFolder, {{kHklm, path, std::nullopt}});
    if (!backup.written) return {DeleteResult::BackupFailed, L""};
    const size_t slash = path.find_last_of(L'\\');
    const std::wstring parentPath = slash == std::wstring::npos ? L"" : path.substr(0, slash);
    const std::wstring name = path.substr(slash == std::wstring::npos ? 0 : slash + 1);
    UniqueHkey parent;
    // RegDeleteKeyW opens the key itself with DELETE access and leaves a key with subkeys.
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, parentPath.c_str(), 0, KEY_READ, parent.put()) !=
            ERROR_SUCCESS ||
        RegDeleteKeyW(parent.get(), name.c_str()) != ERROR_SUCCESS || KeyExists(kHklm, path))
        return {DeleteResult::NotDeleted, backup.file};
    return {DeleteResult::Deleted, backup.file};
}

AddOutcome AddUninstallEntry(const NewUninstallEntry& entry) {
    if (Trim(entry.identifier).empty()) return AddOutcome::NoIdentifier;
    const std::wstring path = std::wstring(kUninstallRoot) + L"\\" + entry.identifier;
    if (KeyExists(kHklm, path)) return AddOutcome::IdentifierExists;
    if (!IsExistingFile(entry.uninstaller)) return AddOutcome::UninstallerMissing;
    UniqueHkey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, WithoutTrailingBackslash(path).c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, key.put(), nullptr) != ERROR_SUCCESS)
        return AddOutcome::KeyNotCreated;
    const std::wstring uninstall = Trim(L"\"" + entry.uninstaller + L"\" " + entry.parameters);
    const std::pair<const wchar_t*, const std::wstring*> values[] = {
        {L"DisplayName", &entry.name},
        {L"Publisher", &entry.publisher},
        {L"DisplayVersion", &entry.version},
        {L"HelpLink", &entry.helpLink},
        {L"InstallLocation", &entry.installLocation},
        {L"DisplayIcon", &entry.uninstaller},
        {L"UninstallString", &uninstall}};
    for (const auto& [name, text] : values) {
        const DWORD bytes = static_cast<DWORD>((text->size() + 1) * sizeof(wchar_t));
        if (RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text->c_str()),
                           bytes) != ERROR_SUCCESS)
            return AddOutcome::KeyNotCreated;
    }
    return AddOutcome::Added;
}

std::wstring NewGuidText() {
    GUID guid{};
    if (FAILED(CoCreateGuid(&guid))) return L"";
    wchar_t buffer[76] = {};
    if (!StringFromGUID2(guid, buffer, 76)) return L"";
    return buffer;
}

std::vector<std::wstring> ExportRecordLines(const UninstallEntry& entry) {
    return {L"Name: " + entry.name,       L"Company: " + entry.company,
            L"Version: " + entry.version, L"InstallationDate: " + entry.installDate,
            L"Size: " + entry.size,       L"UninstallString: " + entry.uninstallString};
}

} // namespace mdr
