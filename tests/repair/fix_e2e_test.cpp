// The fix command of the real MDR.exe, driven from outside: a scan over planted broken COM
// registrations, the checked rows fixed with a backup and without one (the other BeforeFixing
// choices are the fix tests'), then the registry, the backup file imported again by the real
// registry editor, the rows and the counters.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/localization.h"
#include "common/text.h"
#include "tests/support/mdr_fixtures.h"
#include "tests/support/registry_snapshot.h"
#include "ui/command_ids.h"

using namespace mdr::driver;

namespace {

constexpr wchar_t kRepairClass[] = L"MDR_RepairWindow";
constexpr int kComArea = 1; // tree item of "ActiveX / COM"

// Planted registrations: classes whose server file and an AppID whose surrogate are missing.
constexpr wchar_t kGuidStem[] = L"{A1D3F0C2-7B64-4C1E-9E2A-5F0D1C2B3A0";
constexpr wchar_t kMissing[] = L"C:\\MdrFixTestMissing\\";
constexpr wchar_t kClsid[] = L"Software\\Classes\\CLSID\\";
constexpr wchar_t kAppId[] = L"Software\\Classes\\AppID\\";

std::wstring Guid(int n) {
    return kGuidStem + std::to_wstring(n) + L"}";
}

std::wstring BackupFolder() {
    return DistDir() + L"Backup\\";
}

// ---- Registry ----------------------------------------------------------------------------------

// The planted entries and what becomes of them.
struct Plant {
    HKEY root;
    std::wstring rootName;
    std::wstring owner;    // the key removed in clean-up
    std::wstring rowKey;   // the key path the row shows
    std::wstring rowValue; // "(Default)" for a key error
};

std::wstring ClassKey(int n) {
    return kClsid + Guid(n);
}
std::wstring ServerKey(int n) {
    return ClassKey(n) + L"\\InprocServer32";
}

// 1: HKLM class with a missing server (checked, fixed, restored by the backup).
// 2: HKCU class with a missing server (left unchecked).
// 3: HKCU AppID with a missing surrogate: a value error (checked; the key keeps its other value).
// 4: HKLM class removed by someone else between scan and fix (checked, counts as fixed).
const Plant kPlants[] = {
    {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", ClassKey(1), ServerKey(1), L"(Default)"},
    {HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", ClassKey(2), ServerKey(2), L"(Default)"},
    {HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", kAppId + Guid(3), kAppId + Guid(3), L"DllSurrogate"},
    {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", ClassKey(4), ServerKey(4), L"(Default)"},
};

void PlantBrokenEntries() {
    SetString(HKEY_LOCAL_MACHINE, ClassKey(1), L"", L"Mdr fix test one");
    SetString(HKEY_LOCAL_MACHINE, ServerKey(1), L"", std::wstring(kMissing) + L"one.dll");
    SetString(HKEY_LOCAL_MACHINE, ServerKey(1), L"ThreadingModel", L"Both");
    SetString(HKEY_CURRENT_USER, ClassKey(2), L"", L"Mdr fix test two");
    SetString(HKEY_CURRENT_USER, ServerKey(2), L"", std::wstring(kMissing) + L"two.dll");
    SetString(HKEY_CURRENT_USER, kAppId + Guid(3), L"", L"Mdr fix test three");
    SetString(HKEY_CURRENT_USER, kAppId + Guid(3), L"DllSurrogate",
              std::wstring(kMissing) + L"surrogate.exe");
    SetString(HKEY_LOCAL_MACHINE, ClassKey(4), L"", L"Mdr fix test four");
    SetString(HKEY_LOCAL_MACHINE, ServerKey(4), L"", std::wstring(kMissing) + L"four.dll");
}

void RemoveBrokenEntries() {
    for (int n = 1; n <= 5; ++n) {
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            DeleteTree(root, ClassKey(n));
            DeleteTree(root, kAppId + Guid(n));
        }
    }
}

// ---- Files -------------------------------------------------------------------------------------

std::set<std::wstring> BackupFiles() {
    const std::vector<std::wstring> files = mdr::test::FilesIn(BackupFolder());
    return {files.begin(), files.end()};
}

std::wstring BackupText(const std::wstring& path) {
    const std::string bytes = ReadFileBytes(path);
    std::wstring text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        text += static_cast<wchar_t>(static_cast<BYTE>(bytes[i]) |
                                     (static_cast<BYTE>(bytes[i + 1]) << 8));
    return text;
}

// SelectItems 9 pre-checks nothing: the test checks its own rows.
void WriteConfig(int beforeFixing) {
    ConfigValues v;
    v.selectItems = 9;
    v.beforeFixing = beforeFixing;
    v.columns = false;
    v.zones = Zones({kComArea});
    mdr::driver::WriteConfig(v);
}

// Row index of a planted entry, -1 when the list has no such row.
int RowOf(const ListViewContent& content, const Plant& p) {
    for (size_t i = 0; i < content.rows.size(); ++i) {
        const auto& c = content.rows[i].cells;
        if (c.size() >= 3 && c[0] == p.rootName && mdr::EqualsNoCase(c[1], p.rowKey) &&
            c[2] == p.rowValue)
            return static_cast<int>(i);
    }
    return -1;
}

class FixCommandTest : public MdrTest {
  protected:
    void SetUp() override {
        MdrTest::SetUp();
        backupsBefore_ = BackupFiles();
        RemoveBrokenEntries();
        PlantBrokenEntries();
    }

    void CleanUp() override {
        RemoveBrokenEntries();
        for (const std::wstring& name : BackupFiles()) {
            if (!backupsBefore_.count(name)) DeleteFileW((BackupFolder() + name).c_str());
        }
    }

    // Starts MDR with "-scan" and waits for the scan to end.
    Gadgets StartAndScan(int beforeFixing) {
        WriteConfig(beforeFixing);
        Gadgets g = StartMain(L"-scan");
        if (!g.main) return g;
        EXPECT_TRUE(WaitUntil([&] { return ScanFinished(g); }, 120000))
            << "status: " << Narrow(ReadStatusBarPart(g.status, 0));
        return g;
    }

    void Press(const MessageBoxInfo& box, int button) {
        PressButton(box.window, button);
        WaitUntil([&] { return !IsWindow(box.window); });
    }

    // The box that ends a fix; a restore point that cannot be made may speak first.
    void AnswerFinal(int textEntry) {
        for (int i = 0; i < 3; ++i) {
            auto box = WaitForMessageBox(process_->Pid(), 60000);
            ASSERT_TRUE(box.has_value()) << "no final message";
            if (box->text == T(textEntry)) {
                EXPECT_EQ(box->title, T(21));
                Press(*box, IDOK);
                return;
            }
            EXPECT_TRUE(box->text == T(20) || box->title == T(23))
                << "unexpected box: " << Narrow(box->text);
            Press(*box, IDOK);
        }
        FAIL() << "the final message did not come";
    }

    std::set<std::wstring> backupsBefore_;
};

struct Mode {
    int beforeFixing;
    int question;   // 0 = none asked
    bool answerYes; // to the question
    bool backup;    // a backup file is expected
    int command;    // the way the fix is started
};

} // namespace

TEST_F(FixCommandTest, FixesTheCheckedRowsWithAndWithoutABackup) {
    // 0: backup and restore point without a question; 4: the backup question answered No.
    const Mode modes[] = {{0, 0, true, true, mdr::kCmdFix}, {4, 100, false, false, mdr::kBtnFix}};
    for (const Mode& mode : modes) {
        SCOPED_TRACE("BeforeFixing " + std::to_string(mode.beforeFixing));
        RemoveBrokenEntries();
        PlantBrokenEntries();
        const std::set<std::wstring> backupsBefore = BackupFiles();
        Gadgets g = StartAndScan(mode.beforeFixing);
        ASSERT_TRUE(g.main && g.list && g.tree && g.status && g.toolbar);
        EXPECT_TRUE(ButtonEnabled(g, mdr::kBtnFix)) << "the fix button is available";

        const ListViewContent before = ReadListView(g.list);
        std::array<int, 4> rows{};
        for (int i = 0; i < 4; ++i) {
            rows[i] = RowOf(before, kPlants[i]);
            ASSERT_GE(rows[i], 0) << "planted entry " << i + 1 << " not listed";
        }
        for (size_t r = 0; r < before.rows.size(); ++r)
            ASSERT_FALSE(before.rows[r].checked) << "nothing is pre-checked";
        // Check 1, 3 and 4; leave 2 alone.
        for (int i : {0, 2, 3})
            ASSERT_TRUE(SetListViewCheck(g.list, rows[i], true));
        const int total = static_cast<int>(before.rows.size());
        const std::wstring foundText = ReadStatusBarPart(g.status, 2);

        // Someone else removes class 4 meanwhile.
        ASSERT_EQ(RegDeleteTreeW(HKEY_LOCAL_MACHINE, ClassKey(4).c_str()), ERROR_SUCCESS);
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, ClassKey(4).c_str());

        PostCommand(g.main, mode.command);
        Answer(71, 96, IDYES);
        if (mode.question) Answer(71, mode.question, mode.answerYes ? IDYES : IDNO);
        AnswerFinal(107);
        EXPECT_TRUE(WaitForNoWindow(process_->Pid(), WindowQuery::OfClass(kRepairClass), 5000));
        EXPECT_TRUE(IsWindowEnabled(g.main)) << "the main window is enabled again";

        // Registry: what was checked is gone; the rest is as it was.
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, ServerKey(1)));
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, ClassKey(1))) << "only the server key goes";
        EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, ServerKey(2)));
        EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kAppId + Guid(3), L"DllSurrogate"));
        EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kAppId + Guid(3), L""));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, ClassKey(4)));

        // Rows: the three fixed ones are gone, every other row is still there and unchecked.
        const ListViewContent after = ReadListView(g.list);
        EXPECT_EQ(static_cast<int>(after.rows.size()), total - 3);
        EXPECT_GE(RowOf(after, kPlants[1]), 0);
        for (int i : {0, 2, 3})
            EXPECT_LT(RowOf(after, kPlants[i]), 0) << "row of planted entry " << i + 1;
        for (const ListViewRow& row : after.rows)
            EXPECT_FALSE(row.checked);

        // Counters and labels: every checked row was fixed.
        EXPECT_EQ(ReadStatusBarPart(g.status, 0), T(155));
        EXPECT_EQ(ReadStatusBarPart(g.status, 2), foundText) << "field 2 keeps the scan's count";
        EXPECT_EQ(ReadStatusBarPart(g.status, 3), Fill(T(106), L"$ERRORSFIXED$", L"3"));

        // The backup: a new file exactly when one was chosen.
        std::vector<std::wstring> added;
        for (const std::wstring& name : BackupFiles()) {
            if (!backupsBefore.count(name)) added.push_back(name);
        }
        const std::wstring log = mdr::FromUtf8(ReadFileBytes(LogPath()));
        EXPECT_NE(log.find(L"Status: 3 of 3 errors fixed"), std::wstring::npos);
        if (!mode.backup) {
            EXPECT_TRUE(added.empty()) << Narrow(added.empty() ? L"" : added[0]);
        } else {
            ASSERT_EQ(added.size(), 1u);
            EXPECT_TRUE(added[0].starts_with(L"MDR_")) << Narrow(added[0]);
            const std::wstring text = BackupText(BackupFolder() + added[0]);
            EXPECT_TRUE(text.starts_with(L"Windows Registry Editor Version 5.00\r\n"));
            EXPECT_NE(text.find(L"[HKEY_LOCAL_MACHINE\\" + ServerKey(1) + L"]"),
                      std::wstring::npos);
            EXPECT_EQ(text.find(ServerKey(4)), std::wstring::npos) << "nothing of what was gone";
            EXPECT_EQ(text.find(ServerKey(2)), std::wstring::npos) << "nothing unchecked";
            // Importing it gives back exactly what the fix removed.
            mdr::test::ImportWithRegedit(BackupFolder() + added[0]);
            EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, ServerKey(1), L""),
                      std::wstring(kMissing) + L"one.dll");
            EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, ServerKey(1), L"ThreadingModel"), L"Both");
            EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kAppId + Guid(3), L"DllSurrogate"),
                      std::wstring(kMissing) + L"surrogate.exe");
            EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, ClassKey(4))) << "nothing comes back twice";
        }
        if (mode.beforeFixing == 0) {
            // Every checked row was fixed: a new scan does not ask about unfixed errors, even
            // with unchecked rows left in the list.
            PostCommand(g.main, mdr::kCmdStartScan);
            EXPECT_TRUE(WaitUntil([&] { return ScanFinished(g); }, 120000))
                << "status: " << Narrow(ReadStatusBarPart(g.status, 0));
        }
        Exit(g);
        if (HasFatalFailure()) return;
    }
}
