// Pure logic of the main window: durations, splitter limits, area ticks, resize rules.
#include <gtest/gtest.h>

#include <tuple>

#include "common/resize.h"
#include "common/splitter.h"
#include "mdr/ui/ui_logic.h"

namespace mdr {
namespace {

std::wstring Duration(int64_t t) {
    return FormatDuration(t, L"hour", L"hours", L"minute", L"minutes", L"second", L"seconds");
}

TEST(FormatDurationTest, SingularOnlyForOneAndHoursWrapAfterSixty) {
    const std::pair<int64_t, const wchar_t*> cases[] = {
        {0, L"0 seconds"},
        {1, L"1 second"},
        {61, L"1 minute 1 second"},
        {120, L"2 minutes 0 seconds"},
        {3600, L"1 hour 0 seconds"},
        {7322, L"2 hours 2 minutes 2 seconds"},
        {59 * 3600 + 59 * 60 + 59, L"59 hours 59 minutes 59 seconds"},
        {216000, L"0 seconds"},
        {216000 + 3601, L"1 hour 1 second"}};
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(Duration(seconds), text) << seconds;
    EXPECT_EQ(
        FormatDuration(3725, L"Stunde", L"Stunden", L"Minute", L"Minuten", L"Sekunde", L"Sekunden"),
        L"1 Stunde 2 Minuten 5 Sekunden");
    EXPECT_EQ(FormatDuration(5, L"", L"", L"", L"", L"", L""), L"5"); // no trailing blank
}

TEST(SplitterTest, KeepsBothMinimumsWhenThereIsRoomElseTheFirst) {
    // total 600, bar 6: the first pane may range from 190 to 600 - 6 - 200 = 394.
    EXPECT_EQ(ClampSplitterPosition(200, 600, 6, 190, 200), 200);
    EXPECT_EQ(ClampSplitterPosition(10, 600, 6, 190, 200), 190);
    EXPECT_EQ(ClampSplitterPosition(500, 600, 6, 190, 200), 394);
    EXPECT_EQ(ClampSplitterPosition(300, 300, 6, 190, 200), 190);
}

TEST(ScanZonesTest, ReadsExactlyOneAsTickedAndRoundTrips) {
    std::array<bool, 18> some{};
    some[0] = some[4] = true; // " 1" is not "1"; missing fields are unticked
    EXPECT_EQ(ParseScanZones(L"1,0, 1,yes,1"), some);
    EXPECT_EQ(ParseScanZones(L""), (std::array<bool, 18>{}));
    std::array<bool, 18> ticks{};
    ticks[0] = ticks[2] = ticks[17] = true;
    EXPECT_EQ(FormatScanZones(ticks), L"1,0,1,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1");
    EXPECT_EQ(ParseScanZones(L"1,0,1,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1"), ticks);
}

// Rules made for a 700 x 480 window, then applied at another size.
TEST(ResizeRuleTest, GadgetsFollowTheEdgesTheirRuleNames) {
    struct Case {
        const char* what;
        GadgetBox box;
        ResizeFollow follow;
        int width, height; // the new inner size
        GadgetBox expected;
    };
    // clang-format off
    const Case cases[] = {
        {"fixed sides stay where they are",
         {5, 10, 100, 50}, {}, 900, 600, {5, 10, 100, 50}},
        // The splitters: top and left fixed, height and width follow the window.
        {"growing gadget keeps its distances to the right and bottom edges",
         {0, 40, 700, 392}, {.growHeight = true, .growWidth = true}, 1000, 700, {0, 40, 1000, 612}},
        // The progress bar: follows the bottom edge, keeps its height, grows in width.
        {"bottom-anchored gadget moves and keeps its height",
         {5, 441, 690, 15}, {.moveDown = true, .growWidth = true}, 800, 500, {5, 461, 790, 15}},
        {"right-anchored gadget moves with the right edge",
         {600, 10, 80, 20}, {.moveRight = true}, 650, 480, {550, 10, 80, 20}},
        {"sizes never go negative",
         {0, 40, 700, 392}, {.growHeight = true, .growWidth = true}, 0, 0, {0, 40, 0, 0}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ResizeRule r = MakeResizeRule(700, 480, c.box, c.follow);
        const GadgetBox out = ApplyResizeRule(r, c.width, c.height, c.box);
        EXPECT_EQ(std::tie(out.x, out.y, out.w, out.h),
                  std::tie(c.expected.x, c.expected.y, c.expected.w, c.expected.h));
    }
}

} // namespace
} // namespace mdr
