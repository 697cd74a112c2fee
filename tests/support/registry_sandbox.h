// Redirects HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER and HKEY_CLASSES_ROOT of this process to fresh
// test-owned keys (RegOverridePredefKey) so the real scan areas run against planted data. Also
// makes a temporary folder for files whose existence the areas test. Both are removed again.
//
// The keys live under the real HKCU\Software\MDRTests\<name>\{HKLM,HKCU}. As on Windows,
// HKEY_CLASSES_ROOT shows the machine's classes: it is redirected to the sandbox's
// HKLM\Software\Classes, so data planted through either name is seen through both. One sandbox
// at a time per process; the redirection covers every thread of the process. Planting failures
// throw std::runtime_error (a test then fails with the message).
#pragma once

#include <windows.h>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mdr::test {
class RegistrySandbox {
  public:
    explicit RegistrySandbox(std::wstring_view name);
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    // Plant data under a predefined root (as the code under test sees it).
    void SetString(HKEY root, std::wstring_view key, std::wstring_view name, std::wstring_view data,
                   DWORD type = REG_SZ);
    void SetDword(HKEY root, std::wstring_view key, std::wstring_view name, DWORD data);
    void SetBinary(HKEY root, std::wstring_view key, std::wstring_view name, const void* data,
                   DWORD size, DWORD type = REG_BINARY);
    void CreateKey(HKEY root, std::wstring_view key);
    // Creates the key (when missing) and lets nobody open it for reading or enumeration (opening
    // it with KEY_READ then fails with ERROR_ACCESS_DENIED) until the sandbox ends.
    void DenyRead(HKEY root, std::wstring_view key);
    // The path of the sandbox key standing in for a predefined root, under the real HKCU.
    std::wstring RealPath(HKEY root) const;

    // A folder that exists for the sandbox's life ("...\", deleted with its contents after).
    const std::wstring& Folder() const { return folder_; }
    // Creates an empty file under Folder(); returns its full path.
    std::wstring MakeFile(std::wstring_view relativePath);

  private:
    void Undo();

    std::wstring base_; // HKCU\Software\MDRTests\<name> on the real hive
    std::wstring folder_;
    HKEY overridden_[3] = {};
    std::vector<std::pair<HKEY, std::wstring>> denied_;
};
} // namespace mdr::test
