// A real Win32 service for the tests, one per process. Its command line chooses how it behaves:
//   (nothing)   starts, runs until stopped
//   stuckstart  stays in START_PENDING with a check point that never moves
//   busystart   stays in START_PENDING, moving its check point on every 200 ms
//   refusestop  runs and does not accept the stop control
//   stuckstop   takes the stop control, then stays in STOP_PENDING, its check point standing
//   log:<file>  appends its service name to the file when it stops
#include <windows.h>
#include <cstdio>
#include <cwchar>

namespace {
SERVICE_STATUS_HANDLE g_handle = nullptr;
SERVICE_STATUS g_status{};
HANDLE g_stop = nullptr;
bool g_stuckStart = false;
bool g_busyStart = false;
bool g_refuseStop = false;
bool g_stuckStop = false;
const wchar_t* g_log = nullptr;
wchar_t g_name[257] = L"";

void Report(DWORD state, DWORD accepted) {
    g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_status.dwCurrentState = state;
    g_status.dwControlsAccepted = accepted;
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    g_status.dwCheckPoint = pending ? 1 : 0;
    g_status.dwWaitHint = pending ? 1000 : 0;
    SetServiceStatus(g_handle, &g_status);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
    if (control == SERVICE_CONTROL_STOP && !g_refuseStop && !g_stuckStart && !g_busyStart) {
        Report(SERVICE_STOP_PENDING, 0);
        if (!g_stuckStop) SetEvent(g_stop);
    }
    return NO_ERROR;
}

void WINAPI ServiceMain(DWORD argc, LPWSTR* argv) {
    if (argc > 0) lstrcpynW(g_name, argv[0], 257);
    g_handle = RegisterServiceCtrlHandlerExW(L"", Handler, nullptr);
    if (!g_handle) return;
    if (g_stuckStart || g_busyStart) {
        Report(SERVICE_START_PENDING, 0);
        // Until the test ends the process.
        while (WaitForSingleObject(g_stop, 200) == WAIT_TIMEOUT) {
            if (!g_busyStart) continue;
            ++g_status.dwCheckPoint;
            SetServiceStatus(g_handle, &g_status);
        }
        return;
    }
    Report(SERVICE_RUNNING, g_refuseStop ? 0 : SERVICE_ACCEPT_STOP);
    WaitForSingleObject(g_stop, INFINITE);
    if (FILE* log = g_log ? _wfopen(g_log, L"ab") : nullptr) {
        std::fprintf(log, "%ls\r\n", g_name);
        std::fclose(log);
    }
    Report(SERVICE_STOPPED, 0);
}
} // namespace

int wmain(int argc, wchar_t** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::wcscmp(argv[i], L"stuckstart") == 0) g_stuckStart = true;
        if (std::wcscmp(argv[i], L"busystart") == 0) g_busyStart = true;
        if (std::wcscmp(argv[i], L"refusestop") == 0) g_refuseStop = true;
        if (std::wcscmp(argv[i], L"stuckstop") == 0) g_stuckStop = true;
        if (std::wcsncmp(argv[i], L"log:", 4) == 0) g_log = argv[i] + 4;
    }
    g_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    wchar_t name[] = L"";
    SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
