// Pure logic of the main window: durations, status-bar parts, splitter limits, area ticks,
// resize rules.
#include <gtest/gtest.h>

#include "common/resize.h"
#include "ui/ui_logic.h"

namespace mdr {
namespace {

std::wstring Duration(int64_t t) {
    return FormatDuration(t, L"hour", L"hours", L"minute", L"minutes", L"second", L"seconds");
}

TEST(FormatDurationTest, UsesSingularOnlyForExactlyOne) {
    EXPECT_EQ(Duration(0), L"0 seconds");
    EXPECT_EQ(Duration(1), L"1 second");
    EXPECT_EQ(Duration(2), L"2 seconds");
    EXPECT_EQ(Duration(61), L"1 minute 1 second");
    EXPECT_EQ(Duration(65), L"1 minute 5 seconds");
    EXPECT_EQ(Duration(120), L"2 minutes 0 seconds");
    EXPECT_EQ(Duration(3600), L"1 hour 0 seconds");
    EXPECT_EQ(Duration(3661), L"1 hour 1 minute 1 second");
    EXPECT_EQ(Duration(7322), L"2 hours 2 minutes 2 seconds");
}

TEST(FormatDurationTest, HoursWrapAfterSixtyAsTheStatusLineAlwaysDid) {
    EXPECT_EQ(Duration(59 * 3600 + 59 * 60 + 59), L"59 hours 59 minutes 59 seconds");
    EXPECT_EQ(Duration(216000), L"0 seconds");
    EXPECT_EQ(Duration(216000 + 3601), L"1 hour 1 second");
}

TEST(FormatDurationTest, TakesTheWordsItIsGiven) {
    EXPECT_EQ(
        FormatDuration(3725, L"Stunde", L"Stunden", L"Minute", L"Minuten", L"Sekunde", L"Sekunden"),
        L"1 Stunde 2 Minuten 5 Sekunden");
    // Empty words leave no trailing blank.
    EXPECT_EQ(FormatDuration(5, L"", L"", L"", L"", L"", L""), L"5");
}

TEST(StatusPartsTest, SplitsTheRightHalfInThirds) {
    EXPECT_EQ(StatusPartEdges(700), (std::array<int, 4>{350, 466, 582, 698}));
    EXPECT_EQ(StatusPartEdges(601), (std::array<int, 4>{300, 400, 500, 600}));
    EXPECT_EQ(StatusPartEdges(0), (std::array<int, 4>{0, 0, 0, 0}));
    EXPECT_EQ(InitialStatusPartEdges(), (std::array<int, 4>{300, 375, 450, 525}));
}

TEST(SplitterTest, KeepsBothMinimumsWhenThereIsRoom) {
    // total 600, bar 6: the first pane may range from 190 to 600 - 6 - 200 = 394.
    EXPECT_EQ(ClampSplitterPosition(200, 600, 6, 190, 200), 200);
    EXPECT_EQ(ClampSplitterPosition(10, 600, 6, 190, 200), 190);
    EXPECT_EQ(ClampSplitterPosition(500, 600, 6, 190, 200), 394);
}

TEST(SplitterTest, FirstMinimumWinsWhenBothCannotBeMet) {
    EXPECT_EQ(ClampSplitterPosition(300, 300, 6, 190, 200), 190);
    EXPECT_EQ(ClampSplitterPosition(0, 0, 6, 80, 80), 80);
}

TEST(ScanZonesTest, ReadsExactlyOneAsTicked) {
    const auto all = ParseScanZones(L"1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1");
    for (bool b : all)
        EXPECT_TRUE(b);
    const auto some = ParseScanZones(L"1,0, 1,yes,1");
    EXPECT_TRUE(some[0]);
    EXPECT_FALSE(some[1]);
    EXPECT_FALSE(some[2]); // " 1" is not "1"
    EXPECT_FALSE(some[3]);
    EXPECT_TRUE(some[4]);
    for (size_t i = 5; i < some.size(); ++i)
        EXPECT_FALSE(some[i]) << i; // missing fields
    for (bool b : ParseScanZones(L""))
        EXPECT_FALSE(b);
}

TEST(ScanZonesTest, RoundTripsEighteenFlags) {
    std::array<bool, 18> ticks{};
    ticks[0] = ticks[2] = ticks[17] = true;
    const std::wstring text = FormatScanZones(ticks);
    EXPECT_EQ(text, L"1,0,1,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1");
    EXPECT_EQ(ParseScanZones(text), ticks);
}

TEST(MenuTextTest, AddsTheShortcutAfterATab) {
    EXPECT_EQ(MenuItemText(L"Scan", L"Ctrl+S"), L"Scan\tCtrl+S");
    EXPECT_EQ(MenuItemText(L"Settings", L""), L"Settings");
}

TEST(NotifyIconSizeTest, FollowsTheShellVersion) {
    EXPECT_EQ(NotifyIconDataSize(100), 956u);
    EXPECT_EQ(NotifyIconDataSize(70), 956u);
    EXPECT_EQ(NotifyIconDataSize(65), 952u);
    EXPECT_EQ(NotifyIconDataSize(60), 952u);
    EXPECT_EQ(NotifyIconDataSize(50), 936u);
    EXPECT_EQ(NotifyIconDataSize(40), 152u);
}

TEST(ResizeRuleTest, FixedSidesStayWhereTheyAre) {
    const GadgetBox box{5, 10, 100, 50};
    const ResizeRule r = MakeResizeRule(700, 480, box, 1, 1, 1, 1);
    const GadgetBox out = ApplyResizeRule(r, 900, 600, box);
    EXPECT_EQ(out.x, 5);
    EXPECT_EQ(out.y, 10);
    EXPECT_EQ(out.w, 100);
    EXPECT_EQ(out.h, 50);
}

TEST(ResizeRuleTest, GrowingGadgetKeepsItsDistancesToTheRightAndBottomEdges) {
    // The splitters: top and left fixed, height and width follow the window.
    const GadgetBox box{0, 40, 700, 392};
    const ResizeRule r = MakeResizeRule(700, 480, box, 1, 0, 1, 0);
    EXPECT_EQ(r.b, 48);
    EXPECT_EQ(r.d, 0);
    const GadgetBox out = ApplyResizeRule(r, 1000, 700, box);
    EXPECT_EQ(out.x, 0);
    EXPECT_EQ(out.y, 40);
    EXPECT_EQ(out.w, 1000);
    EXPECT_EQ(out.h, 612);
}

TEST(ResizeRuleTest, BottomAnchoredGadgetMovesAndKeepsItsHeight) {
    // The progress bar: follows the bottom edge, keeps its height, grows in width.
    const GadgetBox box{5, 441, 690, 15};
    const ResizeRule r = MakeResizeRule(700, 480, box, 0, 1, 1, 0);
    EXPECT_EQ(r.a, 39);
    EXPECT_EQ(r.d, 5);
    const GadgetBox out = ApplyResizeRule(r, 800, 500, box);
    EXPECT_EQ(out.x, 5);
    EXPECT_EQ(out.y, 461);
    EXPECT_EQ(out.w, 790);
    EXPECT_EQ(out.h, 15);
}

TEST(ResizeRuleTest, RightAnchoredGadgetMovesWithTheRightEdge) {
    const GadgetBox box{600, 10, 80, 20};
    const ResizeRule r = MakeResizeRule(700, 480, box, 1, 1, 0, 1);
    EXPECT_EQ(r.c, 100);
    const GadgetBox out = ApplyResizeRule(r, 650, 480, box);
    EXPECT_EQ(out.x, 550);
    EXPECT_EQ(out.w, 80);
}

TEST(ResizeRuleTest, SizesNeverGoNegative) {
    const GadgetBox box{0, 40, 700, 392};
    const ResizeRule r = MakeResizeRule(700, 480, box, 1, 0, 1, 0);
    const GadgetBox out = ApplyResizeRule(r, 0, 0, box);
    EXPECT_EQ(out.w, 0);
    EXPECT_EQ(out.h, 0);
}

} // namespace
} // namespace mdr
