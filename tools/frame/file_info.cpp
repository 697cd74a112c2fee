// File information and command paths of the tools.
#include "tools/frame/file_info.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wincrypt.h>

#include <algorithm>
#include <memory>

#include "common/format.h"
#include "common/registry.h"
#include "common/text.h"

namespace mdr {
namespace {

struct VersionFieldInfo {
    unsigned bit;
    const wchar_t* resourceName;
    const wchar_t* panelLabel;
};

constexpr VersionFieldInfo kVersionFields[] = {
    {kFileVersion, L"FileVersion", L"File version"},
    {kFileDescription, L"FileDescription", L"File description"},
    {kLegalCopyright, L"LegalCopyright", L"Copyright"},
    {kInternalName, L"InternalName", L"Internal file name"},
    {kOriginalFilename, L"OriginalFilename", L"Original file name"},
    {kProductName, L"ProductName", L"Product name"},
    {kProductVersion, L"ProductVersion", L"Product version"},
    {kCompanyName, L"CompanyName", L"Company name"},
    {kLegalTrademarks, L"LegalTrademarks", L"Trademark"},
    {kSpecialBuild, L"SpecialBuild", L"Special build"},
    {kPrivateBuild, L"PrivateBuild", L"Private build"},
    {kComments, L"Comments", L"Comments"},
    {kVersionLanguage, L"Language", L"Language"},
};

constexpr DWORD kMd5Chunk = 1000000;

// Size of an existing file (not a folder); -1 when there is none.
int64_t FileSizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -1;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool IsFile(const std::wstring& path) {
    return !path.empty() && FileSizeOf(path) >= 0;
}

bool IsFolder(const std::wstring& path) {
    if (path.empty()) return false;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring BeforeComma(std::wstring_view text) {
    return std::wstring(text.substr(0, text.find(L',')));
}

// A command names a file when the text, or its part before the first comma, is one.
bool NamesFile(const std::wstring& text) {
    return IsFile(text) || IsFile(BeforeComma(text));
}

std::wstring Hex4(unsigned value) {
    wchar_t buffer[8] = {};
    wsprintfW(buffer, L"%04X", value & 0xFFFF);
    return buffer;
}

std::wstring PrefixWalk(const std::wstring& text) {
    for (const std::wstring& prefix : WordPrefixes(text))
        if (NamesFile(prefix)) return prefix;
    return L"";
}

} // namespace

std::wstring QueryVersionString(const std::wstring& path, unsigned fields, bool labelled) {
    if (FileSizeOf(path) <= 0) return L"";
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return L"";
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return L"";

    std::wstring translation;
    std::wstring languageName;
    void* pointer = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &pointer, &length) && pointer &&
        length >= 4) {
        const WORD* words = static_cast<const WORD*>(pointer);
        translation = Hex4(words[0]) + Hex4(words[1]);
        wchar_t name[128] = {};
        VerLanguageNameW(words[0], name, 128);
        languageName = name;
    }

    std::wstring result;
    auto append = [&](const wchar_t* label, const std::wstring& value) {
        if (!result.empty()) result += L'\n';
        if (labelled) result += std::wstring(label) + L" : \t";
        result += value;
    };
    for (const VersionFieldInfo& field : kVersionFields) {
        if (!(fields & field.bit)) continue;
        if (field.bit == kVersionLanguage) {
            append(field.resourceName, languageName);
            continue;
        }
        const std::wstring query = L"\\StringFileInfo\\" + translation + L"\\" + field.resourceName;
        pointer = nullptr;
        length = 0;
        if (VerQueryValueW(block.data(), query.c_str(), &pointer, &length) && pointer) {
            const wchar_t* text = static_cast<const wchar_t*>(pointer);
            append(field.resourceName, std::wstring(text, wcsnlen(text, length)));
        }
    }
    return result;
}

std::vector<FileInfoLine> FileInfoLines(const std::wstring& path, FileInfoForm form) {
    std::vector<FileInfoLine> lines;
    const int64_t size = FileSizeOf(path);
    std::vector<std::wstring> values;
    if (size >= 0 || form == FileInfoForm::Process) {
        for (const VersionFieldInfo& field : kVersionFields)
            values.push_back(QueryVersionString(path, field.bit, false));
        const size_t cut = path.find_last_of(L"\\/");
        const std::wstring name = cut == std::wstring::npos ? path : path.substr(cut + 1);
        const std::wstring folder = cut == std::wstring::npos ? L"" : path.substr(0, cut + 1);
        lines.push_back(L"File name\n" + name);
        lines.push_back(L"Path\n" + folder);
        lines.push_back(L"File size\n" + FormatByteSize(size, 2));
        lines.push_back(L"MD5 hash\n" + FileMd5(path));
    } else {
        lines.push_back(L"Path\nn/a");
        lines.push_back(L"File size\nn/a");
    }
    for (size_t i = 0; i < values.size(); ++i)
        if (!values[i].empty()) lines.push_back(kVersionFields[i].panelLabel + (L"\n" + values[i]));
    return lines;
}

std::wstring ExportedInfoLine(std::wstring_view line) {
    return ReplaceAll(line, L"\n", L" : ");
}

std::wstring FileMd5(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return L"";
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
        return L"";
    ScopeExit releaseProvider([&] { CryptReleaseContext(provider, 0); });
    HCRYPTHASH hash = 0;
    if (!CryptCreateHash(provider, CALG_MD5, 0, 0, &hash)) return L"";
    ScopeExit destroyHash([&] { CryptDestroyHash(hash); });

    std::unique_ptr<BYTE[]> chunk(new BYTE[kMd5Chunk]);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), chunk.get(), kMd5Chunk, &got, nullptr)) return L"";
        if (got > 0 && !CryptHashData(hash, chunk.get(), got, 0)) return L"";
        if (got < kMd5Chunk) break;
    }
    BYTE digest[16] = {};
    DWORD digestSize = sizeof(digest);
    if (!CryptGetHashParam(hash, HP_HASHVAL, digest, &digestSize, 0) || digestSize != 16)
        return L"";
    static constexpr wchar_t kHex[] = L"0123456789abcdef";
    std::wstring text;
    for (BYTE b : digest) {
        text += kHex[b >> 4];
        text += kHex[b & 15];
    }
    return text;
}

std::wstring SpecialFolderPath(int csidl) {
    LPITEMIDLIST list = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &list)) || !list) return L"";
    wchar_t buffer[MAX_PATH] = {};
    const BOOL got = SHGetPathFromIDListW(list, buffer);
    CoTaskMemFree(list);
    if (!got) return L"";
    std::wstring folder = buffer;
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    return Trim(folder);
}

const CommandSearch& ToolCommandSearch() {
    static const CommandSearch search = [] {
        CommandSearch s;
        std::wstring windows = ExpandEnvironment(L"%windir%");
        if (windows == L"%windir%") windows.clear();
        if (!windows.empty() && windows.back() == L'\\') windows.pop_back();
        s.folders = {windows + L"\\", windows + L"\\system32\\"};
        s.systemFolder = SpecialFolderPath(CSIDL_SYSTEM);
        return s;
    }();
    return search;
}

std::wstring CommandToFilePath(std::wstring_view command, const CommandSearch& search) {
    const std::wstring original(command);
    if (NamesFile(original) || IsFolder(original) || IsFolder(BeforeComma(original)))
        return original;
    std::wstring cmd = Trim(LongPathOf(original));

    if (cmd.find(L'"') != std::wstring::npos) {
        if (cmd.size() < 2 || cmd.front() != L'"' || cmd.back() != L'"') {
            std::vector<wchar_t> buffer(cmd.begin(), cmd.end());
            buffer.push_back(L'\0');
            PathRemoveArgsW(buffer.data());
            cmd = buffer.data();
        }
        cmd.erase(std::remove(cmd.begin(), cmd.end(), L'"'), cmd.end());
        cmd = Trim(cmd);
    }

    if (Trim(ToLower(cmd.substr(0, 12))) == L"regsvr32.exe" ||
        ToLower(cmd.substr(0, 8)) == L"regsvr32")
        return search.systemFolder + L"regsvr32.exe";
    if (NamesFile(cmd)) return cmd;
    if (std::wstring hit = PrefixWalk(cmd); !hit.empty()) return hit;
    for (const std::wstring& folder : search.folders) {
        const std::wstring inside = folder + cmd;
        if (NamesFile(inside)) return inside;
        if (std::wstring hit = PrefixWalk(inside); !hit.empty()) return hit;
    }
    return cmd;
}

std::wstring CommandToFilePath(std::wstring_view command) {
    return CommandToFilePath(command, ToolCommandSearch());
}

} // namespace mdr
