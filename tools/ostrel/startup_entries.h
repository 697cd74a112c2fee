// Ostrel's model: the programs Windows starts by itself, as recorded in fourteen registry keys
// and the user's startup folder, and the commands that add and remove them. No windows here.
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

namespace mdr {

struct RowContent;

inline constexpr wchar_t kRegistryType[] = L"Registry";
inline constexpr wchar_t kFolderType[] = L"Startup folder entry";
// The type of entries of the 32-bit view (64-bit edition).
inline constexpr wchar_t kRegistry32Type[] = L"Registry (32-bit)";
inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

struct StartupEntry {
    RootKey root = 0;      // 0 for a startup-folder entry
    std::wstring location; // key path, or the file's full path
    std::wstring name;     // value name, or the file name without its extension
    std::wstring startupString;
    std::wstring type; // kRegistryType, kRegistry32Type or kFolderType
    uint32_t id = 0;
    std::shared_ptr<UniqueHicon> icon; // empty: the default row icon
    bool fileMissing = false;          // the file it starts does not exist
};

struct StartupSource {
    RootKey root;
    const wchar_t* key;
    bool wow32 = false; // the 32-bit twin of a machine key (64-bit edition)
};
// The fourteen registry sources, in scan order, then (64-bit edition) the 32-bit twins of the
// machine's Run keys; the startup folder comes after them.
const std::vector<StartupSource>& StartupSources();
// The user's startup folder (Start menu "Programs\Startup\"), found once.
const std::wstring& UserStartupFolder();

// The name a row shows for a value whose name could not be read.
inline constexpr wchar_t kUnreadableName[] = L"(name could not be read)";

// Calls found(root, key, valueName) for every named value of the key. 1 when the key was opened.
int EnumerateRunValues(
    RootKey root, std::wstring_view key,
    const std::function<void(RootKey, const std::wstring&, const std::wstring&)>& found);
// what 0: the shortcut's target path; 1: its arguments. "" when it cannot be read.
std::wstring ResolveShortcut(const std::wstring& path, int what);

// The records of every source, in scan order. Records whose identity (name, startup string,
// type) matches one of `previous` take over its id and icon, so a refresh that finds nothing
// new draws no id and extracts no icon; the ids of previous records not found again are released.
std::vector<StartupEntry> ScanStartupEntries(std::vector<StartupEntry> previous,
                                             const std::wstring& startupFolder);
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
bool DeleteRunValue(RootKey root, std::wstring_view key, const std::wstring& name);

// The command that the Add dialog writes: the path in quotes, then the parameters.
std::wstring AddedCommand(const std::wstring& path, const std::wstring& parameters);

// Removing an entry. A registry entry is first written into a new "Ostrel_<date>.reg" in
// backupFolder by MDR's .reg writer; without a complete backup nothing is deleted. A folder
// entry goes to the Recycle Bin.
struct RemoveResult {
    enum Outcome { Removed, BackupFailed, NotRemoved } outcome;
    std::wstring backupFile; // the backup written (registry entries)
};
RemoveResult RemoveStartupEntry(const StartupEntry& entry, const std::wstring& backupFolder);

// The export record lines of one entry (without the closing empty line and separator).
std::vector<std::wstring> ExportRecordLines(const StartupEntry& entry);

} // namespace mdr
