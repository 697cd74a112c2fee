#include "tools/ostrel/startup_entries.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <memory>
#include <unordered_map>

#include "common/icon_file.h"
#include "common/record_ids.h"
#include "common/text.h"
#include "regfile/backup_names.h"
#include "tools/frame/file_info.h"
#include "tools/frame/list_sync.h"
#include "tools/frame/report_list.h"
#include "tools/frame/tool_backup.h"

namespace mdr {
namespace {

constexpr int kShortcutBufferChars = 1024;
constexpr SourceKind kOnce = SourceKind::RunOnce;
constexpr SourceKind kAlways = SourceKind::Always;
constexpr wchar_t kPoliciesRun[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run";
constexpr wchar_t kWindowsKey[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const StartupSource kWow32RunKeys[] = {
    {kHklm, L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run", true},
    {kHklm, L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce", true, kOnce},
    {kHklm, L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx", true, kOnce},
    {kHklm, L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunServices", true,
     kAlways},
    {kHklm, L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce", true,
     kOnce},
    {kHklm, L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\Setup", true,
     kOnce}};

std::wstring WithoutLeadingBackslash(std::wstring_view key) {
    if (!key.empty() && key.front() == L'\\') key.remove_prefix(1);
    return std::wstring(key);
}

// COM for one call, as the shell-link calls need it on whatever thread asks.
class ComScope {
  public:
    ComScope() : hr_(CoInitialize(nullptr)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    bool Ok() const { return hr_ == S_OK || hr_ == S_FALSE; }

  private:
    HRESULT hr_;
};

template <typename T> struct ComRelease {
    void operator()(T* p) const noexcept { p->Release(); }
};
template <typename T> using ComPtr = std::unique_ptr<T, ComRelease<T>>;

std::shared_ptr<UniqueHicon> IconOf(const std::wstring& file) {
    UniqueHicon icon = SmallIconOf(file, 0);
    if (!icon) return nullptr;
    return std::make_shared<UniqueHicon>(std::move(icon));
}

bool Exists(const std::wstring& path) {
    return !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// What a shortcut names, kept until the file's size or last-write time changes: reading a
// shortcut through the shell costs far more than asking for its dates.
struct ShortcutFacts {
    uint64_t size = 0;
    FILETIME written{};
    std::wstring target;
    std::wstring arguments;
};
std::unordered_map<std::wstring, ShortcutFacts> g_shortcuts; // by lower-case path

const ShortcutFacts& CachedShortcut(const std::wstring& path, uint64_t size, FILETIME written) {
    ShortcutFacts& facts = g_shortcuts[ToLower(path)];
    if (facts.size != size || CompareFileTime(&facts.written, &written) != 0 ||
        (facts.target.empty() && facts.arguments.empty())) {
        facts = {size, written, ResolveShortcut(path, 0), ResolveShortcut(path, 1)};
    }
    return facts;
}

std::wstring ShortcutPart(const std::wstring& path, int what) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return L"";
    const ShortcutFacts& facts = CachedShortcut(
        path, (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow, data.ftLastWriteTime);
    return what == 0 ? facts.target : facts.arguments;
}

// The file a command names. Finding it probes the disk many times over (long names, each word
// of the command, inside each search folder), so the answer is kept: a file found while it
// exists, a file not found while none of the folders it was looked for in has changed (creating
// or renaming a file there changes the folder's last-write time).
struct CommandAnswer {
    std::wstring file;
    bool found = false;
    std::vector<std::pair<std::wstring, uint64_t>> folders; // looked in, with their stamps
};
std::unordered_map<std::wstring, CommandAnswer> g_commandFiles;
std::unordered_map<std::wstring, uint64_t> g_folderStamps; // asked once per scan

uint64_t FolderStamp(const std::wstring& folder) {
    auto [it, fresh] = g_folderStamps.try_emplace(folder, 0);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (fresh && GetFileAttributesExW(folder.c_str(), GetFileExInfoStandard, &data))
        it->second = ((uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                      data.ftLastWriteTime.dwLowDateTime) |
                     1; // never 0, which stands for a missing folder
    return it->second;
}

std::vector<std::pair<std::wstring, uint64_t>> SearchedFolders(const std::wstring& command) {
    std::wstring text = command;
    text.erase(std::remove(text.begin(), text.end(), L'"'), text.end());
    std::vector<std::wstring> folders;
    auto add = [&](const std::wstring& path) {
        const size_t slash = path.find_last_of(L'\\');
        if (slash == std::wstring::npos) return;
        std::wstring folder = ToLower(path.substr(0, slash + 1));
        if (std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(std::move(folder));
    };
    add(text);
    for (const std::wstring& prefix : WordPrefixes(Trim(text))) {
        add(prefix);
        for (const std::wstring& folder : ToolCommandSearch().folders)
            add(folder + prefix);
    }
    std::vector<std::pair<std::wstring, uint64_t>> stamped;
    for (std::wstring& folder : folders) {
        const uint64_t stamp = FolderStamp(folder);
        stamped.emplace_back(std::move(folder), stamp);
    }
    return stamped;
}

std::wstring CommandFile(const std::wstring& command, bool thirtyTwoBit) {
    const std::wstring key = (thirtyTwoBit ? L"32|" : L"|") + command;
    CommandAnswer& answer = g_commandFiles[key];
    const bool unchanged =
        answer.found
            ? Exists(answer.file)
            : !answer.folders.empty() &&
                  std::all_of(answer.folders.begin(), answer.folders.end(),
                              [](const auto& f) { return FolderStamp(f.first) == f.second; });
    if (unchanged) return answer.file;
    std::wstring file = CommandToFilePath(command);
    if (thirtyTwoBit) file = Wow32FilePath(file);
    const bool found = Exists(Trim(file));
    answer = {file, found, found ? decltype(answer.folders){} : SearchedFolders(command)};
    return file;
}

// The value as text, from the view given (ReadValueAsText for the default one).
std::wstring ValueText(RootKey root, const std::wstring& key, const std::wstring& name,
                       REGSAM view) {
    if (!view) return ReadValueAsText(root, key, name);
    UniqueHkey opened;
    if (RegOpenKeyExW(ToHkey(root), key.c_str(), 0, KEY_QUERY_VALUE | view, opened.put()) !=
        ERROR_SUCCESS)
        return L"";
    return ReadOpenValueAsText(opened.get(), name);
}

bool ValueThere(RootKey root, const std::wstring& key, const std::wstring& name, REGSAM view) {
    UniqueHkey opened;
    return RegOpenKeyExW(ToHkey(root), key.c_str(), 0, KEY_QUERY_VALUE | view, opened.put()) ==
               ERROR_SUCCESS &&
           RegQueryValueExW(opened.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
               ERROR_SUCCESS;
}

void AddRegistryEntry(std::vector<StartupEntry>& list, const StartupSource& source,
                      const std::wstring& key, const std::wstring& valueName) {
    StartupEntry entry;
    entry.root = source.root;
    entry.location = key;
    entry.name = valueName;
    entry.startupString = ValueText(source.root, key, valueName, source.view);
    entry.type = source.wow32 ? kRegistry32Type : source.type;
    entry.kind = source.kind;
    entry.view = source.view;
    // The machine's keys seen by a 32-bit program on 64-bit Windows are the 32-bit ones.
    const bool thirtyTwoBit =
        source.wow32 || (source.root == kHklm && source.view == 0 && NativeView() != 0);
    entry.approval = ApprovalPlaceOf(source.kind, source.root, thirtyTwoBit, valueName);
    list.push_back(std::move(entry));
}

void AddFolderEntry(std::vector<StartupEntry>& list, const std::wstring& path, bool common,
                    const WIN32_FIND_DATAW& data) {
    const std::wstring file = path.substr(path.find_last_of(L'\\') + 1);
    if (path.empty() || file == L"desktop.ini") return; // exact case: Desktop.ini is listed
    const size_t dot = file.find_last_of(L'.');
    const std::wstring ext = dot == std::wstring::npos ? L"." : file.substr(dot);
    StartupEntry entry;
    entry.location = path;
    entry.name = ReplaceAllNoCase(file, ext, L"");
    const std::wstring arguments =
        ToLower(ext) == L".lnk"
            ? CachedShortcut(path, (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow,
                             data.ftLastWriteTime)
                  .arguments
            : L"";
    entry.startupString = L"\"" + path + L"\"";
    if (!arguments.empty()) entry.startupString += L" \"" + arguments + L"\"";
    entry.type = common ? kCommonFolderType : kFolderType;
    entry.kind = common ? SourceKind::CommonFolder : SourceKind::UserFolder;
    entry.approval = ApprovalPlaceOf(entry.kind, 0, false, file);
    list.push_back(std::move(entry));
}

void AddFolderEntries(std::vector<StartupEntry>& list, const std::wstring& folder, bool common) {
    if (folder.empty()) return;
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW((folder + L"*.*").c_str(), &data));
    if (!find) return;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            AddFolderEntry(list, folder + data.cFileName, common, data);
    } while (FindNextFileW(find.get(), &data));
}

// A value of a key that is one entry by itself: the Load and Run values of the Windows key
// (listed when they hold a command), Winlogon's Shell and Userinit (always listed, as Windows
// cannot start without them).
void AddNamedValue(std::vector<StartupEntry>& list, RootKey root, const wchar_t* key,
                   const wchar_t* name, const wchar_t* type, bool always) {
    const REGSAM view = NativeView();
    std::wstring data = ValueText(root, key, name, view);
    if (!always && Trim(data).empty()) return;
    StartupEntry entry;
    entry.root = root;
    entry.location = key;
    entry.name = name;
    entry.type = type;
    entry.kind = SourceKind::Always;
    entry.view = view;
    entry.startupString = std::move(data);
    if (always) {
        static const std::wstring system = SpecialFolderPath(CSIDL_SYSTEM);
        entry.changedDefault = !IsWinlogonDefault(name, entry.startupString, system);
    }
    list.push_back(std::move(entry));
}

bool (*g_recycle)(const std::wstring& path) = MoveToRecycleBin;

uint64_t FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return UINT64_MAX;
    return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

} // namespace

bool RemoveFile(const std::wstring& path, const std::wstring& backupFolder) {
    if (g_recycle(path)) return true;
    if (backupFolder.empty()) return false;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const std::wstring folder = backupFolder + DatedName(L"Ostrel", now) + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring copy = folder + path.substr(path.find_last_of(L'\\') + 1);
    if (!CopyFileW(path.c_str(), copy.c_str(), TRUE)) return false;
    if (FileSize(copy) != FileSize(path)) {
        DeleteFileW(copy.c_str());
        return false;
    }
    return DeleteFileW(path.c_str()) != 0;
}

bool IsFolderEntry(const StartupEntry& entry) {
    return entry.kind == SourceKind::UserFolder || entry.kind == SourceKind::CommonFolder;
}

std::wstring EntryFile(const StartupEntry& entry) {
    if (entry.type == kOrphanType) return L"";
    const std::wstring file = IsFolderEntry(entry)
                                  ? entry.location
                                  : CommandFile(entry.startupString, entry.type == kRegistry32Type);
    // A shortcut, in a startup folder or named by a Run value, stands for its target.
    return ToLower(file).ends_with(L".lnk") ? ShortcutPart(file, 0) : file;
}

const std::vector<StartupSource>& StartupSources() {
    static const std::vector<StartupSource> sources = [] {
        std::vector<StartupSource> list = {
            {kHklm, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
            {kHklm, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", false, kOnce},
            {kHklm, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx", false, kOnce},
            {kHklm, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunServices", false, kAlways},
            {kHklm, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce", false, kOnce},
            {kHklm, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\Setup", false, kOnce},
            {kHkcu, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
            {kHkcu, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", false, kOnce},
            {kHkcu, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunServices", false, kAlways},
            {kHkcu, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce", false, kOnce},
            {kHklm,
             L"System\\CurrentControlSet\\Control\\Terminal Server\\Wds\\Rdpwd\\StartupPrograms",
             false, kAlways},
            {kHklm, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Userinit", false,
             kAlways},
            {kHklm, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Shell", false,
             kAlways},
            {kHklm, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\UIHost", false,
             kAlways},
        };
        if constexpr (sizeof(void*) == 8) {
            // The machine's Run keys of 32-bit programs.
            for (const StartupSource& source : kWow32RunKeys)
                list.push_back(source);
        }
        return list;
    }();
    return sources;
}

const std::vector<StartupSource>& PolicySources() {
    static const std::vector<StartupSource> sources = {
        {kHklm, kPoliciesRun, false, kAlways, kPoliciesType},
        {kHkcu, kPoliciesRun, false, kAlways, kPoliciesType}};
    return sources;
}

const std::vector<StartupSource>& NativeViewSources() {
    static const std::vector<StartupSource> sources = [] {
        std::vector<StartupSource> list;
        if (NativeView() == 0) return list;
        // The machine's six Run keys, the first six sources, as a 64-bit program sees them.
        for (size_t i = 0; i < 6; ++i) {
            StartupSource source = StartupSources()[i];
            source.type = kRegistry64Type;
            source.view = NativeView();
            list.push_back(source);
        }
        return list;
    }();
    return sources;
}

const std::wstring& CommonStartupFolder() {
    static const std::wstring folder = SpecialFolderPath(CSIDL_COMMON_STARTUP);
    return folder;
}

const std::wstring& UserStartupFolder() {
    static const std::wstring folder = [] {
        const std::wstring startMenu = SpecialFolderPath(CSIDL_STARTMENU);
        return startMenu.empty() ? std::wstring() : startMenu + L"Programs\\Startup\\";
    }();
    return folder;
}

int EnumerateRunValues(
    RootKey root, std::wstring_view key,
    const std::function<void(RootKey, const std::wstring&, const std::wstring&)>& found,
    REGSAM view) {
    const std::wstring path = WithoutLeadingBackslash(key);
    UniqueHkey opened;
    if (RegOpenKeyExW(ToHkey(root), path.c_str(), 0, KEY_QUERY_VALUE | view, opened.put()) !=
        ERROR_SUCCESS)
        return 0;
    NameReader names(opened.get(), NameReader::Values);
    std::wstring name;
    for (DWORD index = 0;; ++index) {
        const LONG rc = names.Read(index, name);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        // The unnamed default value is not a startup entry. A name that cannot be read is still
        // a row, so that nothing starts unseen.
        if (rc != ERROR_SUCCESS) name = kUnreadableName;
        if (!name.empty()) found(root, path, name);
        SleepEx(0, TRUE);
    }
    return 1;
}

std::wstring ResolveShortcut(const std::wstring& path, int what) {
    ComScope com;
    if (!com.Ok()) return L"";
    IShellLinkW* rawLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&rawLink))))
        return L"";
    ComPtr<IShellLinkW> link(rawLink);
    IPersistFile* rawFile = nullptr;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&rawFile))))
        return L"";
    ComPtr<IPersistFile> file(rawFile);
    if (FAILED(file->Load(path.c_str(), 0))) return L"";
    link->Resolve(nullptr, SLR_NO_UI);
    wchar_t buffer[kShortcutBufferChars] = {};
    const HRESULT hr = what == 0 ? link->GetPath(buffer, kShortcutBufferChars, nullptr, 0)
                                 : link->GetArguments(buffer, kShortcutBufferChars);
    return SUCCEEDED(hr) ? std::wstring(buffer) : L"";
}

std::wstring EntryIdentity(const StartupEntry& entry) {
    return IdentityKey({entry.name, entry.startupString, entry.type});
}

std::vector<RowContent> EntryRows(const std::vector<StartupEntry>& entries) {
    std::vector<RowContent> rows;
    rows.reserve(entries.size());
    for (const StartupEntry& e : entries)
        rows.push_back({EntryIdentity(e),
                        {e.name, e.startupString, e.type, StateText(e.state)},
                        e.id,
                        e.icon ? e.icon->get() : nullptr,
                        e.fileMissing || e.changedDefault,
                        e.state == EntryState::Disabled});
    return rows;
}

std::vector<StartupEntry> ScanStartupEntries(std::vector<StartupEntry> previous,
                                             const std::wstring& startupFolder,
                                             const std::wstring& commonFolder) {
    std::vector<StartupEntry> list;
    g_folderStamps.clear();
    auto enumerate = [&list](const std::vector<StartupSource>& sources) {
        for (const StartupSource& source : sources) {
            EnumerateRunValues(
                source.root, source.key,
                [&](RootKey, const std::wstring& key, const std::wstring& name) {
                    AddRegistryEntry(list, source, key, name);
                },
                source.view);
        }
    };
    enumerate(StartupSources());
    AddFolderEntries(list, startupFolder, false);
    AddFolderEntries(list, commonFolder, true);
    enumerate(PolicySources());
    for (const wchar_t* name : {L"Load", L"Run"})
        AddNamedValue(list, kHkcu, kWindowsKey, name, kWindowsValueType, false);
    for (const wchar_t* name : {L"Shell", L"Userinit"})
        AddNamedValue(list, kHklm, kWinlogonKey, name, kWinlogonType, true);
    enumerate(NativeViewSources());

    // The StartupApproved keys are asked once per scan; what no entry claims is an orphan.
    Approvals approvals = Approvals::Read();
    for (StartupEntry& entry : list) {
        if (entry.approval.root == 0) {
            entry.state =
                entry.kind == SourceKind::RunOnce ? EntryState::RunsOnce : EntryState::Always;
            continue;
        }
        const ApprovalValue* value = approvals.Find(entry.approval);
        entry.state = value && ApprovalDisables(value->type, value->bytes) ? EntryState::Disabled
                                                                           : EntryState::Enabled;
        approvals.Claim(entry.approval);
    }
    for (ApprovalPlace& place : approvals.Unclaimed()) {
        StartupEntry orphan;
        orphan.root = place.root;
        orphan.location = ApprovalKeyPath(place.key);
        orphan.name = place.value;
        orphan.startupString = RootKeyName(place.root) + L"\\" + orphan.location;
        orphan.type = kOrphanType;
        orphan.kind = SourceKind::Always;
        orphan.view = NativeView();
        orphan.state = EntryState::Orphaned;
        orphan.approval = std::move(place);
        list.push_back(std::move(orphan));
    }

    // Carry id and icon over from the previous scan. Whether the file exists is asked anew every
    // time (a file deleted while the tool runs must show as missing at the next refresh); the
    // icon is extracted again only when that answer changed.
    std::unordered_multimap<std::wstring, size_t> before;
    for (size_t i = 0; i < previous.size(); ++i)
        before.emplace(EntryIdentity(previous[i]), i);
    std::vector<bool> taken(previous.size(), false);
    for (StartupEntry& entry : list) {
        const std::wstring file = EntryFile(entry);
        entry.fileMissing = entry.type != kOrphanType && !Exists(Trim(file));
        auto it = before.find(EntryIdentity(entry));
        if (it != before.end()) {
            StartupEntry& old = previous[it->second];
            taken[it->second] = true;
            before.erase(it);
            entry.id = old.id;
            if (old.fileMissing == entry.fileMissing) {
                entry.icon = old.icon;
                continue;
            }
        } else {
            entry.id = NewRecordId();
        }
        entry.icon = IconOf(file);
    }
    for (size_t i = 0; i < previous.size(); ++i)
        if (!taken[i]) ReleaseRecordId(previous[i].id);
    return list;
}

bool WriteRunValue(RootKey root, std::wstring_view key, const std::wstring& name,
                   const std::wstring& data) {
    const std::wstring path = WithoutTrailingBackslash(key);
    UniqueHkey opened;
    // Never created: a missing Run key means something is wrong with the system.
    if (RegOpenKeyExW(ToHkey(root), path.c_str(), 0, KEY_SET_VALUE, opened.put()) != ERROR_SUCCESS)
        return false;
    const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(opened.get(), name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(data.c_str()), bytes) == ERROR_SUCCESS;
}

bool CreateShortcut(const std::wstring& target, const std::wstring& shortcutFile,
                    const std::wstring& arguments, const std::wstring& description,
                    const std::wstring& workingFolder, int showCommand,
                    const std::wstring& iconFile, int iconIndex) {
    ComScope com;
    if (!com.Ok()) return false;
    IShellLinkW* rawLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&rawLink))))
        return false;
    ComPtr<IShellLinkW> link(rawLink);
    link->SetPath(target.c_str());
    link->SetArguments(arguments.c_str());
    link->SetWorkingDirectory(workingFolder.c_str());
    link->SetDescription(description.c_str());
    link->SetShowCmd(showCommand);
    link->SetHotkey(0);
    link->SetIconLocation(iconFile.c_str(), iconIndex);
    IPersistFile* rawFile = nullptr;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&rawFile))))
        return false;
    ComPtr<IPersistFile> file(rawFile);
    return SUCCEEDED(file->Save(shortcutFile.c_str(), TRUE));
}

bool DeleteRunValue(RootKey root, std::wstring_view key, const std::wstring& name, REGSAM view) {
    const std::wstring path = WithoutTrailingBackslash(key);
    UniqueHkey opened;
    if (RegOpenKeyExW(ToHkey(root), path.c_str(), 0, KEY_SET_VALUE | view, opened.put()) !=
        ERROR_SUCCESS)
        return false;
    return RegDeleteValueW(opened.get(), name.c_str()) == ERROR_SUCCESS;
}

bool IsSafeEntryName(std::wstring_view name) {
    if (name.find_first_of(L"\\/:*?\"<>|") != std::wstring_view::npos ||
        name.find(L"..") != std::wstring_view::npos)
        return false;
    // A device name stays one with any extension and trailing blanks or dots.
    std::wstring stem = ToLower(Trim(name.substr(0, name.find(L'.'))));
    while (!stem.empty() && stem.back() == L'.')
        stem.pop_back();
    for (const wchar_t* device : {L"con", L"prn", L"aux", L"nul"})
        if (stem == device) return false;
    return !(stem.size() == 4 && (stem.starts_with(L"com") || stem.starts_with(L"lpt")) &&
             stem[3] >= L'1' && stem[3] <= L'9');
}

StartupEntry AddedEntry(int kind, const std::wstring& name) {
    StartupEntry entry;
    entry.name = name;
    if (kind == 2) {
        entry.kind = SourceKind::UserFolder;
        entry.type = kFolderType;
        entry.location = UserStartupFolder() + name + L".lnk";
        entry.approval = ApprovalPlaceOf(entry.kind, 0, false, name + L".lnk");
        return entry;
    }
    entry.root = kind == 0 ? kHklm : kHkcu;
    entry.location = kRunKey;
    entry.type = kRegistryType;
    const bool thirtyTwoBit = entry.root == kHklm && NativeView() != 0;
    entry.approval = ApprovalPlaceOf(SourceKind::Run, entry.root, thirtyTwoBit, name);
    return entry;
}

std::wstring AddedCommand(const std::wstring& path, const std::wstring& parameters) {
    std::wstring command = L"\"" + path + L"\"";
    if (!parameters.empty()) command += L" " + parameters;
    return command;
}

void SetRecycleForTesting(bool (*recycle)(const std::wstring& path)) {
    g_recycle = recycle ? recycle : MoveToRecycleBin;
}

RemoveResult RemoveStartupEntry(const StartupEntry& entry, const std::wstring& backupFolder) {
    if (entry.type == kWinlogonType) return {RemoveResult::Refused, L""};
    const bool approved = entry.approval.root != 0 && ReadApproval(entry.approval).has_value();
    const BackupItem approval{entry.approval.root, ApprovalKeyPath(entry.approval.key),
                              entry.approval.value, false, NativeView()};
    if (IsFolderEntry(entry)) {
        if (!RemoveFile(entry.location, backupFolder)) return {RemoveResult::NotRemoved, L""};
        if (!approved) return {RemoveResult::Removed, L""};
        // The file is gone; its approval would be an orphan. Left for the next refresh to show
        // when it cannot be backed up.
        const ToolBackup backup = WriteToolBackup(L"Ostrel", backupFolder, {approval});
        if (backup.written) DeleteApproval(entry.approval);
        return {RemoveResult::Removed, backup.file};
    }

    std::vector<BackupItem> items;
    if (entry.type != kOrphanType) {
        // Gone already (its key deleted meanwhile): nothing to back up or delete.
        if (!ValueThere(entry.root, entry.location, entry.name, entry.view))
            return {RemoveResult::NotRemoved, L""};
        items.push_back({entry.root, entry.location, entry.name, false, entry.view});
    } else if (!approved) {
        return {RemoveResult::NotRemoved, L""};
    }
    if (approved) items.push_back(approval);
    const ToolBackup backup = WriteToolBackup(L"Ostrel", backupFolder, items);
    if (!backup.written) return {RemoveResult::BackupFailed, L""};
    if (entry.type != kOrphanType &&
        (!DeleteRunValue(entry.root, entry.location, entry.name, entry.view) ||
         ValueThere(entry.root, entry.location, entry.name, entry.view)))
        return {RemoveResult::NotRemoved, backup.file};
    if (approved && !DeleteApproval(entry.approval)) return {RemoveResult::NotRemoved, backup.file};
    return {RemoveResult::Removed, backup.file};
}

std::wstring SwitchRefusal(const StartupEntry& entry) {
    if (entry.approval.root != 0 && entry.type != kOrphanType) return L"";
    if (entry.type == kOrphanType)
        return L"it is a record Windows left behind of an entry that no longer exists; Remove "
               L"deletes it";
    if (entry.kind == SourceKind::RunOnce)
        return L"Windows runs it once at the next start and then deletes it; it has no switch to "
               L"turn it off";
    return L"Windows starts entries of the type \"" + entry.type +
           L"\" without asking whether they are switched off; there is no switch for them";
}

SwitchResult SwitchStartupEntries(const std::vector<StartupEntry>& entries, bool disable,
                                  const std::wstring& backupFolder) {
    SwitchResult result;
    std::vector<BackupItem> items;
    for (const StartupEntry& entry : entries) {
        result.failures.push_back(SwitchRefusal(entry));
        if (!result.failures.back().empty()) continue;
        const bool present = ReadApproval(entry.approval).has_value();
        items.push_back({entry.approval.root, ApprovalKeyPath(entry.approval.key),
                         entry.approval.value, !present, NativeView()});
    }
    if (items.empty()) return result;
    const ToolBackup backup = WriteToolBackup(L"Ostrel", backupFolder, items);
    if (!backup.written) {
        result.backupFailed = true;
        for (std::wstring& failure : result.failures)
            if (failure.empty()) failure = L"its backup could not be written";
        return result;
    }
    result.backupFile = backup.file;
    for (size_t i = 0; i < entries.size(); ++i)
        if (result.failures[i].empty() && !WriteApproval(entries[i].approval, disable))
            result.failures[i] = L"its StartupApproved value could not be written";
    return result;
}

std::wstring RestoreWinlogonDefault(const StartupEntry& entry, const std::wstring& backupFolder) {
    if (entry.type != kWinlogonType) return L"only the Winlogon values have a Windows default";
    const std::wstring data = WinlogonDefault(entry.name, SpecialFolderPath(CSIDL_SYSTEM));
    const bool present = ValueThere(entry.root, entry.location, entry.name, entry.view);
    const ToolBackup backup = WriteToolBackup(
        L"Ostrel", backupFolder, {{entry.root, entry.location, entry.name, !present, entry.view}});
    if (!backup.written) return L"its backup could not be written";
    UniqueHkey key;
    const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    if (RegOpenKeyExW(ToHkey(entry.root), entry.location.c_str(), 0, KEY_SET_VALUE | entry.view,
                      key.put()) != ERROR_SUCCESS ||
        RegSetValueExW(key.get(), entry.name.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(data.c_str()), bytes) != ERROR_SUCCESS ||
        ValueText(entry.root, entry.location, entry.name, entry.view) != data)
        return L"the value could not be written";
    return L"";
}

std::vector<std::wstring> ExportRecordLines(const StartupEntry& entry) {
    std::vector<std::wstring> lines = {
        L"Entry name: " + entry.name, L"Startup string: " + entry.startupString,
        L"Entry type: " + entry.type, L"State: " + std::wstring(StateText(entry.state)),
        L"File information:",
    };
    // A startup-folder shortcut is described by its own .lnk file.
    const std::wstring file = CommandToFilePath(entry.startupString);
    for (const std::wstring& line :
         FileInfoLines(entry.type == kRegistry32Type ? Wow32FilePath(file) : file))
        lines.push_back(ExportedInfoLine(line));
    return lines;
}

} // namespace mdr
