// Sevrid: process entry.
#include <windows.h>

#include "tools/sevrid/sevrid_window.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return mdr::RunTool(mdr::SevridTool());
}
