#include "mdr/core/fix_journal.h"

#include <windows.h>

#include <unordered_map>

#include "common/ini.h"
#include "common/text.h"

namespace mdr {

namespace {

std::wstring Escaped(std::wstring_view text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'%')
            out += L"%25";
        else if (c == L'\t')
            out += L"%09";
        else if (c == L'\n')
            out += L"%0A";
        else if (c == L'\r')
            out += L"%0D";
        else
            out += c;
    }
    return out;
}

std::wstring Unescaped(std::wstring_view text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'%' && i + 2 < text.size()) {
            const std::wstring code(text.substr(i + 1, 2));
            const wchar_t c = code == L"25"   ? L'%'
                              : code == L"09" ? L'\t'
                              : code == L"0A" ? L'\n'
                              : code == L"0D" ? L'\r'
                                              : 0;
            if (c) {
                out += c;
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::wstring MatchKey(uint32_t root, std::wstring_view keyPath, std::wstring_view valueName,
                      bool value) {
    return std::to_wstring(root) + (value ? L"|v|" : L"|k|") + ToLower(keyPath) + L"|" +
           ToLower(valueName);
}

// Match key -> latest date. Loaded before a scan thread starts, only read while it runs.
std::unordered_map<std::wstring, std::wstring> g_fixed;

} // namespace

std::wstring JournalLine(const JournalEntry& e) {
    return e.date + L"\t" + std::to_wstring(e.area) + L"\t" + std::to_wstring(e.root) + L"\t" +
           (e.value ? L"v" : L"k") + L"\t" + Escaped(e.keyPath) + L"\t" + Escaped(e.valueName);
}

std::optional<JournalEntry> ParseJournalLine(std::wstring_view line) {
    const std::vector<std::wstring> fields = Split(line, L'\t');
    if (fields.size() != 6 || fields[0].size() != 10 || (fields[3] != L"v" && fields[3] != L"k"))
        return std::nullopt;
    JournalEntry e;
    e.date = fields[0];
    e.area = static_cast<int>(wcstol(fields[1].c_str(), nullptr, 10));
    e.root = static_cast<uint32_t>(wcstoul(fields[2].c_str(), nullptr, 10));
    e.value = fields[3] == L"v";
    e.keyPath = Unescaped(fields[4]);
    e.valueName = Unescaped(fields[5]);
    if (e.area < 0 || e.area > 17 || e.keyPath.empty()) return std::nullopt;
    return e;
}

std::vector<JournalEntry> ReadJournal(const std::wstring& path) {
    std::vector<JournalEntry> entries;
    std::string bytes;
    if (ReadFileBytes(path, bytes) != FileState::Ok) return entries;
    for (std::wstring line : Split(FromUtf8(bytes), L'\n')) {
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        if (auto entry = ParseJournalLine(line)) entries.push_back(*entry);
    }
    return entries;
}

bool AppendToJournal(const std::wstring& path, const std::vector<JournalEntry>& added) {
    std::vector<JournalEntry> entries = ReadJournal(path);
    entries.insert(entries.end(), added.begin(), added.end());
    const size_t skip =
        entries.size() > kMostJournalEntries ? entries.size() - kMostJournalEntries : 0;
    std::wstring text;
    for (size_t i = skip; i < entries.size(); ++i)
        text += JournalLine(entries[i]) + L"\r\n";
    return WriteFileReplacing(path, ToUtf8(text));
}

void LoadFixJournal(const std::wstring& path) {
    std::unordered_map<std::wstring, std::wstring> fixed;
    for (const JournalEntry& e : ReadJournal(path))
        fixed[MatchKey(e.root, e.keyPath, e.valueName, e.value)] = e.date;
    g_fixed = std::move(fixed);
}

std::wstring FixedBefore(uint32_t root, std::wstring_view keyPath, std::wstring_view valueName,
                         bool value) {
    auto it = g_fixed.find(MatchKey(root, keyPath, valueName, value));
    return it == g_fixed.end() ? std::wstring() : it->second;
}

} // namespace mdr
