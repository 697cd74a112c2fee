// Ini files of our own (Config.ini, language files, tool descriptions, exception lists): ordered
// groups of ordered key/value pairs, keys and group names matched ignoring case as Windows
// profiles do; all groups of one name read as one. Reads UTF-8 (with or without BOM), UTF-16LE
// and UTF-16BE (with or without BOM) and ANSI; writes UTF-8 without BOM, CR LF, through a
// temporary file so a crash never leaves a half-written file. Lookups are hashed, so loading a
// file of many keys takes time in proportion to its size.
// The Windows profile-string functions are not used: they read UTF-8 text as ANSI.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace mdr {

// ---- Whole-file text helpers (shared with other readers of small text files) ----

// Undecodable (from IniFile::Load only): the file was read but is not text in any encoding we
// know, or holds more than kMaxIniLines lines.
enum class FileState { Missing, Unreadable, Ok, Undecodable };

// No file of ours comes near this many lines; past it a file is refused rather than kept in
// memory line by line.
inline constexpr size_t kMaxIniLines = 400000;

// Reads a whole file (at most 64 MB). Missing: the file (or its folder) does not exist;
// Unreadable: it exists but is a folder, too large, or cannot be opened or read.
FileState ReadFileBytes(const std::wstring& path, std::string& bytes);

// Text from file bytes: a UTF-16LE BOM or a UTF-8 BOM decides. With sniff set, also a UTF-16BE
// BOM, and without a BOM: UTF-16LE/BE when NUL bytes stand in alternate positions, UTF-8 when
// the bytes are valid UTF-8; otherwise the ANSI code page.
std::wstring DecodeText(std::string_view bytes, bool sniff = true);
// DecodeText with sniffing; false when the result is not text: it holds NUL characters, or a
// UTF-8 BOM is followed by bytes that are not UTF-8.
bool DecodeTextChecked(std::string_view bytes, std::wstring& text);
// Strict UTF-8 (no encoded surrogates). Sniffing also accepts the three-byte form of unpaired
// surrogates that ToUtf8 writes.
bool IsValidUtf8(std::string_view bytes);
// Non-blank lines of text, counting stopped once past limit.
size_t CountTextLines(std::wstring_view text, size_t limit);

// Replaces path with bytes: writes a temporary file in the same folder, flushes it, then moves
// it over the target in one step (MoveFileExW). False when any step fails; the target is then
// unchanged.
bool WriteFileReplacing(const std::wstring& path, std::string_view bytes);

// Size in bytes, or -1 when the file does not exist or is a folder.
long long FileSizeOf(const std::wstring& path);

// ---- Ini documents ----

struct IniLine {
    bool isKey = false; // false: a comment or other line kept only to be written back
    std::wstring key;   // trimmed
    std::wstring value; // trimmed; for other lines the raw text
};

struct IniGroup {
    std::wstring name;
    std::vector<IniLine> lines;
};

class IniFile {
  public:
    // Group lines "[name]"; "key=value" split at the first "="; key and value trimmed; lines
    // starting with ";" and lines without "=" are kept but are not keys; lines before the
    // first group are kept; blank lines are dropped. With onlyGroup, only the groups of that
    // name are kept (for read-only use: nothing else of the file is held in memory).
    static IniFile Parse(std::wstring_view text, std::wstring_view onlyGroup = {});
    // Text with CR LF line ends and a blank line between groups.
    std::wstring ToText() const;

    // Load: file state as ReadFileBytes, or Undecodable; on Ok the document holds the file's
    // contents (only the groups named onlyGroup when given, as Parse).
    FileState Load(const std::wstring& path, std::wstring_view onlyGroup = {});
    // Writes UTF-8 without BOM, replacing the file in one step. False on failure.
    bool Save(const std::wstring& path) const;

    // Lookups see all groups of that name as one, in file order: the first key of that name.
    bool HasGroup(std::wstring_view group) const;
    bool HasKey(std::wstring_view group, std::wstring_view key) const;
    std::wstring GetString(std::wstring_view group, std::wstring_view key,
                           std::wstring_view defaultValue = {}) const;
    // Key names of the group in file order, duplicates and empty names included.
    std::vector<std::wstring> Keys(std::wstring_view group) const;
    // Number of keys of the group with a non-empty name (duplicates counted).
    int CountNamedKeys(std::wstring_view group) const;
    // Group names in file order.
    std::vector<std::wstring> GroupNames() const;
    const std::vector<IniGroup>& Groups() const { return groups_; }

    // Sets the first key of that name, or appends the key to the first group of that name,
    // appending the group when missing. Refuses (false) what the file format cannot hold: a key
    // that is empty or holds "=", starts with "[" or ";", or a key or value with a line break.
    bool Set(std::wstring_view group, std::wstring_view key, std::wstring_view value);
    bool SetInt(std::wstring_view group, std::wstring_view key, int value);
    // Appends an empty group when none of that name exists.
    void AddGroup(std::wstring_view group);
    // Remove every key of that name from every group of that name / every group of that name.
    // True when something was removed.
    bool RemoveKey(std::wstring_view group, std::wstring_view key);
    bool RemoveGroup(std::wstring_view group);

  private:
    struct KeyRef {
        uint32_t group;
        uint32_t line;
    };
    // Indexes of the groups of that name, in file order (empty when none).
    const std::vector<uint32_t>& GroupsNamed(std::wstring_view group) const;
    const KeyRef* FindKey(std::wstring_view group, std::wstring_view key) const;
    void BuildIndex() const;
    void DropIndex();

    std::vector<IniLine> preamble_; // lines before the first group
    std::vector<IniGroup> groups_;
    // Built on the first lookup, kept up to date by Set and AddGroup, dropped by removals.
    // Keys: lower-case group name, and lower-case group name + "\n" + lower-case key name.
    mutable bool indexed_ = false;
    mutable std::unordered_map<std::wstring, std::vector<uint32_t>> groupIndex_;
    mutable std::unordered_map<std::wstring, KeyRef> keyIndex_;
};

} // namespace mdr
