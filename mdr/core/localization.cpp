#include "mdr/core/localization.h"

#include <windows.h>

#include "common/handles.h"
#include "common/ini.h"
#include "common/text.h"
#include "common/trace.h"

MDR_TRACE_MODULE(Localization);

namespace mdr {

namespace {

std::vector<LanguageInfo>& LanguageList() {
    static std::vector<LanguageInfo> list;
    return list;
}

std::vector<std::wstring>& TextTable() {
    static std::vector<std::wstring> table;
    return table;
}

bool IsAbsolutePath(std::wstring_view path) {
    return (path.size() >= 2 && path[1] == L':') || (!path.empty() && path[0] == L'\\');
}

} // namespace

bool DiscoverLanguages(const std::wstring& programFolder) {
    MDR_HERE();
    std::vector<LanguageInfo>& list = LanguageList();
    list.clear();
    std::wstring pattern = programFolder + L"Localization\\*.ini";
    WIN32_FIND_DATAW found{};
    UniqueFind find(FindFirstFileW(pattern.c_str(), &found));
    if (!find) {
        // An existing folder without language files lists fine; a missing folder does not.
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    do {
        MDR_HERE();
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::wstring name = found.cFileName;
        // "*.ini" also matches through 8.3 names (x.ini~ has a short name ending in .INI).
        if (!EndsWithNoCase(name, L".ini")) continue;
        std::wstring path = L"Localization\\" + name;
        if (Trim(path).empty()) continue;
        IniFile ini;
        if (ini.Load(programFolder + path, L"MDRLanguageInfo") != FileState::Ok) continue;
        LanguageInfo info;
        info.name = ini.GetString(L"MDRLanguageInfo", L"Name");
        info.author = ini.GetString(L"MDRLanguageInfo", L"Author");
        info.path = std::move(path);
        if (!info.name.empty()) list.push_back(std::move(info));
    } while (FindNextFileW(find.get(), &found));
    return true;
}

const std::vector<LanguageInfo>& Languages() {
    return LanguageList();
}

int LoadLanguage(const std::wstring& programFolder, const std::wstring& path,
                 const std::wstring& group) {
    MDR_HERE();
    if (Trim(path).empty()) return 0;
    std::wstring fullPath = IsAbsolutePath(path) ? path : programFolder + path;
    if (FileSizeOf(fullPath) <= 0) return 0;
    IniFile ini;
    if (ini.Load(fullPath, group) != FileState::Ok) return 0;

    // Texts are found by number, not by position: N counts every named key of the group. A file
    // without any (random bytes, a BOM alone, no group) would start the program with blank
    // menus: refused like an empty file.
    int count = ini.CountNamedKeys(group);
    if (count <= 0) return 0;
    std::vector<std::wstring> table;
    table.reserve(static_cast<size_t>(count) + 1);
    for (int i = 0; i < count; ++i) {
        MDR_HERE();
        std::wstring text = ini.GetString(group, L"l" + std::to_wstring(i));
        // No text of ours is near this long; a huge one would freeze the window that shows it.
        if (text.size() > kMaxLanguageText) text.resize(kMaxLanguageText);
        table.push_back(ReplaceAllNoCase(text, L"<br>", L"\r\n"));
    }
    TextTable() = std::move(table);
    return 1;
}

const std::wstring& LangText(Text text) {
    static const std::wstring empty;
    const std::vector<std::wstring>& table = TextTable();
    const int n = static_cast<int>(text);
    if (n < 0 || static_cast<size_t>(n) >= table.size()) return empty;
    return table[static_cast<size_t>(n)];
}

std::wstring LangTextOr(Text text, std::wstring_view fallback) {
    const std::wstring& found = LangText(text);
    return found.empty() ? std::wstring(fallback) : found;
}

int LangCount() {
    return static_cast<int>(TextTable().size());
}

std::wstring ReplacePlaceholder(const std::wstring& text, const std::wstring& placeholder,
                                const std::wstring& value) {
    return ReplaceAllNoCase(text, placeholder, value);
}

} // namespace mdr
