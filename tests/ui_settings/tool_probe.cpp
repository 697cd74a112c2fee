// Stands in for a tool started from MDR's tools menu: writes its working folder to a file
// beside itself ("<exe>.ran") and ends.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t exe[MAX_PATH] = {};
    wchar_t folder[MAX_PATH] = {};
    if (!GetModuleFileNameW(nullptr, exe, MAX_PATH)) return 1;
    const DWORD length = GetCurrentDirectoryW(MAX_PATH, folder);
    const std::wstring marker = std::wstring(exe) + L".ran";
    HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(file, folder, length * sizeof(wchar_t), &written, nullptr);
    CloseHandle(file);
    return 0;
}
