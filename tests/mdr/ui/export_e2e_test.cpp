// Export of the error list through the real MDR.exe: a scan over a planted broken entry, the
// save dialog typed into, and the file's header, count and record (the layout line by line is
// the export text test's); and the About window's themed text box.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "tests/support/mdr_fixtures.h"
#include "mdr/ui/command_ids.h"

namespace mdr::driver {
namespace {

constexpr int kSoundsArea = 16;
constexpr wchar_t kSoundApp[] = L"AppEvents\\Schemes\\Apps\\MdrKExport";
constexpr wchar_t kSoundKey[] = L"AppEvents\\Schemes\\Apps\\MdrKExport\\MdrKEvent\\.Current";

class ExportTest : public MdrTest {
  protected:
    void SetUp() override {
        MdrTest::SetUp();
        folder_ = MakeTempDir(L"mdrk_export");
        SetString(HKEY_CURRENT_USER, kSoundKey, L"", L"C:\\MdrKMissing\\ding.wav");
    }
    void CleanUp() override {
        DeleteTree(HKEY_CURRENT_USER, kSoundApp);
        RemoveTree(folder_);
    }

    std::wstring folder_;
};

TEST_F(ExportTest, WritesHeaderCountAndRecord) {
    Gadgets g = Start(L"-scan", Ticking({kSoundsArea}));
    ASSERT_TRUE(g.main && g.list);
    ASSERT_TRUE(WaitForScanEnd(g)) << Narrow(ReadStatusBarPart(g.status, 0));
    ASSERT_EQ(ListViewCount(g.list), 1) << "the planted sound alone";

    PostCommand(g.main, mdr::kCmdExport);
    ASSERT_TRUE(AnswerFileDialog(pid_, T(Text::ExportItem), folder_ + L"errors"));
    // The records are written 100 ms apart behind a progress window.
    auto done = WaitForMessageBox(pid_, 20000);
    ASSERT_TRUE(done.has_value());
    EXPECT_EQ(done->text, T(Text::ExportDoneText));
    PressButton(done->window, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(g.main); }));

    // ".txt" was added to the typed name.
    const std::string file = ReadFileBytes(folder_ + L"errors.txt");
    const std::string rule(69, '-');
    EXPECT_EQ(file.rfind(rule + "\r\nMDR Error List Export\r\n", 0), 0u) << file;
    EXPECT_NE(file.find("\r\nTotal detected errors: 1\r\n"), std::string::npos) << file;
    EXPECT_NE(file.find("Root key: HKEY_CURRENT_USER\r\n"
                        "Subkey: AppEvents\\Schemes\\Apps\\MdrKExport\\MdrKEvent\\.Current\r\n"
                        "Value name: (Default)\r\n"
                        "Value data: C:\\MdrKMissing\\ding.wav\r\n"
                        "Category: Sounds\r\n"
                        "Safety: Unsafe\r\n"),
              std::string::npos)
        << file;
    Exit(g);
}

constexpr wchar_t kThemeKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager";

// The theme switch of the current user, put back at the end.
class AboutTest : public MdrTest {
  protected:
    void CleanUp() override {
        if (hadTheme_)
            SetString(HKEY_CURRENT_USER, kThemeKey, L"ThemeActive", theme_);
        else
            DeleteValue(HKEY_CURRENT_USER, kThemeKey, L"ThemeActive");
    }
    const bool hadTheme_ = ValueExists(HKEY_CURRENT_USER, kThemeKey, L"ThemeActive");
    const std::wstring theme_ = ReadString(HKEY_CURRENT_USER, kThemeKey, L"ThemeActive");
};

// Themed, the box sits in its frame instead of a sunken edge (the decision and the texts are
// the about text tests').
TEST_F(AboutTest, TextBoxIsFramedWithThemes) {
    SetString(HKEY_CURRENT_USER, kThemeKey, L"ThemeActive", L"1");
    Gadgets g = Start(L"", ConfigValues{});
    ASSERT_TRUE(g.main);
    PostCommand(g.main, mdr::kCmdAbout);
    HWND about =
        WaitForWindow(pid_, WindowQuery::Titled(T(Text::AboutTitle) + L" Veltrane Mendora"));
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
