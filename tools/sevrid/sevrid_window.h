// Sevrid's main window on the tools' frame: the services list and its commands.
#pragma once

#include "tools/frame/tool_frame.h"

namespace mdr {

// The tool as the frame runs it.
Tool& SevridTool();

} // namespace mdr
