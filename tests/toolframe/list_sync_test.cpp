// Keeping list rows in step with a scan, by identity.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolframe/list_sync.h"

namespace mdr {
namespace {

// Applies the steps to rows of keys and returns the rows, each as "key<-record", plus the
// steps written as "-row", "=row", "+row" in order.
struct Applied {
    std::vector<std::wstring> rows;
    std::wstring steps;
};
Applied Apply(std::vector<std::wstring> rows, const std::vector<std::wstring>& records) {
    Applied out;
    std::vector<std::wstring> shown = rows;
    for (const ListSyncStep& s : PlanListSync(rows, records)) {
        const std::wstring what = records.empty() || s.record < 0 ? L"" : records[s.record];
        switch (s.kind) {
        case ListSyncStep::Remove:
            shown.erase(shown.begin() + s.row);
            out.steps += L"-" + std::to_wstring(s.row);
            break;
        case ListSyncStep::Keep:
            EXPECT_EQ(shown.at(s.row), what) << "a kept row shows another record";
            shown[s.row] = what;
            out.steps += L"=" + std::to_wstring(s.row);
            break;
        case ListSyncStep::Insert:
            shown.insert(shown.begin() + s.row, what);
            out.steps += L"+" + std::to_wstring(s.row);
            break;
        }
    }
    out.rows = shown;
    return out;
}

TEST(ListSync, RowsBecomeTheDistinctRecordsInScanOrder) {
    struct Case {
        const char* what;
        std::vector<std::wstring> rows, records, expected;
        std::wstring steps;
    };
    const Case cases[] = {
        {"first fill", {}, {L"a", L"b"}, {L"a", L"b"}, L"+0+1"},
        {"nothing changed", {L"a", L"b", L"c"}, {L"a", L"b", L"c"}, {L"a", L"b", L"c"}, L"=0=1=2"},
        {"two identical records show once", {}, {L"a", L"b", L"b"}, {L"a", L"b"}, L"+0+1"},
        {"duplicate rows collapse", {L"a", L"a"}, {L"a"}, {L"a"}, L"-1=0"},
        {"middle of three removed", {L"a", L"b", L"c"}, {L"a", L"c"}, {L"a", L"c"}, L"-1=0=1"},
        {"insert and delete, equal counts",
         {L"a", L"b", L"c"},
         {L"a", L"x", L"c"},
         {L"a", L"x", L"c"},
         L"-1=0+1=2"},
        {"new record in the middle",
         {L"a", L"c"},
         {L"a", L"b", L"c"},
         {L"a", L"b", L"c"},
         L"=0+1=2"},
        {"moved record re-inserted",
         {L"a", L"b", L"c"},
         {L"c", L"a", L"b"},
         {L"c", L"a", L"b"},
         L"-2+0=1=2"},
        {"all gone", {L"a", L"b"}, {}, {}, L"-1-0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Applied applied = Apply(c.rows, c.records);
        EXPECT_EQ(applied.rows, c.expected);
        EXPECT_EQ(applied.steps, c.steps);
    }
}

TEST(ListSync, IdentityIgnoresCaseAndSurroundingBlanks) {
    EXPECT_EQ(IdentityKey({L" Tray ", L"C:\\A.EXE", L"Registry"}),
              IdentityKey({L"tray", L"c:\\a.exe  ", L"registry"}));
    EXPECT_NE(IdentityKey({L"ab", L"c"}), IdentityKey({L"a", L"bc"}));
}

} // namespace
} // namespace mdr
