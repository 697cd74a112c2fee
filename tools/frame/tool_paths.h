// Where a tool finds MDR's install folder: two levels above its own folder when it runs from
// "<install>\Plugins\Tools\", else its own folder (a tool started on its own). Its backups go to
// that folder's "Backup\", where MDR's backup manager lists them.
#pragma once

#include <string>
#include <string_view>

namespace mdr {

// The folder of the running executable, ending in "\".
std::wstring ToolFolder();
// The install folder for a tool folder (ending in "\"): two levels up from "...\Plugins\Tools\"
// (any letter case), else the folder itself.
std::wstring InstallFolderOf(std::wstring_view toolFolder);
// InstallFolderOf(ToolFolder()) + "Backup\", created when missing; "" when it cannot be.
std::wstring ToolBackupFolder();

} // namespace mdr
