// Pellick: process entry.
#include <windows.h>

#include "tools/pellick/pellick_window.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return mdr::RunTool(mdr::PellickTool());
}
