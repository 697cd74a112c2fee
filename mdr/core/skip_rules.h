// SkipMapEntry records: the shipped skip map (MDRSkipMap.dat) and the user's exception list,
// with the line parsing both share.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mdr {

// More entries than any skip map holds: past this the file is refused (Unreadable), so a file
// of millions of tiny lines is never kept line by line.
inline constexpr size_t kMaxSkipMapEntries = 200000;

struct SkipMapEntry {
    uint32_t root = 0; // predefined root handle value, 0x80000000...
    std::wstring subkey;
};

// Parses one skip-map / exception line (already trimmed) into entry, following the skip-map
// rules: an unknown root name keeps `previousRoot`. Returns false when the line is to be skipped
// (empty, comment, empty root name).
bool ParseSkipLine(std::wstring_view line, uint32_t previousRoot, SkipMapEntry& entry);

// Splits file text into entries (comments, blanks and bad lines skipped). False, with entries
// cut short, past maxEntries.
bool ParseSkipMapText(std::wstring_view text, std::vector<SkipMapEntry>& entries,
                      size_t maxEntries = kMaxSkipMapEntries);
std::vector<SkipMapEntry> ParseSkipMapText(std::wstring_view text);

// Reads MDRSkipMap.dat (encoding by byte-order mark: none = ANSI, UTF-8, UTF-16LE). Missing: the
// file does not exist; Unreadable: it exists but cannot be read, or holds more than
// kMaxSkipMapEntries entries. A 0-byte file is Ok with no entries. `entries` is replaced only on
// Ok.
enum class SkipMapLoad { Missing, Unreadable, Ok };
SkipMapLoad LoadSkipMapFile(const std::wstring& path, std::vector<SkipMapEntry>& entries);
// The same into SkipMap().
SkipMapLoad LoadSkipMapFile(const std::wstring& path);

// Whether one exception rule covers (root, keyPath), as InExceptions tests each rule: same root,
// and the subkey equal to the key path ignoring case and surrounding blanks; a rule whose
// subkey ends in "\*" also covers every key path whose first (length - 2) characters equal the
// subkey without its "\*" (so a rule for Foo\* covers Foo, Foo\Bar and also FooBar).
bool ExceptionMatches(const SkipMapEntry& rule, uint32_t root, std::wstring_view keyPath);
// Same root and same subkey ignoring case and surrounding blanks (duplicate entries).
bool SameSkipEntry(const SkipMapEntry& a, uint32_t root, std::wstring_view subkey);
// A text equal for two entries exactly when SameSkipEntry holds: for hashed duplicate checks.
std::wstring SkipEntryKey(uint32_t root, std::wstring_view subkey);

std::vector<SkipMapEntry>& SkipMap();
std::vector<SkipMapEntry>& Exceptions();

// Appends to the exception list; no duplicate check. Returns 1.
int AddException(uint32_t root, std::wstring_view subkey);

} // namespace mdr
