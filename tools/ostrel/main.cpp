// Ostrel: process entry.
#include <windows.h>

#include "tools/ostrel/ostrel_window.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return mdr::RunTool(mdr::OstrelTool());
}
