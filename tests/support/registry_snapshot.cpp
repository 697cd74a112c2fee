#include "tests/support/registry_snapshot.h"
#include <shlwapi.h>
#include "tests/support/driver.h"
#include "common/ini.h"
#include "common/text.h"

namespace mdr::test {
Bytes Utf16(std::wstring_view text) {
    const std::string bytes = Utf16Bytes(text);
    return Bytes(bytes.begin(), bytes.end());
}
Bytes Sz(std::wstring_view text) {
    return Utf16(std::wstring(text) + L'\0');
}

Bytes Dword(DWORD value) {
    return {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
            static_cast<BYTE>(value >> 24)};
}

void SetValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type,
              const void* data, DWORD size) {
    ASSERT_EQ(SHSetValueW(root, key.c_str(), name.c_str(), type, data, size), ERROR_SUCCESS)
        << ToUtf8(key) << " -> " << ToUtf8(name);
}
void SetRaw(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type, Bytes data) {
    const DWORD size = static_cast<DWORD>(data.size());
    data.insert(data.end(), 4, 0xEE);
    SetValue(root, key, name, type, data.data(), size);
}
void SetString(HKEY root, const std::wstring& key, const std::wstring& name,
               const std::wstring& data) {
    SetValue(root, key, name, REG_SZ, data.c_str(),
             static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}
void SetDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD data) {
    SetValue(root, key, name, REG_DWORD, &data, sizeof(data));
}
void DeleteValue(HKEY root, const std::wstring& key, const std::wstring& name) {
    SHDeleteValueW(root, key.c_str(), name.c_str());
}
void DeleteTree(HKEY root, const std::wstring& key) {
    SHDeleteKeyW(root, key.c_str());
}
bool KeyExists(HKEY root, const std::wstring& key) {
    UniqueHkey k;
    return RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, k.put()) == ERROR_SUCCESS;
}
bool ValueExists(HKEY root, const std::wstring& key, const std::wstring& name) {
    return RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_ANY, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}
std::wstring ReadString(HKEY root, const std::wstring& key, const std::wstring& name) {
    wchar_t buffer[512] = {};
    DWORD size = sizeof(buffer);
    RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, buffer, &size);
    return buffer;
}

bool ReadRegTree(HKEY root, const std::wstring& path, RegTree& tree) {
    UniqueHkey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
    std::vector<wchar_t> name(32768);
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(name.size()), type = 0, size = 0;
        if (RegEnumValueW(key.get(), i, name.data(), &length, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS)
            break;
        RegValue value{type, Bytes(size)};
        std::wstring valueName(name.data(), length);
        DWORD got = size;
        if (RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &value.type,
                             size ? value.data.data() : nullptr, &got) == ERROR_SUCCESS)
            value.data.resize(got);
        tree.values[valueName] = value;
    }
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(name.size());
        if (RegEnumKeyExW(key.get(), i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        std::wstring child(name.data(), length);
        ReadRegTree(root, path + L"\\" + child, tree.keys[child]);
    }
    return true;
}

void ImportWithRegedit(const std::wstring& file) {
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    // Ended by the destructor when it does not finish.
    auto regedit =
        driver::Process::Start(std::wstring(windows) + L"\\regedit.exe", L"/s \"" + file + L"\"");
    EXPECT_TRUE(regedit.WaitExit(120000)) << "regedit did not finish";
}

std::vector<std::wstring> ReadLines(const std::wstring& path) {
    std::vector<std::wstring> lines;
    for (auto& line : Split(FromUtf8(ReadFileBytes(path)), L'\n')) {
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

std::vector<std::wstring> LoggedMessages(const std::wstring& path) {
    std::vector<std::wstring> messages;
    for (const std::wstring& line : ReadLines(path))
        if (line.size() >= 24 && line[0] == L'#') messages.push_back(line.substr(24));
    return messages;
}

} // namespace mdr::test
