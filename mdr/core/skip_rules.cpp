#include "mdr/core/skip_rules.h"

#include <algorithm>
#include <cwchar>

#include "common/ini.h"
#include "common/registry.h"
#include "common/text.h"
#include "common/trace.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {

namespace {

bool SameTrimmedNoCase(std::wstring_view a, std::wstring_view b) {
    return EqualsNoCase(Trim(a), Trim(b));
}

} // namespace

bool ParseSkipLine(std::wstring_view rawLine, uint32_t previousRoot, SkipMapEntry& entry) {
    std::wstring line = Trim(rawLine);
    if (line.empty() || line[0] == L';') return false;

    size_t slash = line.find(L'\\');
    std::wstring rootName = Trim(std::wstring_view(line).substr(0, slash));
    if (rootName.empty()) return false;
    uint32_t root = RootKeyFromName(rootName);
    entry.root = root != 0 ? root : previousRoot;

    // Everything after the first "\", even when blanks stand between the root name and it.
    entry.subkey = slash == std::wstring::npos ? std::wstring() : line.substr(slash + 1);
    if (!entry.subkey.empty() && entry.subkey.back() == L'\\') entry.subkey.pop_back();
    return true;
}

bool ParseSkipMapText(std::wstring_view text, std::vector<SkipMapEntry>& entries,
                      size_t maxEntries) {
    MDR_HERE();
    entries.clear();
    uint32_t previousRoot = 0;
    size_t pos = 0;
    const size_t n = text.size();
    while (pos < n) {
        size_t end = text.find_first_of(L"\r\n", pos);
        if (end == std::wstring_view::npos) end = n;
        SkipMapEntry entry;
        if (ParseSkipLine(text.substr(pos, end - pos), previousRoot, entry)) {
            if (entries.size() >= maxEntries) return false;
            previousRoot = entry.root;
            entries.push_back(std::move(entry));
        }
        pos = end + 1;
    }
    return true;
}

std::vector<SkipMapEntry> ParseSkipMapText(std::wstring_view text) {
    std::vector<SkipMapEntry> entries;
    ParseSkipMapText(text, entries, static_cast<size_t>(-1));
    return entries;
}

SkipMapLoad LoadSkipMapFile(const std::wstring& path, std::vector<SkipMapEntry>& entries) {
    MDR_HERE();
    std::string bytes;
    switch (ReadFileBytes(path, bytes)) {
    case FileState::Missing:
        return SkipMapLoad::Missing;
    case FileState::Unreadable:
    case FileState::Undecodable:
        return SkipMapLoad::Unreadable;
    case FileState::Ok:
        break;
    }
    // The skip map's encoding is decided by its byte-order mark alone.
    std::vector<SkipMapEntry> parsed;
    if (!ParseSkipMapText(DecodeText(bytes, /*sniff=*/false), parsed))
        return SkipMapLoad::Unreadable;
    entries = std::move(parsed);
    return SkipMapLoad::Ok;
}

SkipMapLoad LoadSkipMapFile(const std::wstring& path) {
    return LoadSkipMapFile(path, SkipMap());
}

bool ExceptionMatches(const SkipMapEntry& rule, uint32_t root, std::wstring_view keyPath) {
    if (rule.root != root) return false;
    std::wstring_view sub = rule.subkey;
    if (SameTrimmedNoCase(sub, keyPath)) return true;
    if (sub.size() >= 2 && sub.substr(sub.size() - 2) == L"\\*") {
        // Branch rule: compared by characters, so Foo\* also covers a sibling FooBar.
        size_t n = sub.size() - 2;
        return SameTrimmedNoCase(keyPath.substr(0, std::min(n, keyPath.size())), sub.substr(0, n));
    }
    return false;
}

bool SameSkipEntry(const SkipMapEntry& a, uint32_t root, std::wstring_view subkey) {
    return a.root == root && SameTrimmedNoCase(a.subkey, subkey);
}

std::wstring SkipEntryKey(uint32_t root, std::wstring_view subkey) {
    wchar_t rootText[12];
    swprintf(rootText, 12, L"%08x|", static_cast<unsigned>(root));
    return rootText + ToLower(Trim(subkey));
}

std::vector<SkipMapEntry>& SkipMap() {
    static std::vector<SkipMapEntry> entries;
    return entries;
}

std::vector<SkipMapEntry>& Exceptions() {
    static std::vector<SkipMapEntry> entries;
    return entries;
}

int AddException(uint32_t root, std::wstring_view subkey) {
    Exceptions().push_back(SkipMapEntry{root, std::wstring(subkey)});
    return 1;
}

} // namespace mdr
