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

// Start-up state, built once by InitScanEnginePaths before any scan.
struct EnginePaths {
    std::wstring windowsFolder; // ends in "\"
    std::wstring systemFolder;
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
