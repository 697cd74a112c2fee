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

// The first line of a text file from its leading bytes, in the encoding its byte-order mark
// names (UTF-16LE, UTF-8; none: the ANSI code page), without the line end.
std::wstring FirstLineOfText(std::string_view leadingBytes);

// True for the first line of a registry-editor import file: trimmed and ignoring case,
// "Windows Registry Editor Version 5.00" or "REGEDIT4".
bool IsRegFileHeader(std::wstring_view firstLine);

// ---- Files and the registry editor ----

// The files (not folders) named *.reg in folder ("...\"), in directory order; empty when the
// folder cannot be listed.
std::vector<BackupEntry> ListBackupFiles(const std::wstring& folder);

// 1 when path is a non-empty, readable file whose first line is a registry-editor header.
int HasRegFileHeader(const std::wstring& path);

// Imports the file with "regedit /s" once HasRegFileHeader holds, keeping this thread's windows
// responsive until the editor has ended. 1 when the editor was started and has ended, else 0
// (nothing was run). Whether the editor took every line is not known.
int RestoreBackupFile(const std::wstring& path);

// The modal backup manager window over the files of Paths().backupFolder, owned by and centred
// on owner (the main window), which is disabled meanwhile. Ends the program after a message
// when the window cannot be made. Returns 1.
int ManageBackupWindow(HWND owner);

} // namespace mdr
