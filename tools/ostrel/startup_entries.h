// Ostrel's model: the programs Windows starts by itself, as recorded in the registry and the
// startup folders, whether Windows has them switched off (StartupApproved), and the commands
// that add, remove, switch off and on. No windows here.
#pragma once

#include <windows.h>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/handles.h"
#include "common/registry.h"
#include "tools/ostrel/startup_approval.h"

namespace mdr {

struct RowContent;

inline constexpr wchar_t kRegistryType[] = L"Registry";
inline constexpr wchar_t kFolderType[] = L"Startup folder entry";
// The type of entries of the 32-bit view (64-bit edition).
inline constexpr wchar_t kRegistry32Type[] = L"Registry (32-bit)";
// The machine's 64-bit Run keys seen by the 32-bit edition on 64-bit Windows.
inline constexpr wchar_t kRegistry64Type[] = L"Registry (64-bit)";
inline constexpr wchar_t kCommonFolderType[] = L"Startup folder entry (all users)";
inline constexpr wchar_t kPoliciesType[] = L"Registry (policies)";
inline constexpr wchar_t kWindowsValueType[] = L"Registry (Windows NT)";
inline constexpr wchar_t kWinlogonType[] = L"Winlogon";
inline constexpr wchar_t kOrphanType[] = L"Orphaned approval";
inline constexpr wchar_t kWinlogonKey[] =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

struct StartupEntry {
    RootKey root = 0;      // 0 for a startup-folder entry
    std::wstring location; // key path, or the file's full path
    std::wstring name;     // value name, or the file name without its extension
    std::wstring startupString;
    std::wstring type; // one of the type texts above
    uint32_t id = 0;
    std::shared_ptr<UniqueHicon> icon; // empty: the default row icon
    bool fileMissing = false;          // the file it starts does not exist
    SourceKind kind = SourceKind::Run;
    REGSAM view = 0;        // the registry view its value lies in (KEY_WOW64_64KEY)
    ApprovalPlace approval; // the StartupApproved value governing it (root 0: none)
    EntryState state = EntryState::Enabled;
    bool changedDefault = false; // a Winlogon value that is not Windows' own
};

bool IsFolderEntry(const StartupEntry& entry);

struct StartupSource {
    RootKey root;
    const wchar_t* key;
    bool wow32 = false; // the 32-bit twin of a machine key (64-bit edition)
    SourceKind kind = SourceKind::Run;
    const wchar_t* type = kRegistryType;
    REGSAM view = 0;
};
// The fourteen registry sources, in scan order, then (64-bit edition) the 32-bit twins of the
// machine's Run keys; the startup folders come after them.
const std::vector<StartupSource>& StartupSources();
// The sources after the startup folders: the policies' Run keys and (32-bit edition on 64-bit
// Windows) the 64-bit view of the machine's Run keys. Named values come between them.
const std::vector<StartupSource>& PolicySources();
const std::vector<StartupSource>& NativeViewSources();
// The all-users startup folder, found once; "" when the system has none.
const std::wstring& CommonStartupFolder();
// The user's startup folder (Start menu "Programs\Startup\"), found once.
const std::wstring& UserStartupFolder();

// The name a row shows for a value whose name could not be read.
inline constexpr wchar_t kUnreadableName[] = L"(name could not be read)";

// Calls found(root, key, valueName) for every named value of the key. 1 when the key was opened.
int EnumerateRunValues(
    RootKey root, std::wstring_view key,
    const std::function<void(RootKey, const std::wstring&, const std::wstring&)>& found,
    REGSAM view = 0);
// what 0: the shortcut's target path; 1: its arguments. "" when it cannot be read.
std::wstring ResolveShortcut(const std::wstring& path, int what);

// The records of every source, in scan order. Records whose identity (name, startup string,
// type) matches one of `previous` take over its id and icon, so a refresh that finds nothing
// new draws no id and extracts no icon; the ids of previous records not found again are released.
// commonFolder "" scans no all-users folder. Approvals left over by entries that no longer exist
// are listed as orphans.
std::vector<StartupEntry> ScanStartupEntries(std::vector<StartupEntry> previous,
                                             const std::wstring& startupFolder,
                                             const std::wstring& commonFolder = L"");
std::wstring EntryIdentity(const StartupEntry& entry);
// The entry list's rows, one for each entry in their order.
std::vector<RowContent> EntryRows(const std::vector<StartupEntry>& entries);

// The file an entry starts (a shortcut's target), as its program sees the disk: entries of the
// 32-bit view find System32 in SysWOW64.
std::wstring EntryFile(const StartupEntry& entry);

// Writes a REG_SZ value into an existing key. Access denied counts as a failure.
bool WriteRunValue(RootKey root, std::wstring_view key, const std::wstring& name,
                   const std::wstring& data);
bool CreateShortcut(const std::wstring& target, const std::wstring& shortcutFile,
                    const std::wstring& arguments, const std::wstring& description,
                    const std::wstring& workingFolder, int showCommand,
                    const std::wstring& iconFile, int iconIndex);
// Deletes the value; true only when it was deleted.
bool DeleteRunValue(RootKey root, std::wstring_view key, const std::wstring& name, REGSAM view = 0);

// Whether the Add dialog may use name: it must stay a name inside the startup folder (no "\\",
// "/", ":", "..", characters a file name cannot hold, or a device name such as CON or LPT1).
bool IsSafeEntryName(std::wstring_view name);
// The entry the Add dialog makes of kind (0 machine Run value, 1 user Run value, 2 shortcut in
// the user's startup folder), with the approval place that governs it.
StartupEntry AddedEntry(int kind, const std::wstring& name);

// The command that the Add dialog writes: the path in quotes, then the parameters.
std::wstring AddedCommand(const std::wstring& path, const std::wstring& parameters);

// Removing an entry. A registry entry and its StartupApproved value are first written into a new
// "Ostrel_<date>.reg" in backupFolder by MDR's .reg writer; without a complete backup nothing is
// deleted. A folder entry goes to the Recycle Bin, or where it cannot, is first copied into
// "Ostrel_<date>\" beside the backups; its approval value is backed up and deleted after it.
// Winlogon values are refused: Windows cannot start without them.
struct RemoveResult {
    enum Outcome { Removed, BackupFailed, NotRemoved, Refused } outcome;
    std::wstring backupFile; // the backup written (registry entries)
};
RemoveResult RemoveStartupEntry(const StartupEntry& entry, const std::wstring& backupFolder);
// The file into the Recycle Bin, or where it will not go, copied byte for byte into
// backupFolder + "Ostrel_<date>\\", its size checked, and only then deleted. False, with the file
// left in place, when neither could be done.
bool RemoveFile(const std::wstring& path, const std::wstring& backupFolder);
// The seam of the Recycle Bin, so that a test can make it refuse a file.
void SetRecycleForTesting(bool (*recycle)(const std::wstring& path));

// Why an entry cannot be switched off or on; "" when it can.
std::wstring SwitchRefusal(const StartupEntry& entry);
// Switching entries off (disable) or on: the old StartupApproved values, or their absence, go
// into one new backup first, then each value is written and read back. The Run values and files
// are never touched. One failure text per entry ("" when switched), in the entries' order.
struct SwitchResult {
    bool backupFailed = false;
    std::wstring backupFile;
    std::vector<std::wstring> failures;
};
SwitchResult SwitchStartupEntries(const std::vector<StartupEntry>& entries, bool disable,
                                  const std::wstring& backupFolder);
// A Winlogon value given back its Windows default, after a backup of what it holds now. "" when
// done, else why not.
std::wstring RestoreWinlogonDefault(const StartupEntry& entry, const std::wstring& backupFolder);

// The export record lines of one entry (without the closing empty line and separator).
std::vector<std::wstring> ExportRecordLines(const StartupEntry& entry);

} // namespace mdr
