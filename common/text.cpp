#include "common/text.h"

#include <windows.h>
#include <cwctype>

namespace mdr {

namespace {
bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}
wchar_t LowerChar(wchar_t c) {
    // CharLowerBuffW handles the whole BMP the way the rest of Windows does.
    CharLowerBuffW(&c, 1);
    return c;
}
} // namespace

std::wstring Trim(std::wstring_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return std::wstring(s.substr(b, e - b));
}

std::wstring ToLower(std::wstring_view s) {
    std::wstring r(s);
    if (!r.empty()) CharLowerBuffW(r.data(), static_cast<DWORD>(r.size()));
    return r;
}

std::wstring ToUpper(std::wstring_view s) {
    std::wstring r(s);
    if (!r.empty()) CharUpperBuffW(r.data(), static_cast<DWORD>(r.size()));
    return r;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && LowerChar(a[i]) != LowerChar(b[i])) return false;
    return true;
}

bool StartsWithNoCase(std::wstring_view s, std::wstring_view prefix) {
    return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

bool EndsWithNoCase(std::wstring_view s, std::wstring_view suffix) {
    return s.size() >= suffix.size() && EqualsNoCase(s.substr(s.size() - suffix.size()), suffix);
}

size_t FindNoCase(std::wstring_view s, std::wstring_view needle, size_t from) {
    if (needle.empty()) return from <= s.size() ? from : std::wstring_view::npos;
    if (s.size() < needle.size()) return std::wstring_view::npos;
    for (size_t i = from; i + needle.size() <= s.size(); ++i)
        if (EqualsNoCase(s.substr(i, needle.size()), needle)) return i;
    return std::wstring_view::npos;
}

std::wstring ReplaceAll(std::wstring_view s, std::wstring_view what, std::wstring_view with) {
    if (what.empty()) return std::wstring(s);
    std::wstring r;
    size_t pos = 0;
    for (;;) {
        size_t hit = s.find(what, pos);
        if (hit == std::wstring_view::npos) break;
        r.append(s.substr(pos, hit - pos)).append(with);
        pos = hit + what.size();
    }
    r.append(s.substr(pos));
    return r;
}

std::wstring ReplaceAllNoCase(std::wstring_view s, std::wstring_view what, std::wstring_view with) {
    if (what.empty()) return std::wstring(s);
    std::wstring r;
    size_t pos = 0;
    for (;;) {
        size_t hit = FindNoCase(s, what, pos);
        if (hit == std::wstring_view::npos) break;
        r.append(s.substr(pos, hit - pos)).append(with);
        pos = hit + what.size();
    }
    r.append(s.substr(pos));
    return r;
}

std::vector<std::wstring> Split(std::wstring_view s, wchar_t sep) {
    std::vector<std::wstring> out;
    size_t pos = 0;
    for (;;) {
        size_t hit = s.find(sep, pos);
        if (hit == std::wstring_view::npos) {
            out.emplace_back(s.substr(pos));
            return out;
        }
        out.emplace_back(s.substr(pos, hit - pos));
        pos = hit + 1;
    }
}

size_t CountChar(std::wstring_view s, wchar_t c) {
    size_t n = 0;
    for (wchar_t ch : s)
        n += (ch == c);
    return n;
}

int ParseInt(std::wstring_view s) {
    std::wstring t = Trim(s);
    if (t.empty()) return 0;
    size_t i = 0;
    bool neg = false;
    if (t[0] == L'-' || t[0] == L'+') {
        neg = t[0] == L'-';
        i = 1;
    }
    if (i >= t.size()) return 0;
    long long v = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < L'0' || t[i] > L'9') return 0;
        v = v * 10 + (t[i] - L'0');
        if (v > 0xFFFFFFFFLL) v = 0xFFFFFFFFLL; // clamp; wraps to 32 bits below
    }
    if (neg) v = -v;
    return static_cast<int>(static_cast<unsigned long long>(v) & 0xFFFFFFFFu);
}

std::string ToUtf8(std::wstring_view s) {
    if (s.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string r(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), r.data(), n, nullptr,
                        nullptr);
    return r;
}

static std::wstring FromCodePage(UINT cp, std::string_view s) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(cp, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring r(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(cp, 0, s.data(), static_cast<int>(s.size()), r.data(), n);
    return r;
}

std::wstring FromUtf8(std::string_view s) {
    return FromCodePage(CP_UTF8, s);
}
std::wstring FromAnsi(std::string_view s) {
    return FromCodePage(CP_ACP, s);
}

} // namespace mdr
