// A stand-in uninstaller for Quorran's tests. It appends its command line to "<its path>.log".
// With "/spawn" it starts a copy of itself with "/late" and exits at once, as uninstallers that
// run from the temporary folder do; the "/late" copy works until the test sets kProbeRelease
// (a minute at most, so it never outlives a failed test), then logs "late done".
// "/spawnlong" does the same with a "/latelong" copy.
#include <windows.h>
#include <string>

#include "tests/tools/quorran/uninstall_probe.h"

namespace {
void Append(const std::wstring& log, const std::wstring& line) {
    HANDLE file = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string bytes(line.begin(), line.end()); // the tests' paths are ASCII
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}
} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring log = std::wstring(self) + L".log";
    Append(log, std::wstring(GetCommandLineW()) + L"\r\n");
    const std::wstring args = arguments;
    if (args == L"/spawn" || args == L"/spawnlong") {
        std::wstring line =
            L"\"" + std::wstring(self) + (args == L"/spawn" ? L"\" /late" : L"\" /latelong");
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        if (CreateProcessW(self, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &info)) {
            CloseHandle(info.hThread);
            CloseHandle(info.hProcess);
        }
    } else if (args == L"/late" || args == L"/latelong") {
        HANDLE release = CreateEventW(nullptr, TRUE, FALSE, kProbeRelease);
        if (release) {
            WaitForSingleObject(release, 60000);
            CloseHandle(release);
        }
        Append(log, L"late done\r\n");
    }
    return 0;
}
