// Language files: discovery under "Localization\" of the program folder, loading of one file's
// numbered texts, and lookups by their names (texts.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "mdr/core/texts.h"

namespace mdr {

struct LanguageInfo {
    std::wstring name;
    std::wstring path; // stored form: "Localization\" + file name
    std::wstring author;
};

// Fills the language list from programFolder + "Localization\*.ini"; false when the folder
// cannot be listed.
bool DiscoverLanguages(const std::wstring& programFolder);
const std::vector<LanguageInfo>& Languages();

// Longest text kept from a language file (characters before "<br>" is replaced).
inline constexpr size_t kMaxLanguageText = 4096;

// Loads the group's texts from path (relative paths are taken relative to programFolder).
// Returns 1 on success, 0 on failure: the file is missing, empty, not text, past kMaxIniLines
// lines, or has no named key in the group.
int LoadLanguage(const std::wstring& programFolder, const std::wstring& path,
                 const std::wstring& group = L"MDRLanguageData");

// The text's entry in the loaded table, "" when the file has fewer entries. Thread-safe once
// loading is done.
const std::wstring& LangText(Text text);
int LangCount();
// The text, or fallback where the loaded file has no such entry (files written before the entry
// was added still load).
std::wstring LangTextOr(Text text, std::wstring_view fallback);

// Replaces a "$WORD$" placeholder in text, ignoring case.
std::wstring ReplacePlaceholder(const std::wstring& text, const std::wstring& placeholder,
                                const std::wstring& value);

} // namespace mdr
