// Sevrid: process entry.
#include <windows.h>

#include "tools/services/sevrid_window.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return mdr::RunTool(mdr::SevridTool());
}
