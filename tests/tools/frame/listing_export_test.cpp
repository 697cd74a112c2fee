// The tools' listing export and clipboard texts.
#include <gtest/gtest.h>
#include "tests/support/edition.h"
#include "tools/frame/listing_export.h"
#include "tools/frame/tool_frame.h"

namespace mdr {
namespace {
TEST(ListingExport, FileNameRule) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"list.TXT", L"list.TXT"},
        {L"list", L"list.txt"},
        {L"list.txt.bak", L"list.txt.bak.txt"},
        {L"list.txt ", L"list.txt .txt"},
        {L"C:\\a\\b.txt", L"C:\\a\\b.txt"},
        {L"txt", L"txt.txt"}};
    for (const auto& [chosen, used] : cases)
        EXPECT_EQ(ExportFileName(chosen), used);
}

TEST(ListingExport, HeaderProgressAndBytes) {
    const SYSTEMTIME t{2009, 5, 0, 17, 14, 3, 9, 0}; // 2009/05/17 14:03:09
    const std::wstring line(69, L'-');
    EXPECT_EQ(ExportHeaderLines(kSevrid, t, 3),
              (std::vector<std::wstring>{line, L"MDR Sevrid Export",
                                         std::wstring(L"Veltrane Mendora ") + test::kVersionText,
                                         L"Website: https://www.veltrane.example/mendora", line,
                                         L"Generated on: 2009/05/17 at 14:03:09", line, L"",
                                         L"Total detected services: 3", L""}));
    EXPECT_EQ(ExportProgressPosition(0, 3), 33);
    EXPECT_EQ(ExportProgressPosition(1, 3), 67);
    EXPECT_EQ(ExportProgressPosition(2, 3), 100);
    EXPECT_EQ(ExportProgressText(ExportPercent(0, 3)), L"Exporting list... 33.33%");
    EXPECT_EQ(ExportBytes({L"a\u00e4", L""}), "a\xC3\xA4\r\n\r\n");
}

TEST(ListingExport, ClipboardTexts) {
    EXPECT_EQ(ClipboardLine({L"a", L"b c", L""}), L"a     b c     ");
    EXPECT_EQ(ClipboardAll({}), L"");
    EXPECT_EQ(ClipboardAll({{L"a", L"b"}, {L"c", L"d"}}), L"a     b\r\nc     d\r\n");
}
} // namespace
} // namespace mdr

namespace mdr {
namespace {
TEST(ToolStartup, WarningsForEachMissingRight) {
    const std::wstring admin = L"You need to run this tool under an administrator account.";
    const std::wstring debug =
        L"Could not assign the debug priviledge. Are you sure you are administrator?";
    EXPECT_EQ(StartupWarnings(true, true), std::vector<std::wstring>{});
    EXPECT_EQ(StartupWarnings(false, true), std::vector<std::wstring>{admin});
    EXPECT_EQ(StartupWarnings(true, false), std::vector<std::wstring>{debug});
    EXPECT_EQ(StartupWarnings(false, false), (std::vector<std::wstring>{admin, debug}));
    // This prefix runs everything as an administrator.
    EXPECT_TRUE(CheckAdministrator());
}
} // namespace
} // namespace mdr
