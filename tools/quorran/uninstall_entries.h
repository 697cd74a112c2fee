// Quorran's model: the uninstall entries of the machine and of the user, which of them Windows
// would hide and why, how one is read (texts, size, icon), how an uninstall string becomes a
// program and its parameters (bare names searched as Windows searches them), running an
// uninstaller until it and everything it started have ended, and adding and deleting entries.
// No windows here.
#pragma once

#include <windows.h>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/handles.h"
#include "common/registry.h"
#include "tools/frame/report_list.h"

namespace mdr {

inline constexpr wchar_t kUninstallRoot[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// The entries of 32-bit programs on 64-bit Windows.
inline constexpr wchar_t kUninstall32Root[] =
    L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr wchar_t kNotAvailable[] = L"Not available";
inline constexpr wchar_t kNotReported[] = L"Not reported";
inline constexpr wchar_t kNotSpecified[] = L"Not specified";
// Beyond this many files a size walk gives up ("Not available").
inline constexpr size_t kSizeWalkFileLimit = 100000;

// The Windows folder, the system folder and the Program Files folder, each ending in "\".
struct SystemFolders {
    std::wstring windows;
    std::wstring system;
    std::wstring programFiles;
    // The profile's root, Desktop, Documents and Downloads: never walked for a size.
    std::vector<std::wstring> personal{};
};
const SystemFolders& QuorranFolders();

// Where entries are read from: a root, the registry view it is read through (0 or
// KEY_WOW64_64KEY), the uninstall key below it and the scope's name shown in the list.
struct UninstallSource {
    RootKey root;
    REGSAM view;
    const wchar_t* path;
    const wchar_t* scope;
};
inline constexpr wchar_t kScopeAllUsers[] = L"All users";
inline constexpr wchar_t kScopeAllUsers32[] = L"All users (32-bit)";
inline constexpr wchar_t kScopeThisUser[] = L"This user";
// The sources of this edition on this Windows, in listing order.
std::vector<UninstallSource> UninstallSources();

// What the hide rules look at in an entry.
struct EntryFacts {
    std::wstring keyName;
    std::wstring displayName;
    bool hasUninstaller = false; // an uninstall string, or a Windows Installer product code
    bool systemComponent = false;
    bool noRemove = false;
    std::wstring parentKeyName{};
    std::wstring parentDisplayName{};
    std::wstring releaseType{};
};
// Why Windows' list of programs leaves the entry out ("No name", "System component",
// "Update of <parent>", "Protected", "No uninstaller"); "" when it lists it.
std::wstring HiddenReason(const EntryFacts& facts);

struct UninstallEntry {
    std::wstring keyPath; // below root, through view
    RootKey root = kHklm;
    REGSAM view = 0;
    std::wstring scope;
    std::wstring hidden; // why Windows hides it; "" for a listed program
    bool windowsInstaller = false;
    FILETIME written{};         // the key's last write when its values were read
    std::wstring installFolder; // "InstallLocation", ending in "\"
    std::wstring estimatedSize; // "EstimatedSize" as text
    std::wstring name;
    std::wstring company;
    std::wstring version;
    std::wstring installDate;
    std::wstring size;         // with its source: "2.00 MB (registry)", "3.00 KB (measured)"
    std::wstring reportedSize; // the program's own size when the measured one replaced it
    std::wstring uninstallString;
    std::wstring quietUninstallString;
    uint32_t id = 0;
    std::shared_ptr<UniqueHicon> icon; // empty: the default row icon
    bool programMissing = false;       // the program of the uninstall string does not exist
    std::wstring iconSource;           // what the icon was found from
};

// "20090517" -> "2009/05/17"; a text with a "/" unchanged; "" -> "Not specified".
std::wstring InstallDateText(std::wstring_view raw);
// The size an entry shows, from its "EstimatedSize" (kilobytes, as text) and its measured install
// folder (bytes; 0 or less: not measured). The program's own figure is believed unless it is
// above 2 TB or more than 100 times the measured folder; the measured size then shows, and
// reported keeps the program's figure.
struct SizeShown {
    std::wstring text;
    std::wstring reported;
};
SizeShown ChooseSize(std::wstring_view estimatedKilobytes, int64_t measured);
// Whether a size walk of this install folder ("\"-terminated) is refused: the Windows folder,
// the system folder, the system drive's root, "\", the Program Files folder or a personal one.
bool IsExcludedInstallFolder(std::wstring_view folder, const SystemFolders& folders);

struct FolderTotal {
    int64_t bytes = 0;
    bool complete = true; // false: more than fileLimit files, the total is not known
};
// The bytes of every file below folder ("\"-terminated), never entering reparse points
// (junctions, symbolic links). pause runs between folders, so windows keep painting.
FolderTotal FolderSize(const std::wstring& folder, size_t fileLimit,
                       const std::function<void()>& pause);
// The measured size of an install folder, walked again only when the folder's last-write time
// changed since the last walk; -1 when it is refused, missing or too large to count.
int64_t MeasuredFolder(const std::wstring& folder, const std::function<void()>& pause);

// The candidate paths of the icon search for text (DisplayIcon or the uninstall string), in
// the order they are tried, and the forms tried of one candidate, in order.
std::vector<std::wstring> IconCandidates(std::wstring_view text, std::wstring_view installFolder,
                                         const SystemFolders& folders);
std::vector<std::wstring> IconForms(std::wstring_view candidate);
// The first icon the search finds for text with install folder ("\"-terminated); empty: none.
std::shared_ptr<UniqueHicon> FindEntryIcon(const std::wstring& text, const std::wstring& folder);

// An uninstall string as it is started: the program, its parameters, and whether it is one of
// the rundll32/msiexec forms (which always run the system folder's program).
struct UninstallCommand {
    std::wstring program;
    std::wstring parameters;
    bool systemProgram = false;
    bool found = false; // the program file was found (always for the system forms)
};

// Where a program named by bare name is looked for, as CreateProcess and the shell look: the
// folders in order (the application's, the system folders, the Windows folder), then PATH, then
// the "App Paths" keys (root, path) in order. Never the current folder.
struct ProgramSearch {
    std::vector<std::wstring> folders;
    std::wstring path;
    std::vector<std::pair<RootKey, std::wstring>> appPaths;
};
const ProgramSearch& WindowsProgramSearch();
// Whether name gives no folder (no "\", "/" or ":").
bool IsBareName(std::wstring_view name);
// The file a bare name runs ("" when none); ".exe" is tried when the name has no extension.
std::wstring SearchProgram(std::wstring_view name, const ProgramSearch& where);

UninstallCommand SplitUninstallString(std::wstring_view command, const std::wstring& systemFolder,
                                      const ProgramSearch& search = WindowsProgramSearch());
// A Windows Installer entry's command: the system folder's msiexec.exe with "/x" and the product
// code that is the key's name; none when the key name is no product code.
std::optional<UninstallCommand> MsiUninstallCommand(std::wstring_view keyName,
                                                    const std::wstring& systemFolder);
// What Uninstall runs for the entry.
UninstallCommand CommandOf(const UninstallEntry& entry);
// Whether path names an existing file (not a folder).
bool IsExistingFile(const std::wstring& path);

// Reads every entry of the uninstall root in enumeration order. Entries whose key path is found
// in previous keep its id and icon; the ids of previous entries not found again are released.
// pause runs before each entry and inside size walks.
std::vector<UninstallEntry> ReadUninstallEntries(std::vector<UninstallEntry> previous,
                                                 const std::function<void()>& pause);

// Starts the program with its parameters in a job and waits, through wait(handle), until
// every process of the job whose image is not ignoredImage (a file name: the default browser,
// which a "tell us why" page opens) has ended; the process alone when no job can be used.
// wait returns false to stop waiting; the job is then handed out in unfinished, to be watched
// with JobIsOver. Returns ERROR_SUCCESS once started, or CreateProcess's error.
using WaitForHandle = std::function<bool(HANDLE)>;
DWORD RunUninstaller(const UninstallCommand& command, const WaitForHandle& wait,
                     const std::wstring& ignoredImage = L"", UniqueHandle* unfinished = nullptr);
// Whether every process of the job but those of ignoredImage has ended.
bool JobIsOver(HANDLE job, const std::wstring& ignoredImage);
// The file name of the user's default web browser ("firefox.exe"); "" when none is known.
std::wstring DefaultBrowserImage();

// Deleting an entry: its whole key is first written into a new "Quorran_<date>.reg" in
// backupFolder by MDR's .reg writer; without a complete backup nothing is deleted. A key that
// still has subkeys is not deleted, and gets no backup.
struct DeleteResult {
    enum Outcome { Deleted, BackupFailed, NotDeleted } outcome;
    std::wstring backupFile;
};
DeleteResult DeleteUninstallEntry(const UninstallEntry& entry, const std::wstring& backupFolder);

// The Add dialog's fields.
struct NewUninstallEntry {
    std::wstring identifier;
    std::wstring name;
    std::wstring publisher;
    std::wstring version;
    std::wstring helpLink;
    std::wstring installLocation;
    std::wstring uninstaller;
    std::wstring parameters;
};
enum class AddOutcome { NoIdentifier, IdentifierExists, UninstallerMissing, KeyNotCreated, Added };
// Writes one string value; RegSetValueExW's result.
using ValueWriter = std::function<LONG(HKEY key, const wchar_t* name, const std::wstring& data)>;
// The values go under a temporary key that takes the identifier as its name only once every
// one is written; on any failure it is deleted, so no half-written entry is left. write: the
// value writer (null: the registry's).
AddOutcome AddUninstallEntry(const NewUninstallEntry& entry, const ValueWriter& write = nullptr);
// A new GUID as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
std::wstring NewGuidText();

// The list row of an entry: identity (root, view, key path), the eight column texts, id, icon,
// and the missing program's emphasis (never on a hidden entry).
RowContent EntryRow(const UninstallEntry& entry);

// The export record lines of one entry.
std::vector<std::wstring> ExportRecordLines(const UninstallEntry& entry);

} // namespace mdr
