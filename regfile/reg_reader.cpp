// Reading .reg files back, and checking them against the registry.
#include "regfile/reg_reader.h"

#include <unordered_map>

#include "common/handles.h"
#include "common/text.h"
#include "common/trace.h"

MDR_TRACE_MODULE(RestoreEngine);

namespace mdr {

namespace {

using Kind = RegFileEntry::Kind;

constexpr size_t kShownChars = 120;

struct RootAlias {
    const wchar_t* name;
    HKEY root;
};
const RootAlias kRootAliases[] = {
    {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {L"HKLM", HKEY_LOCAL_MACHINE},
    {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {L"HKCU", HKEY_CURRENT_USER},
    {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {L"HKCR", HKEY_CLASSES_ROOT},
    {L"HKEY_USERS", HKEY_USERS},
    {L"HKU", HKEY_USERS},
    {L"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
    {L"HKCC", HKEY_CURRENT_CONFIG},
};

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

std::wstring_view TrimView(std::wstring_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// What may follow the data on its line: blanks, then a comment or nothing.
bool OnlyCommentLeft(std::wstring_view rest) {
    rest = TrimView(rest);
    return rest.empty() || rest.front() == L';';
}

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// A quoted text starting after its opening quote: the escapes the editor knows (\\ \" \n \r
// \0), any other backslash kept as it is. rest receives what follows the closing quote; false
// when the quote is not closed on the line.
bool ReadQuoted(std::wstring_view s, std::wstring& out, std::wstring_view& rest) {
    out.clear();
    for (size_t i = 0; i < s.size(); ++i) {
        const wchar_t c = s[i];
        if (c == L'"') {
            rest = s.substr(i + 1);
            return true;
        }
        if (c != L'\\' || i + 1 == s.size()) {
            out += c;
            continue;
        }
        const wchar_t next = s[++i];
        switch (next) {
        case L'\\':
        case L'"':
            out += next;
            break;
        case L'n':
            out += L'\n';
            break;
        case L'r':
            out += L'\r';
            break;
        case L'0':
            out += L'\0';
            break;
        default:
            out += L'\\';
            out += next;
        }
    }
    return false;
}

// "xx,xx,..." with blanks allowed around the bytes and one trailing comma.
bool ReadHexList(std::wstring_view s, std::vector<BYTE>& out) {
    out.clear();
    s = TrimView(s);
    if (s.empty()) return true;
    size_t i = 0;
    for (;;) {
        while (i < s.size() && IsBlank(s[i]))
            ++i;
        if (i == s.size()) return !out.empty(); // a trailing comma
        int value = 0, digits = 0;
        while (i < s.size() && HexDigit(s[i]) >= 0 && digits < 3) {
            value = value * 16 + HexDigit(s[i++]);
            ++digits;
        }
        if (digits == 0 || digits > 2) return false;
        out.push_back(static_cast<BYTE>(value));
        while (i < s.size() && IsBlank(s[i]))
            ++i;
        if (i == s.size()) return true;
        if (s[i] != L',') return false;
        ++i;
    }
}

void AppendUtf16(std::vector<BYTE>& out, std::wstring_view text) {
    for (wchar_t c : text) {
        out.push_back(static_cast<BYTE>(c & 0xFF));
        out.push_back(static_cast<BYTE>((c >> 8) & 0xFF));
    }
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// The data part of a value line ("..." / - / dword: / hex: / hex(N):). False when it is none
// of them.
bool ReadData(std::wstring_view s, bool ansiStrings, RegFileEntry& entry) {
    s = TrimView(s);
    if (s == L"-") {
        entry.kind = Kind::ValueDeleted;
        return true;
    }
    entry.kind = Kind::Value;
    if (!s.empty() && s.front() == L'"') {
        std::wstring text;
        std::wstring_view rest;
        if (!ReadQuoted(s.substr(1), text, rest) || !OnlyCommentLeft(rest)) return false;
        entry.type = REG_SZ;
        AppendUtf16(entry.data, text);
        AppendUtf16(entry.data, std::wstring_view(L"\0", 1));
        return true;
    }
    if (StartsWithNoCase(s, L"dword:")) {
        std::wstring_view digits = s.substr(6);
        size_t n = 0;
        DWORD value = 0;
        while (n < digits.size() && HexDigit(digits[n]) >= 0) {
            value = value * 16 + static_cast<DWORD>(HexDigit(digits[n]));
            ++n;
        }
        if (n == 0 || n > 8 || !OnlyCommentLeft(digits.substr(n))) return false;
        entry.type = REG_DWORD;
        for (int b = 0; b < 4; ++b)
            entry.data.push_back(static_cast<BYTE>(value >> (8 * b)));
        return true;
    }
    if (!StartsWithNoCase(s, L"hex")) return false;
    s.remove_prefix(3);
    entry.type = REG_BINARY;
    if (!s.empty() && s.front() == L'(') {
        const size_t close = s.find(L')');
        if (close == std::wstring_view::npos || close == 1 || close > 9) return false;
        DWORD type = 0;
        for (wchar_t c : s.substr(1, close - 1)) {
            if (HexDigit(c) < 0) return false;
            type = type * 16 + static_cast<DWORD>(HexDigit(c));
        }
        entry.type = type;
        s.remove_prefix(close + 1);
    }
    if (s.empty() || s.front() != L':') return false;
    std::wstring_view list = s.substr(1);
    if (const size_t comment = list.find(L';'); comment != std::wstring_view::npos)
        list = list.substr(0, comment);
    if (!ReadHexList(list, entry.data)) return false;
    if (ansiStrings && IsStringType(entry.type) && !entry.data.empty()) {
        // The old form keeps string data in the ANSI code page; the editor stores it as UTF-16.
        const std::string bytes(entry.data.begin(), entry.data.end());
        const std::wstring text = FromAnsi(bytes);
        entry.data.clear();
        AppendUtf16(entry.data, text);
    }
    return true;
}

struct KeyContext {
    bool valid = false; // a key line came before and was not a deletion
    HKEY root = nullptr;
    std::wstring keyText;
    std::wstring subkey;
};

void ReadKeyLine(std::wstring_view line, RegFileEntry& entry, KeyContext& context) {
    // The key name is everything up to the last "]", as the editor takes it.
    const size_t close = line.rfind(L']');
    context = KeyContext();
    if (close == std::wstring_view::npos || !OnlyCommentLeft(line.substr(close + 1))) return;
    std::wstring_view name = line.substr(1, close - 1);
    entry.kind = Kind::Key;
    if (!name.empty() && name.front() == L'-') {
        entry.kind = Kind::KeyDeleted;
        name.remove_prefix(1);
    }
    const size_t slash = name.find(L'\\');
    const std::wstring_view rootName = name.substr(0, slash);
    for (const RootAlias& alias : kRootAliases) {
        if (EqualsNoCase(rootName, alias.name)) entry.root = alias.root;
    }
    entry.keyText = std::wstring(name);
    if (slash != std::wstring_view::npos) entry.subkey = std::wstring(name.substr(slash + 1));
    if (!entry.subkey.empty() && entry.subkey.back() == L'\\') entry.subkey.pop_back();
    if (entry.kind == Kind::Key) {
        context.valid = true;
        context.root = entry.root;
        context.keyText = entry.keyText;
        context.subkey = entry.subkey;
    }
}

void ReadValueLine(std::wstring_view line, bool ansiStrings, const KeyContext& context,
                   RegFileEntry& entry) {
    std::wstring_view rest;
    if (line.front() == L'@') {
        rest = line.substr(1);
    } else if (!ReadQuoted(line.substr(1), entry.valueName, rest)) {
        return;
    }
    rest = TrimView(rest);
    if (rest.empty() || rest.front() != L'=' || !context.valid) return;
    entry.root = context.root;
    entry.keyText = context.keyText;
    entry.subkey = context.subkey;
    if (!ReadData(rest.substr(1), ansiStrings, entry)) {
        entry.kind = Kind::Unreadable;
        entry.data.clear();
    }
}

// Identity of what an entry names, so that a later entry for the same thing replaces it.
std::wstring EntryIdentity(const RegFileEntry& e) {
    std::wstring id =
        std::to_wstring(reinterpret_cast<uintptr_t>(e.root)) + L"|" + ToLower(e.subkey);
    if (e.kind == Kind::Value || e.kind == Kind::ValueDeleted) id += L"\n" + ToLower(e.valueName);
    return id;
}

std::wstring Shortened(std::wstring text) {
    if (text.size() > kShownChars) {
        text.resize(kShownChars);
        text += L"...";
    }
    for (wchar_t& c : text) {
        if (c < 0x20) c = L' ';
    }
    return text;
}

} // namespace

std::vector<RegFileEntry> ParseRegFileText(std::wstring_view text, bool ansiStrings) {
    MDR_HERE();
    std::vector<RegFileEntry> entries;
    KeyContext context;
    size_t pos = 0;
    int lineNumber = 0;
    const size_t n = text.size();
    auto nextLine = [&](std::wstring_view& line) {
        if (pos >= n) return false;
        size_t end = text.find_first_of(L"\r\n", pos);
        if (end == std::wstring_view::npos) end = n;
        line = text.substr(pos, end - pos);
        pos = end;
        if (pos < n) pos += (text[pos] == L'\r' && pos + 1 < n && text[pos + 1] == L'\n') ? 2 : 1;
        ++lineNumber;
        return true;
    };
    std::wstring_view raw;
    if (!nextLine(raw)) return entries; // the header line
    while (nextLine(raw)) {
        MDR_HERE();
        std::wstring_view line = TrimView(raw);
        if (line.empty() || line.front() == L';' || line.front() == L'#') continue;
        RegFileEntry entry;
        entry.line = lineNumber;
        if (line.front() == L'[') {
            ReadKeyLine(line, entry, context);
        } else if (line.front() == L'"' || line.front() == L'@') {
            // Hex lists go on over lines that end in "\".
            std::wstring joined;
            while (!line.empty() && line.back() == L'\\' && pos < n) {
                joined.append(line.substr(0, line.size() - 1));
                if (!nextLine(raw)) break;
                line = TrimView(raw);
            }
            if (!joined.empty()) {
                joined.append(line);
                line = joined;
            }
            ReadValueLine(line, ansiStrings, context, entry);
        }
        if (entry.kind == Kind::Unreadable) entry.keyText.clear();
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool IsRegImportHeader(std::string_view bytes) {
    auto lineEndsAt = [](std::string_view rest) {
        return rest.empty() || rest.front() == '\r' || rest.front() == '\n';
    };
    constexpr std::string_view old = "REGEDIT4";
    if (bytes.substr(0, old.size()) == old) return lineEndsAt(bytes.substr(old.size()));
    if (bytes.substr(0, 2) != "\xFF\xFE") return false;
    constexpr std::wstring_view header = L"Windows Registry Editor Version 5.00";
    for (size_t i = 0; i < header.size(); ++i) {
        const size_t at = 2 + 2 * i;
        if (at + 1 >= bytes.size() || static_cast<unsigned char>(bytes[at]) != header[i] ||
            bytes[at + 1] != '\0')
            return false;
    }
    const size_t after = 2 + 2 * header.size();
    return after + 1 >= bytes.size() ||
           (bytes[after + 1] == '\0' && (bytes[after] == '\r' || bytes[after] == '\n'));
}

bool RegEntryHolds(const RegFileEntry& entry) {
    if (entry.kind == Kind::Unreadable || !entry.root) return false;
    UniqueHkey key;
    const LSTATUS opened =
        RegOpenKeyExW(entry.root, entry.subkey.c_str(), 0, KEY_QUERY_VALUE, key.put());
    if (entry.kind == Kind::KeyDeleted) return opened == ERROR_FILE_NOT_FOUND;
    if (opened != ERROR_SUCCESS) return false;
    if (entry.kind == Kind::Key) return true;
    DWORD type = 0, size = 0;
    LSTATUS queried =
        RegQueryValueExW(key.get(), entry.valueName.c_str(), nullptr, &type, nullptr, &size);
    if (entry.kind == Kind::ValueDeleted) return queried == ERROR_FILE_NOT_FOUND;
    if (queried != ERROR_SUCCESS || type != entry.type) return false;
    std::vector<BYTE> data(size);
    queried = RegQueryValueExW(key.get(), entry.valueName.c_str(), nullptr, &type,
                               size ? data.data() : nullptr, &size);
    if (queried != ERROR_SUCCESS) return false;
    data.resize(size);
    if (data == entry.data) return true;
    // String data without a closing NUL gains one on import (see RegValueRestoresExactly).
    if (!IsStringType(type) || data.size() < entry.data.size() ||
        data.size() > entry.data.size() + 3)
        return false;
    for (size_t i = 0; i < data.size(); ++i) {
        if (data[i] != (i < entry.data.size() ? entry.data[i] : 0)) return false;
    }
    return true;
}

std::vector<size_t> EntriesNotInRegistry(const std::vector<RegFileEntry>& entries) {
    MDR_HERE();
    // The last entry of each key or value decides; unreadable lines always count.
    std::unordered_map<std::wstring, size_t> last;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].kind != Kind::Unreadable) last[EntryIdentity(entries[i])] = i;
    }
    std::vector<size_t> missing;
    for (size_t i = 0; i < entries.size(); ++i) {
        MDR_HERE();
        const RegFileEntry& e = entries[i];
        if (e.kind != Kind::Unreadable && last[EntryIdentity(e)] != i) continue;
        if (!RegEntryHolds(e)) missing.push_back(i);
    }
    return missing;
}

std::wstring RegEntryText(const RegFileEntry& entry) {
    switch (entry.kind) {
    case Kind::Unreadable:
        return L"line " + std::to_wstring(entry.line);
    case Kind::Key:
    case Kind::KeyDeleted:
        return Shortened(entry.keyText);
    case Kind::Value:
    case Kind::ValueDeleted:
        break;
    }
    return Shortened(entry.keyText + L" -> " +
                     (entry.valueName.empty() ? std::wstring(L"@") : entry.valueName));
}

} // namespace mdr
