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

// UTF-8 written by hand rather than with WideCharToMultiByte: that replaces an unpaired
// surrogate with U+FFFD, so a registry key name holding one would change on every save. An
// unpaired surrogate is written as its own three-byte form and read back as it was.
std::string ToUtf8(std::wstring_view s) {
    std::string r;
    r.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned cp = static_cast<unsigned>(s[i]) & 0xFFFFu;
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size()) {
            const unsigned low = static_cast<unsigned>(s[i + 1]) & 0xFFFFu;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (cp < 0x80) {
            r += static_cast<char>(cp);
        } else if (cp < 0x800) {
            r += static_cast<char>(0xC0 | (cp >> 6));
            r += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            r += static_cast<char>(0xE0 | (cp >> 12));
            r += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            r += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            r += static_cast<char>(0xF0 | (cp >> 18));
            r += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            r += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            r += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return r;
}

size_t DecodeUtf8At(std::string_view s, size_t i, unsigned& cp) {
    const size_t n = s.size();
    if (i >= n) return 0;
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t len = 0;
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        cp = c & 0x07;
    } else {
        return 0; // continuation byte, overlong lead (C0, C1) or beyond U+10FFFF
    }
    if (i + len > n) return 0;
    for (size_t k = 1; k < len; ++k) {
        const unsigned char t = static_cast<unsigned char>(s[i + k]);
        if ((t & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (t & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
        return 0; // overlong or out of range
    return len;
}

// The inverse of ToUtf8, surrogates in three-byte form included; any other invalid sequence
// gives U+FFFD per byte, as MultiByteToWideChar does.
std::wstring FromUtf8(std::string_view s) {
    std::wstring r;
    r.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        unsigned cp = 0;
        const size_t len = DecodeUtf8At(s, i, cp);
        if (len == 0) {
            r += L'\xFFFD';
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            r += static_cast<wchar_t>(0xD800 + (cp >> 10));
            r += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
        } else {
            r += static_cast<wchar_t>(cp);
        }
        i += len;
    }
    return r;
}

static std::wstring FromCodePage(UINT cp, std::string_view s) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(cp, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring r(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(cp, 0, s.data(), static_cast<int>(s.size()), r.data(), n);
    return r;
}

std::wstring FromAnsi(std::string_view s) {
    return FromCodePage(CP_ACP, s);
}

} // namespace mdr
