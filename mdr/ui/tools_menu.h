// The tools drop-down of the main window's toolbar: the tool list found at start-up and the
// routine that starts one. Without tools there is no tools button.
#pragma once

#include <string>
#include <vector>

namespace mdr {

struct ToolMenuEntry {
    std::wstring caption;
    int id = 0; // 200, 201, ... in discovery order
};
using ToolLauncher = void (*)(int menuId);

// Call before RunMainWindow.
void SetToolMenu(std::vector<ToolMenuEntry> tools, ToolLauncher launch);
const std::vector<ToolMenuEntry>& ToolMenu();
ToolLauncher ToolMenuLauncher();

} // namespace mdr
