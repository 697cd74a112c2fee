// Text helpers over std::wstring: trimming, case, replacing, splitting and UTF-8 conversion.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mdr {

// Trims blanks (spaces and tabs), as the program's "trimmed" means throughout.
std::wstring Trim(std::wstring_view s);
std::wstring ToLower(std::wstring_view s);
std::wstring ToUpper(std::wstring_view s);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);
bool StartsWithNoCase(std::wstring_view s, std::wstring_view prefix);
bool EndsWithNoCase(std::wstring_view s, std::wstring_view suffix);
// Position of needle in s ignoring case, or npos.
size_t FindNoCase(std::wstring_view s, std::wstring_view needle, size_t from = 0);
std::wstring ReplaceAll(std::wstring_view s, std::wstring_view what, std::wstring_view with);
std::wstring ReplaceAllNoCase(std::wstring_view s, std::wstring_view what, std::wstring_view with);
// Splits on a separator; n separators give n+1 fields (empty ones kept).
std::vector<std::wstring> Split(std::wstring_view s, wchar_t sep);
// Decimal text to a 32-bit integer: leading blanks and a sign allowed, anything else gives 0.
int ParseInt(std::wstring_view s);

std::string ToUtf8(std::wstring_view s);
std::wstring FromUtf8(std::string_view s);
// One UTF-8 sequence at s[i]: returns its length (1 to 4) with its code point in cp (the
// three-byte form of a surrogate included); 0 for an invalid, overlong, cut or out-of-range one.
size_t DecodeUtf8At(std::string_view s, size_t i, unsigned& cp);
// Text in the ANSI code page to UTF-16.
std::wstring FromAnsi(std::string_view s);

} // namespace mdr
