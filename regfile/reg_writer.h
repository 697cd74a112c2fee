// The .reg backup writer: one backup file at a time, in the registry editor's import format
// (UTF-16LE with byte-order mark, CR LF). Fixing copies every key and value it is about to delete
// into it, so that importing the file with the system registry editor puts them back.
//
// Calling order: CreateBackupFile, then BackupKey / BackupValue per entry, then CloseBackupFile.
// Every call other than CreateBackupFile does nothing and returns 0 while no file is open.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/registry.h"

namespace mdr {

// The registry view keys are read through while it lives (KEY_WOW64_64KEY or KEY_WOW64_32KEY;
// 0: the program's own), so that a 32-bit program can back up a key of the 64-bit view.
class BackupViewScope {
  public:
    explicit BackupViewScope(REGSAM view);
    ~BackupViewScope();
    BackupViewScope(const BackupViewScope&) = delete;
    BackupViewScope& operator=(const BackupViewScope&) = delete;

  private:
    REGSAM previous_;
};

// Creates (replaces) the file and writes its header. 1 when created, else 0.
int CreateBackupFile(const std::wstring& path);

// Flushes and closes the file. 1 when a file was open and every byte of it reached the disk;
// 0 when none was open or a write failed (the backup is then incomplete).
int CloseBackupFile();

// The key's own block, an empty line, then the blocks of its whole subtree. 1 when a file is open.
int BackupKey(RootKey root, std::wstring_view keyPath);

// The key line and one value line per value of the key (no empty line). Always 0.
int BackupKeyValues(RootKey root, std::wstring_view keyPath);

// Depth first, for every subkey: its block, an empty line, its subtree. 1 after enumerating;
// 0 when no file is open or the key cannot be opened.
int BackupSubkeys(RootKey root, std::wstring_view keyPath);

// The key line, the one value line and an empty line. 1 when the value line was written; 0 when
// no file is open or the key cannot be opened. A value that cannot be read gets the line
// name + "=" alone, which the registry editor ignores.
// The key is read through the BackupViewScope in effect.
int BackupValue(RootKey root, std::wstring_view keyPath, std::wstring_view valueName);

// For a value that does not exist (yet): the key line, the line name + "=-" and an empty line, so
// that importing the file deletes the value again and undoes a change that creates it. 1 when
// written.
int BackupValueAbsence(RootKey root, std::wstring_view keyPath, std::wstring_view valueName);

// What the open (or last closed) backup file cannot give back exactly, one line per item
// ("HKEY_...\path" or "HKEY_...\path -> name", with CR and LF shown as \r and \n): keys and
// values that could not be read, names that cannot be written, and string data that the registry
// editor would import with an extra NUL. Cleared by CreateBackupFile. A fix should not delete
// what is listed here without telling the user.
const std::vector<std::wstring>& BackupOmissions();

} // namespace mdr
