// MDRSevridBench: times Sevrid's refresh with 300 extra services registered with the service
// control manager on top of Wine's own: the first collection (ids drawn, icons extracted), a
// second one with nothing changed (configurations not asked again), and bringing a real list view
// in step each time, with the number of rows written.
//
//   MDRSevridBench [--services N]
// The services it registers are deleted at the end.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "tools/frame/report_list.h"
#include "tools/sevrid/services.h"

using namespace mdr;

namespace {

std::wstring Name(int i) {
    return L"MDRBenchSevrid" + std::to_wstring(i);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    int services = 300;
    for (int i = 1; i + 1 < argc; i += 2)
        if (std::wcscmp(argv[i], L"--services") == 0) services = _wtoi(argv[i + 1]);
    InitCommonControls();

    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) {
        std::printf("cannot open the service control manager (%lu)\n", GetLastError());
        return 1;
    }
    const wchar_t* programs[] = {L"C:\\windows\\system32\\notepad.exe",
                                 L"C:\\windows\\system32\\cmd.exe", L"C:\\nowhere\\gone.exe"};
    for (int i = 0; i < services; ++i) {
        const std::wstring display = L"MDR bench service " + std::to_wstring(i);
        SC_HANDLE s =
            CreateServiceW(manager, Name(i).c_str(), display.c_str(), SERVICE_ALL_ACCESS,
                           SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                           programs[i % 3], nullptr, nullptr, nullptr, nullptr, nullptr);
        if (s) CloseServiceHandle(s);
    }

    HWND window = CreateWindowExW(0, WC_STATICW, L"", WS_POPUP, 0, 0, 600, 400, nullptr, nullptr,
                                  nullptr, nullptr);
    HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 0, 0, 600, 400, window,
                                nullptr, nullptr, nullptr);
    for (int c = 0; c < 9; ++c) {
        LVCOLUMNW column{};
        column.mask = LVCF_WIDTH;
        column.cx = 100;
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c),
                     reinterpret_cast<LPARAM>(&column));
    }
    SyncedList synced;
    synced.Attach(list, nullptr);

    bench::Stopwatch clock;
    ServicesKeyWatch watch; // as the tool refreshes: configurations asked again only on change
    std::vector<ServiceRecord> records = CollectServices({}, false, &watch);
    const double firstScan = clock.Seconds();
    clock.Restart();
    const int firstWritten = synced.Sync(ServiceRows(records));
    const double firstSync = clock.Seconds();
    clock.Restart();
    records = CollectServices(std::move(records), false, &watch);
    const double secondScan = clock.Seconds();
    clock.Restart();
    const int secondWritten = synced.Sync(ServiceRows(records));
    const double secondSync = clock.Seconds();

    std::printf("Sevrid refresh: %d services registered here, %zu listed\n", services,
                records.size());
    std::printf("  first refresh:  collect %.3f s + list %.3f s = %.3f s, %d rows written\n",
                firstScan, firstSync, firstScan + firstSync, firstWritten);
    std::printf("  second refresh: collect %.3f s + list %.3f s = %.3f s, %d rows written\n",
                secondScan, secondSync, secondScan + secondSync, secondWritten);
    std::printf("  unchanged services keep their configuration: %.3f s saved\n",
                firstScan - secondScan);

    DestroyWindow(window);
    for (int i = 0; i < services; ++i) {
        SC_HANDLE s = OpenServiceW(manager, Name(i).c_str(), DELETE);
        if (s) {
            DeleteService(s);
            CloseServiceHandle(s);
        }
    }
    CloseServiceHandle(manager);
    return 0;
}
