// The backup a tool writes before it deletes anything from the registry: a new
// "<Tool>_<date>.reg" in MDR's Backup folder, by MDR's exact .reg writer, so that MDR's backup
// manager lists it and importing it brings back what was deleted byte for byte.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/registry.h"

namespace mdr {

struct BackupItem {
    RootKey root;
    std::wstring key;
    std::optional<std::wstring> value; // a single value; none: the whole key with its subtree
    // A value that may be missing: then the file removes it on import (a change may create it).
    bool mayBeAbsent = false;
    REGSAM view = 0; // the registry view it is read through (KEY_WOW64_64KEY); 0: our own
};

struct ToolBackup {
    bool written = false; // every item is in the file, exactly
    std::wstring file;    // the file written; "" when none is left behind
};

// Writes the items into a new file in folder (ToolBackupFolder() for the running tool). When
// any item is missing or could not be written exactly, the file is removed and written is
// false: the caller then deletes nothing.
ToolBackup WriteToolBackup(std::wstring_view program, const std::wstring& folder,
                           const std::vector<BackupItem>& items);

// Moves a file to the Recycle Bin, so that a wrong removal can be undone from there; true only
// when the file is gone from its place.
bool MoveToRecycleBin(const std::wstring& path);

} // namespace mdr
