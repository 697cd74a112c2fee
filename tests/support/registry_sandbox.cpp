#include "tests/support/registry_sandbox.h"
#include "tests/support/test_files.h"
#include <shlwapi.h>
#include <stdexcept>
#include "common/handles.h"
#include "common/text.h"

namespace mdr::test {
namespace {
constexpr wchar_t kTestsKey[] = L"Software\\MDRTests";

[[noreturn]] void Fail(const std::wstring& what, LONG code) {
    throw std::runtime_error(ToUtf8(what) + " failed with " + std::to_string(code));
}

UniqueHkey CreateOrFail(HKEY root, const std::wstring& path, REGSAM access) {
    UniqueHkey key;
    if (LONG rc =
            RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, access, nullptr, key.put(), nullptr))
        Fail(L"Creating key " + path, rc);
    return key;
}

// Everybody may change the DACL and delete, nobody may read: KEY_READ opens fail with 5.
void SetKeyDacl(HKEY key, bool readable) {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof(sid);
    CreateWellKnownSid(WinWorldSid, nullptr, sid, &sidSize);
    alignas(DWORD) BYTE aclBuffer[256];
    PACL acl = reinterpret_cast<PACL>(aclBuffer);
    InitializeAcl(acl, sizeof(aclBuffer), ACL_REVISION);
    DWORD rights = readable ? KEY_ALL_ACCESS : (WRITE_DAC | READ_CONTROL | DELETE);
    AddAccessAllowedAce(acl, ACL_REVISION, rights, sid);
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
    if (LONG rc = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd))
        Fail(L"Setting a key's DACL", rc);
}
} // namespace

RegistrySandbox::RegistrySandbox(std::wstring_view name)
    : base_(std::wstring(kTestsKey) + L"\\" + std::wstring(name)) {
    // Leftovers of an interrupted run must not leak into this one.
    SHDeleteKeyW(HKEY_CURRENT_USER, base_.c_str());
    try {
        // Everything is opened through the real HKCU before HKCU itself is redirected.
        const HKEY roots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT};
        for (int i = 0; i < 3; ++i)
            overridden_[i] =
                CreateOrFail(HKEY_CURRENT_USER, RealPath(roots[i]), KEY_ALL_ACCESS).release();
        for (int i = 0; i < 3; ++i)
            if (LONG rc = RegOverridePredefKey(roots[i], overridden_[i]))
                Fail(L"RegOverridePredefKey", rc);
        folder_ = MakeTempDir(name);
        if (folder_.empty()) Fail(L"Creating the sandbox's folder", 0);
    } catch (...) {
        Undo();
        throw;
    }
}

RegistrySandbox::~RegistrySandbox() {
    Undo();
}

void RegistrySandbox::Undo() {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT})
        RegOverridePredefKey(root, nullptr);
    for (HKEY& key : overridden_)
        if (key) RegCloseKey(std::exchange(key, nullptr));
    // Unreadable keys cannot be deleted by a tree walk: make them readable again first.
    for (const auto& [root, path] : denied_) {
        UniqueHkey key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, (RealPath(root) + L"\\" + path).c_str(), 0, WRITE_DAC,
                          key.put()) == ERROR_SUCCESS)
            try {
                SetKeyDacl(key.get(), true);
            } catch (...) {
            }
    }
    denied_.clear();
    SHDeleteKeyW(HKEY_CURRENT_USER, base_.c_str());
    // Only removed when no other test's sandbox is left in it.
    RegDeleteKeyW(HKEY_CURRENT_USER, kTestsKey);
    if (!folder_.empty()) RemoveTree(folder_);
    folder_.clear();
}

std::wstring RegistrySandbox::RealPath(HKEY root) const {
    if (root == HKEY_LOCAL_MACHINE) return base_ + L"\\HKLM";
    if (root == HKEY_CURRENT_USER) return base_ + L"\\HKCU";
    if (root == HKEY_CLASSES_ROOT) return base_ + L"\\HKLM\\Software\\Classes";
    throw std::runtime_error("The sandbox stands in only for HKLM, HKCU and HKCR");
}

void RegistrySandbox::SetString(HKEY root, std::wstring_view key, std::wstring_view name,
                                std::wstring_view data, DWORD type) {
    std::wstring text(data);
    // The terminating NUL is part of the stored data, as the system's own writers store it.
    SetBinary(root, key, name, text.c_str(),
              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)), type);
}

void RegistrySandbox::SetDword(HKEY root, std::wstring_view key, std::wstring_view name,
                               DWORD data) {
    SetBinary(root, key, name, &data, sizeof data, REG_DWORD);
}

void RegistrySandbox::SetBinary(HKEY root, std::wstring_view key, std::wstring_view name,
                                const void* data, DWORD size, DWORD type) {
    UniqueHkey k = CreateOrFail(root, std::wstring(key), KEY_SET_VALUE);
    const std::wstring valueName(name);
    if (LONG rc = RegSetValueExW(k.get(), valueName.c_str(), 0, type,
                                 static_cast<const BYTE*>(data), size))
        Fail(L"Setting value " + valueName, rc);
}

void RegistrySandbox::CreateKey(HKEY root, std::wstring_view key) {
    CreateOrFail(root, std::wstring(key), KEY_READ);
}

void RegistrySandbox::DenyRead(HKEY root, std::wstring_view key) {
    std::wstring path(key);
    RealPath(root); // only the redirected roots can be cleaned up again
    UniqueHkey k = CreateOrFail(root, path, KEY_READ | WRITE_DAC);
    denied_.emplace_back(root, path);
    SetKeyDacl(k.get(), false);
}

std::wstring RegistrySandbox::MakeFile(std::wstring_view relativePath) {
    std::wstring path = folder_ + std::wstring(relativePath);
    // Parent folders first, one level at a time.
    for (size_t slash = path.find(L'\\', folder_.size()); slash != std::wstring::npos;
         slash = path.find(L'\\', slash + 1))
        CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) Fail(L"Creating file " + path, static_cast<LONG>(GetLastError()));
    return path;
}
} // namespace mdr::test
