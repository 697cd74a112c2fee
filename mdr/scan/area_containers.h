// The keys the scan areas walk, by name: the containers whose entries the areas judge. A fix may
// delete an entry below a container, never a container itself or a key above one, whatever a
// record says (a fault in one area must not cost the user a whole branch).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/registry.h"

namespace mdr {

namespace container {
inline constexpr wchar_t kClsid[] = L"Software\\Classes\\CLSID";
inline constexpr wchar_t kAppId[] = L"Software\\Classes\\AppID";
inline constexpr wchar_t kInterface[] = L"Software\\Classes\\Interface";
inline constexpr wchar_t kTypeLib[] = L"Software\\Classes\\TypeLib";
inline constexpr wchar_t kAppPaths[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
inline constexpr wchar_t kDrivers32[] =
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
inline constexpr wchar_t kHelp[] = L"SOFTWARE\\Microsoft\\Windows\\Help";
inline constexpr wchar_t kHtmlHelp[] = L"SOFTWARE\\Microsoft\\Windows\\HTML Help";
inline constexpr wchar_t kFonts[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
inline constexpr wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr wchar_t kArpCache[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache";
inline constexpr wchar_t kMuiCache[] = L"Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache";
inline constexpr wchar_t kSoftware[] = L"SOFTWARE";
inline constexpr wchar_t kServices[] = L"System\\CurrentControlSet\\Services";
inline constexpr wchar_t kSharedDlls[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
inline constexpr wchar_t kSounds[] = L"AppEvents\\Schemes\\Apps";
inline constexpr wchar_t kFileExts[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
inline constexpr wchar_t kRecentDocs[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs";
inline constexpr wchar_t kOpenSave[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU";
inline constexpr wchar_t kLastVisited[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\LastVisitedMRU";
inline constexpr wchar_t kBho[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
inline constexpr wchar_t kIeExtensions[] = L"SOFTWARE\\Microsoft\\Internet Explorer\\Extensions";
inline constexpr wchar_t kIeToolbar[] = L"SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
// Where programs start from, in the order the startup area walks them under each root.
inline constexpr const wchar_t* kStartup[] = {
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\RunServices",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\Setup",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\RunEx",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
};
} // namespace container

struct ContainerKey {
    RootKey root;
    std::wstring path;
};

// Every container of the eighteen areas under its root (a key of classes under both the
// machine's and the user's root).
const std::vector<ContainerKey>& AreaContainers();

// The container that deleting this key (or, with value, a value of this key) would take with it:
// the key is a container, a key above one or a root, or the value's key is a root. Paths compare
// without letter case and without a "Wow6432Node" part, and HKEY_CLASSES_ROOT as the classes key
// of both roots. Empty when the deletion stays below every container.
std::wstring ContainerHitBy(RootKey root, std::wstring_view keyPath, bool value);

} // namespace mdr
