// The text of registry-editor import files (version 5.00): key lines, value lines, hex lists.
// Pure functions, so every rule that decides whether a backup restores exactly is tested fast.
#pragma once

#include <windows.h>
#include <cstddef>
#include <string>
#include <string_view>

namespace mdr {

// "Windows Registry Editor Version 5.00", an empty line, the two comment lines naming the program
// version, and an empty line; every line ended by CR LF (no byte-order mark).
std::wstring RegFileHeader(std::wstring_view versionText);

// Every byte as two lower-case hex digits, separated by "," ("" for no bytes).
std::wstring BytesToHexList(const void* data, size_t size);

// Breaks a hex list after every 20 bytes with "\" CR LF and two spaces; the break follows the
// comma, and never comes before the last byte.
std::wstring WrapHexList(std::wstring_view hexList);

// "[" + root name + "\" + key path + "]", written verbatim: the editor takes the text up to the
// last "]" as the key name, so quotes and brackets need no escaping. One trailing "\" of the path
// is dropped; an empty path gives the root alone.
std::wstring RegKeyLine(std::wstring_view rootName, std::wstring_view keyPath);

// False when the key line cannot carry the path: a CR or LF would end the line early (and
// whatever follows it would be read as lines of its own).
bool RegKeyPathWritable(std::wstring_view keyPath);

// "@" for the default value, else the name in double quotes with backslash, double quote, CR and
// LF escaped as the editor reads them back (\\, \", \r, \n).
std::wstring RegValueNameField(std::wstring_view name);

// True when a REG_SZ survives the quoted form exactly: an even size of at least 2 bytes whose
// only NUL is the last character and with no character below 0x20.
bool RegStringQuotable(const BYTE* data, size_t size);

// name field + "=" + data: quoted REG_SZ when it survives quoting (else hex(1):), dword: for a
// 4-byte REG_DWORD (else hex(4):), hex: for REG_BINARY, hex(N): with N in lower-case hex for
// every other type; hex lists wrapped. Not ended by CR LF.
std::wstring RegValueLine(std::wstring_view name, DWORD type, const BYTE* data, size_t size);

// True when importing RegValueLine's text with the system registry editor gives back exactly
// these bytes. The editor appends a NUL character to string-typed hex data (REG_SZ,
// REG_EXPAND_SZ, REG_MULTI_SZ) whose last whole UTF-16 character is not NUL, and such data
// cannot be written any other way.
bool RegValueRestoresExactly(DWORD type, const BYTE* data, size_t size);

// A key or value name as the list of entries a backup cannot carry shows it: CR and LF made
// visible as \r and \n.
std::wstring OmissionName(std::wstring_view text);

} // namespace mdr
