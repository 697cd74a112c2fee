#include "common/path_form.h"

#include <windows.h>

#include <vector>

#include "common/text.h"

namespace mdr {

std::wstring WithoutLongPrefix(std::wstring_view path) {
    if (StartsWithNoCase(path, L"\\\\?\\UNC\\")) return L"\\\\" + std::wstring(path.substr(8));
    if (path.starts_with(L"\\\\?\\") || path.starts_with(L"\\??\\"))
        return std::wstring(path.substr(4));
    return std::wstring(path);
}

bool IsUncText(std::wstring_view path) {
    const std::wstring plain = WithoutLongPrefix(path);
    return plain.size() > 2 && plain[0] == L'\\' && plain[1] == L'\\' && plain[2] != L'.';
}

bool IsNetworkPath(std::wstring_view path) {
    if (IsUncText(path)) return true;
    const std::wstring plain = WithoutLongPrefix(path);
    if (plain.size() < 2 || plain[1] != L':') return false;
    const wchar_t root[] = {plain[0], L':', L'\\', L'\0'};
    return GetDriveTypeW(root) == DRIVE_REMOTE;
}

std::wstring CanonicalPath(std::wstring_view path) {
    std::wstring text = Trim(WithoutLongPrefix(path));
    if (text.empty()) return text;
    const bool network = IsNetworkPath(text);
    const bool folderSpelling = text.back() == L'\\' || text.back() == L'/';
    std::vector<wchar_t> buffer(MAX_PATH);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD got = GetFullPathNameW(text.c_str(), static_cast<DWORD>(buffer.size()),
                                           buffer.data(), nullptr);
        if (got == 0) break;
        if (got < buffer.size()) {
            text.assign(buffer.data(), got);
            break;
        }
        buffer.resize(got + 1);
    }
    bool folder = folderSpelling;
    if (!network) {
        const DWORD attributes = GetFileAttributesW(text.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            folder = folder || (attributes & FILE_ATTRIBUTE_DIRECTORY);
            const DWORD need = GetLongPathNameW(text.c_str(), nullptr, 0);
            std::vector<wchar_t> longForm(need + 1);
            const DWORD got = need ? GetLongPathNameW(text.c_str(), longForm.data(), need + 1) : 0;
            if (got > 0 && got <= need) text.assign(longForm.data(), got);
        }
    }
    while (text.size() > 3 && text.back() == L'\\')
        text.pop_back();
    if (folder && text.back() != L'\\') text += L'\\';
    return ToLower(text);
}

} // namespace mdr
