// The benchmark's throwaway machine: HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER and HKEY_CLASSES_ROOT
// of this process redirected (RegOverridePredefKey) to fresh volatile keys, so tens of thousands of
// planted keys never reach the hive files, plus a temporary folder for the planted files. Files
// planted in shared folders (Recent, Fonts) are tracked and removed with the rest.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mdr::bench {

class BenchSandbox {
  public:
    BenchSandbox();
    ~BenchSandbox();
    BenchSandbox(const BenchSandbox&) = delete;
    BenchSandbox& operator=(const BenchSandbox&) = delete;

    bool Ok() const { return ok_; }
    // "...\", removed with its contents at the end.
    const std::wstring& Folder() const { return folder_; }
    // Creates an empty file (and its folders); the path is absolute.
    bool MakeFile(const std::wstring& path);
    // A file outside Folder() that must be removed at the end.
    bool MakeForeignFile(const std::wstring& path);
    // Undoes the redirection and removes keys and files; returns seconds spent.
    double Remove();

  private:
    bool ok_ = false;
    bool removed_ = false;
    HKEY software_ = nullptr; // real HKCU\Software, opened before the redirection
    std::wstring baseName_;   // volatile key under it
    std::wstring folder_;
    std::vector<std::wstring> foreignFiles_;
};

// Volatile key creation below a (redirected) root; every level is created volatile.
class VKey {
  public:
    VKey() = default;
    VKey(HKEY parent, std::wstring_view path);
    ~VKey();
    VKey(VKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    VKey& operator=(VKey&& other) noexcept;
    VKey(const VKey&) = delete;
    VKey& operator=(const VKey&) = delete;

    explicit operator bool() const { return key_ != nullptr; }
    HKEY get() const { return key_; }
    VKey Sub(std::wstring_view path) const { return VKey(key_, path); }
    void Str(std::wstring_view name, std::wstring_view data, DWORD type = REG_SZ) const;
    void Dword(std::wstring_view name, DWORD data) const;
    void Bin(std::wstring_view name, const void* data, DWORD size) const;

  private:
    HKEY key_ = nullptr;
};

// Number of keys and values written through VKey since the start.
struct WriteCounts {
    unsigned long long keys = 0;
    unsigned long long values = 0;
    unsigned long long failures = 0;
};
const WriteCounts& Written();

} // namespace mdr::bench
