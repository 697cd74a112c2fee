// A benchmark, not a test: thousands of rows arrive while the real MDR.exe's window is asked to
// answer and to change its size; prints the slowest answers. Run it like the tests (it needs
// their prefix and MDR_DIST_DIR), for example with the 64-bit build folder:
//   sh scripts/test-env.sh up build64 && . build64/testenv/env &&
//   MDR_DIST_DIR=$PWD/build64/dist $MDR_WINE build64/bench/MDRRowsBench.exe;
//   sh scripts/test-env.sh down build64
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>

#include "tests/support/mdr_fixtures.h"
#include "common/late_bound.h"
#include "mdr/ui/command_ids.h"

using namespace mdr::driver;
using mdr::TickCount64;

namespace {

constexpr wchar_t kMissingFolder[] = L"C:\\MdrUiTestMissing\\";
constexpr wchar_t kSharedDllsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
constexpr int kSharedDllsArea = 15;

class RowsBench : public MdrTest {};

// A benchmark more than a check: thousands of rows arrive while the window is asked to answer
// and to change its size. Prints the slowest answers; checks only that every row arrived.
TEST_F(RowsBench, StaysResponsiveWhileAScanAddsThousandsOfRows) {
    constexpr int kRows = 3000;
    auto name = [](int i) {
        return std::wstring(kMissingFolder) + L"bulk\\lib" + std::to_wstring(i) + L".dll";
    };
    for (int i = 0; i < kRows; ++i)
        SetDword(HKEY_LOCAL_MACHINE, kSharedDllsKey, name(i), 1);
    struct Cleanup {
        std::function<void()> f;
        ~Cleanup() { f(); }
    } cleanup{[&] {
        for (int i = 0; i < kRows; ++i)
            DeleteValue(HKEY_LOCAL_MACHINE, kSharedDllsKey, name(i));
    }};

    ConfigValues config = Ticking({kSharedDllsArea});
    config.createLog = 0;
    Gadgets g = Start(L"-scan", config);
    ASSERT_TRUE(g.main && g.list && g.tree && g.status);
    ASSERT_TRUE(WaitUntil([&] { return Scanning(g) || ScanFinished(g); }, 20000));
    const ULONGLONG started = TickCount64();
    ULONGLONG slowestPing = 0;
    ULONGLONG slowestResize = 0;
    int samples = 0;
    bool grow = true;
    while (Scanning(g) && TickCount64() - started < 120000) {
        ULONGLONG t = TickCount64();
        ASSERT_TRUE(Send(g.main, WM_NULL, 0, 0, 10000).has_value()) << "the window hung";
        slowestPing = std::max(slowestPing, TickCount64() - t);
        t = TickCount64();
        SetWindowPos(g.main, nullptr, 0, 0, grow ? 900 : 780, grow ? 640 : 580,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        slowestResize = std::max(slowestResize, TickCount64() - t);
        grow = !grow;
        ++samples;
        Sleep(20);
    }
    ASSERT_TRUE(WaitUntil([&] { return ScanFinished(g); }, 60000));
    std::printf("[ figure ] %d rows in %llu ms; over %d samples the slowest answer took %llu ms "
                "and the slowest resize %llu ms\n",
                ListViewCount(g.list), TickCount64() - started, samples, slowestPing,
                slowestResize);
    // The same resizes once the scan is over, for comparison.
    ULONGLONG slowestIdleResize = 0;
    for (int i = 0; i < 10; ++i) {
        const ULONGLONG t = TickCount64();
        SetWindowPos(g.main, nullptr, 0, 0, grow ? 900 : 780, grow ? 640 : 580,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        slowestIdleResize = std::max(slowestIdleResize, TickCount64() - t);
        grow = !grow;
    }
    std::printf("[ figure ] the slowest of 10 resizes after the scan took %llu ms\n",
                slowestIdleResize);
    // Sorting and filtering put every row back into the list, so the synchronous filter text
    // with a sort set times the whole arrangement.
    ClickListHeader(g.list, 2);
    ClickListHeader(g.list, 2);
    EXPECT_TRUE(WaitUntil([&] { return ReadListView(g.list).rows[0].cells[2] == name(kRows - 1); }))
        << "the sort did not take";
    HWND filter = FindDescendant(g.main, L"Edit", mdr::kGadgetIdBase + mdr::kGadgetFilterBox);
    for (const wchar_t* text : {L"lib1", L"lib12", L""}) {
        const ULONGLONG t = TickCount64();
        Send(filter, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
        std::printf("[ figure ] filter \"%ls\" over %d rows, sorted by value: %llu ms, %d shown\n",
                    text, kRows, TickCount64() - t, ListViewCount(g.list));
    }
    EXPECT_GE(ListViewCount(g.list), kRows);
    EXPECT_EQ(ReadStatusBarPart(g.status, 2), Fill(T(Text::ErrorsStatus), L"$ERRRORSDETECTED$",
                                                   std::to_wstring(ListViewCount(g.list))));
    Exit(g);
}

} // namespace
