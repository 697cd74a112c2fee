// The backup manager: lists the backups that fixing wrote into the program's Backup folder,
// restores one with the system registry editor ("regedit /s") or removes it.
#pragma once

#include <windows.h>
#include <string>
#include <string_view>
#include <vector>

namespace mdr {

// One backup file of the list.
struct BackupEntry {
    std::wstring name;     // file name, without folder
    std::wstring path;     // folder + name
    std::wstring dateText; // creation time in local time, BackupDateText
    std::wstring sizeText; // FormatByteSize(size, 2)
};

// ---- Pure ----

// "dd/mm/yy, hh:ii:ss" of a local time, for example "06/12/26, 05:41:12".
std::wstring BackupDateText(const SYSTEMTIME& localTime);

// ---- Files and the registry editor ----

// The files (not folders) named *.reg in folder ("...\"), in directory order; empty when the
// folder cannot be listed.
std::vector<BackupEntry> ListBackupFiles(const std::wstring& folder);

// 1 when path is a non-empty, readable file that starts with a header the registry editor
// imports (IsRegImportHeader: the 5.00 header in UTF-16LE with a BOM, REGEDIT4 in ANSI).
int HasRegFileHeader(const std::wstring& path);

struct RestoreOutcome {
    bool restored = false; // the editor ran and the registry holds everything the file names
    bool refused = false;  // not a file the editor imports (or unreadable): nothing was run
    size_t named = 0;      // keys, values and unreadable lines the file holds
    size_t missing = 0;    // of those, how many are not in the registry as the file says
    std::vector<std::wstring> firstMissing; // the first few of them, as RegEntryText shows them
};

// Imports the file with "regedit /s" once HasRegFileHeader holds, keeping this thread's windows
// responsive until the editor has ended, then reads back every key and value the file names.
// A refused file is read too, to name what it holds. A file that names nothing is not restored.
RestoreOutcome RestoreBackupFileChecked(const std::wstring& path);
// 1 when RestoreBackupFileChecked restored the file, else 0.
int RestoreBackupFile(const std::wstring& path);
// The lines added under the "not restored" message: how many entries did not come back and the
// first few of them; "" when there is nothing to name.
std::wstring RestoreMissingText(const RestoreOutcome& outcome);

// The modal backup manager window over the files of Paths().backupFolder, owned by and centred
// on owner (the main window), which is disabled meanwhile. Ends the program after a message
// when the window cannot be made. Returns 1.
int ManageBackupWindow(HWND owner);

} // namespace mdr
