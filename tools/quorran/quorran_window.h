// Quorran's windows: the list of uninstall entries, its commands and the Add dialog, on the
// tools' frame.
#pragma once

#include "tools/frame/tool_frame.h"

namespace mdr {

// The tool as the frame runs it.
Tool& QuorranTool();

// The Add dialog: creates a new uninstall entry; true when one was added (the list is then
// refreshed).
bool ShowAddDialog(HWND owner);

} // namespace mdr
