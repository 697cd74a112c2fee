// MDR: process entry.
#include <windows.h>

#include "version.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    MessageBoxW(nullptr, L"Veltrane Mendora " MDR_VERSION_TEXT, L"Veltrane Mendora", MB_OK);
    return 0;
}
