// SkipMapEntry records: the shipped skip map (MDRSkipMap.dat) and the user's exception list,
// with the line parsing both share.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mdr {

struct SkipMapEntry {
    uint32_t root = 0; // predefined root handle value, 0x80000000...
    std::wstring subkey;
};

// Root handle for a long lower- or mixed-case root name ("hkey_local_machine" ...), 0 if unknown.
uint32_t RootFromName(std::wstring_view name);

// Parses one skip-map / exception line (already trimmed) into entry, following the skip-map
// rules: an unknown root name keeps `previousRoot`. Returns false when the line is to be skipped
// (empty, comment, empty root name).
bool ParseSkipLine(std::wstring_view line, uint32_t previousRoot, SkipMapEntry& entry);

// Splits file text into entries (comments, blanks and bad lines skipped).
std::vector<SkipMapEntry> ParseSkipMapText(std::wstring_view text);

std::vector<SkipMapEntry>& SkipMap();
std::vector<SkipMapEntry>& Exceptions();

// Appends to the exception list; no duplicate check. Returns 1.
int AddException(uint32_t root, std::wstring_view subkey);

} // namespace mdr
