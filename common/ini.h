// Ini files of our own (Config.ini, language files, tool descriptions, exception lists): ordered
// groups of ordered key/value pairs, keys and group names matched ignoring case as Windows
// profiles do. Reads UTF-8 (with or without BOM), UTF-16LE with BOM and ANSI; writes UTF-8
// without BOM, CR LF, through a temporary file so a crash never leaves a half-written file.
// The Windows profile-string functions are not used: they read UTF-8 text as ANSI.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mdr {

// ---- Whole-file text helpers (shared with other readers of small text files) ----

enum class FileState { Missing, Unreadable, Ok };

// Reads a whole file (at most 64 MB). Missing: the file (or its folder) does not exist;
// Unreadable: it exists but is a folder, too large, or cannot be opened or read.
FileState ReadFileBytes(const std::wstring& path, std::string& bytes);

// Text from file bytes: a UTF-16LE BOM or a UTF-8 BOM decides; without a BOM the bytes are
// UTF-8 when they are valid UTF-8 and sniffUtf8 is set, otherwise the ANSI code page.
std::wstring DecodeText(std::string_view bytes, bool sniffUtf8 = true);
bool IsValidUtf8(std::string_view bytes);

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
    // first group are kept; blank lines are dropped.
    static IniFile Parse(std::wstring_view text);
    // Text with CR LF line ends and a blank line between groups.
    std::wstring ToText() const;

    // Load: file state as ReadFileBytes; on Ok the document holds the file's contents.
    FileState Load(const std::wstring& path);
    // Writes UTF-8 without BOM, replacing the file in one step. False on failure.
    bool Save(const std::wstring& path) const;

    // Lookups use the first group of that name and the first key of that name.
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

    // Sets the first key of that name, or appends the key to the group, appending the group
    // when missing. Refuses (false) what the file format cannot hold: a key that is empty or
    // holds "=", starts with "[" or ";", or a key or value with a line break.
    bool Set(std::wstring_view group, std::wstring_view key, std::wstring_view value);
    bool SetInt(std::wstring_view group, std::wstring_view key, int value);
    // Appends an empty group when none of that name exists.
    void AddGroup(std::wstring_view group);
    // Remove every key of that name from the first group of that name / every group of that
    // name. True when something was removed.
    bool RemoveKey(std::wstring_view group, std::wstring_view key);
    bool RemoveGroup(std::wstring_view group);

  private:
    IniGroup* FindGroup(std::wstring_view group);
    const IniGroup* FindGroup(std::wstring_view group) const;

    std::vector<IniLine> preamble_; // lines before the first group
    std::vector<IniGroup> groups_;
};

} // namespace mdr
