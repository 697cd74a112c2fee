// The About window's text, the theme decision for its text box and the banner colours.
#include <gtest/gtest.h>

#include <windows.h>

#include "ui/about_window.h"

namespace {

TEST(AboutText, LinesAndMemoryInWholeMegabytes) {
    const uint64_t bytes = 3ull * 1024 * 1024 * 1024 + 1024 * 1024 - 1; // 3 GB + almost 1 MB
    EXPECT_EQ(mdr::AboutText(L"Version:", L"1.0 BETA", L"Physical memory:", bytes),
              L"Veltrane Mendora\r\nA Veltrane product\r\nVersion: 1.0 BETA\r\n\r\n"
              L"Physical memory: 3072 MB");
    // Above 4 GB the figure is not cut at 32 bits.
    EXPECT_TRUE(mdr::AboutText(L"V", L"x", L"M", 24ull * 1024 * 1024 * 1024)
                    .ends_with(L"\r\nV x\r\n\r\nM 24576 MB"));
}

TEST(AboutText, ThemedFrameOnlyOnThemedXpAndLater) {
    EXPECT_TRUE(mdr::UseThemedFrame(60, 1, 1));
    EXPECT_TRUE(mdr::UseThemedFrame(100, 1, 1));
    EXPECT_FALSE(mdr::UseThemedFrame(50, 1, 1)) << "Windows 2000 has no themes";
    EXPECT_FALSE(mdr::UseThemedFrame(60, 0, 1));
    EXPECT_FALSE(mdr::UseThemedFrame(60, 1, 0));
    EXPECT_FALSE(mdr::UseThemedFrame(80, 2, 1)) << "only an answer of exactly 1 counts";
}

} // namespace
