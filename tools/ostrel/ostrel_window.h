// Ostrel's windows: the entry list with the information list under it, its commands and the Add
// dialog, on the tools' frame.
#pragma once

#include "tools/frame/tool_frame.h"

namespace mdr {

// The tool as the frame runs it.
Tool& OstrelTool();

// The Add dialog: creates a startup entry; true when the dialog wrote or tried to write one
// (the list is then refreshed).
bool ShowAddDialog(HWND owner);

} // namespace mdr
