// The handle owners and the window kit, against the real Win32 (under Wine).
#include <gtest/gtest.h>

#include <cstdlib>

#include "common/handles.h"
#include "common/window.h"

using namespace mdr;

namespace {

bool IsOpenHandle(HANDLE h) {
    DWORD flags = 0;
    return GetHandleInformation(h, &flags) != FALSE;
}

struct Seen {
    void* atCreate = nullptr;
    int closes = 0;
};

LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Seen* seen = WindowContext<Seen>(window, message, lParam);
    if (message == WM_CREATE && seen) seen->atCreate = seen;
    if (message == WM_CLOSE && seen) {
        ++seen->closes;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

constexpr wchar_t kProbeClass[] = L"MdrWindowKitProbe";

} // namespace

TEST(Handles, OwnersCloseReleaseSpareTheRootsAndPutObjectsBack) {
    HANDLE raw = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        UniqueHandle event(raw);
        ASSERT_TRUE(event);
    }
    EXPECT_FALSE(IsOpenHandle(raw));

    UniqueHandle kept(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HANDLE released = kept.release();
    EXPECT_FALSE(kept);
    EXPECT_TRUE(IsOpenHandle(released));
    CloseHandle(released);

    EXPECT_FALSE(UniqueFile(INVALID_HANDLE_VALUE)); // the file owners' "none"
    { UniqueHkey root(HKEY_CURRENT_USER); }
    UniqueHkey key;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, key.put()), ERROR_SUCCESS);

    // A selected GDI object puts the previous one back.
    const WindowDc screen(nullptr);
    ASSERT_TRUE(screen);
    UniqueHdc dc(CreateCompatibleDC(screen.get()));
    const HGDIOBJ before = GetCurrentObject(dc.get(), OBJ_FONT);
    UniqueHfont font(CreateFontW(-12, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                                 0, 0, L"Arial"));
    {
        const SelectedObject selected(dc.get(), font.get());
        EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_FONT), font.get());
    }
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_FONT), before);
}

TEST(WindowKit, ModalWindowOwnedCentredHiddenAndClosed) {
    ASSERT_TRUE(RegisterWindowClass({kProbeClass, ProbeProc}));
    ASSERT_TRUE(RegisterWindowClass({kProbeClass, ProbeProc})); // once is enough
    HWND owner =
        CreateWindowExW(0, kProbeClass, L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 600,
                        400, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);

    Seen seen;
    HWND modal = CreateModalWindow({kProbeClass, L"modal", 200, 100}, owner, &seen);
    ASSERT_NE(modal, nullptr);
    EXPECT_EQ(seen.atCreate, &seen); // bound before WM_CREATE
    EXPECT_FALSE(IsWindowEnabled(owner));
    EXPECT_FALSE(IsWindowVisible(modal));
    EXPECT_EQ(GetWindow(modal, GW_OWNER), owner);
    EXPECT_NE(FindThreadWindow(kProbeClass), nullptr);
    RECT o{}, m{};
    GetWindowRect(owner, &o);
    GetWindowRect(modal, &m);
    EXPECT_LE(std::abs((o.left + o.right) - (m.left + m.right)), 1);
    EXPECT_LE(std::abs((o.top + o.bottom) - (m.top + m.bottom)), 1);

    HWND button = AddButton(modal, 7, L"OK", {10, 10, 80, 25}, BS_DEFPUSHBUTTON);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(GetDlgCtrlID(button), 7);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0)), DialogFont());

    // The loop dispatches until done; a quit ends it and stays for the loop that owns it.
    ShowModalWindow(modal, button);
    PostMessageW(modal, WM_CLOSE, 0, 0);
    EXPECT_EQ(RunModalLoop(modal, [&] { return seen.closes == 1; }), ModalEnd::Done);
    PostQuitMessage(3);
    EXPECT_EQ(RunModalLoop(modal, [] { return false; }), ModalEnd::Quit);
    MSG msg{};
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);

    CloseModal(modal, owner);
    EXPECT_FALSE(IsWindow(modal));
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}

TEST(WindowKit, CentredRectKeepsInsideItsArea) {
    const RECT area{0, 0, 800, 600};
    const RECT middle = CentredRect(area, area, SIZE{200, 100});
    EXPECT_EQ(std::make_pair(middle.left, middle.top), std::make_pair(300L, 250L));
    const RECT pushed = CentredRect(RECT{700, 500, 800, 600}, area, SIZE{200, 100});
    EXPECT_EQ(std::make_pair(pushed.left, pushed.bottom), std::make_pair(600L, 600L));
    const RECT larger = CentredRect(area, area, SIZE{1000, 700});
    EXPECT_EQ(std::make_pair(larger.left, larger.top), std::make_pair(0L, 0L));
}

TEST(WindowKit, WaitEndsTimedOutStoppedOrSignalledAndHandsOnAQuit) {
    UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    EXPECT_EQ(WaitDispatchingMessages(event.get(), {.timeoutMs = 50}), WaitEnd::TimedOut);
    EXPECT_EQ(WaitDispatchingMessages(event.get(), {.stop = [] { return true; }}),
              WaitEnd::Stopped);
    int quits = 0;
    PostQuitMessage(4);
    WaitDispatchingMessages(event.get(), {.quit = [&] { ++quits; }, .timeoutMs = 50});
    EXPECT_EQ(quits, 1);
    MSG msg{};
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    SetEvent(event.get());
    EXPECT_EQ(WaitDispatchingMessages(event.get()), WaitEnd::Signalled);
}
