// Registry and file evidence for the repair tests: a recursive copy of a key (names as stored,
// raw value types and bytes) to compare before and after, the real registry editor importing a
// .reg file, the non-empty lines of a UTF-8 text file and the files in a folder.
#pragma once

#include <windows.h>

#include <map>
#include <string>
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

// Reads root\path with everything below it; false when the key cannot be opened for reading.
bool ReadRegTree(HKEY root, const std::wstring& path, RegTree& tree);

// "regedit /s file", waited for up to two minutes (a test failure when it does not finish).
void ImportWithRegedit(const std::wstring& file);

// The non-empty lines of a UTF-8 file, without their line ends (none when it cannot be read).
std::vector<std::wstring> ReadLines(const std::wstring& path);
// The names of the files (not folders) directly in folder ("...\\"), sorted.
std::vector<std::wstring> FilesIn(const std::wstring& folder);

} // namespace mdr::test
