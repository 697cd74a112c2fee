// Keeping list rows in step with a scan, by identity.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "tools/frame/list_sync.h"

namespace mdr {
namespace {
// Applies the steps to rows of keys: the rows afterwards, and the steps written as "-row",
// "=row", "+row" in order. A kept row must already show its record.
std::pair<std::vector<std::wstring>, std::wstring> Apply(std::vector<std::wstring> rows,
                                                         const std::vector<std::wstring>& records) {
    std::wstring steps;
    for (const ListSyncStep& s : PlanListSync(rows, records)) {
        steps += L"-=+"[s.kind] + std::to_wstring(s.row);
        if (s.kind == ListSyncStep::Remove)
            rows.erase(rows.begin() + s.row);
        else if (s.kind == ListSyncStep::Insert)
            rows.insert(rows.begin() + s.row, records.at(size_t(s.record)));
        else
            EXPECT_EQ(rows.at(size_t(s.row)), records.at(size_t(s.record)))
                << "a kept row shows another record";
    }
    return {rows, steps};
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
        {"all gone", {L"a", L"b"}, {}, {}, L"-1-0"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Apply(c.rows, c.records), std::pair(c.expected, c.steps));
    }
}

TEST(ListSync, IdentityIgnoresCaseAndSurroundingBlanks) {
    EXPECT_EQ(IdentityKey({L" Tray ", L"C:\\A.EXE", L"Registry"}),
              IdentityKey({L"tray", L"c:\\a.exe  ", L"registry"}));
    EXPECT_NE(IdentityKey({L"ab", L"c"}), IdentityKey({L"a", L"bc"}));
}
} // namespace
} // namespace mdr
