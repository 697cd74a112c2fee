// Ostrel: process entry.
#include <windows.h>

#include "tools/startup/ostrel_window.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return mdr::RunTool(mdr::OstrelTool());
}
