// The journal of what MDR fixed: root, key, value, area and date of each removed entry, the last
// 5,000 of them, in FixJournal.txt in the user's settings folder. A scan marks a finding that
// was fixed before as returned: a program still installed re-creates it, and fixing it again
// each time only teaches people to click Fix without looking. A missing or damaged journal is an
// empty one, never an error.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mdr {

inline constexpr size_t kMostJournalEntries = 5000;
inline constexpr wchar_t kFixJournalFile[] = L"FixJournal.txt"; // in the settings folder

struct JournalEntry {
    uint32_t root = 0;
    std::wstring keyPath;
    std::wstring valueName; // "" for a removed key (or a key's default value)
    int area = 0;           // 0..17
    std::wstring date;      // "2026-12-07"
    bool value = false;     // a value was removed, not a key
};

// One line (tab-separated, tabs, line breaks and "%" in names written as %09, %0A, %0D, %25),
// and back; nullopt for a line that is not one.
std::wstring JournalLine(const JournalEntry& entry);
std::optional<JournalEntry> ParseJournalLine(std::wstring_view line);

// The journal's entries, oldest first; empty when the file is missing or unreadable.
std::vector<JournalEntry> ReadJournal(const std::wstring& path);
// Adds entries and keeps the newest kMostJournalEntries; the file is replaced whole.
bool AppendToJournal(const std::wstring& path, const std::vector<JournalEntry>& entries);

// The journal as the scan consults it, loaded before a scan thread starts (and only read while
// one runs).
void LoadFixJournal(const std::wstring& path);
// The date of the latest fix of this entry, "" when it was never fixed (letter case ignored).
std::wstring FixedBefore(uint32_t root, std::wstring_view keyPath, std::wstring_view valueName,
                         bool value);

} // namespace mdr
