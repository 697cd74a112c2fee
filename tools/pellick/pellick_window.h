// Pellick's windows: the process and module lists on their tabs with the file information under
// them, the timed refresh, the commands and the Run dialog, on the tools' frame.
#pragma once

#include "tools/frame/tool_frame.h"

namespace mdr {

// The tool as the frame runs it.
Tool& PellickTool();

// The Run dialog: starts a program the user names.
void ShowRunDialog(HWND owner);

} // namespace mdr
