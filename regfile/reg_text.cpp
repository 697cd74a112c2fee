// Text of registry-editor import files.
#include "regfile/reg_text.h"

#include <cstdio>

#include "common/trace.h"

MDR_TRACE_MODULE(BackupEngine);

namespace mdr {

namespace {

constexpr size_t kBytesPerLine = 20;
constexpr wchar_t kHexDigits[] = L"0123456789abcdef";
constexpr wchar_t kContinuation[] = L"\\\r\n  ";

// Backslash and double quote escaped; with escapeLineEnds also CR and LF, which would otherwise
// end the line inside the quotes.
void AppendQuoted(std::wstring& out, std::wstring_view text, bool escapeLineEnds) {
    out += L'"';
    for (wchar_t c : text) {
        switch (c) {
        case L'\\':
            out += L"\\\\";
            break;
        case L'"':
            out += L"\\\"";
            break;
        case L'\r':
            if (escapeLineEnds)
                out += L"\\r";
            else
                out += c;
            break;
        case L'\n':
            if (escapeLineEnds)
                out += L"\\n";
            else
                out += c;
            break;
        default:
            out += c;
        }
    }
    out += L'"';
}

wchar_t Utf16At(const BYTE* data, size_t index) {
    return static_cast<wchar_t>(data[2 * index] | (data[2 * index + 1] << 8));
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

std::wstring HexPrefix(DWORD type) {
    if (type == REG_BINARY) return L"hex:";
    wchar_t buf[24];
    swprintf(buf, 24, L"hex(%lx):", static_cast<unsigned long>(type));
    return buf;
}

} // namespace

std::wstring RegFileHeader(std::wstring_view versionText) {
    std::wstring text =
        L"Windows Registry Editor Version 5.00\r\n\r\n;Created by Veltrane Mendora v";
    text += versionText;
    text += L"\r\n;Do not remove this file, it can restore changes to the registry\r\n\r\n";
    return text;
}

std::wstring BytesToHexList(const void* data, size_t size) {
    std::wstring list;
    if (size == 0) return list;
    list.reserve(size * 3);
    const auto* bytes = static_cast<const BYTE*>(data);
    for (size_t i = 0; i < size; ++i) {
        if (i) list += L',';
        list += kHexDigits[bytes[i] >> 4];
        list += kHexDigits[bytes[i] & 15];
    }
    return list;
}

std::wstring WrapHexList(std::wstring_view hexList) {
    // Groups of "xx," (the last one "xx"); the break goes before group 21, 41, ... unless that
    // group is the last byte.
    const size_t groups = (hexList.size() + 2) / 3;
    std::wstring out;
    out.reserve(hexList.size() + hexList.size() / 60 * 5 + 8);
    for (size_t g = 0; g < groups; ++g) {
        if (g > 0 && g % kBytesPerLine == 0 && g + 1 < groups) out += kContinuation;
        out += hexList.substr(g * 3, 3);
    }
    return out;
}

std::wstring RegKeyLine(std::wstring_view rootName, std::wstring_view keyPath) {
    if (!keyPath.empty() && keyPath.back() == L'\\') keyPath.remove_suffix(1);
    std::wstring line = L"[";
    line += rootName;
    if (!keyPath.empty()) {
        line += L'\\';
        line += keyPath;
    }
    line += L']';
    return line;
}

bool RegKeyPathWritable(std::wstring_view keyPath) {
    return keyPath.find_first_of(L"\r\n") == std::wstring_view::npos;
}

std::wstring RegValueNameField(std::wstring_view name) {
    if (name.empty()) return L"@";
    std::wstring field;
    field.reserve(name.size() + 2);
    AppendQuoted(field, name, true);
    return field;
}

bool RegStringQuotable(const BYTE* data, size_t size) {
    if (size < 2 || size % 2 != 0) return false;
    const size_t chars = size / 2;
    if (Utf16At(data, chars - 1) != 0) return false;
    for (size_t i = 0; i + 1 < chars; ++i) {
        if (Utf16At(data, i) < 0x20) return false;
    }
    return true;
}

std::wstring RegValueLine(std::wstring_view name, DWORD type, const BYTE* data, size_t size) {
    MDR_HERE();
    std::wstring line = RegValueNameField(name);
    line += L'=';
    if (type == REG_SZ && RegStringQuotable(data, size)) {
        std::wstring text(size / 2 - 1, L'\0');
        for (size_t i = 0; i < text.size(); ++i)
            text[i] = Utf16At(data, i);
        AppendQuoted(line, text, false);
        return line;
    }
    if (type == REG_DWORD && size == 4) {
        wchar_t buf[16];
        DWORD value =
            data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<DWORD>(data[3]) << 24);
        swprintf(buf, 16, L"dword:%08lx", static_cast<unsigned long>(value));
        line += buf;
        return line;
    }
    line += HexPrefix(type);
    line += WrapHexList(BytesToHexList(data, size));
    return line;
}

bool RegValueRestoresExactly(DWORD type, const BYTE* data, size_t size) {
    if (!IsStringType(type) || size == 0) return true;
    if (type == REG_SZ && RegStringQuotable(data, size)) return true;
    // A single byte has no whole character: the editor then looks before its buffer.
    if (size < 2) return false;
    return Utf16At(data, size / 2 - 1) == 0;
}

std::wstring OmissionName(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        if (c == L'\r')
            out += L"\\r";
        else if (c == L'\n')
            out += L"\\n";
        else
            out += c;
    }
    return out;
}

} // namespace mdr
