// The scan engine's own state: the folders and search folders found at start-up, the removable
// drive roots, the four settings handed over by the user interface, and the test whether a
// path-like reference names something on disk (which searches those folders).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/registry.h"

namespace mdr {

// 1 = exists (or is excused), 0 = missing.
int FileReferenceExists(std::wstring_view text);
int IsOnRemovableDrive(std::wstring_view path);

// ---- Registry views ----
// On 64-bit Windows the registry keeps the entries of 32-bit programs apart (under Wow6432Node),
// and the 32-bit programs see System32 as SysWOW64 and %ProgramFiles% as "Program Files (x86)".
// The 64-bit edition walks the split keys twice: as they are, then their 32-bit twins, testing
// what it finds there as a 32-bit program would.
enum class RegistryView { Native, Wow32 };
inline constexpr bool kScansBothViews = sizeof(void*) == 8;

// The view the scan thread is walking now.
RegistryView CurrentView();
// Walks in the 32-bit view for its lifetime.
class Wow32ViewScope {
  public:
    Wow32ViewScope();
    ~Wow32ViewScope();
    Wow32ViewScope(const Wow32ViewScope&) = delete;
    Wow32ViewScope& operator=(const Wow32ViewScope&) = delete;
};
// The 32-bit twin of a split key: HKLM "Software\X" as "Software\Wow6432Node\X" and HKCU
// "Software\Classes\X" as "Software\Classes\Wow6432Node\X"; "" for a key that is not split.
std::wstring Wow32Twin(RootKey root, std::wstring_view keyPath);
// The key an entry refers to, where it exists: keyPath itself or, in the 32-bit view, its twin;
// "" when neither exists. Values of the key are read there.
std::wstring ReferencedKeyPath(RootKey root, const std::wstring& keyPath);
// Whether a key that an entry refers to exists: in the 32-bit view its twin counts too.
int ReferencedKeyExists(RootKey root, const std::wstring& keyPath);

// Start-up state, built once by InitScanEnginePaths before any scan.
struct EnginePaths {
    std::wstring windowsFolder; // ends in "\"
    std::wstring systemFolder;
    std::wstring wow64Folder; // SysWOW64; "" where there is none
    std::wstring driversFolder;
    std::wstring fontsFolder;
    std::wstring recentFolder;
    std::vector<std::wstring> searchFolders;
    std::vector<std::wstring> removableRoots;
};
const EnginePaths& ScanEnginePaths();
void InitScanEnginePaths();
// For tests: replace the lists wholesale.
void SetSearchFolders(std::vector<std::wstring> folders);
void SetRemovableRoots(std::vector<std::wstring> roots);

// The engine's four settings, handed over by the user interface.
// Progress: receives each examined item's text; returns 0 to stop the scan.
using ProgressCallback = int (*)(const std::wstring& itemText);
using ErrorReportCallback = int (*)(RootKey root, const std::wstring& keyPath,
                                    const std::wstring& valueName, const std::wstring& valueData,
                                    const std::wstring& category, const std::wstring& description,
                                    int safety, int entryType);
int SetProgressCallback(ProgressCallback cb);
int SetErrorReportCallback(ErrorReportCallback cb);
int SetScanDelay(int milliseconds);
int SetSkipRemovable(int flag);
ProgressCallback GetProgressCallback();
ErrorReportCallback GetErrorReportCallback();
int GetScanDelay();
int GetSkipRemovable();

} // namespace mdr
