// The splitter gadget. Its state lives in a small record attached to the window; layout is
// redone on every size change so the panes always fill it.
#include "common/splitter.h"

#include <algorithm>
#include <memory>

#include "common/trace.h"
#include "common/window.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {

int ClampSplitterPosition(int position, int total, int barSize, int minFirst, int minSecond) {
    const int upper = total - barSize - minSecond;
    position = std::min(position, upper);
    return std::max(position, minFirst);
}

namespace {

constexpr wchar_t kSplitterClass[] = L"MDR_Splitter";
constexpr int kBarSize = 6;

struct SplitterState {
    bool vertical = true;
    bool keepSecond = false;
    bool fixed = false; // no divider: nothing to draw or drag
    HWND first = nullptr;
    HWND second = nullptr;
    int minFirst = 0;
    int minSecond = 0;
    int position = 0; // size of the first pane
    int lastTotal = -1;
    bool dragging = false;
    int dragOffset = 0; // cursor position within the bar when the drag began
};

SplitterState* StateOf(HWND w) {
    return BoundContext<SplitterState>(w);
}

int BarOf(const SplitterState& s) {
    return s.fixed ? 0 : kBarSize;
}

int TotalOf(HWND w, const SplitterState& s) {
    RECT rc{};
    GetClientRect(w, &rc);
    return s.vertical ? rc.right : rc.bottom;
}

void Layout(HWND w, SplitterState& s) {
    RECT rc{};
    GetClientRect(w, &rc);
    const int total = s.vertical ? rc.right : rc.bottom;
    if (s.keepSecond && s.lastTotal >= 0) s.position += total - s.lastTotal;
    s.lastTotal = total;
    const int bar = BarOf(s);
    s.position = ClampSplitterPosition(s.position, total, bar, s.minFirst, s.minSecond);
    const int rest = std::max(0, total - s.position - bar);
    HDWP dwp = BeginDeferWindowPos(2);
    if (s.vertical) {
        if (s.first)
            dwp = DeferWindowPos(dwp, s.first, nullptr, 0, 0, s.position, rc.bottom,
                                 SWP_NOZORDER | SWP_NOACTIVATE);
        if (s.second)
            dwp = DeferWindowPos(dwp, s.second, nullptr, s.position + bar, 0, rest, rc.bottom,
                                 SWP_NOZORDER | SWP_NOACTIVATE);
    } else {
        if (s.first)
            dwp = DeferWindowPos(dwp, s.first, nullptr, 0, 0, rc.right, s.position,
                                 SWP_NOZORDER | SWP_NOACTIVATE);
        if (s.second)
            dwp = DeferWindowPos(dwp, s.second, nullptr, 0, s.position + bar, rc.right, rest,
                                 SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (dwp) EndDeferWindowPos(dwp);
    InvalidateRect(w, nullptr, TRUE);
}

int CursorAlong(const SplitterState& s, LPARAM lp) {
    return s.vertical ? static_cast<short>(LOWORD(lp)) : static_cast<short>(HIWORD(lp));
}

void PaintBar(HWND w, const SplitterState& s) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(w, &ps);
    RECT rc{};
    GetClientRect(w, &rc);
    RECT bar = rc;
    if (s.vertical) {
        bar.left = s.position;
        bar.right = s.position + kBarSize;
    } else {
        bar.top = s.position;
        bar.bottom = s.position + kBarSize;
    }
    FillRect(dc, &bar, GetSysColorBrush(COLOR_BTNFACE));
    // A row of grip dots in the middle of the bar.
    HBRUSH dots = GetSysColorBrush(COLOR_BTNSHADOW);
    const int mid = s.vertical ? (rc.bottom / 2) : (rc.right / 2);
    for (int i = -2; i <= 2; ++i) {
        RECT dot;
        if (s.vertical) {
            dot = {bar.left + 2, mid + i * 4, bar.left + 4, mid + i * 4 + 2};
        } else {
            dot = {mid + i * 4, bar.top + 2, mid + i * 4 + 2, bar.top + 4};
        }
        FillRect(dc, &dot, dots);
    }
    EndPaint(w, &ps);
}

LRESULT CALLBACK SplitterProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    SplitterState* s = WindowContext<SplitterState>(w, msg, lp);
    switch (msg) {
    case WM_NCDESTROY:
        delete s;
        SetWindowLongPtrW(w, GWLP_USERDATA, 0);
        break;
    case WM_SIZE:
        if (s) Layout(w, *s);
        return 0;
    case WM_PAINT:
        if (s && !s->fixed) {
            PaintBar(w, *s);
            return 0;
        }
        break;
    case WM_ERASEBKGND:
        return 1; // the panes cover everything but the bar, which WM_PAINT fills
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wp) == w && LOWORD(lp) == HTCLIENT && s && !s->fixed) {
            SetCursor(LoadCursorW(nullptr, s->vertical ? IDC_SIZEWE : IDC_SIZENS));
            return TRUE;
        }
        break;
    case WM_LBUTTONDOWN:
        if (s && !s->fixed) {
            s->dragging = true;
            s->dragOffset = CursorAlong(*s, lp) - s->position;
            SetCapture(w);
        }
        return 0;
    case WM_MOUSEMOVE:
        if (s && s->dragging) {
            const int wanted = CursorAlong(*s, lp) - s->dragOffset;
            const int clamped =
                ClampSplitterPosition(wanted, TotalOf(w, *s), BarOf(*s), s->minFirst, s->minSecond);
            if (clamped != s->position) {
                s->position = clamped;
                Layout(w, *s);
                UpdateWindow(w);
            }
        }
        return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
        if (s && s->dragging) {
            s->dragging = false;
            if (msg == WM_LBUTTONUP) ReleaseCapture();
        }
        return 0;
    // The panes talk to the window that owns the splitter.
    case WM_NOTIFY:
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CONTEXTMENU:
        return SendMessageW(GetParent(w), msg, wp, lp);
    default:
        break;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

void RegisterSplitterClass() {
    RegisterWindowClass(
        {kSplitterClass, SplitterProc, CS_HREDRAW | CS_VREDRAW, IDC_ARROW, nullptr});
}

} // namespace

HWND CreateSplitter(HWND parent, int id, SplitterPanes panes, HWND first, HWND second, Place place,
                    SplitterKeeps keeps) {
    MDR_HERE();
    RegisterSplitterClass();
    auto state = std::make_unique<SplitterState>();
    state->vertical = panes == SplitterPanes::SideBySide;
    state->keepSecond = keeps == SplitterKeeps::SecondSize;
    state->fixed = keeps == SplitterKeeps::FirstFixed;
    state->first = first;
    state->second = second;
    state->position = (state->vertical ? place.width : place.height) / 2;
    // A control parent, so that Tab walks into the panes.
    HWND w = CreateWindowExW(WS_EX_CONTROLPARENT, kSplitterClass, L"",
                             WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, place.x,
                             place.y, place.width, place.height, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             GetModuleHandleW(nullptr), state.get());
    if (!w) return nullptr;
    state.release(); // owned by the window now; freed on WM_NCDESTROY
    if (first) SetParent(first, w);
    if (second) SetParent(second, w);
    Layout(w, *StateOf(w));
    return w;
}

void SetSplitterMinimums(HWND splitter, int minFirst, int minSecond) {
    if (SplitterState* s = StateOf(splitter)) {
        s->minFirst = minFirst;
        s->minSecond = minSecond;
        Layout(splitter, *s);
    }
}

void SetSplitterPosition(HWND splitter, int position) {
    if (SplitterState* s = StateOf(splitter)) {
        s->position = position;
        s->lastTotal = -1; // the next layout takes the position as given
        Layout(splitter, *s);
    }
}

int GetSplitterPosition(HWND splitter) {
    const SplitterState* s = StateOf(splitter);
    return s ? s->position : 0;
}

} // namespace mdr
