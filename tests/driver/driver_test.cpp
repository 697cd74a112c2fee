// The driver against a window of another process whose contents are known (driver_target).
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <string>

#include "tests/driver/driver.h"

using namespace mdr::driver;

namespace {

class DriverSelfTest : public DriverTest {
  protected:
    void SetUp() override {
        target_ = &Launch(BuildDir() + L"tests\\driver_target.exe");
        ASSERT_TRUE(target_->Started());
        window_ = WaitForWindow(target_->Pid(), WindowQuery::Titled(L"Driver Target"));
        ASSERT_NE(window_, nullptr);
    }
    Process* target_ = nullptr;
    HWND window_ = nullptr;
};

TEST_F(DriverSelfTest, FindsWindowsAndControls) {
    EXPECT_EQ(ClassOf(window_), L"MDRDriverTarget");
    EXPECT_EQ(GetText(window_), L"Driver Target");
    EXPECT_TRUE(TopLevelWindows(target_->Pid(), WindowQuery::OfClass(L"mdrdrivertarget")).size() ==
                1u);
    EXPECT_TRUE(TopLevelWindows(target_->Pid(), WindowQuery::Titled(L"Other")).empty());
    EXPECT_EQ(WaitForWindow(target_->Pid(), WindowQuery::Titled(L"Nothing"), 100), nullptr);
    HWND list = FindDescendant(window_, WC_LISTVIEWW);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ControlId(list), 100);
    EXPECT_EQ(FindDescendant(window_, L"", 101), FindDescendant(window_, WC_TREEVIEWW));
    EXPECT_EQ(FindDescendant(window_, L"Edit", 999), nullptr);
    // The list view's header is a grandchild of the window.
    EXPECT_NE(FindDescendant(window_, L"SysHeader32"), nullptr);
    EXPECT_EQ(GetText(FindDescendant(window_, L"Edit")), L"edit text\r\nline 2");
}

TEST_F(DriverSelfTest, ReadsAndChangesAListView) {
    HWND list = FindDescendant(window_, WC_LISTVIEWW, 100);
    ListViewContent content = ReadListView(list);
    EXPECT_EQ(content.columnTitles, (std::vector<std::wstring>{L"Key", L"Value", L"Data"}));
    EXPECT_EQ(content.columnWidths, (std::vector<int>{120, 80, 60}));
    ASSERT_EQ(content.rows.size(), 3u);
    EXPECT_EQ(content.rows[0].cells,
              (std::vector<std::wstring>{L"HKEY_CURRENT_USER", L"(Default)", L"\u00E9t\u00E9"}));
    EXPECT_EQ(content.rows[1].cells[2], L"");
    EXPECT_FALSE(content.rows[0].checked);
    EXPECT_TRUE(content.rows[1].checked);
    EXPECT_EQ(content.rows[2].data, 33);

    ASSERT_TRUE(SetListViewCheck(list, 0, true));
    ASSERT_TRUE(SetListViewCheck(list, 1, false));
    ASSERT_TRUE(SelectListViewRow(list, 2));
    content = ReadListView(list);
    EXPECT_TRUE(content.rows[0].checked);
    EXPECT_FALSE(content.rows[1].checked);
    EXPECT_TRUE(content.rows[2].selected);
    EXPECT_EQ(ListViewCount(list), 3);
}

TEST_F(DriverSelfTest, ReadsAndChangesATreeView) {
    HWND tree = FindDescendant(window_, WC_TREEVIEWW);
    std::vector<TreeItem> items = ReadTreeView(tree);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].text, L"Root");
    EXPECT_EQ(items[0].level, 0);
    EXPECT_TRUE(items[0].expanded);
    EXPECT_EQ(items[1].text, L"First");
    EXPECT_EQ(items[1].level, 1);
    EXPECT_TRUE(items[1].checked);
    EXPECT_EQ(items[2].text, L"Second");
    EXPECT_FALSE(items[2].checked);
    EXPECT_EQ(items[2].stateImage, 1);
    EXPECT_EQ(items[2].data, 2);

    ASSERT_TRUE(SetTreeCheck(tree, items[2].handle, true));
    EXPECT_TRUE(ReadTreeView(tree)[2].checked);
}

TEST_F(DriverSelfTest, ReadsAStatusBar) {
    HWND status = FindDescendant(window_, STATUSCLASSNAMEW);
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(StatusBarParts(status), 2);
    EXPECT_EQ(ReadStatusBarPart(status, 0), L"left part");
    EXPECT_EQ(ReadStatusBarPart(status, 1), L"right part");
}

TEST_F(DriverSelfTest, AnswersAMessageBox) {
    ASSERT_TRUE(PostCommand(window_, 200));
    auto box = WaitForMessageBox(target_->Pid());
    ASSERT_TRUE(box);
    EXPECT_EQ(box->title, L"Please confirm");
    EXPECT_EQ(box->text, L"Do you want to go on?");
    EXPECT_EQ(box->buttons.size(), 2u);
    EXPECT_TRUE(box->hasIcon);
    ASSERT_TRUE(PressButton(box->window, IDYES));
    HWND edit = FindDescendant(window_, L"Edit");
    EXPECT_TRUE(WaitUntil([&] { return GetText(edit) == L"yes"; }));

    ASSERT_TRUE(PostCommand(window_, 200));
    box = WaitForMessageBox(target_->Pid());
    ASSERT_TRUE(box);
    ASSERT_TRUE(PressButtonByText(box->window, L"no"));
    EXPECT_TRUE(WaitUntil([&] { return GetText(edit) == L"no"; }));
    EXPECT_TRUE(WaitForNoWindow(target_->Pid(), WindowQuery::OfClass(L"#32770")));
}

TEST_F(DriverSelfTest, WaitsForExitAndKillsWhatItStarted) {
    ASSERT_TRUE(PostClose(window_));
    DWORD code = 0;
    ASSERT_TRUE(target_->WaitExit(kDefaultTimeout, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_FALSE(target_->Running());

    Process& other = Launch(BuildDir() + L"tests\\driver_target.exe");
    ASSERT_NE(WaitForWindow(other.Pid(), WindowQuery::Titled(L"Driver Target")), nullptr);
    EXPECT_FALSE(other.WaitExit(50));
    other.Kill();
    EXPECT_FALSE(other.Running());
}

TEST_F(DriverSelfTest, SavesAScreenshot) {
    std::wstring path = ScreenshotPath(L"driver_self_test");
    ASSERT_TRUE(SaveScreenshot(path));
    std::string bytes = ReadFileBytes(path);
    DeleteFileW(path.c_str());
    ASSERT_GT(bytes.size(), 54u);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    const size_t stride = ((static_cast<size_t>(width) * 3 + 3) / 4) * 4;
    EXPECT_EQ(bytes.size(), 54 + stride * height);
}

TEST(DriverPaths, WinePathsAndFolders) {
    EXPECT_EQ(WinePath("/work/main/build/dist"), L"Z:\\work\\main\\build\\dist");
    EXPECT_EQ(DistDir().back(), L'\\');
    EXPECT_TRUE(mdr::driver::FileExists(BuildDir() + L"tests\\driver_target.exe"));
    std::wstring folder = MakeTempDir(L"mdr_driver");
    ASSERT_FALSE(folder.empty());
    ASSERT_TRUE(WriteFileBytes(folder + L"a.txt", "abc"));
    CreateDirectoryW((folder + L"sub").c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(folder + L"sub\\b.txt", "b"));
    std::wstring copy = MakeTempDir(L"mdr_driver_copy");
    EXPECT_TRUE(CopyTree(folder, copy));
    EXPECT_EQ(ReadFileBytes(copy + L"sub\\b.txt"), "b");
    EXPECT_TRUE(RemoveTree(folder));
    EXPECT_TRUE(RemoveTree(copy));
    EXPECT_EQ(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(SettingsDir().find(L"Application Data\\Veltrane\\Veltrane Mendora\\") !=
                std::wstring::npos);
}

} // namespace
