#include "tests/support/test_files.h"
#include "tests/support/registry_snapshot.h"
#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <shlobj.h>
#include <gtest/gtest.h>
#include "common/handles.h"
#include "common/text.h"

namespace mdr::test {
namespace {
std::wstring WithSlash(std::wstring path) {
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    return path;
}

std::wstring FolderFromEnv(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) return ADD_FAILURE() << name << " is not set", std::wstring();
    return WithSlash(WinePath(value));
}

// Calls visit(path, is a folder) for each entry of folder ("...\\") matching pattern, but "."
// and "..".
template <typename F>
void ForEachEntry(const std::wstring& folder, std::wstring_view pattern, F visit) {
    WIN32_FIND_DATAW entry;
    UniqueFind find(FindFirstFileW((folder + std::wstring(pattern)).c_str(), &entry));
    if (!find) return;
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..")
            visit(folder + name, (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    } while (FindNextFileW(find.get(), &entry));
}
} // namespace

std::wstring WinePath(std::string_view unixPath) {
    return L"Z:" + ReplaceAll(FromUtf8(unixPath), L"/", L"\\");
}

std::wstring DistDir() {
    return FolderFromEnv("MDR_DIST_DIR");
}
std::wstring BuildDir() {
    return FolderFromEnv("MDR_BUILD_DIR");
}

std::wstring SettingsDir() {
    wchar_t profile[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, 0, profile)))
        return ADD_FAILURE() << "no profile folder", std::wstring();
    return WithSlash(profile) + L"Application Data\\Veltrane\\Veltrane Mendora\\";
}

std::wstring MakeTempDir(std::wstring_view prefix) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring folder = WithSlash(temp) + std::wstring(prefix) + L"_" +
                              std::to_wstring(GetCurrentProcessId()) + L"_" +
                              std::to_wstring(GetTickCount()) + L"_" + std::to_wstring(++counter);
        if (CreateDirectoryW(folder.c_str(), nullptr)) return folder + L"\\";
    }
    return ADD_FAILURE() << "could not create a temporary folder", std::wstring();
}

int PurgeRecycledFiles(std::wstring_view prefix) {
    std::wstring trash;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        trash = WithSlash(WinePath(data)) + L"Trash\\";
    else if (const char* home = std::getenv("WINEHOMEDIR"); home && *home) // "\??\Z:\home\..."
        trash = WithSlash(ReplaceAll(FromUtf8(home), L"\\??\\", L"")) + L".local\\share\\Trash\\";
    int files = 0;
    if (trash.empty() || prefix.empty()) return files;
    for (const wchar_t* part : {L"files\\", L"info\\"})
        ForEachEntry(trash + part, std::wstring(prefix) + L"*",
                     [&](const std::wstring& path, bool folder) {
                         files += part[0] == L'f';
                         folder ? RemoveTree(path) : DeleteFileW(path.c_str());
                     });
    return files;
}

bool RemoveTree(const std::wstring& folder) {
    if (folder.size() < 4) return false; // never a drive root
    const std::wstring base = WithSlash(folder);
    ForEachEntry(base, L"*", [](const std::wstring& path, bool isFolder) {
        if (isFolder) return void(RemoveTree(path));
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
    });
    return RemoveDirectoryW(base.c_str()) != 0;
}

bool CopyTree(const std::wstring& from, const std::wstring& to) {
    const std::wstring source = WithSlash(from), target = WithSlash(to);
    CreateDirectoryW(target.c_str(), nullptr);
    bool ok = FolderExists(source);
    ForEachEntry(source, L"*", [&](const std::wstring& path, bool folder) {
        const std::wstring copy = target + path.substr(source.size());
        ok = (folder ? CopyTree(path, copy) : CopyFileW(path.c_str(), copy.c_str(), FALSE)) && ok;
    });
    return ok;
}

bool FileExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadFileBytes(const std::wstring& path) {
    std::string bytes;
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    char buffer[65536];
    DWORD got = 0;
    while (file && ReadFile(file.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    return bytes;
}

bool WriteFileBytes(const std::wstring& path, std::string_view bytes) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file &&
           WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

std::wstring SourceDir() {
    return WithSlash(WinePath(MDR_SOURCE_DIR));
}

TempFolder::TempFolder() : path_(MakeTempDir(L"mdr_test")) {
    if (path_.empty()) throw std::runtime_error("cannot create the temporary folder");
}

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    ForEachEntry(folder, L"*", [&](const std::wstring& path, bool isFolder) {
        if (!isFolder) names.push_back(path.substr(folder.size()));
    });
    std::sort(names.begin(), names.end());
    return names;
}

int TempFolder::CountEntries() const {
    int n = 0;
    ForEachEntry(path_, L"*", [&](const std::wstring&, bool) { ++n; });
    return n;
}

bool FolderExists(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string Utf16Bytes(std::wstring_view text) {
    std::string bytes;
    for (wchar_t c : text)
        bytes += {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF)};
    return bytes;
}

std::string Utf16LeWithBom(std::wstring_view text) {
    return "\xFF\xFE" + Utf16Bytes(text);
}

std::string Utf8WithBom(std::wstring_view text) {
    return "\xEF\xBB\xBF" + ToUtf8(text);
}

std::string AnsiBytes(std::wstring_view text) {
    BOOL usedDefault = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(),
                                static_cast<int>(text.size()), nullptr, 0, nullptr, &usedDefault);
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                        bytes.data(), n, nullptr, &usedDefault);
    return usedDefault ? std::string() : bytes;
}

namespace {
void PutLe(std::string& bytes, uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
        bytes += static_cast<char>(value >> (8 * i) & 0xFF);
}
} // namespace

std::string IconFile(uint16_t count, uint32_t size, uint32_t offset, std::string_view image) {
    std::string bytes;
    PutLe(bytes, 0, 2), PutLe(bytes, 1, 2), PutLe(bytes, count, 2);
    bytes += std::string{16, 16, 0, 0}; // width, height, colours, reserved
    PutLe(bytes, 1, 2), PutLe(bytes, 32, 2), PutLe(bytes, size, 4), PutLe(bytes, offset, 4);
    return bytes.append(image);
}

std::string IconImage16() {
    std::string bytes;
    PutLe(bytes, 40, 4), PutLe(bytes, 16, 4), PutLe(bytes, 32, 4); // header, width, 2 x height
    PutLe(bytes, 1, 2), PutLe(bytes, 32, 2);                       // planes, bits
    for (int i = 0; i < 6; ++i)
        PutLe(bytes, 0, 4);            // no compression, sizes, resolutions, colours
    bytes.append(16 * 16 * 4, '\x40'); // pixels
    return bytes.append(16 * 4, '\0'); // mask rows of 4 bytes
}

std::string TinyLines() {
    std::string bytes;
    bytes.reserve(60u << 20);
    while (bytes.size() < (60u << 20))
        bytes += "a\r\n";
    return bytes;
}
} // namespace mdr::test
