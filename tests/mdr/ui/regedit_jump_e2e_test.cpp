// Jump to key through the real MDR.exe and Wine's real registry editor: rows of a scan over
// planted entries are opened in the editor, whose selected key and value are then read back
// from its tree and list.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/text.h"
#include "tests/support/mdr_fixtures.h"
#include "mdr/ui/command_ids.h"

namespace mdr::driver {
namespace {

constexpr wchar_t kEditorClass[] = L"RegEdit_RegEdit";
constexpr wchar_t kMissingFolder[] = L"C:\\MdrKMissing\\";
constexpr int kDriversArea = 3;
constexpr int kSoundsArea = 16;
constexpr wchar_t kDriversKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
constexpr wchar_t kAppsKey[] = L"AppEvents\\Schemes\\Apps";
constexpr wchar_t kJumpApp[] = L"AppEvents\\Schemes\\Apps\\MdrKJump";
// Two values sharing their first letters: the list's type-ahead must land on the second.
constexpr wchar_t kZebra[] = L"mdrk.zebra";
constexpr wchar_t kZeta[] = L"mdrk.zeta";
// A blank is no type-ahead character for every list; the jump must still land on it.
constexpr wchar_t kZetaTwo[] = L"mdrk.zeta two";

std::wstring SoundKey(const std::wstring& event) {
    return std::wstring(kJumpApp) + L"\\" + event + L"\\.Current";
}

// The selected item of a tree as its path of item texts below the top item ("My Computer").
std::wstring SelectedTreePath(HWND tree) {
    std::vector<std::wstring> stack;
    for (const TreeItem& item : ReadTreeView(tree)) {
        stack.resize(static_cast<size_t>(item.level));
        stack.push_back(item.text);
        if (!item.selected) continue;
        std::wstring path;
        for (size_t i = 1; i < stack.size(); ++i)
            path += (i > 1 ? L"\\" : L"") + stack[i];
        return path;
    }
    return L"";
}

std::wstring SelectedValue(HWND list) {
    for (const ListViewRow& row : ReadListView(list).rows) {
        if (row.selected && !row.cells.empty()) return row.cells[0];
    }
    return L"";
}

class RegeditJumpTest : public MdrTest {
  protected:
    void SetUp() override {
        MdrTest::SetUp();
        ASSERT_TRUE(TopLevelWindows(0, {kEditorClass, L"", false}).empty())
            << "a registry editor runs already; these tests must start their own";
        SetString(HKEY_LOCAL_MACHINE, kDriversKey, kZebra, std::wstring(kMissingFolder) + kZebra);
        SetString(HKEY_LOCAL_MACHINE, kDriversKey, kZeta, std::wstring(kMissingFolder) + kZeta);
        SetString(HKEY_LOCAL_MACHINE, kDriversKey, kZetaTwo, std::wstring(kMissingFolder) + L"2");
        for (const wchar_t* event : {L"Alpha", L"Alpha2"})
            SetString(HKEY_CURRENT_USER, SoundKey(event), L"",
                      std::wstring(kMissingFolder) + event + L".wav");
    }

    void CleanUp() override {
        CloseEditor();
        for (const wchar_t* value : {kZebra, kZeta, kZetaTwo})
            DeleteValue(HKEY_LOCAL_MACHINE, kDriversKey, value);
        DeleteTree(HKEY_CURRENT_USER, kJumpApp);
    }

    // Ends the editor this test caused to start (none ran before), by its process id.
    void CloseEditor() {
        for (HWND editor : TopLevelWindows(0, {kEditorClass, L"", false})) {
            DWORD pid = 0;
            GetWindowThreadProcessId(editor, &pid);
            if (HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
                TerminateProcess(p, 0);
                WaitForSingleObject(p, 5000);
                CloseHandle(p);
            }
        }
    }

    // Selects the row and asks MDR to open it in the editor.
    void Jump(const Gadgets& g, const std::wstring& key, const std::wstring& value, int command) {
        const int row = RowOf(ReadListView(g.list), key, value);
        ASSERT_GE(row, 0) << "no row for " << Narrow(key) << " / " << Narrow(value);
        ASSERT_TRUE(SelectListViewRow(g.list, row));
        PostCommand(g.main, command);
    }

    struct Editor {
        HWND window = nullptr, tree = nullptr, list = nullptr;
    };

    // Waits until the editor shows expectedKey (and expectedValue unless empty).
    void ExpectEditorAt(const Editor& e, const std::wstring& expectedKey,
                        const std::wstring& expectedValue) {
        std::wstring shownKey, shownValue;
        const bool arrived = WaitUntil(
            [&] {
                shownKey = SelectedTreePath(e.tree);
                shownValue = SelectedValue(e.list);
                return mdr::EqualsNoCase(shownKey, expectedKey) &&
                       (expectedValue.empty() || shownValue == expectedValue);
            },
            20000);
        EXPECT_TRUE(arrived) << "editor shows key " << Narrow(shownKey) << " value "
                             << Narrow(shownValue) << "; expected " << Narrow(expectedKey) << " / "
                             << Narrow(expectedValue);
    }
};

TEST_F(RegeditJumpTest, StartsTheEditorAndSelectsKeyAndValue) {
    Gadgets g = Start(L"-scan", Ticking({kDriversArea, kSoundsArea}));
    ASSERT_TRUE(g.main && g.list);
    ASSERT_TRUE(WaitForScanEnd(g)) << Narrow(ReadStatusBarPart(g.status, 0));

    // No editor runs: MDR starts one and drives it once it is ready. The path holds a blank
    // ("Windows NT") and the value shares its beginning with an earlier one.
    Jump(g, kDriversKey, kZeta, mdr::kCmdOpenInRegedit);
    // The editor is driven off MDR's window thread: the window answers meanwhile.
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(Send(g.main, WM_NULL, 0, 0, 250).has_value()) << "MDR's window froze";
        Sleep(100);
    }
    Editor e;
    e.window = WaitForWindow(0, WindowQuery::OfClass(kEditorClass), 20000);
    ASSERT_TRUE(e.window && WaitUntil([&] {
                    e.tree = FindDescendant(e.window, WC_TREEVIEWW);
                    e.list = FindDescendant(e.window, WC_LISTVIEWW);
                    return e.tree && e.list;
                }))
        << "the registry editor did not come up";
    ExpectEditorAt(e, std::wstring(L"HKEY_LOCAL_MACHINE\\") + kDriversKey, kZeta);
    EXPECT_TRUE(IsWindowVisible(e.window));

    // The running editor is reused, even minimized: a key of another root, default value.
    ShowWindow(e.window, SW_MINIMIZE);
    ASSERT_TRUE(WaitUntil([&] { return IsIconic(e.window) != 0; }, 5000));
    Jump(g, SoundKey(L"Alpha2"), L"(Default)", mdr::kCmdListOpenInRegedit);
    ExpectEditorAt(e, L"HKEY_CURRENT_USER\\" + SoundKey(L"Alpha2"), L"");
    EXPECT_TRUE(WaitUntil([&] { return !IsIconic(e.window); }, 5000)) << "editor not restored";
    EXPECT_EQ(TopLevelWindows(0, {kEditorClass, L"", false}).size(), 1u);

    // Back to the drivers, from wherever the editor was left, to a value with a blank.
    Jump(g, kDriversKey, kZetaTwo, mdr::kCmdOpenInRegedit);
    ExpectEditorAt(e, std::wstring(L"HKEY_LOCAL_MACHINE\\") + kDriversKey, kZetaTwo);
    // A key removed since the scan leaves the editor at its parent.
    ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, SoundKey(L"Alpha").c_str()), ERROR_SUCCESS);
    Jump(g, SoundKey(L"Alpha"), L"(Default)", mdr::kCmdOpenInRegedit);
    ExpectEditorAt(e, std::wstring(L"HKEY_CURRENT_USER\\") + kJumpApp + L"\\Alpha", L"");
    Exit(g);
}

} // namespace
} // namespace mdr::driver
