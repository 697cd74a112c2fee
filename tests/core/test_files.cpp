#include "tests/core/test_files.h"

#include <windows.h>

#include <cstdlib>
#include <stdexcept>

#include "common/handles.h"
#include "common/text.h"

namespace mdr::test {

namespace {

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    UniqueFind find(FindFirstFileW((folder + L"*").c_str(), &found));
    if (find) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = folder + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path + L"\\");
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find.get(), &found));
    }
    find.reset();
    RemoveDirectoryW(folder.c_str());
}

} // namespace

TempFolder::TempFolder() {
    static int counter = 0;
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"mdr_core_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
            std::to_wstring(++counter) + L"\\";
    RemoveTree(path_);
    if (!CreateDirectoryW(path_.c_str(), nullptr))
        throw std::runtime_error("cannot create the temporary folder");
}

TempFolder::~TempFolder() {
    RemoveTree(path_);
}

int TempFolder::CountEntries() const {
    int n = 0;
    WIN32_FIND_DATAW found{};
    UniqueFind find(FindFirstFileW((path_ + L"*").c_str(), &found));
    if (!find) return 0;
    do {
        std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") ++n;
    } while (FindNextFileW(find.get(), &found));
    return n;
}

void WriteBytes(const std::wstring& path, std::string_view bytes) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw std::runtime_error("cannot create a test file");
    DWORD written = 0;
    if (!bytes.empty() &&
        !WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        throw std::runtime_error("cannot write a test file");
}

std::string ReadBytes(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw std::runtime_error("cannot open a test file");
    std::string data;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        data.append(buffer, got);
    return data;
}

bool FileExists(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string Utf16LeWithBom(std::wstring_view text) {
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    return bytes;
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

std::wstring WindowsFolderFromUnix(std::string_view unixFolder) {
    std::wstring path = L"Z:" + FromUtf8(unixFolder);
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    if (path.back() != L'\\') path.push_back(L'\\');
    return path;
}

std::wstring DistFolder() {
    const char* dist = std::getenv("MDR_DIST_DIR");
    return dist && *dist ? WindowsFolderFromUnix(dist) : std::wstring();
}

std::wstring SourceFolder() {
    return WindowsFolderFromUnix(MDR_SOURCE_DIR);
}

} // namespace mdr::test
