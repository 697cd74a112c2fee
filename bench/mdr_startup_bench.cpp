// MDRStartupBench: times the real MDR.exe of the install folder from process start to its main
// window (and the loading steps alone, in this process), with 0, 1,000, 10,000 and 100,000
// exceptions in Config.ini and with a language file of 100,000 keys, so that loading is seen to
// grow in proportion to the input.
//
//   MDRStartupBench [--runs N]
// Config.ini of this Wine prefix's user is replaced while it runs and put back afterwards.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "common/ini.h"
#include "common/text.h"
#include "mdr/core/config.h"
#include "mdr/core/localization.h"

using namespace mdr;

namespace {

constexpr DWORD kWindowTimeoutMs = 180000;

std::wstring ParentOf(std::wstring path) {
    path.resize(path.find_last_of(L'\\'));
    return path;
}

std::wstring InstallFolder() {
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    return ParentOf(ParentOf(exe)) + L"\\dist\\";
}

std::wstring SettingsFolder() {
    wchar_t profile[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, 0, profile);
    return std::wstring(profile) + L"\\Application Data\\Veltrane\\Veltrane Mendora\\";
}

std::wstring ConfigText(int exceptions, const std::wstring& language) {
    std::wstring text = L"[MDRConfig]\r\nCurrentLanguage=" + language +
                        L"\r\n[MDRWindow]\r\n"
                        L"MainWinX=10\r\nMainWinY=10\r\n[MDRExceptions]\r\n";
    for (int i = 0; i < exceptions; ++i) {
        text += L"HKEY_CURRENT_USER\\Software\\Bench\\Vendor" + std::to_wstring(i % 97) +
                L"\\Product" + std::to_wstring(i) + L"=Exception" + std::to_wstring(i) + L"\r\n";
    }
    return text;
}

// The shipped texts, then filler keys up to `keys` in all.
std::wstring LanguageText(const std::wstring& shipped, int keys) {
    std::wstring text = shipped + L"\r\n";
    for (int i = 264; i < keys; ++i)
        text += L"l" + std::to_wstring(i) + L"=Filler text number " + std::to_wstring(i) + L"\r\n";
    return text;
}

struct Found {
    DWORD pid;
    bool visible;
};

BOOL CALLBACK FindMainWindow(HWND window, LPARAM param) {
    auto* found = reinterpret_cast<Found*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t title[64] = {};
    GetWindowTextW(window, title, 64);
    if (pid == found->pid && IsWindowVisible(window) &&
        std::wstring(title).starts_with(L"Veltrane Registry Cleaner")) {
        found->visible = true;
        return FALSE;
    }
    return TRUE;
}

// Seconds from CreateProcess to a visible main window; negative when none came.
double TimeStartUp(const std::wstring& install) {
    const std::wstring exe = install + L"MDR.exe";
    std::wstring command = L"\"" + exe + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        install.c_str(), &si, &pi))
        return -1;
    double seconds = -1;
    for (;;) {
        Found found{pi.dwProcessId, false};
        EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&found));
        QueryPerformanceCounter(&now);
        const double elapsed =
            static_cast<double>(now.QuadPart - start.QuadPart) / frequency.QuadPart;
        if (found.visible) {
            seconds = elapsed;
            break;
        }
        if (elapsed * 1000 > kWindowTimeoutMs ||
            WaitForSingleObject(pi.hProcess, 5) == WAIT_OBJECT_0)
            break;
    }
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return seconds;
}

double Now() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / frequency.QuadPart;
}

// The loading steps alone, in this process: reading Config.ini with its exceptions and the
// language file, as start-up does.
double TimeLoading(const std::wstring& install, const std::wstring& config,
                   const std::wstring& language) {
    const double start = Now();
    AppSettings settings;
    std::vector<SkipMapEntry> exceptions;
    ReadOrCreateConfig(config, settings, exceptions);
    LoadLanguage(install, language);
    return Now() - start;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    int runs = 3;
    if (argc == 3 && std::wstring(argv[1]) == L"--runs") runs = std::max(1, _wtoi(argv[2]));
    const std::wstring install = InstallFolder();
    const std::wstring settings = SettingsFolder();
    const std::wstring config = settings + L"Config.ini";
    SHCreateDirectoryExW(nullptr, settings.c_str(), nullptr);
    std::string keptConfig;
    const bool hadConfig = ReadFileBytes(config, keptConfig) == FileState::Ok;

    std::string shippedBytes;
    if (ReadFileBytes(install + L"Localization\\English.ini", shippedBytes) != FileState::Ok) {
        std::fprintf(stderr, "no Localization\\English.ini in %ls\n", install.c_str());
        return 1;
    }
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring bigLanguage = std::wstring(temp) + L"MDRBench100k.ini";
    WriteFileReplacing(bigLanguage, ToUtf8(LanguageText(DecodeText(shippedBytes), 100000)));

    struct Case {
        const char* label;
        int exceptions;
        std::wstring language;
    };
    const Case cases[] = {
        {"0 exceptions", 0, L"Localization\\English.ini"},
        {"1,000 exceptions", 1000, L"Localization\\English.ini"},
        {"10,000 exceptions", 10000, L"Localization\\English.ini"},
        {"100,000 exceptions", 100000, L"Localization\\English.ini"},
        {"100,000-key language file", 0, bigLanguage},
    };
    std::printf("MDR start-up to main window (median of %d runs)\n", runs);
    int failures = 0;
    double base = 0;
    for (const Case& c : cases) {
        std::vector<double> times, loads;
        for (int run = 0; run < runs; ++run) {
            // Written anew each run: MDR may rewrite it.
            WriteFileReplacing(config, ToUtf8(ConfigText(c.exceptions, c.language)));
            loads.push_back(TimeLoading(install, config, c.language));
            times.push_back(TimeStartUp(install));
        }
        const double median = Median(times);
        if (median < 0) {
            std::printf("  %-28s no main window\n", c.label);
            ++failures;
            continue;
        }
        if (c.exceptions == 0 && c.language.starts_with(L"Localization")) base = median;
        std::printf("  %-28s %7.3f s  (+%.3f s)  loading alone %.3f s  runs:", c.label, median,
                    median - base, Median(loads));
        for (double t : times)
            std::printf(" %.3f", t);
        std::printf("\n");
    }
    if (hadConfig)
        WriteFileReplacing(config, keptConfig);
    else
        DeleteFileW(config.c_str());
    DeleteFileW(bigLanguage.c_str());
    return failures == 0 ? 0 : 1;
}
