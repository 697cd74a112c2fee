// The late-bound lookup and the fallbacks that run where Windows lacks the newer functions: Wine
// has them all, so the tests pretend an older Windows.
#include <gtest/gtest.h>

#include <tuple>

#include "common/handles.h"
#include "common/late_bound.h"

namespace mdr {

TEST(LateBound, TickCountCarriedOnPastTheWrapAndNeverBack) {
    using Case = std::tuple<ULONGLONG, DWORD, ULONGLONG>; // previous, GetTickCount, next
                                                          // clang-format off
    for (auto [previous, now, next] : {Case{5, 7, 7}, {5, 5, 5}, {5, 4, 5}, {0xFFFFFFF0, 16, 1ull << 32 | 16},
             {1ull << 32 | 16, 0xFFFFFFF0, 1ull << 32 | 16}, {0x1FFFFFFF8, 8, 2ull << 32 | 8}})
        // clang-format on
        EXPECT_EQ(ExtendTickCount(previous, now), next) << std::hex << previous;
}

TEST(LateBound, WhatThePretendedWindowsLacksIsMissingAndTheFallbacksRun) {
    const LateBound<ULONGLONG(WINAPI*)()> tickCount64(L"kernel32.dll", "GetTickCount64",
                                                      kWindowsVista);
    ASSERT_NE(tickCount64.get(), nullptr);
    const ScopeExit real([] { late_bound::PretendWindowsVersion(0); });
    late_bound::PretendWindowsVersion(WindowsVersion(5, 1, 3));
    EXPECT_EQ(tickCount64.get(), nullptr);
    const DWORD before = GetTickCount();
    EXPECT_LE(static_cast<DWORD>(TickCount64()) - before, GetTickCount() - before)
        << "GetTickCount's";
    late_bound::PretendWindowsVersion(WindowsVersion(5, 0, 4));
    EXPECT_FALSE(RunsUnderWow64());
    EXPECT_EQ(SystemWow64Folder(), L"");
}

} // namespace mdr
