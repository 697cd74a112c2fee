// MDR: process entry.
#include <windows.h>

#include "app/startup.h"
#include "ui/main_window.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return mdr::StartUp(mdr::RunMainWindow);
}
