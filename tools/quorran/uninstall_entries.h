// Quorran's model: the uninstall entries of the machine, how one is read (texts, size, icon),
// how an uninstall string becomes a program and its parameters, running an uninstaller until
// it and everything it started have ended, and adding and deleting entries. No windows here.
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
};
const SystemFolders& QuorranFolders();

struct UninstallEntry {
    std::wstring keyPath; // below HKEY_LOCAL_MACHINE
    std::wstring name;
    std::wstring company;
    std::wstring version;
    std::wstring installDate;
    std::wstring size;
    std::wstring uninstallString;
    uint32_t id = 0;
    std::shared_ptr<UniqueHicon> icon; // empty: the default row icon
    bool programMissing = false;       // the program of the uninstall string does not exist
    std::wstring iconSource;           // what the icon was found from
};

// "20090517" -> "2009/05/17"; a text with a "/" unchanged; "" -> "Not specified".
std::wstring InstallDateText(std::wstring_view raw);
// The "EstimatedSize" value (kilobytes, as ReadValueAsText gives it) as a size text.
std::wstring EstimatedSizeText(std::wstring_view kilobytes);
// Whether a size walk of this install folder ("\"-terminated) is refused: the Windows folder,
// the system folder, the system drive's root, "\" or the Program Files folder.
bool IsExcludedInstallFolder(std::wstring_view folder, const SystemFolders& folders);

struct FolderTotal {
    int64_t bytes = 0;
    bool complete = true; // false: more than fileLimit files, the total is not known
};
// The bytes of every file below folder ("\"-terminated), never entering reparse points
// (junctions, symbolic links). pause runs between folders, so windows keep painting.
FolderTotal FolderSize(const std::wstring& folder, size_t fileLimit,
                       const std::function<void()>& pause);

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
};
UninstallCommand SplitUninstallString(std::wstring_view command, const std::wstring& systemFolder);
// Whether path names an existing file (not a folder).
bool IsExistingFile(const std::wstring& path);

// Reads every entry of the uninstall root in enumeration order. Entries whose key path is found
// in previous keep its id and icon; the ids of previous entries not found again are released.
// pause runs before each entry and inside size walks.
std::vector<UninstallEntry> ReadUninstallEntries(std::vector<UninstallEntry> previous,
                                                 const std::function<void()>& pause);

// Starts the program with its parameters in a job and waits, through wait(handle), until
// every process of the job has ended (the process alone when no job can be used). false when
// the program could not be started.
using WaitForHandle = std::function<void(HANDLE)>;
bool RunUninstaller(const UninstallCommand& command, const WaitForHandle& wait);

// Deleting an entry: its whole key is first written into a new "Quorran_<date>.reg" in
// backupFolder by MDR's .reg writer; without a complete backup nothing is deleted. A key that
// still has subkeys is not deleted.
struct DeleteResult {
    enum Outcome { Deleted, BackupFailed, NotDeleted } outcome;
    std::wstring backupFile;
};
DeleteResult DeleteUninstallEntry(const std::wstring& keyPath, const std::wstring& backupFolder);

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
AddOutcome AddUninstallEntry(const NewUninstallEntry& entry);
// A new GUID as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
std::wstring NewGuidText();

// The export record lines of one entry.
std::vector<std::wstring> ExportRecordLines(const UninstallEntry& entry);

} // namespace mdr
