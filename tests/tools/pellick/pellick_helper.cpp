// A process for Pellick's tests to list, inspect and end: it loads one DLL of its own choosing,
// writes how it was asked to show itself beside its program file ("<exe>.show"), then does what
// its first argument asks and waits: "--spin" keeps one thread busy, "--alloc" holds 50 MB of
// written private memory, "--tree" starts two copies of itself and one of them a third (each once),
// "--window" shows a window that closes on WM_CLOSE and "--stubborn" one that ignores it.
#include <windows.h>
#include <process.h>
#include <string>

namespace {
bool g_stubborn = false;

LRESULT CALLBACK HelperWindowProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    if (message == WM_CLOSE && !g_stubborn) PostQuitMessage(0);
    return message == WM_CLOSE ? 0 : DefWindowProcW(window, message, wp, lp);
}

DWORD WINAPI Spin(void*) {
    volatile unsigned n = 0;
    for (;;)
        n = n + 1u;
}

void StartCopy(const wchar_t* self, const wchar_t* argument) {
    _wspawnl(_P_NOWAIT, self, (L"\"" + std::wstring(self) + L"\"").c_str(), argument, nullptr);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    LoadLibraryW(L"msimg32.dll");
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring line = GetCommandLineW();
    auto asked = [&](const wchar_t* what) { // a whole argument, never a part of one
        return (line + L" ").find(L" " + std::wstring(what) + L" ") != std::wstring::npos;
    };
    if (asked(L"--spin")) {
        CreateThread(nullptr, 0, Spin, nullptr, 0, nullptr);
    } else if (asked(L"--alloc")) {
        const size_t size = 50u << 20; // written, so that it is really used
        if (void* bytes = VirtualAlloc(nullptr, size, MEM_COMMIT, PAGE_READWRITE))
            memset(bytes, 1, size);
    } else if (asked(L"--tree")) {
        StartCopy(self, L"--middle");
        StartCopy(self, L"--leaf");
    } else if (asked(L"--middle")) {
        StartCopy(self, L"--leaf");
    }
    g_stubborn = asked(L"--stubborn");
    if (asked(L"--window") || g_stubborn) {
        const WNDCLASSW type{0,       HelperWindowProc, 0,       0,       instance,
                             nullptr, nullptr,          nullptr, nullptr, L"MDRTestPellickWindow"};
        ShowWindow(CreateWindowW(RegisterClassW(&type) ? type.lpszClassName : L"", L"MDR test",
                                 WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, nullptr, nullptr, instance,
                                 nullptr),
                   SW_SHOWNOACTIVATE);
    }
    const std::string text = std::to_string(show);
    HANDLE file = CreateFileW((std::wstring(self) + L".show").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}
