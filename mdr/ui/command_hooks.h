// Commands of the main window that other modules carry out: fixing, backups, restore point,
// export, settings, About and the jump to a key in the registry editor. A command whose handler
// is not installed stays visible but disabled. Install handlers before RunMainWindow.
#pragma once

#include <string>

namespace mdr {

enum class HookedCommand {
    Fix,           // menu 14, pop-up 106, toolbar 503
    BackupManager, // menu 15, toolbar 502
    FullBackup,    // menu 16
    RestorePoint,  // menu 17
    Export,        // menu 18
    Settings,      // menu 19, toolbar 505
    About,         // menu 22, toolbar 507
};
using CommandHandler = void (*)();
void SetCommandHandler(HookedCommand command, CommandHandler handler);
CommandHandler GetCommandHandler(HookedCommand command);

// Opens key (long root name + "\" + path) at value ("" = the default value) in the registry
// editor: menu 13, pop-up 107 and a double click on a row.
using RegistryJumpHandler = void (*)(const std::wstring& key, const std::wstring& value);
void SetRegistryJumpHandler(RegistryJumpHandler handler);
RegistryJumpHandler GetRegistryJumpHandler();

} // namespace mdr
