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

TEST(AboutText, BannerGradientRunsFromEdgeToEdge) {
    const COLORREF left = mdr::BannerGradientColor(0, 467);
    const COLORREF right = mdr::BannerGradientColor(466, 467);
    EXPECT_NE(left, right);
    EXPECT_EQ(mdr::BannerGradientColor(-5, 467), left);
    EXPECT_EQ(mdr::BannerGradientColor(900, 467), right);
    // Monotonic in every channel between the ends.
    for (int x = 1; x < 467; ++x) {
        const COLORREF a = mdr::BannerGradientColor(x - 1, 467);
        const COLORREF b = mdr::BannerGradientColor(x, 467);
        EXPECT_EQ(GetRValue(b) >= GetRValue(a), GetRValue(right) >= GetRValue(left));
        EXPECT_EQ(GetBValue(b) >= GetBValue(a), GetBValue(right) >= GetBValue(left));
    }
}

TEST(AboutText, BannerBitmapIs24BitOfTheAskedSize) {
    HBITMAP banner = mdr::CreateBannerBitmap(467, 37);
    ASSERT_NE(banner, nullptr);
    BITMAP info{};
    ASSERT_NE(GetObjectW(banner, sizeof(info), &info), 0);
    EXPECT_EQ(info.bmWidth, 467);
    EXPECT_EQ(info.bmHeight, 37);
    EXPECT_EQ(info.bmBitsPixel, 24);
    // The product name is drawn in white over the gradient somewhere on the left half.
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, banner);
    int white = 0;
    for (int x = 0; x < 233; ++x)
        for (int y = 0; y < 37; ++y)
            white += GetPixel(dc, x, y) == RGB(255, 255, 255) ? 1 : 0;
    EXPECT_GT(GetPixel(dc, 466, 0) == mdr::BannerGradientColor(466, 467), 0);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(banner);
    EXPECT_GT(white, 20) << "no lettering";
}

} // namespace
