// The fix command of the real MDR.exe, driven from outside: a scan over planted broken COM
// registrations, the checked rows fixed after a backup (the other BeforeFixing choices and the
// branches of a fix are the fix tests'), then the registry, the rows, the counters and the backup
// file imported again by the real registry editor.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "common/ini.h"
#include "common/text.h"
#include "tests/support/mdr_fixtures.h"
#include "tests/support/registry_snapshot.h"
#include "mdr/ui/command_ids.h"

using namespace mdr::driver;

namespace {

// Classes whose server file is missing (1 in HKLM, 2 in HKCU) and an AppID whose surrogate is.
const std::wstring kClass1 = L"Software\\Classes\\CLSID\\{A1D3F0C2-7B64-4C1E-9E2A-5F0D1C2B3A01}";
const std::wstring kClass2 = L"Software\\Classes\\CLSID\\{A1D3F0C2-7B64-4C1E-9E2A-5F0D1C2B3A02}";
const std::wstring kAppId = L"Software\\Classes\\AppID\\{A1D3F0C2-7B64-4C1E-9E2A-5F0D1C2B3A03}";
const std::wstring kServer1 = kClass1 + L"\\InprocServer32";
const std::wstring kServer2 = kClass2 + L"\\InprocServer32";

std::set<std::wstring> BackupFiles() {
    const std::vector<std::wstring> files = mdr::test::FilesIn(DistDir() + L"Backup\\");
    return {files.begin(), files.end()};
}

class FixCommandTest : public MdrTest {
  protected:
    void SetUp() override {
        MdrTest::SetUp();
        backupsBefore_ = BackupFiles();
        CleanUp();
        SetString(HKEY_LOCAL_MACHINE, kClass1, L"", L"Mdr fix test one");
        SetString(HKEY_LOCAL_MACHINE, kServer1, L"", L"C:\\MdrFixTestMissing\\one.dll");
        SetString(HKEY_LOCAL_MACHINE, kServer1, L"ThreadingModel", L"Both");
        SetString(HKEY_CURRENT_USER, kClass2, L"", L"Mdr fix test two");
        SetString(HKEY_CURRENT_USER, kServer2, L"", L"C:\\MdrFixTestMissing\\two.dll");
        SetString(HKEY_CURRENT_USER, kAppId, L"", L"Mdr fix test three");
        SetString(HKEY_CURRENT_USER, kAppId, L"DllSurrogate", L"C:\\MdrFixTestMissing\\s.exe");
    }

    void CleanUp() override {
        DeleteTree(HKEY_LOCAL_MACHINE, kClass1);
        DeleteTree(HKEY_CURRENT_USER, kClass2);
        DeleteTree(HKEY_CURRENT_USER, kAppId);
        for (const std::wstring& name : BackupFiles()) {
            if (!backupsBefore_.count(name)) DeleteFileW((DistDir() + L"Backup\\" + name).c_str());
        }
    }

    // MDR scanning "ActiveX / COM" (tree item 1) until it is done. BeforeFixing 0: backup and
    // restore point without a question. SelectItems 9 pre-checks nothing: tests tick their rows.
    Gadgets ScanComArea() {
        ConfigValues config;
        config.selectItems = 9;
        config.beforeFixing = 0;
        config.columns = false;
        config.zones = Zones({1});
        Gadgets g = Start(L"-scan", config);
        EXPECT_TRUE(g.main && g.list && g.status && g.toolbar);
        WaitUntil([&] { return ScanFinished(g); }, 120000);
        return g;
    }

    std::set<std::wstring> backupsBefore_;
};

} // namespace

TEST_F(FixCommandTest, FixesTheCheckedRowsAfterABackup) {
    Gadgets g = ScanComArea();
    ASSERT_TRUE(ScanFinished(g)) << "status: " << Narrow(ReadStatusBarPart(g.status, 0));

    const ListViewContent before = ReadListView(g.list);
    const int row1 = RowOf(before, kServer1, L"(Default)", L"HKEY_LOCAL_MACHINE");
    const int row3 = RowOf(before, kAppId, L"DllSurrogate", L"HKEY_CURRENT_USER");
    ASSERT_GE(row1, 0);
    ASSERT_GE(row3, 0);
    ASSERT_GE(RowOf(before, kServer2, L"(Default)", L"HKEY_CURRENT_USER"), 0);
    for (const ListViewRow& row : before.rows)
        ASSERT_FALSE(row.checked) << "nothing is pre-checked";
    ASSERT_TRUE(SetListViewCheck(g.list, row1, true));
    ASSERT_TRUE(SetListViewCheck(g.list, row3, true));

    EXPECT_TRUE(ButtonEnabled(g, mdr::kBtnFix));
    PostCommand(g.main, mdr::kBtnFix);
    Answer(Text::ConfirmTitle, Text::FixConfirmQuestion, IDYES);
    // The restore point is asked for quietly: Wine's failing stub shows nothing.
    Answer(Text::InformationTitle, Text::FixAllDone, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(g.main) != FALSE; }));

    // Registry: what was checked is gone; the rest is as it was.
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kServer1));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kClass1)) << "only the server key goes";
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kServer2));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kAppId, L"DllSurrogate"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kAppId, L""));

    // Rows: the two fixed ones are gone, every other row is still there and unchecked.
    const ListViewContent after = ReadListView(g.list);
    EXPECT_EQ(after.rows.size(), before.rows.size() - 2);
    EXPECT_GE(RowOf(after, kServer2, L"(Default)", L"HKEY_CURRENT_USER"), 0);
    for (const ListViewRow& row : after.rows)
        EXPECT_FALSE(row.checked);

    // Counters: every checked row was fixed.
    EXPECT_EQ(ReadStatusBarPart(g.status, 3), Fill(T(Text::FixedStatus), L"$ERRORSFIXED$", L"2"));
    EXPECT_NE(LogText().find(L"Status: 2 of 2 errors fixed"), std::wstring::npos);

    // One new backup file, of nothing unchecked; importing it gives back what the fix removed.
    std::vector<std::wstring> added;
    for (const std::wstring& name : BackupFiles()) {
        if (!backupsBefore_.count(name)) added.push_back(name);
    }
    ASSERT_EQ(added.size(), 1u);
    EXPECT_TRUE(added[0].starts_with(L"MDR_")) << Narrow(added[0]);
    const std::wstring file = DistDir() + L"Backup\\" + added[0];
    EXPECT_EQ(mdr::DecodeText(ReadFileBytes(file)).find(kServer2), std::wstring::npos);
    mdr::test::ImportWithRegedit(file);
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kServer1, L""), L"C:\\MdrFixTestMissing\\one.dll");
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kServer1, L"ThreadingModel"), L"Both");
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kAppId, L"DllSurrogate"),
              L"C:\\MdrFixTestMissing\\s.exe");

    // Every checked row was fixed: a new scan does not ask about unfixed errors, even with
    // unchecked rows left in the list. What the backup brought back is found again, marked as
    // returned after its fix and never ticked; what was never fixed is not marked.
    PostCommand(g.main, mdr::kCmdStartScan);
    EXPECT_TRUE(WaitUntil([&] { return ScanFinished(g); }, 120000))
        << "status: " << Narrow(ReadStatusBarPart(g.status, 0));
    SYSTEMTIME today{};
    GetLocalTime(&today);
    wchar_t date[16];
    swprintf(date, 16, L"%04u-%02u-%02u", today.wYear, today.wMonth, today.wDay);
    const ListViewContent again = ReadListView(g.list);
    const int back = RowOf(again, kServer1, L"(Default)", L"HKEY_LOCAL_MACHINE");
    const int never = RowOf(again, kServer2, L"(Default)", L"HKEY_CURRENT_USER");
    ASSERT_GE(back, 0);
    ASSERT_GE(never, 0);
    EXPECT_EQ(again.rows[back].cells[5], L"Returned after fix (" + std::wstring(date) + L")");
    EXPECT_FALSE(again.rows[back].checked);
    EXPECT_EQ(again.rows[never].cells[5], L"");
    Exit(g);
}

TEST_F(FixCommandTest, ASortedFilteredListFixesOnlyTheShownTicksInTheScansOrder) {
    Gadgets g = ScanComArea();
    ASSERT_TRUE(ScanFinished(g));
    const ListViewContent before = ReadListView(g.list);
    const int total = static_cast<int>(before.rows.size());
    const int first1 = RowOf(before, kServer1, L"(Default)", L"HKEY_LOCAL_MACHINE");
    const int first2 = RowOf(before, kServer2, L"(Default)", L"HKEY_CURRENT_USER");
    ASSERT_TRUE(first1 >= 0 && first2 >= 0);
    for (const auto& [key, value, root] :
         {std::tuple{kServer1, L"(Default)", L"HKEY_LOCAL_MACHINE"},
          {kServer2, L"(Default)", L"HKEY_CURRENT_USER"},
          {kAppId, L"DllSurrogate", L"HKEY_CURRENT_USER"}})
        ASSERT_TRUE(SetListViewCheck(g.list, RowOf(ReadListView(g.list), key, value, root), true));

    // Subkey column, twice: descending, so the two classes swap places and AppID goes below.
    ClickListHeader(g.list, 1);
    ClickListHeader(g.list, 1);
    ASSERT_TRUE(WaitUntil([&] {
        const ListViewContent now = ReadListView(g.list);
        const int two = RowOf(now, kServer2, L"(Default)", L"HKEY_CURRENT_USER");
        const int one = RowOf(now, kServer1, L"(Default)", L"HKEY_LOCAL_MACHINE");
        const int app = RowOf(now, kAppId, L"DllSurrogate", L"HKEY_CURRENT_USER");
        return two >= 0 && two < one && one < app;
    }));

    // The filter leaves the two classes; AppID stays ticked out of sight and is never fixed.
    HWND filter = FindDescendant(g.main, L"Edit", mdr::kGadgetIdBase + mdr::kGadgetFilterBox);
    Send(filter, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"clsid\\{A1D3F0C2"));
    ASSERT_TRUE(WaitUntil([&] { return ListViewCount(g.list) == 2; }));
    EXPECT_EQ(ReadStatusBarPart(g.status, 0), L"2 of " + std::to_wstring(total) + L" shown");
    PostCommand(g.main, mdr::kBtnFix);
    Answer(Text::ConfirmTitle, Text::FixConfirmQuestion, IDYES);
    Answer(Text::InformationTitle, Text::FixAllDone, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(g.main) != FALSE; }));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kServer1));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kServer2));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kAppId, L"DllSurrogate"));
    EXPECT_EQ(ReadStatusBarPart(g.status, 0), L"0 of " + std::to_wstring(total - 2) + L" shown");

    // The backup holds them in the order the scan found them, the later one first.
    std::wstring backup;
    for (const std::wstring& name : BackupFiles())
        if (!backupsBefore_.count(name))
            backup = mdr::DecodeText(ReadFileBytes(DistDir() + L"Backup\\" + name));
    const size_t at1 = backup.find(kServer1), at2 = backup.find(kServer2);
    ASSERT_TRUE(at1 != std::wstring::npos && at2 != std::wstring::npos);
    EXPECT_EQ(at1<at2, first1> first2);

    // Esc in the box brings every other row back, AppID still ticked.
    PostMessageW(filter, WM_KEYDOWN, VK_ESCAPE, 1);
    ASSERT_TRUE(WaitUntil([&] { return ListViewCount(g.list) == total - 2; }));
    const ListViewContent after = ReadListView(g.list);
    const int app = RowOf(after, kAppId, L"DllSurrogate", L"HKEY_CURRENT_USER");
    ASSERT_GE(app, 0);
    EXPECT_TRUE(after.rows[app].checked);
    Exit(g);
}
