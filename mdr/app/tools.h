// Extra tools: one description file per tool in program folder + "Plugins\" (group MDRTool,
// keys MenuName and ExecutablePath), read once at start-up, each started on request as a
// separate process. Menu ids run from 200 in discovery order.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

namespace mdr {

class IniFile;

struct ToolInfo {
    std::wstring menuName;
    std::wstring executablePath; // program folder + "Plugins\" + ExecutablePath
    int menuId = 0;
};

inline constexpr int kFirstToolMenuId = 200;
inline constexpr wchar_t kToolGroup[] = L"MDRTool";
inline constexpr wchar_t kNoToolInformation[] = L"No information available";

// ---- Pure ----

// The record of one description: missing keys take their defaults; the path is kept even when
// empty or naming nothing (it is checked at launch). pluginsFolder ends in "\".
ToolInfo ToolFromDescription(const IniFile& description, const std::wstring& pluginsFolder,
                             int menuId);
// Text::ToolNotFound's text with "$PLUGINFILE$" (any letter case) replaced by the path in quotes.
std::wstring MissingToolText(const std::wstring& entryText, const std::wstring& path);

// ---- Discovery and launch ----

// Reads programFolder + "Plugins\*.ini" into the tool list (replacing it). A folder that
// cannot be listed leaves the list empty; unreadable files are skipped. Never fails.
void DiscoverTools(const std::wstring& programFolder);
// The same with Paths().programFolder.
void DiscoverTools();
const std::vector<ToolInfo>& Tools();

// Starts the tool with that menu id through the shell, without waiting; when its executable
// is missing (or is a folder) tells the user with a warning box owned by owner.
void LaunchTool(int menuId, HWND owner = nullptr);

} // namespace mdr
