// Registry and file evidence for the repair tests: values planted and read on the real registry,
// a recursive copy of a key (names as stored, raw value types and bytes) to compare before and
// after, the real registry editor importing a .reg file, the non-empty lines of a UTF-8 text file
// and the files in a folder.
#pragma once

#include <windows.h>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace mdr::test {
using Bytes = std::vector<BYTE>;

struct RegValue {
    DWORD type = 0;
    Bytes data;
    bool operator==(const RegValue&) const = default;
};

struct RegTree {
    std::map<std::wstring, RegValue> values;
    std::map<std::wstring, RegTree> keys;
    bool operator==(const RegTree&) const = default;
};

// UTF-16LE bytes of text, and with its terminating NUL (as REG_SZ data is normally stored).
Bytes Utf16(std::wstring_view text);
Bytes Sz(std::wstring_view text);
Bytes Dword(DWORD value); // little-endian, as REG_DWORD

// Values under root\key, made when missing; a failure fails the test. SetRaw stores exactly data:
// RegSetValueExW would take a NUL that directly follows string data into the value.
void SetValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type,
              const void* data, DWORD size);
void SetRaw(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type, Bytes data);
void SetString(HKEY root, const std::wstring& key, const std::wstring& name,
               const std::wstring& data);
void SetDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD data);
void DeleteValue(HKEY root, const std::wstring& key, const std::wstring& name);
void DeleteTree(HKEY root, const std::wstring& key);
bool KeyExists(HKEY root, const std::wstring& key);
bool ValueExists(HKEY root, const std::wstring& key, const std::wstring& name);
std::wstring ReadString(HKEY root, const std::wstring& key, const std::wstring& name);

// Reads root\path with everything below it; false when the key cannot be opened for reading.
bool ReadRegTree(HKEY root, const std::wstring& path, RegTree& tree);

// "regedit /s file", waited for up to two minutes (a test failure when it does not finish).
void ImportWithRegedit(const std::wstring& file);

// The non-empty lines of a UTF-8 file, without their line ends (none when it cannot be read).
std::vector<std::wstring> ReadLines(const std::wstring& path);
// The messages of the program log's dated lines, without their "#dd/mm/yy hh:mm:ss" stamp and
// the six blanks after it.
std::vector<std::wstring> LoggedMessages(const std::wstring& path);
// The names of the files (not folders) directly in folder ("...\\"), sorted.
std::vector<std::wstring> FilesIn(const std::wstring& folder);
} // namespace mdr::test
