// MDRListsBench: a tool's list of 2,000 rows sorted by each kind of column, turned round,
// filtered and cleared on a real list view, and a refresh with nothing changed while sorted.
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "common/format.h"
#include "tools/frame/report_list.h"

using namespace mdr;

int wmain() {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr,
                                  nullptr, nullptr);
    SyncedList list;
    list.Attach(CreateToolList(window, 1, {0, 0, 800, 600},
                               {{L"Program name", 170},
                                {L"Installation date", 100},
                                {L"Estimated size", 100},
                                {L"Uninstall string", 150}},
                               true),
                nullptr, {ColumnKind::Text, ColumnKind::Date, ColumnKind::Size, ColumnKind::Text});
    std::vector<RowContent> rows;
    for (uint32_t i = 0; i < 2000; ++i) {
        const uint32_t mix = (i * 7919u) % 2000u;
        const std::wstring name = L"Program " + std::to_wstring(mix);
        wchar_t date[16];
        swprintf(date, 16, L"%04u/%02u/%02u", 2000 + mix % 20, 1 + mix % 12, 1 + mix % 28);
        rows.push_back({name,
                        {name, date, FormatByteSize(int64_t{mix} * 9973, 2),
                         L"C:\\Program Files\\P" + std::to_wstring(mix) + L"\\uninst.exe"},
                        i + 1});
    }
    bench::Stopwatch clock;
    list.Sync(rows);
    std::printf("fill 2000 rows:           %7.1f ms\n", clock.Seconds() * 1000);
    const struct {
        const char* what;
        int column;
        bool descending;
    } sorts[] = {{"sort by name", 0, false},    {"sort by date", 1, false},
                 {"sort by size", 2, false},    {"sort by size, reversed", 2, true},
                 {"unsorted again", -1, false}, {"sort by size", 2, false}};
    for (const auto& sort : sorts) {
        clock.Restart();
        list.SetSort(sort.column, sort.descending);
        std::printf("%-25s %7.1f ms\n", sort.what, clock.Seconds() * 1000);
    }
    for (const wchar_t* filter : {L"p", L"program 1", L"program 19", L""}) {
        clock.Restart();
        list.SetFilter(filter);
        std::printf("filter \"%ls\" (%4zu shown): %5.1f ms\n", filter, list.ShownCount(),
                    clock.Seconds() * 1000);
    }
    clock.Restart();
    const int written = list.Sync(rows);
    std::printf("refresh, nothing changed:  %7.1f ms, %d rows written\n", clock.Seconds() * 1000,
                written);
    DestroyWindow(window);
    return 0;
}
