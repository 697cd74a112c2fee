// The tools' lists as people work with them: a sorted and filtered list kept in step by
// identity on a real list view, the layout file read back or left at defaults, the placement
// clamp, and the texts of a command run on several rows.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <algorithm>
#include "common/window.h"
#include "tools/frame/batch_text.h"
#include "tools/frame/report_list.h"
#include "tools/frame/tool_layout.h"

namespace mdr {
namespace {
class SortedListTest : public testing::Test {
  protected:
    void SetUp() override {
        window_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                                  nullptr, nullptr);
        list_.Attach(
            CreateToolList(window_, 1, {0, 0, 400, 300}, {{L"Name", 100}, {L"Size", 80}}, true),
            nullptr, {ColumnKind::Text, ColumnKind::Size});
    }
    void TearDown() override { DestroyWindow(window_); }
    // "name:id" of each row, in list order, and "*" after selected ones.
    std::wstring Rows() const {
        std::wstring text;
        for (int row = 0; row < RowCount(list_.Handle()); ++row) {
            text += CellText(list_.Handle(), row, 0) + L":" +
                    std::to_wstring(RowId(list_.Handle(), row));
            const auto selected = SelectedRows(list_.Handle());
            if (std::find(selected.begin(), selected.end(), row) != selected.end()) text += L"*";
            text += L" ";
        }
        return text;
    }
    static RowContent Row(const wchar_t* name, const wchar_t* size, uint32_t id) {
        return {name, {name, size}, id};
    }
    HWND window_ = nullptr;
    SyncedList list_;
};

TEST_F(SortedListTest, RowsMoveWithTheSortAndKeepTheirIdsAndSelection) {
    list_.Sync({Row(L"a", L"2.00 MB", 1), Row(L"b", L"Not available", 2), Row(L"c", L"1.00 KB", 3),
                Row(L"d", L"900.00 KB", 4)});
    SelectRow(list_.Handle(), 3);
    list_.SetSort(1, false);
    EXPECT_EQ(Rows(), L"c:3 d:4* a:1 b:2 ");
    list_.ToggleSort(1);
    EXPECT_EQ(Rows(), L"a:1 d:4* c:3 b:2 ");
    // A refresh with nothing changed writes no row; one that adds an entry keeps the sort.
    EXPECT_EQ(list_.Sync({Row(L"a", L"2.00 MB", 1), Row(L"b", L"Not available", 2),
                          Row(L"c", L"1.00 KB", 3), Row(L"d", L"900.00 KB", 4)}),
              0);
    list_.Sync({Row(L"a", L"2.00 MB", 1), Row(L"b", L"Not available", 2), Row(L"c", L"1.00 KB", 3),
                Row(L"d", L"900.00 KB", 4), Row(L"e", L"1.00 MB", 5)});
    EXPECT_EQ(Rows(), L"a:1 e:5 d:4* c:3 b:2 ");
    // A size that changes moves its row, which stays selected.
    list_.Sync({Row(L"a", L"2.00 MB", 1), Row(L"b", L"Not available", 2), Row(L"c", L"1.00 KB", 3),
                Row(L"d", L"3.00 MB", 4), Row(L"e", L"1.00 MB", 5)});
    EXPECT_EQ(Rows(), L"d:4* a:1 e:5 c:3 b:2 ");
    list_.SetSort(-1, false);
    EXPECT_EQ(Rows(), L"a:1 b:2 c:3 d:4* e:5 ");
}

TEST_F(SortedListTest, TheFilterShowsOnlyMatchingRows) {
    list_.Sync({Row(L"Alpha", L"1 B", 1), Row(L"beta", L"2 B", 2), Row(L"ALPINE", L"3 B", 3)});
    list_.SetFilter(L"AlP");
    EXPECT_EQ(Rows(), L"Alpha:1 ALPINE:3 ");
    EXPECT_EQ(list_.ShownCount(), 2u);
    EXPECT_EQ(list_.RecordCount(), 3u);
    SelectAllRows(list_.Handle());
    EXPECT_EQ(Rows(), L"Alpha:1* ALPINE:3* ");
    list_.SetFilter(L"");
    EXPECT_EQ(Rows(), L"Alpha:1* beta:2 ALPINE:3* ");
}

TEST(ToolLayout, WhatMakesSenseIsReadBackTheRestIsDefault) {
    IniFile ini = IniFile::Parse(L"[Layout]\nPlacement=1,10,20,610,420\nSplitter=150\n"
                                 L"Widths=100,80,60\nOrder=2,0,1\nSort=1,1\n");
    ToolLayout layout = ReadToolLayout(ini, 3);
    EXPECT_TRUE(layout.hasPlacement && layout.maximized);
    EXPECT_EQ(layout.normal.right, 610);
    EXPECT_EQ(layout.splitter, 150);
    EXPECT_EQ(layout.widths, (std::vector<int>{100, 80, 60}));
    EXPECT_EQ(layout.order, (std::vector<int>{2, 0, 1}));
    EXPECT_EQ(layout.sortColumn, 1);
    EXPECT_TRUE(layout.descending);
    IniFile written;
    WriteToolLayout(written, layout);
    EXPECT_EQ(written.ToText(), L"[Layout]\r\nPlacement=1,10,20,610,420\r\nSplitter=150\r\n"
                                L"Widths=100,80,60\r\nOrder=2,0,1\r\nSort=1,1\r\n");

    // Wrong counts, a repeated column, nonsense: each part alone falls back.
    layout = ReadToolLayout(IniFile::Parse(L"[Layout]\nPlacement=0,50,50,10,10\nSplitter=x\n"
                                           L"Widths=100,80\nOrder=0,0,1\nSort=3,0\n"),
                            3);
    EXPECT_FALSE(layout.hasPlacement);
    EXPECT_EQ(layout.splitter, -1);
    EXPECT_TRUE(layout.widths.empty());
    EXPECT_TRUE(layout.order.empty());
    EXPECT_EQ(layout.sortColumn, -1);
}

TEST(ToolLayout, APlacementComesBackOntoTheWorkArea) {
    struct Case {
        RECT window, expected;
    };
    const RECT work{0, 0, 1024, 738};
    const Case cases[] = {
        {{100, 100, 700, 500}, {100, 100, 700, 500}},    // inside: unchanged
        {{3000, 200, 3600, 600}, {424, 200, 1024, 600}}, // on a monitor gone to the right
        {{-900, -700, -300, -300}, {0, 0, 600, 400}},    // above and left
        {{50, 100, 2050, 1600}, {0, 0, 1024, 738}},      // larger than the screen
    };
    for (const Case& c : cases) {
        const RECT r = ClampOntoWorkArea(c.window, work);
        EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right, r.bottom}),
                  (std::vector<LONG>{c.expected.left, c.expected.top, c.expected.right,
                                     c.expected.bottom}));
    }
}

TEST(BatchText, OneQuestionAndOneReport) {
    std::vector<std::wstring> names;
    for (int i = 1; i <= 12; ++i)
        names.push_back(L"n" + std::to_wstring(i));
    EXPECT_EQ(BatchQuestion(L"Remove these 2 startup entries?", {L"a", L"b"}),
              L"Remove these 2 startup entries?\r\n\r\na\r\nb");
    EXPECT_TRUE(BatchQuestion(L"Q?", names).ends_with(L"\r\nn10\r\n... and 2 more"));
    EXPECT_EQ(BatchReport(L"Removed", L"startup entries", {{L"a", L""}, {L"b", L""}}),
              L"Removed 2 of 2 startup entries.");
    EXPECT_EQ(BatchReport(L"Deleted", L"services", {{L"a", L""}, {L"b", L"access denied"}}),
              L"Deleted 1 of 2 services.\r\n\r\nFailed:\r\nb: access denied");
}
} // namespace
} // namespace mdr
