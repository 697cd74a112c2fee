// MDR: process entry.
#include <windows.h>

#include <utility>
#include <vector>

#include "mdr/app/startup.h"
#include "mdr/app/tools.h"
#include "mdr/repair/backup_manager.h"
#include "mdr/ui/fix_command.h"
#include "mdr/repair/full_backup.h"
#include "mdr/repair/restore_point.h"
#include "mdr/ui/about_window.h"
#include "mdr/ui/command_hooks.h"
#include "mdr/ui/export_list.h"
#include "mdr/ui/main_window.h"
#include "mdr/ui/regedit_jump.h"
#include "mdr/ui/settings_window.h"
#include "mdr/ui/tools_menu.h"

namespace {

// The tools found during start-up go to the toolbar's drop-down before the window is built.
int RunMainWindowWithTools() {
    std::vector<mdr::ToolMenuEntry> menu;
    for (const mdr::ToolInfo& tool : mdr::Tools())
        menu.push_back(mdr::ToolMenuEntry{tool.menuName, tool.menuId});
    mdr::SetToolMenu(std::move(menu),
                     [](int menuId) { mdr::LaunchTool(menuId, mdr::MainWindowHandle()); });
    return mdr::RunMainWindow();
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    mdr::RegisterFixCommand();
    mdr::SetCommandHandler(mdr::HookedCommand::BackupManager,
                           [] { mdr::ManageBackupWindow(mdr::MainWindowHandle()); });
    mdr::SetCommandHandler(mdr::HookedCommand::FullBackup, [] { mdr::FullbackupWindow(); });
    mdr::SetCommandHandler(mdr::HookedCommand::RestorePoint, [] { mdr::SetRestorePoint(0); });
    mdr::SetCommandHandler(mdr::HookedCommand::Export, mdr::ExportErrorListCommand);
    mdr::SetCommandHandler(mdr::HookedCommand::About, [] { mdr::AboutWindow(); });
    mdr::SetRegistryJumpHandler(mdr::StartRegistryJump);
    mdr::InstallSettingsWindow();
    return mdr::StartUp(RunMainWindowWithTools);
}
