// Reading registry-editor import files back: what a .reg file names (keys, values, deletions), as
// the system registry editor reads it, and whether the registry now holds exactly that. A
// restore is proven by this check, not by the editor having run: the editor skips what it cannot
// read without saying so.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace mdr {

struct RegFileEntry {
    enum class Kind { Key, KeyDeleted, Value, ValueDeleted, Unreadable };
    Kind kind = Kind::Unreadable;
    HKEY root = nullptr;    // nullptr for an unknown root name
    std::wstring keyText;   // the key as written, root name included ("HKEY_...\Software\X")
    std::wstring subkey;    // the path below the root
    std::wstring valueName; // "" for the default value
    DWORD type = 0;
    std::vector<BYTE> data; // what the editor writes for the value
    int line = 0;           // 1-based line where the entry starts
};

// The entries of an import file's text in file order; line 1 (the header) is not read. A line
// that is none of a key line, a value line, a comment or blank is an Unreadable entry, and so is
// a value line with no key before it. ansiStrings: the file is in the "REGEDIT4" form, whose
// string-typed hex data is in the ANSI code page. Understands "[key]", "[-key]", "name"= /
// @= with a quoted string, "-", dword:, hex: and hex(N): (with "\" continuation lines).
std::vector<RegFileEntry> ParseRegFileText(std::wstring_view text, bool ansiStrings);

// Whether the file's leading bytes start with a header the registry editor imports: the line
// "Windows Registry Editor Version 5.00" in UTF-16LE after a byte-order mark, or the line
// "REGEDIT4" in ANSI without one; exactly, in that letter case, with nothing before it.
bool IsRegImportHeader(std::string_view leadingBytes);

// The registry holds what the entry says: the key exists (or not, for a deletion); the value has
// the entry's type and data (string-typed data may have gained the NUL the editor appends).
bool RegEntryHolds(const RegFileEntry& entry);

// The entries that are not in the registry as the file says, by index into entries. Where the
// file names one key or value twice, its last entry counts.
std::vector<size_t> EntriesNotInRegistry(const std::vector<RegFileEntry>& entries);

// One entry as a line of text for the user: "HKEY_...\path", "HKEY_...\path -> name" or
// "line N", cut to a readable length.
std::wstring RegEntryText(const RegFileEntry& entry);

} // namespace mdr
