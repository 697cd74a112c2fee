#include "mdr/core/fix_journal.h"

#include <windows.h>

#include <unordered_map>

#include "common/handles.h"
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
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr));
    LARGE_INTEGER size{};
    // A journal far past its bound is not one of ours.
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > (16 << 20)) return entries;
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr))
        return entries;
    bytes.resize(got);
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
    const std::string bytes = ToUtf8(text);
    const std::wstring temporary = path + L".partial";
    bool written = false;
    {
        UniqueFile file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD got = 0;
        written =
            file &&
            WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) &&
            got == bytes.size();
    }
    if (written && MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    DeleteFileW(temporary.c_str());
    return false;
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
