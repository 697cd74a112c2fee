// Quorran: process entry.
#include <windows.h>

#include "tools/quorran/quorran_window.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return mdr::RunTool(mdr::QuorranTool());
}
