// MDROstrelBench: times Ostrel's refresh on a machine with 1,000 Run values across the registry
// sources (a third of the Run ones switched off in StartupApproved, and 50 orphaned approvals)
// and 100 shortcuts in a startup folder, with every source Ostrel reads: the first scan (ids drawn,
// icons extracted), a second scan with nothing changed (ids and icons carried over), and bringing a
// real list view in step each time, with the number of rows written.
//
//   MDROstrelBench [--values N] [--shortcuts N]
// The planted values and files are removed at the end.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "common/registry.h"
#include "tools/frame/report_list.h"
#include "tools/ostrel/startup_entries.h"

using namespace mdr;

namespace {

constexpr wchar_t kPrefix[] = L"MDRBenchOstrel";

std::vector<StartupSource> WritableSources() {
    // The Run keys that exist in a fresh prefix or are made here; the Winlogon keys stay alone.
    return {{kHklm, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
            {kHklm, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", false,
             SourceKind::RunOnce},
            {kHkcu, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
            {kHkcu, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", false,
             SourceKind::RunOnce}};
}

HKEY Open(const StartupSource& source) {
    HKEY key = nullptr;
    RegCreateKeyExW(ToHkey(source.root), source.key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                    nullptr);
    return key;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    int values = 1000;
    int shortcuts = 100;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::wcscmp(argv[i], L"--values") == 0) values = _wtoi(argv[i + 1]);
        if (std::wcscmp(argv[i], L"--shortcuts") == 0) shortcuts = _wtoi(argv[i + 1]);
    }
    CoInitialize(nullptr);
    InitCommonControls();

    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"MDROstrelBench\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    const auto sources = WritableSources();
    const std::wstring system = L"C:\\windows\\system32\\";
    const wchar_t* programs[] = {L"notepad.exe", L"regedit.exe", L"cmd.exe", L"missing.exe"};
    for (int i = 0; i < values; ++i) {
        HKEY key = Open(sources[static_cast<size_t>(i) % sources.size()]);
        const std::wstring name = kPrefix + std::to_wstring(i);
        const std::wstring data = system + programs[i % 4] + L" /n" + std::to_wstring(i);
        RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    // Switched off the way Task Manager does it, and approvals of entries long gone.
    std::vector<ApprovalPlace> approvals;
    for (int i = 0; i < values; ++i) {
        const StartupSource& source = sources[static_cast<size_t>(i) % sources.size()];
        if (i % 3 == 0 && source.kind == SourceKind::Run)
            approvals.push_back(
                ApprovalPlaceOf(SourceKind::Run, source.root, false, kPrefix + std::to_wstring(i)));
    }
    for (int i = 0; i < 50; ++i)
        approvals.push_back(
            {kHkcu, ApprovalKey::Run, kPrefix + std::wstring(L"Gone") + std::to_wstring(i)});
    for (const ApprovalPlace& place : approvals)
        WriteApproval(place, true);
    for (int i = 0; i < shortcuts; ++i)
        CreateShortcut(system + programs[i % 4], folder + L"App" + std::to_wstring(i) + L".lnk",
                       L"-tray", L"", system, SW_SHOWNORMAL, system + programs[i % 4], 0);

    HWND window = CreateWindowExW(0, WC_STATICW, L"", WS_POPUP, 0, 0, 600, 400, nullptr, nullptr,
                                  nullptr, nullptr);
    HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 0, 0, 600, 400, window,
                                nullptr, nullptr, nullptr);
    for (int c = 0; c < 3; ++c) {
        LVCOLUMNW column{};
        column.mask = LVCF_WIDTH;
        column.cx = 100;
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c),
                     reinterpret_cast<LPARAM>(&column));
    }
    SyncedList synced;
    synced.Attach(list, nullptr);

    bench::Stopwatch clock;
    std::vector<StartupEntry> entries = ScanStartupEntries({}, folder, CommonStartupFolder());
    const double firstScan = clock.Seconds();
    clock.Restart();
    const int firstWritten = synced.Sync(EntryRows(entries));
    const double firstSync = clock.Seconds();

    clock.Restart();
    entries = ScanStartupEntries(std::move(entries), folder, CommonStartupFolder());
    const double secondScan = clock.Seconds();
    clock.Restart();
    const int secondWritten = synced.Sync(EntryRows(entries));
    const double secondSync = clock.Seconds();

    std::printf("Ostrel refresh: %d Run values, %d startup-folder shortcuts, %zu records\n", values,
                shortcuts, entries.size());
    std::printf("  first refresh:  scan %.3f s + list %.3f s = %.3f s, %d rows written\n",
                firstScan, firstSync, firstScan + firstSync, firstWritten);
    std::printf("  second refresh: scan %.3f s + list %.3f s = %.3f s, %d rows written\n",
                secondScan, secondSync, secondScan + secondSync, secondWritten);
    std::printf("  icons and ids carried over save %.3f s of the first scan\n",
                firstScan - secondScan);

    DestroyWindow(window);
    for (int i = 0; i < values; ++i) {
        HKEY key = nullptr;
        const StartupSource& source = sources[static_cast<size_t>(i) % sources.size()];
        if (RegOpenKeyExW(ToHkey(source.root), source.key, 0, KEY_SET_VALUE, &key) == 0) {
            RegDeleteValueW(key, (kPrefix + std::to_wstring(i)).c_str());
            RegCloseKey(key);
        }
    }
    for (const ApprovalPlace& place : approvals)
        DeleteApproval(place);
    for (int i = 0; i < shortcuts; ++i)
        DeleteFileW((folder + L"App" + std::to_wstring(i) + L".lnk").c_str());
    RemoveDirectoryW(folder.c_str());
    CoUninitialize();
    return 0;
}
