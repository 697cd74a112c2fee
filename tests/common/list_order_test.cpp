// The order and filter of the report lists: each column kind compares by value, cells without
// one last; the filter matches any cell, ignoring case.
#include <gtest/gtest.h>
#include "common/list_order.h"

namespace mdr {
namespace {
int Sign(int v) {
    return (v > 0) - (v < 0);
}

TEST(ListOrder, EachColumnKindComparesByValue) {
    struct Case {
        ColumnKind kind;
        const wchar_t *a, *b;
        int expected;
    };
    const Case cases[] = {
        {ColumnKind::Size, L"9.50 MB", L"10.00 MB", -1},
        {ColumnKind::Size, L"900.00 KB", L"1.00 MB", -1},
        {ColumnKind::Size, L"2.00 MB (registry)", L"3.00 KB (measured)", 1},
        {ColumnKind::Size, L"1023 B", L"1.00 KB", -1},
        {ColumnKind::Size, L"2.00 GB", L"Not available", -1},
        {ColumnKind::Size, L"Not available", L"1 B", 1},
        {ColumnKind::Size, L"3.00 KB", L"3.00 KB", 0},
        {ColumnKind::Date, L"2009/05/17", L"2010/01/02", -1},
        {ColumnKind::Date, L"17/05/2009", L"02/01/2010", -1},
        {ColumnKind::Date, L"2009/05/18", L"17/05/2009", 1},
        {ColumnKind::Date, L"Not specified", L"2001/01/01", 1},
        {ColumnKind::Number, L"  812", L" 1024", -1},
        {ColumnKind::Number, L"56K", L"1200K", -1},
        {ColumnKind::Number, L"9.5%", L"10%", -1},
        {ColumnKind::Number, L"", L"0", 1},
        {ColumnKind::Number, L"999 K", L"1,000 K", -1},
        {ColumnKind::Number, L"1,234,567 K", L"1,234 K", 1},
        {ColumnKind::Text, L"alpha", L"BETA", -1},
        {ColumnKind::Text, L"Gamma", L"gamma", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Sign(CompareCells(c.kind, c.a, c.b)), c.expected)
            << static_cast<int>(c.kind) << " " << testing::PrintToString(std::wstring(c.a))
            << " vs " << testing::PrintToString(std::wstring(c.b));
}

TEST(ListOrder, SortIsStableAndKeepsCellsWithoutValueLast) {
    const std::vector<std::wstring> rows[] = {{L"a", L"2.00 MB"},
                                              {L"b", L"Not available"},
                                              {L"c", L"1.00 KB"},
                                              {L"d", L"900.00 KB"},
                                              {L"e", L"1.00 KB"}};
    std::vector<const std::vector<std::wstring>*> cells;
    for (const auto& row : rows)
        cells.push_back(&row);
    EXPECT_EQ(SortedRowOrder(cells, 1, ColumnKind::Size, false),
              (std::vector<size_t>{2, 4, 3, 0, 1}));
    EXPECT_EQ(SortedRowOrder(cells, 1, ColumnKind::Size, true),
              (std::vector<size_t>{0, 3, 2, 4, 1}));
    EXPECT_EQ(SortedRowOrder(cells, 0, ColumnKind::Text, true),
              (std::vector<size_t>{4, 3, 2, 1, 0}));
}

TEST(ListOrder, FilterMatchesAnyCellIgnoringCase) {
    struct Case {
        const wchar_t* filter;
        bool expected;
    };
    const std::vector<std::wstring> row = {L"Veltrane Agent", L"C:\\Tools\\Agent.EXE", L"Running"};
    const Case cases[] = {{L"", true},        {L"agent", true},    {L"tools\\agent.exe", true},
                          {L"running", true}, {L"stopped", false}, {L"agent running", false}};
    for (const Case& c : cases)
        EXPECT_EQ(RowMatchesFilter(row, c.filter), c.expected)
            << testing::PrintToString(std::wstring(c.filter));
}
} // namespace
} // namespace mdr
