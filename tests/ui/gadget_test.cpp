// Real windows under Wine: resize records, the splitter gadget and the results list.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "common/resize.h"
#include "ui/main_ui.h"
#include "ui/results_list.h"
#include "ui/splitter.h"

namespace mdr {
namespace {

// A plain top-level window with an inner size of width x height, hidden.
class TestWindow {
  public:
    TestWindow(int width, int height) {
        static const bool registered = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = DefWindowProcW;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"MdrGadgetTest";
            return RegisterClassW(&wc) != 0;
        }();
        (void)registered;
        RECT rc{0, 0, width, height};
        AdjustWindowRect(&rc, WS_OVERLAPPEDWINDOW, FALSE);
        window_ =
            CreateWindowW(L"MdrGadgetTest", L"test", WS_OVERLAPPEDWINDOW, 0, 0, rc.right - rc.left,
                          rc.bottom - rc.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~TestWindow() { DestroyWindow(window_); }
    HWND get() const { return window_; }
    void SetInnerSize(int width, int height) {
        RECT rc{0, 0, width, height};
        AdjustWindowRect(&rc, WS_OVERLAPPEDWINDOW, FALSE);
        SetWindowPos(window_, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

  private:
    HWND window_ = nullptr;
};

HWND Child(HWND parent, int x, int y, int w, int h) {
    return CreateWindowW(L"STATIC", L"", WS_CHILD | WS_VISIBLE, x, y, w, h, parent, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

RECT BoxIn(HWND gadget) {
    RECT rc{};
    GetWindowRect(gadget, &rc);
    MapWindowPoints(HWND_DESKTOP, GetParent(gadget), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

TEST(ResizeLayoutTest, AnchorsRegisteredGadgetsOfThatWindowOnly) {
    TestWindow window(700, 480);
    TestWindow other(300, 300);
    ASSERT_TRUE(window.get());
    EXPECT_EQ(ResizeLayout(other.get()), -1); // nothing registered for it

    HWND grow = Child(window.get(), 0, 40, 700, 392);
    HWND bottom = Child(window.get(), 5, 441, 690, 15);
    HWND fixed = Child(window.get(), 10, 10, 50, 20);
    RegisterResize(window.get(), grow, 1, 0, 1, 0);
    const int index = RegisterResize(window.get(), bottom, 0, 1, 1, 0);
    EXPECT_GE(index, 1);

    window.SetInnerSize(900, 600);
    EXPECT_EQ(ResizeLayout(window.get()), 1);
    RECT g = BoxIn(grow);
    EXPECT_EQ(g.left, 0);
    EXPECT_EQ(g.top, 40);
    EXPECT_EQ(g.right, 900);
    EXPECT_EQ(g.bottom, 600 - 48);
    RECT b = BoxIn(bottom);
    EXPECT_EQ(b.top, 600 - 39);
    EXPECT_EQ(b.bottom - b.top, 15);
    EXPECT_EQ(b.right, 900 - 5);
    RECT f = BoxIn(fixed);
    EXPECT_EQ(f.left, 10);
    EXPECT_EQ(f.right, 60);

    // A gadget that is gone is skipped, the others still follow.
    DestroyWindow(grow);
    window.SetInnerSize(800, 500);
    EXPECT_EQ(ResizeLayout(window.get()), 1);
    b = BoxIn(bottom);
    EXPECT_EQ(b.top, 500 - 39);
}

TEST(SplitterGadgetTest, HoldsTheDividerWithinTheMinimumsAndFillsItself) {
    TestWindow window(700, 480);
    HWND left = Child(window.get(), 0, 0, 10, 10);
    HWND right = Child(window.get(), 0, 0, 10, 10);
    HWND splitter = CreateSplitter(window.get(), 4, true, left, right, 0, 40, 700, 400, false);
    ASSERT_TRUE(splitter);
    EXPECT_EQ(GetParent(left), splitter);
    EXPECT_EQ(GetParent(right), splitter);
    SetSplitterMinimums(splitter, 190, 200);
    SetSplitterPosition(splitter, 200);
    EXPECT_EQ(GetSplitterPosition(splitter), 200);
    RECT l = BoxIn(left);
    RECT r = BoxIn(right);
    EXPECT_EQ(l.right, 200);
    EXPECT_EQ(l.bottom, 400);
    EXPECT_GT(r.left, l.right);
    EXPECT_EQ(r.right, 700);

    SetSplitterPosition(splitter, 50);
    EXPECT_EQ(GetSplitterPosition(splitter), 190);
    SetSplitterPosition(splitter, 690);
    EXPECT_EQ(GetSplitterPosition(splitter), 494); // 700 - 6 (bar) - 200
    EXPECT_EQ(BoxIn(right).right - BoxIn(right).left, 200);

    // Growing the splitter keeps the first pane's size.
    SetSplitterPosition(splitter, 250);
    MoveWindow(splitter, 0, 40, 900, 400, TRUE);
    EXPECT_EQ(GetSplitterPosition(splitter), 250);
    EXPECT_EQ(BoxIn(right).right, 900);
}

TEST(SplitterGadgetTest, SecondPaneCanKeepItsSize) {
    TestWindow window(700, 480);
    HWND top = Child(window.get(), 0, 0, 10, 10);
    HWND bottom = Child(window.get(), 0, 0, 10, 10);
    HWND splitter = CreateSplitter(window.get(), 2, false, top, bottom, 0, 0, 500, 400, true);
    ASSERT_TRUE(splitter);
    SetSplitterMinimums(splitter, 80, 80);
    SetSplitterPosition(splitter, 300);
    const int bottomHeight = BoxIn(bottom).bottom - BoxIn(bottom).top;
    MoveWindow(splitter, 0, 0, 500, 600, TRUE);
    EXPECT_EQ(GetSplitterPosition(splitter), 500);
    EXPECT_EQ(BoxIn(bottom).bottom - BoxIn(bottom).top, bottomHeight);
    // Shrinking stops at the first pane's minimum.
    MoveWindow(splitter, 0, 0, 500, 100, TRUE);
    EXPECT_EQ(GetSplitterPosition(splitter), 80);
}

} // namespace
} // namespace mdr

// ---- Results list drawing (in this process, so its pixels can be read) -------------------------

namespace mdr {
namespace {

LRESULT CALLBACK ListParentProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lp)->hwndFrom == Ui().list) {
        LRESULT result = 0;
        if (OnResultsListNotify(reinterpret_cast<NMHDR*>(lp), &result)) return result;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

ResultRow MakeRow(uint32_t id) {
    ResultRow row;
    row.columns[0] = L"HKEY_LOCAL_MACHINE";
    row.columns[1] = L"Software\\Row" + std::to_wstring(id);
    row.columns[2] = L"(Default)";
    row.columns[3] = L"data";
    row.columns[4] = L"Fonts";
    row.image = 7;
    row.id = id;
    return row;
}

// The colour a row is drawn with, near the right end of its last column (where no text is).
COLORREF DrawnRowColor(HWND list, int row) {
    RECT client{};
    GetClientRect(list, &client);
    HDC screen = GetDC(list);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ old = SelectObject(mem, bitmap);
    SendMessageW(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem), PRF_CLIENT | PRF_ERASEBKGND);
    RECT rc{};
    ListView_GetItemRect(list, row, &rc, LVIR_BOUNDS);
    int right = 0;
    for (int c = 0; c < 5; ++c)
        right += ListView_GetColumnWidth(list, c);
    const LONG x = std::min<LONG>(std::min<LONG>(rc.right, right), client.right) - 4;
    const COLORREF color = GetPixel(mem, x, (rc.top + rc.bottom) / 2);
    SelectObject(mem, old);
    DeleteObject(bitmap);
    DeleteDC(mem);
    ReleaseDC(list, screen);
    return color;
}

TEST(ResultsListTest, ColouredRowsKeepTheirColourWhenRowsGo) {
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ListParentProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"MdrListTest";
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
    HWND parent = CreateWindowW(L"MdrListTest", L"list", WS_OVERLAPPEDWINDOW, 0, 0, 900, 300,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(parent);
    MainUi& ui = Ui();
    ui.list = CreateResultsList(parent);
    ASSERT_TRUE(ui.list);
    MoveWindow(ui.list, 0, 0, 880, 250, FALSE);
    AddResultColumns();
    for (uint32_t id = 1; id <= 4; ++id)
        AppendResultRow(MakeRow(id), L"description");
    ASSERT_EQ(ResultRowCount(), 4);
    const COLORREF highlight = RGB(250, 200, 40);
    SetResultRowColor(0, highlight);
    SetResultRowColor(2, highlight);
    EXPECT_EQ(DrawnRowColor(ui.list, 0), highlight);
    EXPECT_NE(DrawnRowColor(ui.list, 1), highlight);
    EXPECT_EQ(DrawnRowColor(ui.list, 2), highlight);
    EXPECT_NE(DrawnRowColor(ui.list, 3), highlight);

    // Removing row 0: the rows move up and take their colours with them.
    RemoveResultRow(0);
    EXPECT_EQ(ResultRowId(0), 2u);
    EXPECT_NE(DrawnRowColor(ui.list, 0), highlight);
    EXPECT_EQ(DrawnRowColor(ui.list, 1), highlight);
    EXPECT_EQ(ResultRowColor(0), CLR_NONE);
    EXPECT_EQ(ResultRowColor(1), highlight);
    EXPECT_EQ(ResultRowColor(7), CLR_NONE);

    // Checking keeps the other state bits (the selection here).
    SelectResultRow(1);
    CheckResultRow(1);
    EXPECT_TRUE(IsResultRowChecked(1));
    EXPECT_EQ(SelectedResultRow(), 1);
    EXPECT_FALSE(IsResultRowChecked(0));

    ClearResultRows();
    EXPECT_EQ(ResultRowCount(), 0);
    DestroyWindow(parent);
    ui = MainUi{};
}

} // namespace
} // namespace mdr
