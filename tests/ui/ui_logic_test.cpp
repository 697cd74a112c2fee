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

// Rules made for a 700 x 480 window, then applied at another size.
TEST(ResizeRuleTest, GadgetsFollowTheEdgesTheirRuleNames) {
    struct Case {
        const char* what;
        GadgetBox box;
        int topFixed, heightFixed, leftFixed, widthFixed;
        int width, height; // the new inner size
        GadgetBox expected;
    };
    // clang-format off
    const Case cases[] = {
        {"fixed sides stay where they are",
         {5, 10, 100, 50}, 1, 1, 1, 1, 900, 600, {5, 10, 100, 50}},
        // The splitters: top and left fixed, height and width follow the window.
        {"growing gadget keeps its distances to the right and bottom edges",
         {0, 40, 700, 392}, 1, 0, 1, 0, 1000, 700, {0, 40, 1000, 612}},
        // The progress bar: follows the bottom edge, keeps its height, grows in width.
        {"bottom-anchored gadget moves and keeps its height",
         {5, 441, 690, 15}, 0, 1, 1, 0, 800, 500, {5, 461, 790, 15}},
        {"right-anchored gadget moves with the right edge",
         {600, 10, 80, 20}, 1, 1, 0, 1, 650, 480, {550, 10, 80, 20}},
        {"sizes never go negative",
         {0, 40, 700, 392}, 1, 0, 1, 0, 0, 0, {0, 40, 0, 0}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ResizeRule r =
            MakeResizeRule(700, 480, c.box, c.topFixed, c.heightFixed, c.leftFixed, c.widthFixed);
        const GadgetBox out = ApplyResizeRule(r, c.width, c.height, c.box);
        EXPECT_EQ(out.x, c.expected.x);
        EXPECT_EQ(out.y, c.expected.y);
        EXPECT_EQ(out.w, c.expected.w);
        EXPECT_EQ(out.h, c.expected.h);
    }
}

} // namespace
} // namespace mdr
