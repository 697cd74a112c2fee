#include "common/registry.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <atomic>
#include <cstring>
#include <memory>

#include "common/handles.h"
#include "common/text.h"
#include "common/trace.h"
#include "common/late_bound.h"

MDR_TRACE_MODULE(Registry);

namespace mdr {

namespace {

constexpr size_t kMaxPathChars = 260;
// The registry's limits: key names run to 255 characters, value names to 16,383.
constexpr DWORD kLongestKeyName = 255;
constexpr DWORD kLongestValueName = 16383;

std::wstring Join(const std::wstring& parent, const std::wstring& name) {
    if (parent.empty()) return name;
    std::wstring path;
    path.reserve(parent.size() + 1 + name.size());
    path.append(parent).append(1, L'\\').append(name);
    return path;
}

LONG OpenKey(HKEY from, const std::wstring& subkey, REGSAM access, UniqueHkey& key) {
    return RegOpenKeyExW(from, subkey.c_str(), 0, access, key.put());
}

// Called after each walked item; the scan engine installs its pause (scan delay) here.
std::atomic<WalkPause> g_walkPause{nullptr};

void PauseAfterItem() {
    if (WalkPause pause = g_walkPause.load()) pause();
}

// EnumerateSubkeys below its first level: `from`/`openName` open the key, `path` names it.
int WalkSubkeys(RootKey root, HKEY from, const std::wstring& openName, const std::wstring& path,
                bool recursive, SubkeyCheck check) {
    MDR_HERE();
    UniqueHkey key;
    if (OpenKey(from, openName, KEY_ENUMERATE_SUB_KEYS, key) != ERROR_SUCCESS) return 0;
    NameReader names(key.get(), NameReader::Subkeys);
    std::wstring childName;
    for (DWORD index = 0;; ++index) {
        LONG rc = names.Read(index, childName);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        // A name that cannot be read is passed over; the ones after it are still walked.
        if (rc == ERROR_SUCCESS) {
            std::wstring child = Join(path, childName);
            if (check && check(root, child) == -1) return -1;
            // A stop below ends only that level; the next check here asks again.
            if (recursive) WalkSubkeys(root, key.get(), childName, child, true, check);
        }
        PauseAfterItem();
    }
    return 1;
}

// The value walk shared by EnumerateValues and CollectValueNames: `onValue` gets each named
// value and returns false to stop. Returns 1 walked, 0 not opened, -1 stopped.
template <typename OnValue>
int WalkValues(RootKey root, std::wstring_view keyPath, OnValue onValue) {
    MDR_HERE();
    std::wstring path = WithoutTrailingBackslash(keyPath);
    UniqueHkey key;
    if (OpenKey(ToHkey(root), path, KEY_QUERY_VALUE, key) != ERROR_SUCCESS) return 0;
    NameReader names(key.get(), NameReader::Values);
    std::wstring name;
    for (DWORD index = 0;; ++index) {
        LONG rc = names.Read(index, name);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        // The default value has an empty name and is never handed on.
        if (rc == ERROR_SUCCESS && !name.empty() && !onValue(path, name)) return -1;
        PauseAfterItem();
    }
    return 1;
}

DWORD ValueCountOf(HKEY key) {
    DWORD values = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return 0;
    return values;
}

// Adds the value counts of every key below `parent` (opened for enumeration) to `total`; with
// `firstOnly`, stops as soon as the total is above 0.
void CountValuesBelow(HKEY parent, uint64_t& total, bool firstOnly) {
    MDR_HERE();
    NameReader names(parent, NameReader::Subkeys);
    std::wstring childName;
    for (DWORD index = 0;; ++index) {
        LONG rc = names.Read(index, childName);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc == ERROR_SUCCESS) {
            UniqueHkey child;
            if (OpenKey(parent, childName, KEY_READ, child) == ERROR_SUCCESS) {
                total += ValueCountOf(child.get());
                if (!(firstOnly && total > 0)) CountValuesBelow(child.get(), total, firstOnly);
            } else if (OpenKey(parent, childName, KEY_ENUMERATE_SUB_KEYS, child) == ERROR_SUCCESS) {
                // Values unreadable here, but the keys below may still be walked.
                CountValuesBelow(child.get(), total, firstOnly);
            }
        }
        SleepEx(0, TRUE);
        if (firstOnly && total > 0) return;
    }
}

std::wstring TextUpToNul(const std::vector<BYTE>& data) {
    size_t chars = data.size() / sizeof(wchar_t);
    std::wstring text(chars, L'\0');
    if (chars) std::memcpy(text.data(), data.data(), chars * sizeof(wchar_t));
    size_t nul = text.find(L'\0');
    if (nul != std::wstring::npos) text.resize(nul);
    return text;
}

// Most values (paths, class identifiers) fit in this, so one query usually reads a value.
constexpr DWORD kFirstReadBytes = 1024;

// Reads a value's type and raw bytes into `data` (empty when absent, unreadable or empty).
// Returns the answer of the first query: ERROR_SUCCESS or ERROR_MORE_DATA for a value that exists.
LONG QueryRawValue(HKEY key, const std::wstring& name, DWORD& type, std::vector<BYTE>& data) {
    data.assign(kFirstReadBytes, 0);
    DWORD got = kFirstReadBytes;
    const LONG first = RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &got);
    LONG rc = first;
    // The value may grow between two queries; ask again a few times.
    for (int attempt = 0; rc == ERROR_MORE_DATA && attempt < 4; ++attempt) {
        data.assign(got, 0);
        rc = RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &got);
    }
    if (rc == ERROR_SUCCESS)
        data.resize(got);
    else
        data.clear();
    return first;
}

// The text of a value by its type.
std::wstring ValueText(DWORD type, const std::vector<BYTE>& data) {
    if (data.empty()) return L"";
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return ExpandEnvironment(TextUpToNul(data));
    case REG_MULTI_SZ: {
        // Each byte taken as one character, zero bytes dropped: the strings run together.
        std::wstring text;
        text.reserve(data.size());
        for (BYTE b : data)
            if (b != 0) text += static_cast<wchar_t>(b);
        return text;
    }
    case REG_BINARY:
        return TextUpToNul(data);
    // Numbers as their type: unsigned, so 0xFFFFFFFF is never shown as -1.
    case REG_DWORD: {
        uint32_t raw = 0;
        std::memcpy(&raw, data.data(), data.size() < sizeof raw ? data.size() : sizeof raw);
        return std::to_wstring(raw);
    }
    case REG_QWORD: {
        uint64_t raw = 0;
        std::memcpy(&raw, data.data(), data.size() < sizeof raw ? data.size() : sizeof raw);
        return std::to_wstring(raw);
    }
    default:
        return L"";
    }
}

// One name of PathExists: a drive root, or a file or folder that FindFirstFileW finds.
bool SingleNameExists(std::wstring_view name) {
    if (name.empty()) return false;
    if (IsDriveRootName(name)) {
        std::wstring root(name);
        if (root.size() == 2) root += L'\\';
        return GetDriveTypeW(root.c_str()) > DRIVE_NO_ROOT_DIR;
    }
    std::wstring cut(name.substr(0, kMaxPathChars));
    while (!cut.empty() && cut.back() == L'\\')
        cut.pop_back();
    if (cut.empty()) return false;
    // One attribute query answers for a plain name, at a fraction of a directory search's cost.
    // Wildcards keep their matching, and a file the system holds open for itself (a page file
    // refuses even its attributes) is looked for in its folder.
    if (cut.find_first_of(L"*?") == std::wstring::npos) {
        if (GetFileAttributesW(cut.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
        const DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) return false;
    }
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW(cut.c_str(), &data));
    return static_cast<bool>(find);
}

} // namespace

// ---- Pure text steps ----

std::wstring WithoutTrailingBackslash(std::wstring_view keyPath) {
    if (!keyPath.empty() && keyPath.back() == L'\\') keyPath.remove_suffix(1);
    return std::wstring(keyPath);
}

std::wstring BeforeFirstComma(std::wstring_view text) {
    return std::wstring(text.substr(0, text.find(L',')));
}

std::wstring CollapseDoubleBackslashes(std::wstring_view text) {
    return ReplaceAll(text, L"\\\\", L"\\");
}

std::vector<std::wstring> WordPrefixes(std::wstring_view text) {
    std::vector<std::wstring> words = Split(text, L' ');
    std::vector<std::wstring> prefixes;
    prefixes.reserve(words.size());
    std::wstring candidate;
    for (const std::wstring& word : words) {
        candidate.append(word).append(1, L' ');
        prefixes.push_back(candidate);
    }
    return prefixes;
}

std::wstring RewriteReferenceText(std::wstring_view input, std::wstring_view windowsFolder) {
    std::wstring text(input);
    if (text.find(L'"') != std::wstring::npos) {
        bool wrapped = text.front() == L'"' && text.back() == L'"';
        if (!wrapped) {
            // PathRemoveArgsW works in place and only ever shortens the text.
            PathRemoveArgsW(text.data());
            text.resize(wcslen(text.c_str()));
        }
        text = Trim(ReplaceAll(text, L"\"", L""));
    }
    if (text.find(L"\\??\\") != std::wstring::npos) text = Trim(ReplaceAll(text, L"\\??\\", L""));
    if (FindNoCase(text, L"\\systemroot\\") != std::wstring::npos)
        text = Trim(ReplaceAllNoCase(text, L"\\systemroot\\", windowsFolder));
    return Trim(CollapseDoubleBackslashes(text));
}

std::vector<std::wstring> SearchPathFields(std::wstring_view text) {
    std::vector<std::wstring> fields;
    for (const std::wstring& raw : Split(text, L';')) {
        std::wstring field = Trim(raw);
        if (field.empty()) continue;
        if (field.back() != L'\\') field += L'\\';
        fields.push_back(std::move(field));
    }
    return fields;
}

bool IsDriveRootName(std::wstring_view name) {
    return (name.size() == 2 || name.size() == 3) && name[1] == L':';
}

// ---- Names ----

std::wstring RootKeyName(RootKey root) {
    switch (root) {
    case kHkcr:
        return L"HKEY_CLASSES_ROOT";
    case kHkcu:
        return L"HKEY_CURRENT_USER";
    case kHklm:
        return L"HKEY_LOCAL_MACHINE";
    case kHku:
        return L"HKEY_USERS";
    case kHkcc:
        return L"HKEY_CURRENT_CONFIG";
    default:
        return L"";
    }
}

RootKey RootKeyFromName(std::wstring_view name) {
    const std::wstring trimmed = Trim(name);
    for (RootKey root : {kHkcr, kHkcu, kHklm, kHku, kHkcc}) {
        if (EqualsNoCase(trimmed, RootKeyName(root))) return root;
    }
    return 0;
}

// ---- Walks ----

NameReader::NameReader(HKEY key, Kind kind) : key_(key), kind_(kind) {
    DWORD longest = kLongestKeyName;
    if (kind == Values &&
        RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         &longest, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        longest = kLongestValueName;
    buffer_.resize(longest + 1);
}

LONG NameReader::Read(DWORD index, std::wstring& name) {
    for (int attempt = 0;; ++attempt) {
        DWORD length = static_cast<DWORD>(buffer_.size());
        const LONG rc = kind_ == Values ? RegEnumValueW(key_, index, buffer_.data(), &length,
                                                        nullptr, nullptr, nullptr, nullptr)
                                        : RegEnumKeyExW(key_, index, buffer_.data(), &length,
                                                        nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA && attempt == 0) {
            buffer_.resize(kLongestValueName + 1);
            continue;
        }
        if (rc == ERROR_SUCCESS) name.assign(buffer_.data(), length);
        return rc;
    }
}

int EnumerateSubkeys(RootKey root, std::wstring_view keyPath, bool recursive, SubkeyCheck check) {
    MDR_HERE();
    std::wstring path = WithoutTrailingBackslash(keyPath);
    return WalkSubkeys(root, ToHkey(root), path, path, recursive, check);
}

int EnumerateValues(RootKey root, std::wstring_view keyPath, ValueCheck check) {
    return WalkValues(root, keyPath, [&](const std::wstring& path, const std::wstring& name) {
        return !(check && check(root, path, name) == -1);
    });
}

int CollectValueNames(RootKey root, std::wstring_view keyPath, std::vector<ValueRef>& list) {
    WalkValues(root, keyPath, [&](const std::wstring& path, const std::wstring& name) {
        list.push_back(ValueRef{root, path, name});
        return true;
    });
    return list.empty() ? 0 : 1;
}

namespace {
uint64_t CountValues(RootKey root, std::wstring_view keyPath, bool firstOnly) {
    MDR_HERE();
    std::wstring path = WithoutTrailingBackslash(keyPath);
    UniqueHkey key;
    if (OpenKey(ToHkey(root), path, KEY_READ, key) != ERROR_SUCCESS) return 0;
    DWORD values = 0;
    if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return 0;
    if (values > 0) return values;
    // No value of its own: the key is empty only when nothing below it holds a value either.
    uint64_t total = 0;
    CountValuesBelow(key.get(), total, firstOnly);
    return total;
}
} // namespace

uint64_t CountKeyValues(RootKey root, std::wstring_view keyPath) {
    return CountValues(root, keyPath, false);
}

bool KeyHoldsValues(RootKey root, std::wstring_view keyPath) {
    return CountValues(root, keyPath, true) > 0;
}

bool SubkeysHoldValues(HKEY key) {
    if (!key) return false;
    uint64_t total = 0;
    CountValuesBelow(key, total, true);
    return total > 0;
}

// ---- Values and existence ----

std::wstring ReadValueAsText(RootKey root, std::wstring_view keyPath, std::wstring_view valueName) {
    MDR_HERE();
    UniqueHkey key;
    if (OpenKey(ToHkey(root), WithoutTrailingBackslash(keyPath), KEY_READ, key) != ERROR_SUCCESS)
        return L"";
    return ReadOpenValueAsText(key.get(), valueName);
}

std::wstring ReadOpenValueAsText(HKEY key, std::wstring_view valueName) {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    QueryRawValue(key, std::wstring(valueName), type, data);
    return ValueText(type, data);
}

ValueAnswer LookUpValue(RootKey root, std::wstring_view keyPath, std::wstring_view valueName) {
    MDR_HERE();
    UniqueHkey key;
    if (OpenKey(ToHkey(root), WithoutTrailingBackslash(keyPath), KEY_READ, key) != ERROR_SUCCESS)
        return {};
    return LookUpValue(key.get(), valueName);
}

ValueAnswer LookUpValue(HKEY key, std::wstring_view valueName) {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    const LONG rc = QueryRawValue(key, std::wstring(valueName), type, data);
    // As in ValueExists, a value that refuses us exists.
    const bool exists = rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA || rc == ERROR_ACCESS_DENIED;
    return {exists, exists ? ValueText(type, data) : L""};
}

int KeyExists(RootKey root, std::wstring_view keyPath) {
    UniqueHkey key;
    LONG rc = OpenKey(ToHkey(root), WithoutTrailingBackslash(keyPath), KEY_READ, key);
    // A key that refuses us is there all the same: protected keys are never "missing".
    return (rc == ERROR_SUCCESS || rc == ERROR_ACCESS_DENIED) ? 1 : 0;
}

int ValueExists(RootKey root, std::wstring_view keyPath, std::wstring_view valueName) {
    UniqueHkey key;
    if (OpenKey(ToHkey(root), WithoutTrailingBackslash(keyPath), KEY_READ, key) != ERROR_SUCCESS)
        return 0;
    DWORD type = 0;
    std::wstring name(valueName);
    LONG rc = RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, nullptr);
    return (rc == ERROR_SUCCESS || rc == ERROR_ACCESS_DENIED) ? 1 : 0;
}

// ---- Paths ----

namespace {
thread_local bool t_thirtyTwoBit = false;

std::wstring FolderOf(UINT(WINAPI* query)(LPWSTR, UINT)) {
    wchar_t buffer[MAX_PATH] = {};
    const UINT length = query(buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) + L"\\" : L"";
}
} // namespace

std::wstring Wow32FilePath(std::wstring_view path, std::wstring_view systemFolder,
                           std::wstring_view wow64Folder) {
    if (wow64Folder.empty() || systemFolder.empty() || !StartsWithNoCase(path, systemFolder))
        return std::wstring(path);
    return std::wstring(wow64Folder) + std::wstring(path.substr(systemFolder.size()));
}

std::wstring Wow32FilePath(std::wstring_view path) {
    static const std::wstring system = FolderOf(GetSystemDirectoryW);
    static const std::wstring wow64 = SystemWow64Folder();
    return Wow32FilePath(path, system, wow64);
}

void SetThirtyTwoBitExpansion(bool on) {
    t_thirtyTwoBit = on;
}

std::wstring ExpandEnvironment(std::wstring_view text) {
    std::wstring source(text);
    // Only %NAME% references change: a text without "%" is its own expansion (most values read).
    if (source.find(L'%') == std::wstring::npos) return source;
    if (t_thirtyTwoBit) {
        for (const wchar_t* name : {L"ProgramFiles", L"CommonProgramFiles"}) {
            const std::wstring x86 = std::wstring(name) + L"(x86)";
            if (GetEnvironmentVariableW(x86.c_str(), nullptr, 0) == 0) continue;
            source = ReplaceAllNoCase(source, L"%" + std::wstring(name) + L"%", L"%" + x86 + L"%");
        }
    }
    DWORD need = ExpandEnvironmentStringsW(source.c_str(), nullptr, 0);
    // When even the size query fails the text is used as it stands.
    for (int attempt = 0; attempt < 4 && need != 0; ++attempt) {
        std::wstring out(need, L'\0');
        DWORD got = ExpandEnvironmentStringsW(source.c_str(), out.data(), need);
        if (got == 0) break;
        if (got <= need) {
            out.resize(wcslen(out.c_str()));
            return out;
        }
        need = got;
    }
    return source;
}

std::wstring LongPathOf(std::wstring_view path) {
    std::wstring source(path);
    if (source.find(L'~') == std::wstring::npos) return source;
    wchar_t buffer[kMaxPathChars] = {};
    DWORD got = GetLongPathNameW(source.c_str(), buffer, static_cast<DWORD>(kMaxPathChars));
    if (got == 0 || got >= kMaxPathChars) return source;
    return std::wstring(buffer, got);
}

bool PathExists(std::wstring_view path) {
    if (SingleNameExists(path)) return true;
    size_t comma = path.find(L',');
    // Icon and resource references: "file,index" passes when the file does.
    return comma != std::wstring_view::npos && SingleNameExists(path.substr(0, comma));
}

void SetWalkPause(WalkPause pause) {
    g_walkPause = pause;
}

} // namespace mdr
