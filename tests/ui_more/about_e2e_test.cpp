// The About window of the real MDR.exe: the themed text box in its frame (the window's texts
// are the about text tests').
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/text.h"
#include "tests/support/mdr_fixtures.h"
#include "ui/command_ids.h"

namespace mdr::driver {
namespace {

constexpr wchar_t kThemeKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager";

class AboutTest : public MdrTest {};

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

// Themed: the box sits in its frame instead of a sunken edge (the decision is the about text
// tests').
TEST_F(AboutTest, TextBoxIsFramedWithThemes) {
    ThemeSwitch theme;
    theme.Set(L"1");
    Gadgets g = Start(L"", ConfigValues{});
    ASSERT_TRUE(g.main);
    PostCommand(g.main, mdr::kCmdAbout);
    HWND about = WaitForWindow(pid_, WindowQuery::Titled(T(130) + L" Veltrane Mendora"));
    ASSERT_NE(about, nullptr);
    HWND text = FindDescendant(about, L"Edit", 51);
    ASSERT_NE(text, nullptr);
    EXPECT_FALSE(GetWindowLongPtrW(text, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_NE(GetParent(text), about) << "the box sits in its frame";
    PressButton(about, 53);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }, 5000));
    Exit(g);
}

} // namespace
} // namespace mdr::driver
