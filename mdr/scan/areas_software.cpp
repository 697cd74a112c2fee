// Software and system areas: application paths, drivers, help files, fonts, installed and
// obsolete software, MUI cache, services, shared DLLs, sounds and startup entries. Each area walks
// fixed registry locations and reports registrations whose files or entries no longer exist.
#include <windows.h>

#include <string>
#include <vector>

#include "mdr/core/localization.h"
#include "common/handles.h"
#include "common/text.h"
#include "common/trace.h"
#include "mdr/scan/area_containers.h"
#include "mdr/scan/area_support.h"
#include "mdr/scan/areas.h"
#include "mdr/scan/engine_state.h"
#include "mdr/scan/read_ahead.h"
#include "mdr/scan/scan_memo.h"
#include "mdr/scan/scan_thread.h"

MDR_TRACE_MODULE(ScanEngine);

namespace mdr {
namespace {

constexpr int kUnsafe = 0;
constexpr int kSafe = 1;
constexpr int kKeyEntry = 0;   // a fix removes the whole key
constexpr int kValueEntry = 1; // a fix removes the named value only

constexpr const wchar_t* kUninstallKey = container::kUninstall;
constexpr wchar_t kRunOnceExKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx";

std::wstring Read(RootKey root, const std::wstring& keyPath, std::wstring_view name) {
    return MemoReadValue(root, keyPath, name);
}

// One walk of an area: the values of a key, or its subkeys (optionally at any depth).
struct Walk {
    RootKey root;
    std::wstring keyPath;
    SubkeyCheck subkeyCheck = nullptr;
    ValueCheck valueCheck = nullptr;
    bool recursive = false;
    const ItemPlan* plan = nullptr; // what the check reads of each key, read ahead of it
};

// The area procedure contract: count from 0, run the walks in order, and give up with -1 (and
// a count of 0) as soon as one of them was stopped by the user.
int RunArea(const std::vector<Walk>& walks) {
    MDR_HERE();
    AreaErrorCount() = 0;
    for (const Walk& walk : walks) {
        MDR_HERE();
        int result = walk.subkeyCheck
                         ? EnumerateSubkeysInViews(walk.root, walk.keyPath, walk.recursive,
                                                   walk.subkeyCheck, walk.plan)
                         : EnumerateValuesInViews(walk.root, walk.keyPath, walk.valueCheck);
        if (result == -1) {
            AreaErrorCount() = 0;
            return -1;
        }
    }
    return AreaErrorCount();
}

// ---------------------------------------------------------------------------------------------
// Application paths

int CheckApplicationPath(RootKey root, const std::wstring& keyPath) {
    if (int go = BeginSubkeyCheck(root, keyPath); go != 1) return go;
    MDR_HERE();
    if (Read(root, keyPath, L"BlockOnTSNonInstallMode") == L"1") return 0;
    std::wstring app = Read(root, keyPath, L"");
    if (!Trim(app).empty() && FileReferenceExists(app) == 0) {
        ReportAreaError(root, keyPath, L"", app, L"Application paths",
                        Describe(Text::AppPathMissing, L"$APPLICATIONPATH$", app), kSafe,
                        kKeyEntry);
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Drivers

int CheckDriver(RootKey root, const std::wstring& keyPath, const std::wstring& name) {
    if (int go = BeginValueCheck(root, keyPath, name); go != 1) return go;
    MDR_HERE();
    std::wstring path = Read(root, keyPath, name);
    if (!path.empty() && FileReferenceExists(path) == 0) {
        ReportAreaError(root, keyPath, name, path, L"Drivers",
                        Describe(Text::FileMissing, L"$FILEPATH$", path), kUnsafe, kValueEntry);
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Help files: the value name is the help file's name, the datum the folder that holds it.

int CheckHelpFile(RootKey root, const std::wstring& keyPath, const std::wstring& name) {
    if (int go = BeginValueCheck(root, keyPath, name); go != 1) return go;
    MDR_HERE();
    std::wstring folder = Read(root, keyPath, name);
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    std::wstring path = ReplaceAll(folder + name, L"\\\\", L"\\");
    // The bare name also tries the search folders, among them the windows Help folder.
    if (FileReferenceExists(path) == 0 && FileReferenceExists(name) == 0) {
        ReportAreaError(root, keyPath, name, path, L"Help files",
                        Describe(Text::HelpFileMissing, L"$FILEPATH$", path), kSafe, kValueEntry);
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Fonts: the datum is a file name in the fonts folder, or a full path to a font kept elsewhere
// (installers may register fonts in their own folders; Windows loads those from that path).

bool IsFullPath(const std::wstring& path) {
    return (path.size() >= 2 && path[1] == L':') || path.starts_with(L"\\\\");
}

int CheckFont(RootKey root, const std::wstring& keyPath, const std::wstring& name) {
    if (int go = BeginValueCheck(root, keyPath, name); go != 1) return go;
    MDR_HERE();
    std::wstring file = Read(root, keyPath, name);
    if (file.empty()) return 0;
    std::wstring path = IsFullPath(file) ? file : ScanEnginePaths().fontsFolder + file;
    if (FileReferenceExists(path) == 0) {
        ReportAreaError(root, keyPath, name, file, L"Fonts",
                        Describe(Text::FontMissing, L"$FILEPATH$", file), kSafe, kValueEntry);
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Installed software

// Whether the entry's uninstaller is there to run (or cannot be judged: rundll32 commands). An
// entry that can still uninstall its program is not thrown away for a stale icon or folder.
bool UninstallerUsable(const std::wstring& uninstaller) {
    if (uninstaller.empty()) return false;
    if (ToLower(uninstaller.substr(0, 8)) == L"rundll32") return true;
    return FileReferenceExists(uninstaller) != 0;
}

int CheckUninstallEntry(RootKey root, const std::wstring& keyPath) {
    if (int go = BeginSubkeyCheck(root, keyPath); go != 1) return go;
    MDR_HERE();
    // Opened once for all the values read below.
    ItemKey entry(root, keyPath);
    auto read = [&](const wchar_t* name) { return entry.Value(name).text; };
    // Windows Installer keeps its own records of what it installed; those entries are left alone.
    if (ParseInt(read(L"WindowsInstaller")) != 0) return 0;

    std::vector<ValueRef> names;
    CollectValueNames(root, keyPath, names);
    const std::wstring uninstaller = read(L"UninstallString");
    const bool uninstallerUsable = UninstallerUsable(uninstaller);
    constexpr wchar_t kCategory[] = L"Installed software";
    for (const ValueRef& value : names) {
        MDR_HERE();
        const std::wstring& name = value.valueName;
        if (name == L"DisplayIcon") {
            std::wstring icon = read(L"DisplayIcon");
            if (icon.empty() || uninstallerUsable || FileReferenceExists(icon) != 0) continue;
            std::wstring location = read(L"InstallLocation");
            if (FileReferenceExists(location + L"\\" + icon) != 0) continue;
            ReportAreaError(root, keyPath, L"DisplayIcon", icon, kCategory,
                            Describe(Text::InstalledIconMissing, L"$FILEPATH$", icon), kSafe,
                            kKeyEntry);
            return 0;
        }
        if (name == L"InstallLocation") {
            std::wstring location = read(L"InstallLocation");
            if (location.empty() || uninstallerUsable || FileReferenceExists(location) != 0) {
                continue;
            }
            ReportAreaError(root, keyPath, L"InstallLocation", location, kCategory,
                            Describe(Text::InstallFolderMissing, L"$PATH$", location), kSafe,
                            kKeyEntry);
            return 0;
        }
        if (name == L"UninstallString") {
            if (uninstaller.empty() || uninstallerUsable) continue;
            ReportAreaError(root, keyPath, L"UninstallString", uninstaller, kCategory,
                            Describe(Text::FileMissing, L"$FILEPATH$", uninstaller), kSafe,
                            kKeyEntry);
            return 0;
        }
    }
    return 0;
}

int CheckArpCacheEntry(RootKey root, const std::wstring& keyPath) {
    if (int go = BeginSubkeyCheck(root, keyPath); go != 1) return go;
    MDR_HERE();
    std::wstring entry = LastComponent(keyPath);
    if (MemoKeyExists(root, std::wstring(kUninstallKey) + L"\\" + entry) == 0) {
        ReportAreaError(root, keyPath, L"", L"", L"Installed software",
                        Describe(Text::ArpCacheOrphan, L"$ENTRY$", entry), kSafe, kKeyEntry);
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// MUI cache: the value name is a program's path, the datum its display name.

int CheckMuiCacheValue(RootKey root, const std::wstring& keyPath, const std::wstring& name) {
    if (int go = BeginValueCheck(root, keyPath, name); go != 1) return go;
    MDR_HERE();
    if (name.starts_with(L"@") || name == L"LangID") return 0;
    if (FileReferenceExists(name) == 0) {
        ReportAreaError(root, keyPath, name, Read(root, keyPath, name), L"MUI Cache",
                        Describe(Text::MuiCacheProgramMissing, L"$FILEPATH$", name), kSafe,
                        kValueEntry);
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Obsolete software: vendor keys under SOFTWARE whose whole subtree holds no value.

// True when every key of the subtree could be opened and listed to its end. A key we may not
// read is not known to be empty, so it must never be called obsolete.
bool SubtreeFullyReadable(RootKey root, const std::wstring& keyPath, std::wstring& nameBuffer) {
    MDR_HERE();
    UniqueHkey key;
    if (RegOpenKeyExW(ToHkey(root), keyPath.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return false;
    }
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(nameBuffer.size());
        LONG rc = RegEnumKeyExW(key.get(), index, nameBuffer.data(), &length, nullptr, nullptr,
                                nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) return true;
        if (rc != ERROR_SUCCESS) return false;
        std::wstring child = JoinKey(keyPath, std::wstring(nameBuffer.data(), length));
        if (!SubtreeFullyReadable(root, child, nameBuffer)) return false;
    }
}

int CheckVendorKey(RootKey root, const std::wstring& keyPath) {
    if (int go = BeginSubkeyCheck(root, keyPath); go != 1) return go;
    MDR_HERE();
    // Made for every key, passed over or not: the walk's keys are read ahead in its order.
    ItemKey key(root, keyPath);
    std::wstring vendor = LastComponent(keyPath);
    std::wstring lower = ToLower(vendor);
    if (lower == L"classes" || lower == L"microsoft" || lower == L"policies" ||
        lower == L"printers" || lower == L"windows 3.1 migration status" ||
        lower == L"wow6432node" || vendor.empty()) {
        return 0;
    }
    if (key.HoldsValues()) return 0;
    std::wstring nameBuffer(8192, L'\0');
    if (!SubtreeFullyReadable(root, keyPath, nameBuffer)) return 0;
    ReportAreaError(root, keyPath, L"", L"", L"Obsolete software",
                    Describe(Text::EmptyKey, L"$ENTRY$", keyPath), kSafe, kKeyEntry);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Services

// A relative ImagePath ("system32\drivers\x.sys") is resolved by Windows against the windows
// folder, whatever the Path holds.
bool IsRelativePath(const std::wstring& path) {
    return !path.empty() && path[0] != L'\\' && path[0] != L'"' && path[0] != L'@' &&
           !(path.size() >= 2 && path[1] == L':');
}

int CheckService(RootKey root, const std::wstring& keyPath) {
    if (int go = BeginSubkeyCheck(root, keyPath); go != 1) return go;
    MDR_HERE();
    if (MemoValueExists(root, keyPath, L"ImagePath") == 0) return 0;
    std::wstring image = Read(root, keyPath, L"ImagePath");
    if (image.empty() || FileReferenceExists(image) != 0) return 0;
    if (IsRelativePath(image) &&
        FileReferenceExists(ScanEnginePaths().windowsFolder + image) != 0) {
        return 0;
    }
    ReportAreaError(root, keyPath, L"ImagePath", image, L"Services",
                    Describe(Text::ServiceProgramMissing, L"$FILEPATH$", image), kUnsafe,
                    kKeyEntry);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Shared DLLs: the value name is a file path, the datum its reference count.

int CheckSharedDll(RootKey root, const std::wstring& keyPath, const std::wstring& name) {
    if (int go = BeginValueCheck(root, keyPath, name); go != 1) return go;
    MDR_HERE();
    if (FileReferenceExists(name) == 0) {
        ReportAreaError(root, keyPath, name, Read(root, keyPath, name), L"Shared DLLs",
                        Describe(Text::SharedDllMissing, L"$FILEPATH$", name), kSafe, kValueEntry);
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Sounds: the ".current" and ".default" keys of each event name a sound file.

int CheckSoundKey(RootKey root, const std::wstring& keyPath) {
    if (int go = BeginSubkeyCheck(root, keyPath); go != 1) return go;
    MDR_HERE();
    std::wstring scheme = ToLower(Trim(LastComponent(keyPath)));
    if (scheme != L".current" && scheme != L".default") return 0;
    std::wstring file = Read(root, keyPath, L"");
    if (!file.empty() && file != L"Windows" && FileReferenceExists(file) == 0) {
        ReportAreaError(root, keyPath, L"", file, L"Sounds",
                        Describe(Text::SoundMissing, L"$FILEPATH$", file), kUnsafe, kKeyEntry);
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Startup software

// RunOnceEx keeps its commands in numbered subkeys; the key's own "Title" and "Flags" values
// are settings of the run, not programs.
bool IsRunOnceExSetting(const std::wstring& keyPath, const std::wstring& name) {
    // The 32-bit twin of the key has the same two settings.
    return EqualsNoCase(ReplaceAllNoCase(keyPath, L"Wow6432Node\\", L""), kRunOnceExKey) &&
           (EqualsNoCase(name, L"Title") || EqualsNoCase(name, L"Flags"));
}

int CheckStartupValue(RootKey root, const std::wstring& keyPath, const std::wstring& name) {
    if (int go = BeginValueCheck(root, keyPath, name); go != 1) return go;
    MDR_HERE();
    if (IsRunOnceExSetting(keyPath, name)) return 0;
    // An empty command starts nothing, so it is reported too.
    std::wstring command = Read(root, keyPath, name);
    if (FileReferenceExists(command) == 0) {
        ReportAreaError(root, keyPath, name, command, L"Startup software",
                        Describe(Text::StartupProgramMissing, L"$FILEPATH$", command), kSafe,
                        kValueEntry);
    }
    return 0;
}

} // namespace

int ScanApplicationPaths() {
    MDR_HERE();
    return RunArea({{kHklm, container::kAppPaths, CheckApplicationPath}});
}

int ScanDrivers() {
    MDR_HERE();
    return RunArea({{kHklm, container::kDrivers32, nullptr, CheckDriver}});
}

int ScanHelp() {
    MDR_HERE();
    return RunArea({{kHklm, container::kHelp, nullptr, CheckHelpFile},
                    {kHklm, container::kHtmlHelp, nullptr, CheckHelpFile}});
}

int ScanFonts() {
    MDR_HERE();
    return RunArea({{kHklm, container::kFonts, nullptr, CheckFont}});
}

int ScanInstalledSoftware() {
    MDR_HERE();
    static constexpr const wchar_t* kValues[] = {L"WindowsInstaller", L"UninstallString",
                                                 L"DisplayIcon", L"InstallLocation"};
    static const ItemPlan plan{false, false, {}, kValues};
    return RunArea({{kHklm, container::kUninstall, CheckUninstallEntry, nullptr, false, &plan},
                    {kHklm, container::kArpCache, CheckArpCacheEntry}});
}

int ScanMUICache() {
    MDR_HERE();
    return RunArea({{kHkcu, container::kMuiCache, nullptr, CheckMuiCacheValue}});
}

int ScanObsoleteSoftware() {
    MDR_HERE();
    static const ItemPlan plan{false, true, {}, {}};
    return RunArea({{kHkcu, container::kSoftware, CheckVendorKey, nullptr, false, &plan},
                    {kHklm, container::kSoftware, CheckVendorKey, nullptr, false, &plan}});
}

int ScanServices() {
    MDR_HERE();
    return RunArea({{kHklm, container::kServices, CheckService}});
}

int ScanSharedDLLs() {
    MDR_HERE();
    return RunArea({{kHklm, container::kSharedDlls, nullptr, CheckSharedDll}});
}

int ScanSounds() {
    MDR_HERE();
    return RunArea({{kHkcu, container::kSounds, CheckSoundKey, nullptr, true}});
}

int ScanStartupSoftware() {
    MDR_HERE();
    std::vector<Walk> walks;
    for (RootKey root : {kHkcu, kHklm}) {
        for (const wchar_t* location : container::kStartup) {
            walks.push_back({root, location, nullptr, CheckStartupValue});
        }
    }
    return RunArea(walks);
}

} // namespace mdr
