// Storage for what other modules plug into the main window: the tool list and the handlers of
// commands carried out elsewhere.
#include "mdr/ui/command_hooks.h"
#include "mdr/ui/tools_menu.h"

#include <utility>

namespace mdr {

namespace {

std::vector<ToolMenuEntry> g_tools;
ToolLauncher g_launcher = nullptr;
CommandHandler g_handlers[7] = {};
RegistryJumpHandler g_jump = nullptr;

} // namespace

void SetToolMenu(std::vector<ToolMenuEntry> tools, ToolLauncher launch) {
    g_tools = std::move(tools);
    g_launcher = launch;
}
const std::vector<ToolMenuEntry>& ToolMenu() {
    return g_tools;
}
ToolLauncher ToolMenuLauncher() {
    return g_launcher;
}

void SetCommandHandler(HookedCommand command, CommandHandler handler) {
    g_handlers[static_cast<int>(command)] = handler;
}
CommandHandler GetCommandHandler(HookedCommand command) {
    return g_handlers[static_cast<int>(command)];
}

void SetRegistryJumpHandler(RegistryJumpHandler handler) {
    g_jump = handler;
}
RegistryJumpHandler GetRegistryJumpHandler() {
    return g_jump;
}

} // namespace mdr
