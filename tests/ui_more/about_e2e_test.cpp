// The About window of the real MDR.exe: its text with version and memory, its controls, the
// themed text box and its plain form with themes off, and the ways it closes.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/text.h"
#include "tests/ui_more/mdr_session.h"
#include "ui/command_ids.h"
#include "version.h"

namespace mdr::uitest {
namespace {

constexpr wchar_t kThemeKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager";

std::wstring ExpectedText() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    GlobalMemoryStatusEx(&status);
    return L"Veltrane Mendora\r\nA Veltrane product\r\n" + T(128) + L" " + MDR_VERSION_TEXT +
           L"\r\n\r\n" + T(129) + L" " + std::to_wstring(status.ullTotalPhys / 1024 / 1024) +
           L" MB";
}

// Position of a child in its top-level window's client area.
RECT ClientRectOf(HWND child, HWND top) {
    RECT r = WindowRect(child);
    MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

class AboutTest : public MdrSession {
  protected:
    // Opens the About window from the menu and returns it.
    HWND OpenAbout(const Gadgets& g) {
        PostCommand(g.main, mdr::kCmdAbout);
        return WaitForWindow(pid_, WindowQuery::Titled(T(130) + L" Veltrane Mendora"));
    }
};

TEST_F(AboutTest, ShowsProductVersionAndMemoryAndClosesBackToTheMainWindow) {
    Gadgets g = Start(L"", {kSoundsArea});
    ASSERT_TRUE(g.main);
    HWND about = OpenAbout(g);
    ASSERT_NE(about, nullptr) << "no About window";
    EXPECT_EQ(GetText(about), T(130) + L" Veltrane Mendora");
    EXPECT_EQ(ClientSize(about).cx, 467);
    EXPECT_EQ(ClientSize(about).cy, 238);
    EXPECT_FALSE(IsEnabled(g.main)) << "modal";
    const RECT main = WindowRect(g.main);
    const RECT box = WindowRect(about);
    EXPECT_NEAR((box.left + box.right) / 2, (main.left + main.right) / 2, 2) << "centred";
    EXPECT_NEAR((box.top + box.bottom) / 2, (main.top + main.bottom) / 2, 2) << "centred";

    HWND text = FindDescendant(about, L"Edit", 51);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(GetText(text), ExpectedText());
    const LONG_PTR style = GetWindowLongPtrW(text, GWL_STYLE);
    EXPECT_TRUE(style & ES_MULTILINE);
    EXPECT_TRUE(style & ES_READONLY);
    const RECT textRect = ClientRectOf(text, about);
    EXPECT_EQ(textRect.left, 5);
    EXPECT_EQ(textRect.top, 45);
    EXPECT_EQ(textRect.right - textRect.left, 457);
    EXPECT_EQ(textRect.bottom - textRect.top, 154);

    HWND banner = FindDescendant(about, L"Static", 50);
    ASSERT_NE(banner, nullptr);
    EXPECT_NE(Send(banner, STM_GETIMAGE, IMAGE_BITMAP).value_or(0), 0) << "banner picture";
    HWND web = FindDescendant(about, L"Button", 52);
    HWND close = FindDescendant(about, L"Button", 53);
    ASSERT_TRUE(web && close);
    EXPECT_EQ(GetText(web), T(131));
    EXPECT_EQ(GetText(close), T(120));
    EXPECT_EQ(GetWindowLongPtrW(close, GWL_STYLE) & 0x0F, BS_DEFPUSHBUTTON);
    SaveScreenshot(ScreenshotPath(L"about_window"));

    PressButton(about, 53);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }, 5000));
    EXPECT_TRUE(WaitUntil([&] { return IsEnabled(g.main); }, 5000));

    // Closing from the title bar and Escape end it the same way, and it opens again.
    about = OpenAbout(g);
    ASSERT_NE(about, nullptr);
    PostClose(about);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }, 5000));
    about = OpenAbout(g);
    ASSERT_NE(about, nullptr);
    PostMessageW(FindDescendant(about, L"Button", 53), WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }, 5000));
    EXPECT_TRUE(WaitUntil([&] { return IsEnabled(g.main); }, 5000));

    const std::wstring log = LogText();
    EXPECT_NE(log.find(L"AboutWindow()"), std::wstring::npos);
    EXPECT_NE(log.find(L"AboutWindow() -> retn"), std::wstring::npos);
    Exit(g);
}

// Reads the theme switch of the current user and puts it back at the end.
class ThemeSwitch {
  public:
    ThemeSwitch() {
        DWORD size = sizeof(data_);
        had_ = RegGetValueW(HKEY_CURRENT_USER, kThemeKey, L"ThemeActive", RRF_RT_REG_SZ, nullptr,
                            data_, &size) == ERROR_SUCCESS;
    }
    ~ThemeSwitch() {
        if (had_)
            Set(data_);
        else
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kThemeKey, L"ThemeActive");
    }
    void Set(const wchar_t* value) {
        RegSetKeyValueW(HKEY_CURRENT_USER, kThemeKey, L"ThemeActive", REG_SZ, value,
                        static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
    }

  private:
    bool had_ = false;
    wchar_t data_[16] = {};
};

TEST_F(AboutTest, TextBoxIsFramedWithThemesAndSunkenWithout) {
    ThemeSwitch theme;
    for (const wchar_t* active : {L"1", L"0"}) {
        SCOPED_TRACE(Narrow(std::wstring(L"ThemeActive=") + active));
        theme.Set(active);
        Gadgets g = Start(L"", {kSoundsArea});
        ASSERT_TRUE(g.main);
        HWND about = OpenAbout(g);
        ASSERT_NE(about, nullptr);
        HWND text = FindDescendant(about, L"Edit", 51);
        ASSERT_NE(text, nullptr);
        const bool sunken = GetWindowLongPtrW(text, GWL_EXSTYLE) & WS_EX_CLIENTEDGE;
        HWND parent = GetParent(text);
        if (active[0] == L'1') {
            EXPECT_FALSE(sunken);
            ASSERT_NE(parent, about) << "the box sits in its frame";
            const RECT frame = ClientRectOf(parent, about);
            EXPECT_EQ(frame.left, 4);
            EXPECT_EQ(frame.top, 44);
            EXPECT_EQ(frame.right - frame.left, 459);
            EXPECT_EQ(frame.bottom - frame.top, 156);
            // The one-pixel frame shows the button-shadow colour.
            HDC screen = GetDC(nullptr);
            const RECT onScreen = WindowRect(parent);
            const COLORREF edge = GetPixel(screen, onScreen.left, onScreen.top + 20);
            ReleaseDC(nullptr, screen);
            EXPECT_EQ(edge, GetSysColor(COLOR_BTNSHADOW));
        } else {
            EXPECT_TRUE(sunken) << "ordinary sunken border without themes";
            EXPECT_EQ(parent, about);
        }
        PressButton(about, 53);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }, 5000));
        Exit(g);
    }
}

} // namespace
} // namespace mdr::uitest
