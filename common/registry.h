// Registry and path helpers shared by all five programs: walks over keys and values, reading
// values as text, existence tests of keys, values, files and folders, and the text steps of
// path-like registry data.
#pragma once

#include <windows.h>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace mdr {

// Root keys travel as their predefined 32-bit handle values. The predefined handles are
// sign-extended LONG values, so a 64-bit program gets 0xFFFFFFFF80000002 for HKEY_LOCAL_MACHINE.
using RootKey = uint32_t;
constexpr RootKey kHkcr = 0x80000000u;
constexpr RootKey kHkcu = 0x80000001u;
constexpr RootKey kHklm = 0x80000002u;
constexpr RootKey kHku = 0x80000003u;
constexpr RootKey kHkcc = 0x80000005u;
inline HKEY ToHkey(RootKey r) {
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(r)));
}

// "HKEY_CLASSES_ROOT" ... for the five roots, "" for anything else.
std::wstring RootKeyName(RootKey root);
// The root of one of those five long names in any letter case, blanks around it ignored; 0 for
// anything else (there are no short forms such as HKLM).
RootKey RootKeyFromName(std::wstring_view name);

// Check procedures: return -1 to stop the walk, anything else to go on.
using SubkeyCheck = int (*)(RootKey root, const std::wstring& keyPath);
using ValueCheck = int (*)(RootKey root, const std::wstring& keyPath,
                           const std::wstring& valueName);

struct ValueRef {
    RootKey root;
    std::wstring keyPath;
    std::wstring valueName;
};

// Reads the names of one open key's subkeys or values by index. The buffer is sized from the
// key's longest name and grown once when a name grew meanwhile, so no name is too long to be
// seen (value names run to 16,383 characters).
class NameReader {
  public:
    enum Kind { Subkeys, Values };
    NameReader(HKEY key, Kind kind);
    // ERROR_SUCCESS with name set, ERROR_NO_MORE_ITEMS past the last one, or the error.
    LONG Read(DWORD index, std::wstring& name);

  private:
    HKEY key_;
    Kind kind_;
    std::vector<wchar_t> buffer_;
};

// 1 walked, 0 key not opened, -1 a check asked to stop. Pre-order; the start key is not checked.
int EnumerateSubkeys(RootKey root, std::wstring_view keyPath, bool recursive, SubkeyCheck check);
int EnumerateValues(RootKey root, std::wstring_view keyPath, ValueCheck check);
// Non-zero when the list holds elements afterwards.
int CollectValueNames(RootKey root, std::wstring_view keyPath, std::vector<ValueRef>& list);
// Number of values of the key, or, when it has none, of every key below it.
uint64_t CountKeyValues(RootKey root, std::wstring_view keyPath);
// CountKeyValues(...) != 0, with the walk below stopped at the first value found.
bool KeyHoldsValues(RootKey root, std::wstring_view keyPath);
// That walk below a key the caller holds open (with KEY_READ): whether a key below it holds a
// value. False for a null key.
bool SubkeysHoldValues(HKEY key);
// Value rendered as text by type; "" when absent. valueName "" = default value.
std::wstring ReadValueAsText(RootKey root, std::wstring_view keyPath, std::wstring_view valueName);
// Access denied counts as existing.
int KeyExists(RootKey root, std::wstring_view keyPath);
int ValueExists(RootKey root, std::wstring_view keyPath, std::wstring_view valueName);
// ValueExists and ReadValueAsText of one value, asked with one opening of its key.
struct ValueAnswer {
    bool exists = false;
    std::wstring text;
};
ValueAnswer LookUpValue(RootKey root, std::wstring_view keyPath, std::wstring_view valueName);
// The same for a value of a key the caller holds open with KEY_READ.
ValueAnswer LookUpValue(HKEY key, std::wstring_view valueName);
// ReadValueAsText of a value of a key the caller holds open (with KEY_QUERY_VALUE at least).
std::wstring ReadOpenValueAsText(HKEY key, std::wstring_view valueName);

std::wstring ExpandEnvironment(std::wstring_view text);
// A path as a 32-bit program on 64-bit Windows finds it: a path in the system folder is looked
// for in the SysWOW64 folder (both ending in "\\"; nothing changes without a SysWOW64 folder).
std::wstring Wow32FilePath(std::wstring_view path, std::wstring_view systemFolder,
                           std::wstring_view wow64Folder);
std::wstring Wow32FilePath(std::wstring_view path);
// While on, this thread's expansions give the folders a 32-bit program gets: %ProgramFiles% and
// %CommonProgramFiles% become their "(x86)" forms (where the system has them).
void SetThirtyTwoBitExpansion(bool on);
std::wstring LongPathOf(std::wstring_view path);
// File, folder or drive root exists (or the part before the first ",").
bool PathExists(std::wstring_view path);

// Pure text steps of the helpers above (no registry or file-system access), for tests.
// One trailing "\" removed, as every operation does with its key path.
std::wstring WithoutTrailingBackslash(std::wstring_view keyPath);
// The part before the first ",", or the whole text.
std::wstring BeforeFirstComma(std::wstring_view text);
// Every "\\" becomes "\" in one left-to-right pass.
std::wstring CollapseDoubleBackslashes(std::wstring_view text);
// The first 1..n blank-separated words, each followed by one blank (n = blanks + 1).
std::vector<std::wstring> WordPrefixes(std::wstring_view text);
// The rewriting of a path-like reference before its second existence test: quotes and
// arguments, "\??\" prefixes, "\SystemRoot\" (replaced by windowsFolder, which ends in "\")
// and doubled backslashes. The caller makes short names long afterwards.
std::wstring RewriteReferenceText(std::wstring_view text, std::wstring_view windowsFolder);
// The ";"-separated fields of a search-path text, trimmed, empty ones dropped, each ending in "\"
// (not yet expanded).
std::vector<std::wstring> SearchPathFields(std::wstring_view text);
// A name of two or three characters whose second is ":" (tested as a drive root).
bool IsDriveRootName(std::wstring_view name);

// Called after every item a walk visits (the scan engine's delay); nullptr for none.
using WalkPause = void (*)();
void SetWalkPause(WalkPause pause);

} // namespace mdr
