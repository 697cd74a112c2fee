#include "tools/frame/tool_paths.h"

#include <windows.h>

#include "common/text.h"

namespace mdr {

std::wstring ToolFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return L"";
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::wstring InstallFolderOf(std::wstring_view toolFolder) {
    constexpr std::wstring_view kTail = L"\\plugins\\tools\\";
    const std::wstring lower = ToLower(toolFolder);
    if (lower.size() > kTail.size() && lower.ends_with(kTail))
        return std::wstring(toolFolder.substr(0, toolFolder.size() - kTail.size() + 1));
    return std::wstring(toolFolder);
}

std::wstring ToolBackupFolder() {
    const std::wstring folder = InstallFolderOf(ToolFolder()) + L"Backup\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return L"";
    return folder;
}

} // namespace mdr
