#include "tools/ostrel/startup_entries.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <memory>
#include <unordered_map>

#include "common/icon_file.h"
#include "common/record_ids.h"
#include "common/text.h"
#include "tools/frame/file_info.h"
#include "tools/frame/list_sync.h"
#include "tools/frame/report_list.h"
#include "tools/frame/tool_backup.h"

namespace mdr {
namespace {

constexpr int kShortcutBufferChars = 1024;

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

void AddRegistryEntry(std::vector<StartupEntry>& list, RootKey root, const std::wstring& key,
                      const std::wstring& valueName, bool wow32) {
    StartupEntry entry;
    entry.root = root;
    entry.location = key;
    entry.name = valueName;
    entry.startupString = ReadValueAsText(root, key, valueName);
    entry.type = wow32 ? kRegistry32Type : kRegistryType;
    list.push_back(std::move(entry));
}

void AddFolderEntry(std::vector<StartupEntry>& list, const std::wstring& path) {
    const std::wstring file = path.substr(path.find_last_of(L'\\') + 1);
    if (path.empty() || file == L"desktop.ini") return; // exact case: Desktop.ini is listed
    const size_t dot = file.find_last_of(L'.');
    const std::wstring ext = dot == std::wstring::npos ? L"." : file.substr(dot);
    StartupEntry entry;
    entry.location = path;
    entry.name = ReplaceAllNoCase(file, ext, L"");
    const std::wstring arguments = ToLower(ext) == L".lnk" ? ResolveShortcut(path, 1) : L"";
    entry.startupString = L"\"" + path + L"\"";
    if (!arguments.empty()) entry.startupString += L" \"" + arguments + L"\"";
    entry.type = kFolderType;
    list.push_back(std::move(entry));
}

} // namespace

std::wstring EntryFile(const StartupEntry& entry) {
    if (entry.type == kFolderType) {
        const std::wstring lower = ToLower(entry.location);
        return lower.ends_with(L".lnk") ? ResolveShortcut(entry.location, 0) : entry.location;
    }
    const std::wstring file = CommandToFilePath(entry.startupString);
    return entry.type == kRegistry32Type ? Wow32FilePath(file) : file;
}

const std::vector<StartupSource>& StartupSources() {
    static const std::vector<StartupSource> sources = [] {
        std::vector<StartupSource> list = {
            {kHklm, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
            {kHklm, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
            {kHklm, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx"},
            {kHklm, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunServices"},
            {kHklm, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce"},
            {kHklm, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\Setup"},
            {kHkcu, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
            {kHkcu, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
            {kHkcu, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunServices"},
            {kHkcu, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce"},
            {kHklm,
             L"System\\CurrentControlSet\\Control\\Terminal Server\\Wds\\Rdpwd\\StartupPrograms"},
            {kHklm, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Userinit"},
            {kHklm, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Shell"},
            {kHklm, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\UIHost"},
        };
        if constexpr (sizeof(void*) == 8) {
            // The machine's Run keys of 32-bit programs.
            for (const wchar_t* key :
                 {L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run",
                  L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                  L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx",
                  L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunServices",
                  L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce",
                  L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\Setup"})
                list.push_back({kHklm, key, true});
        }
        return list;
    }();
    return sources;
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
    const std::function<void(RootKey, const std::wstring&, const std::wstring&)>& found) {
    const std::wstring path = WithoutLeadingBackslash(key);
    UniqueHkey opened;
    if (RegOpenKeyExW(ToHkey(root), path.c_str(), 0, KEY_QUERY_VALUE, opened.put()) !=
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
                        {e.name, e.startupString, e.type},
                        e.id,
                        e.icon ? e.icon->get() : nullptr,
                        e.fileMissing});
    return rows;
}

std::vector<StartupEntry> ScanStartupEntries(std::vector<StartupEntry> previous,
                                             const std::wstring& startupFolder) {
    std::vector<StartupEntry> list;
    for (const StartupSource& source : StartupSources()) {
        EnumerateRunValues(source.root, source.key,
                           [&](RootKey root, const std::wstring& key, const std::wstring& name) {
                               AddRegistryEntry(list, root, key, name, source.wow32);
                           });
    }
    if (!startupFolder.empty()) {
        WIN32_FIND_DATAW data;
        UniqueFind find(FindFirstFileW((startupFolder + L"*.*").c_str(), &data));
        if (find) {
            do {
                if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    AddFolderEntry(list, startupFolder + data.cFileName);
            } while (FindNextFileW(find.get(), &data));
        }
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
        entry.fileMissing = !Exists(Trim(file));
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

bool DeleteRunValue(RootKey root, std::wstring_view key, const std::wstring& name) {
    const std::wstring path = WithoutTrailingBackslash(key);
    if (!KeyExists(root, path)) return false;
    UniqueHkey opened;
    if (RegOpenKeyExW(ToHkey(root), path.c_str(), 0, KEY_SET_VALUE, opened.put()) != ERROR_SUCCESS)
        return false;
    return RegDeleteValueW(opened.get(), name.c_str()) == ERROR_SUCCESS;
}

std::wstring AddedCommand(const std::wstring& path, const std::wstring& parameters) {
    std::wstring command = L"\"" + path + L"\"";
    if (!parameters.empty()) command += L" " + parameters;
    return command;
}

RemoveResult RemoveStartupEntry(const StartupEntry& entry, const std::wstring& backupFolder) {
    if (entry.type == kFolderType) {
        return {MoveToRecycleBin(entry.location) ? RemoveResult::Removed : RemoveResult::NotRemoved,
                L""};
    }

    // Gone already (its key deleted meanwhile): nothing to back up or delete.
    if (!ValueExists(entry.root, entry.location, entry.name))
        return {RemoveResult::NotRemoved, L""};
    const ToolBackup backup =
        WriteToolBackup(L"Ostrel", backupFolder, {{entry.root, entry.location, entry.name}});
    if (!backup.written) return {RemoveResult::BackupFailed, L""};
    const std::wstring& file = backup.file;
    if (!DeleteRunValue(entry.root, entry.location, entry.name) ||
        ValueExists(entry.root, entry.location, entry.name))
        return {RemoveResult::NotRemoved, file};
    return {RemoveResult::Removed, file};
}

std::vector<std::wstring> ExportRecordLines(const StartupEntry& entry) {
    std::vector<std::wstring> lines = {
        L"Entry name: " + entry.name,
        L"Startup string: " + entry.startupString,
        L"Entry type: " + entry.type,
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
