// Tool descriptions under Plugins\ and starting the tools they name.
#include "mdr/app/tools.h"

#include <shellapi.h>

#include <utility>

#include "mdr/core/localization.h"
#include "mdr/core/logging.h"
#include "mdr/core/settings.h"
#include "common/handles.h"
#include "common/ini.h"
#include "common/text.h"
#include "common/trace.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {

namespace {

std::vector<ToolInfo>& ToolList() {
    static std::vector<ToolInfo> list;
    return list;
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

} // namespace

ToolInfo ToolFromDescription(const IniFile& description, const std::wstring& pluginsFolder,
                             int menuId) {
    ToolInfo tool;
    tool.menuName = description.GetString(kToolGroup, L"MenuName", kNoToolInformation);
    tool.executablePath = pluginsFolder + description.GetString(kToolGroup, L"ExecutablePath");
    tool.menuId = menuId;
    return tool;
}

std::wstring MissingToolText(const std::wstring& entryText, const std::wstring& path) {
    return ReplacePlaceholder(entryText, L"$PLUGINFILE$", L"\"" + path + L"\"");
}

void DiscoverTools(const std::wstring& programFolder) {
    MDR_HERE();
    std::vector<ToolInfo> tools;
    const std::wstring folder = programFolder + L"Plugins\\";
    WIN32_FIND_DATAW found{};
    UniqueFind find(FindFirstFileW((folder + L"*.ini").c_str(), &found));
    if (find) {
        do {
            MDR_HERE();
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            const std::wstring name = found.cFileName;
            // "*.ini" also matches through 8.3 names (x.ini~ has a short name ending in .INI).
            if (!EndsWithNoCase(name, L".ini")) continue;
            IniFile description;
            if (description.Load(folder + name) != FileState::Ok) continue;
            const int id = kFirstToolMenuId + static_cast<int>(tools.size());
            tools.push_back(ToolFromDescription(description, folder, id));
        } while (FindNextFileW(find.get(), &found));
    }
    ToolList() = std::move(tools);
}

void DiscoverTools() {
    DiscoverTools(Paths().programFolder);
}

const std::vector<ToolInfo>& Tools() {
    return ToolList();
}

void LaunchTool(int menuId, HWND owner) {
    MDR_HERE();
    for (const ToolInfo& tool : ToolList()) {
        MDR_HERE();
        if (tool.menuId != menuId) continue;
        // FileSizeOf is -1 for a missing file and for a folder: neither can be started.
        if (FileSizeOf(tool.executablePath) < 0) {
            const std::wstring text =
                MissingToolText(LangText(Text::ToolNotFound), tool.executablePath);
            MessageBoxW(owner, text.c_str(), LangText(Text::WarningTitle).c_str(),
                        MB_OK | MB_ICONEXCLAMATION);
            continue;
        }
        // The tool's own folder as its working folder, so it finds files beside it.
        const std::wstring directory = FolderOf(tool.executablePath);
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof(info);
        info.hwnd = owner;
        info.lpVerb = L"open";
        info.lpFile = tool.executablePath.c_str();
        info.lpDirectory = directory.empty() ? nullptr : directory.c_str();
        info.nShow = SW_SHOWNORMAL;
        if (!ShellExecuteExW(&info)) {
            // The shell has already told the user why.
            Log(L"Could not start the tool " + tool.executablePath + L" (error " +
                std::to_wstring(GetLastError()) + L")");
        }
    }
}

} // namespace mdr
