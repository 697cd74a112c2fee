#include "app/plain_window.h"

#include <windows.h>

#include "app/settings.h"
#include "common/trace.h"
#include "resource_ids.h"
#include "version.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {
namespace {

constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW;
constexpr int kMaximizedState = 16777216;

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        Flags().quitRequested = true;
        return 0;
    case WM_GETMINMAXINFO:
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = POINT{600, 400};
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Outer size of a window whose client area is width x height.
SIZE FrameSize(int width, int height) {
    RECT r{0, 0, width, height};
    AdjustWindowRectEx(&r, kStyle, FALSE, 0);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

// Position (outer top-left) and client size of the window as it is, or as it will be when
// restored from maximized, so that the next start opens it where the user left it.
void StoreWindowState(HWND window) {
    MDR_HERE();
    AppSettings& s = Settings();
    if (IsIconic(window)) {
        Flags().minimizedAtExit = true;
        return;
    }
    Flags().minimizedAtExit = false;
    RECT outer{};
    if (IsZoomed(window)) {
        WINDOWPLACEMENT placement{};
        placement.length = sizeof(placement);
        GetWindowPlacement(window, &placement);
        outer = placement.rcNormalPosition;
        s.MainWinState = kMaximizedState;
    } else {
        GetWindowRect(window, &outer);
        s.MainWinState = 0;
    }
    const SIZE frame = FrameSize(0, 0);
    s.MainWinX = outer.left;
    s.MainWinY = outer.top;
    s.MainWinWidth = (outer.right - outer.left) - frame.cx;
    s.MainWinHeight = (outer.bottom - outer.top) - frame.cy;
}

} // namespace

int RunPlainWindow() {
    MDR_HERE();
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = PlainWindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
    wc.hIconSm = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kPlainWindowClass;
    RegisterClassExW(&wc);

    const AppSettings& s = Settings();
    const SIZE outer = FrameSize(s.MainWinWidth, s.MainWinHeight);
    HWND window = CreateWindowExW(
        0, kPlainWindowClass, L"Veltrane Registry Cleaner " MDR_VERSION_TEXT, kStyle, s.MainWinX,
        s.MainWinY, outer.cx, outer.cy, nullptr, nullptr, instance, nullptr);
    if (!window) return 0;

    if (Flags().cmdMinimized) {
        ShowWindow(window, SW_SHOWMINNOACTIVE);
    } else {
        const bool maximized = s.MainWinState == kMaximizedState || s.MainWinState == 1;
        ShowWindow(window, maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    }
    UpdateWindow(window);
    // Nothing can be found without a scan, so "-warnordie" asks to quit straight away.
    if (Flags().cmdWarnOrDie) Flags().quitRequested = true;

    MSG msg;
    while (!Flags().quitRequested && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    StoreWindowState(window);
    DestroyWindow(window);
    return 1;
}

} // namespace mdr
