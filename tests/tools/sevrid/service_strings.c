/* A resource library for indirect service strings. Its start-up code leaves a mark, so a test
   can tell whether it ever ran. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        HANDLE mark = CreateFileW(L"C:\\mdr_service_strings_ran.txt", GENERIC_WRITE, 0, NULL,
                                  CREATE_ALWAYS, 0, NULL);
        if (mark != INVALID_HANDLE_VALUE) CloseHandle(mark);
    }
    return TRUE;
}
