#include "tests/support/test_files.h"

#include <windows.h>

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
    if (!value || !*value) {
        ADD_FAILURE() << name << " is not set";
        return std::wstring();
    }
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
    std::wstring path = L"Z:" + FromUtf8(unixPath);
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path;
}

std::wstring DistDir() {
    return FolderFromEnv("MDR_DIST_DIR");
}
std::wstring BuildDir() {
    return FolderFromEnv("MDR_BUILD_DIR");
}

std::wstring SettingsDir() {
    wchar_t profile[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, 0, profile))) {
        ADD_FAILURE() << "no profile folder";
        return std::wstring();
    }
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
    ADD_FAILURE() << "could not create a temporary folder";
    return std::wstring();
}

void PurgeRecycledFiles(std::wstring_view prefix) {
    std::wstring trash;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        trash = WithSlash(WinePath(data)) + L"Trash\\";
    else if (const char* home = std::getenv("WINEHOMEDIR"); home && *home) // "\??\Z:\home\..."
        trash = WithSlash(ReplaceAll(FromUtf8(home), L"\\??\\", L"")) + L".local\\share\\Trash\\";
    if (trash.empty() || prefix.empty()) return;
    for (const wchar_t* part : {L"files\\", L"info\\"}) {
        ForEachEntry(trash + part, std::wstring(prefix) + L"*",
                     [](const std::wstring& path, bool folder) {
                         folder ? RemoveTree(path) : DeleteFileW(path.c_str());
                     });
    }
}

bool RemoveTree(const std::wstring& folder) {
    if (folder.size() < 4) return false; // never a drive root
    const std::wstring base = WithSlash(folder);
    ForEachEntry(base, L"*", [](const std::wstring& path, bool isFolder) {
        if (isFolder) {
            RemoveTree(path);
        } else {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        }
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
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

bool WriteFileBytes(const std::wstring& path, std::string_view bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::wstring SourceDir() {
    return WithSlash(WinePath(MDR_SOURCE_DIR));
}

TempFolder::TempFolder() : path_(MakeTempDir(L"mdr_test")) {
    if (path_.empty()) throw std::runtime_error("cannot create the temporary folder");
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
    for (wchar_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
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

std::string TinyLines() {
    std::string bytes;
    bytes.reserve(60u << 20);
    while (bytes.size() < (60u << 20))
        bytes += "a\r\n";
    return bytes;
}

} // namespace mdr::test
