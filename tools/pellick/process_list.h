// Pellick's model: the running processes with their memory use, the modules a process has
// loaded, and the commands that end a process (never another one that took over its id), remove
// its program file (never the only copy of it) and start programs. No windows here.
#pragma once

#include <windows.h>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/handles.h"
#include "tools/pellick/process_facts.h"

namespace mdr {

struct RowContent;

struct ProcessRecord {
    std::wstring path; // normalised image path
    DWORD pid = 0;
    uint32_t id = 0;
    std::shared_ptr<UniqueHicon> icon; // empty: the default row icon
    uint64_t listedAt = 0;             // the refresh that first listed it (FILETIME, UTC)
    uint64_t created = 0;              // its start (FILETIME, UTC), 0 when unknown
    uint64_t workingSet = 0;           // bytes, as of the last refresh
    uint64_t privateBytes = 0;         // as of the last refresh
    CpuSample cpuSample;               // the last refresh's
    std::wstring cpu;                  // the CPU column: the share since the refresh before
    // Read once, when the process is first listed:
    DWORD parentPid = 0;
    int bits = 0;             // 32 or 64; 0 when unknown
    std::wstring commandLine; // kNotAvailable when it cannot be read
};

inline constexpr wchar_t kNotAvailable[] = L"Not available";

struct ModuleRecord {
    std::wstring path;
    std::wstring base; // upper-case hexadecimal, no prefix or leading zeros
    std::wstring size; // FormatByteSize(size, 2)
    uint32_t id = 0;
};

// A path as the process functions give it, made readable: every "\??\" removed, "\SystemRoot\"
// replaced by windowsFolder (ending in "\"), and, when it holds a "~", its long form when
// longForm knows one.
std::wstring NormaliseProcessPath(std::wstring_view name, std::wstring_view windowsFolder,
                                  std::wstring (*longForm)(const std::wstring&) = nullptr);
// A kernel device path ("\Device\HarddiskVolume1\x.exe") with its device put back as the drive
// it is mounted as ("C:\x.exe"); devices: (drive, device) pairs as QueryDosDeviceW names them. A
// path under none of them comes back as it is.
std::wstring DrivePathOf(std::wstring_view devicePath,
                         const std::vector<std::pair<std::wstring, std::wstring>>& devices);
// The long form of a path, "" when there is none (GetLongPathNameW).
std::wstring LongPathName(const std::wstring& path);
// The MEM column: the working set in whole KB followed by "K" ("10240K").
std::wstring MemText(uint64_t workingSetBytes);
// The PID right-aligned in 5 characters ("  412"); longer ids are shown whole.
std::wstring PaddedPid(DWORD pid);
// The index of each record's parent among them, -1 for none (ParentIndexes).
std::vector<int> ParentsOf(const std::vector<ProcessRecord>& records);
// The Parent column: "name.exe (412)" while the parent runs, its id alone once it has gone, ""
// when the process names none.
std::wstring ParentText(const ProcessRecord& record, const ProcessRecord* parent);
// The process list's rows, one for each record in their order; with depths (one per record, the
// tree view's), each path indented by its depth.
std::vector<RowContent> ProcessRows(const std::vector<ProcessRecord>& records,
                                    const std::vector<int>& depths = {});

// The running processes that can be opened and named, in snapshot order, with their working
// sets, private memory and processor share. Records found again (same id and start time) keep their
// id, icon and path; the ids of vanished ones are released. ok is false when no snapshot could be
// taken (the old records are then returned as they were).
std::vector<ProcessRecord> EnumerateProcesses(std::vector<ProcessRecord> old, bool* ok = nullptr);
// Whether this edition can read the memory and modules of a process of bits bits.
bool EditionReaches(int bits);
// The working set in bytes, 0 when the process cannot be opened.
uint64_t WorkingSetOf(DWORD pid);
// The modules of a process without its own program file; the old records' ids are released.
std::vector<ModuleRecord> EnumerateModules(DWORD pid, std::vector<ModuleRecord> old = {});
// The normalised image path of a running process, "" when it cannot be named (before Vista,
// where QueryFullProcessImageNameW is missing: from GetProcessImageFileNameW's device path).
std::wstring ProcessImagePath(HANDLE process);

enum class KillOutcome {
    Killed,    // seen ended
    Gone,      // the process of the record is no longer running (its id may belong to another)
    Denied,    // this user may not end it
    Protected, // Windows protects it from every other program
    Failed,    // it runs on and could not be ended
};
// Why a process was not ended, for the report; "" for Killed.
std::wstring KillFailureText(KillOutcome outcome);
// Posts WM_CLOSE to every visible top-level window of process pid; the number of windows.
int PostCloseToWindows(DWORD pid);
// The process that draws the desktop and the taskbar (the shell window's), 0 when none.
DWORD DesktopProcessId();
// Ends the record's process after checking that its id still belongs to it: same image path,
// created no later than the refresh that listed it.
KillOutcome KillProcess(const ProcessRecord& record);

// folder + name when no such file exists, else "stem (2).ext", "stem (3).ext" and so on.
std::wstring FreeFileName(const std::wstring& folder, const std::wstring& name);

struct RemoveOutcome {
    enum Kind {
        Removed,    // copy and note on the desktop, the file moved to the Recycle Bin
        CopyFailed, // the desktop copy could not be made or checked: the file stays
        NotDeleted, // copied, but the file could not be removed (held open, for example)
    } kind = CopyFailed;
    std::wstring copy; // where the copy went (or was to go)
    std::wstring note;
};
// After the kill: copies the program file to desktop (never over an existing file), checks the
// copy's size, writes the note beside it, then removes the file. date is the note's date text.
RemoveOutcome BackUpAndRemoveFile(const std::wstring& path, const std::wstring& desktop,
                                  const std::wstring& date);
// The note's lines.
std::vector<std::wstring> BackupNoteLines(const std::wstring& date, const std::wstring& original,
                                          const std::wstring& copy);

// Starts a program without parameters in its own folder, hidden when asked; true on success.
bool RunProgram(const std::wstring& path, bool hidden);

// The record lines of the export: the PID, the path, the file information and the modules.
std::vector<std::wstring> ProcessExportLines(const ProcessRecord& record);

} // namespace mdr
