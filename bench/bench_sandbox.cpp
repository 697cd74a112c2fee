// Throwaway registry roots and folder for the benchmark.
#include "bench/bench_sandbox.h"

#include <shlwapi.h>

#include <cstdio>
#include <utility>

#include "bench/bench_clock.h"
#include "common/handles.h"
#include "common/trace.h"

MDR_TRACE_MODULE(Misc);

namespace mdr::bench {
namespace {

WriteCounts g_written;

// Removes a folder and everything below it.
void DeleteFolderTree(const std::wstring& folder) {
    MDR_HERE();
    WIN32_FIND_DATAW fd;
    UniqueFind find(FindFirstFileW((folder + L"*").c_str(), &fd));
    if (find) {
        do {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = folder + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteFolderTree(path + L"\\");
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find.get(), &fd));
    }
    find.reset();
    RemoveDirectoryW(folder.c_str());
}

bool CreateFolders(const std::wstring& folder) {
    // Creates each missing level of "X:\a\b\c\".
    for (size_t pos = folder.find(L'\\', 3); pos != std::wstring::npos;
         pos = folder.find(L'\\', pos + 1)) {
        std::wstring level = folder.substr(0, pos);
        if (!CreateDirectoryW(level.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    return true;
}

bool TouchFile(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

HKEY CreateVolatile(HKEY parent, std::wstring_view path) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    LSTATUS rc = RegCreateKeyExW(parent, std::wstring(path).c_str(), 0, nullptr,
                                 REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, &disposition);
    if (rc != ERROR_SUCCESS) {
        ++g_written.failures;
        return nullptr;
    }
    if (disposition == REG_CREATED_NEW_KEY) ++g_written.keys;
    return key;
}

} // namespace

const WriteCounts& Written() {
    return g_written;
}

BenchSandbox::BenchSandbox() {
    MDR_HERE();
    wchar_t temp[MAX_PATH + 1] = {};
    if (!GetTempPathW(MAX_PATH, temp)) return;
    std::wstring id = std::to_wstring(GetCurrentProcessId());
    folder_ = std::wstring(temp) + L"MDRBench-" + id + L"\\";
    if (!CreateFolders(folder_)) return;

    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_ALL_ACCESS, &software_) != 0) return;
    baseName_ = L"MDRBench-" + id;
    SHDeleteKeyW(software_, baseName_.c_str()); // left over from a killed run with this id
    HKEY base = CreateVolatile(software_, baseName_);
    if (!base) return;
    HKEY roots[3] = {CreateVolatile(base, L"HKLM"), CreateVolatile(base, L"HKCU"),
                     CreateVolatile(base, L"HKCR")};
    RegCloseKey(base);
    ok_ = roots[0] && roots[1] && roots[2] &&
          RegOverridePredefKey(HKEY_LOCAL_MACHINE, roots[0]) == ERROR_SUCCESS &&
          RegOverridePredefKey(HKEY_CURRENT_USER, roots[1]) == ERROR_SUCCESS &&
          RegOverridePredefKey(HKEY_CLASSES_ROOT, roots[2]) == ERROR_SUCCESS;
    // The override keeps its own reference to each key.
    for (HKEY k : roots)
        if (k) RegCloseKey(k);
}

BenchSandbox::~BenchSandbox() {
    Remove();
}

bool BenchSandbox::MakeFile(const std::wstring& path) {
    size_t slash = path.rfind(L'\\');
    if (slash != std::wstring::npos && !CreateFolders(path.substr(0, slash + 1))) return false;
    return TouchFile(path);
}

bool BenchSandbox::MakeForeignFile(const std::wstring& path) {
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true; // not ours
    if (!TouchFile(path)) return false;
    foreignFiles_.push_back(path);
    return true;
}

double BenchSandbox::Remove() {
    MDR_HERE();
    if (removed_) return 0;
    removed_ = true;
    Stopwatch watch;
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    if (software_) {
        if (!baseName_.empty()) SHDeleteKeyW(software_, baseName_.c_str());
        RegCloseKey(software_);
        software_ = nullptr;
    }
    for (const std::wstring& f : foreignFiles_)
        DeleteFileW(f.c_str());
    foreignFiles_.clear();
    if (!folder_.empty()) DeleteFolderTree(folder_);
    return watch.Seconds();
}

VKey::VKey(HKEY parent, std::wstring_view path) : key_(CreateVolatile(parent, path)) {}

VKey::~VKey() {
    if (key_) RegCloseKey(key_);
}

VKey& VKey::operator=(VKey&& other) noexcept {
    if (this != &other) {
        if (key_) RegCloseKey(key_);
        key_ = std::exchange(other.key_, nullptr);
    }
    return *this;
}

void VKey::Str(std::wstring_view name, std::wstring_view data, DWORD type) const {
    if (!key_) return;
    std::wstring n(name), d(data);
    DWORD size = static_cast<DWORD>((d.size() + 1) * sizeof(wchar_t));
    if (RegSetValueExW(key_, n.c_str(), 0, type, reinterpret_cast<const BYTE*>(d.c_str()), size) ==
        ERROR_SUCCESS)
        ++g_written.values;
    else
        ++g_written.failures;
}

void VKey::Dword(std::wstring_view name, DWORD data) const {
    if (!key_) return;
    std::wstring n(name);
    if (RegSetValueExW(key_, n.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                       sizeof(data)) == ERROR_SUCCESS)
        ++g_written.values;
    else
        ++g_written.failures;
}

void VKey::Bin(std::wstring_view name, const void* data, DWORD size) const {
    if (!key_) return;
    std::wstring n(name);
    if (RegSetValueExW(key_, n.c_str(), 0, REG_BINARY, static_cast<const BYTE*>(data), size) ==
        ERROR_SUCCESS)
        ++g_written.values;
    else
        ++g_written.failures;
}

} // namespace mdr::bench
