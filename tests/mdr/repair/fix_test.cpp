// Fixing selected errors: the pure steps, the deletions on the real registry, and whole runs of
// FixErrorsWindow over a list stand-in against real keys, with the backup imported again by the
// real registry editor.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>
#include <shlwapi.h>

#include <algorithm>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "mdr/core/localization.h"
#include "mdr/core/logging.h"
#include "mdr/core/settings.h"
#include "common/handles.h"
#include "common/ini.h"
#include "common/text.h"
#include "mdr/repair/fix_errors.h"
#include "mdr/repair/fix_preview.h"
#include "mdr/repair/message_box.h"
#include "regfile/reg_writer.h"
#include "mdr/scan/detected_errors.h"
#include "mdr/scan/scan_thread.h"
#include "tests/mdr/scan/scan_test_env.h"
#include "tests/support/registry_snapshot.h"
#include "tests/support/test_files.h"

using namespace mdr;
using mdr::test::Bytes;
using mdr::test::FilesIn;
using mdr::test::MakeTempDir;
using mdr::test::RemoveTree;
using mdr::test::WriteFileBytes;

namespace {

const std::wstring kBase = L"Software\\MDRTests\\Fix";
const std::wstring kBaseText = L"HKEY_CURRENT_USER\\" + kBase;
// 6/12/2026 05:41:12 (year, month, day of week, day, hour, minute, second, ms).
constexpr SYSTEMTIME kTime{2026, 12, 0, 6, 5, 41, 12, 0};

// Everything below is planted under HKEY_CURRENT_USER.
void SetString(const std::wstring& path, const std::wstring& name, const std::wstring& text) {
    mdr::test::SetString(HKEY_CURRENT_USER, path, name, text);
}
bool KeyThere(const std::wstring& path) {
    return mdr::test::KeyExists(HKEY_CURRENT_USER, path);
}

void SetKeyDacl(const std::wstring& path, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(
        ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr));
    UniqueHkey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, WRITE_DAC, key.put()),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, sd), ERROR_SUCCESS);
    LocalFree(sd);
}

} // namespace

// ---- Pure steps --------------------------------------------------------------------------------

TEST(FixSteps, BackupNamesNeverTakeAnEarlierOne) {
    EXPECT_EQ(BackupFileName(kTime, 1), L"MDR_06_12_26_(054112).reg");
    EXPECT_EQ(BackupFileName(kTime, 17), L"MDR_06_12_26_(054112)_17.reg");
    EXPECT_EQ(BackupFileName({2000, 1, 0, 31, 23, 0, 9, 0}, 1), L"MDR_31_01_00_(230009).reg");
    EXPECT_EQ(FreeBackupFilePath(L"C:\\B\\", kTime, [](const std::wstring&) { return true; }), L"");

    const std::wstring folder = MakeTempDir(L"mdr_fix_names");
    const std::wstring first = ReserveBackupFile(folder, kTime);
    ASSERT_EQ(first, folder + L"MDR_06_12_26_(054112).reg");
    ASSERT_TRUE(WriteFileBytes(first, "earlier backup"));
    EXPECT_EQ(ReserveBackupFile(folder, kTime), folder + L"MDR_06_12_26_(054112)_2.reg");
    EXPECT_EQ(ReserveBackupFile(folder, kTime), folder + L"MDR_06_12_26_(054112)_3.reg");
    EXPECT_EQ(mdr::test::ReadFileBytes(first), "earlier backup");
    EXPECT_EQ(FilesIn(folder).size(), 3u);
    // A folder of that name is in the way too; no folder at all reserves nothing.
    CreateDirectoryW((folder + L"MDR_07_12_26_(054112).reg").c_str(), nullptr);
    EXPECT_EQ(ReserveBackupFile(folder, {2026, 12, 0, 7, 5, 41, 12, 0}),
              folder + L"MDR_07_12_26_(054112)_2.reg");
    EXPECT_EQ(ReserveBackupFile(folder + L"missing\\", kTime), L"");
    RemoveTree(folder);
}

TEST(FixSteps, OmissionsBelongToTheErrorsThatRemoveThem) {
    DetectedError key;
    key.root = kHkcu;
    key.keyPath = L"Software\\A\\";
    key.entryType = 0;
    DetectedError value = key;
    value.entryType = 1;
    value.valueName = L"line\r\nbreak";
    DetectedError oddKey = key;
    oddKey.keyPath = L"Software\\Odd\nKey";
    const struct {
        const DetectedError& error;
        const wchar_t* omission;
        bool concerns;
    } cases[] = {
        {key, L"HKEY_CURRENT_USER\\Software\\A", true},
        {key, L"HKEY_CURRENT_USER\\software\\a\\Deep\\Er", true},
        {key, L"HKEY_CURRENT_USER\\Software\\A\\B -> text", true},
        {key, L"HKEY_CURRENT_USER\\Software\\AB", false},
        {key, L"HKEY_LOCAL_MACHINE\\Software\\A", false},
        {value, L"HKEY_CURRENT_USER\\Software\\A -> line\\r\\nbreak", true},
        {value, L"HKEY_CURRENT_USER\\Software\\A", true},
        {value, L"HKEY_CURRENT_USER\\Software\\A -> other", false},
        {oddKey, L"HKEY_CURRENT_USER\\Software\\Odd\\nKey", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OmissionConcerns(c.omission, c.error), c.concerns) << ToUtf8(c.omission);
}

TEST(FixSteps, WhatMayBeDeleted) {
    const std::vector<bool> inexact{false, true, false};
    using V = std::vector<bool>;
    // No backup chosen: everything; an incomplete backup: nothing; a complete one: what it
    // cannot give back only when the user says so.
    EXPECT_EQ(RowsToDelete(false, false, inexact, false), (V{true, true, true}));
    EXPECT_EQ(RowsToDelete(true, false, inexact, true), (V{false, false, false}));
    EXPECT_EQ(RowsToDelete(true, true, inexact, false), (V{true, false, true}));
    EXPECT_EQ(RowsToDelete(true, true, inexact, true), (V{true, true, true}));
}

// ---- Whole runs over a list stand-in -----------------------------------------------------------

namespace {

struct FakeRow {
    uint32_t id;
    bool checked;
};

class FakeView : public FixView {
  public:
    HWND Window() override { return nullptr; }
    int RowCount() override { return static_cast<int>(rows.size()); }
    uint32_t RowId(int row) override { return rows.at(row).id; }
    bool IsRowChecked(int row) override { return rows.at(row).checked; }
    void RemoveRow(int row) override { rows.erase(rows.begin() + row); }
    void SetAreaLabel(int item, const std::wstring& text, bool) override { labels[item] = text; }
    void RefreshDetails() override {}
    void SetStatusText(const std::wstring&) override {}
    void AddFixedErrors(uint64_t fixed) override { fixedTotal += fixed; }

    std::vector<FakeRow> rows;
    std::map<int, std::wstring> labels;
    uint64_t fixedTotal = 0;
};

struct Shown {
    std::wstring title, text;
    UINT flags;
};

} // namespace

class FixRun : public testing::Test {
  protected:
    static void SetUpTestSuite() { mdr::test::LoadEnglishTexts(); }

    void SetUp() override {
        mdr::test::SetDword(HKEY_CURRENT_USER, kBase, L"", 0);
        program_ = MakeTempDir(L"mdr_fix_program");
        Paths().programFolder = program_;
        Paths().backupFolder = program_ + L"Backup\\";
        CreateDirectoryW(Paths().backupFolder.c_str(), nullptr);
        Paths().logFile = program_ + L"MDRLog.log";
        ASSERT_EQ(BeginLogFile(Paths().logFile, L"fix test"), 1);
        Settings().CreateLog = 1;
        Settings().BeforeFixing = 1;
        mdr::test::ResetScanRecords();
        SetMessagePresenter([this](std::wstring_view text, std::wstring_view title, UINT flags) {
            shown_.push_back({std::wstring(title), std::wstring(text), flags});
            if ((flags & 0xF) != MB_YESNO) return IDOK;
            if (answers_.empty()) {
                ADD_FAILURE() << "unexpected question: " << ToUtf8(text);
                return IDNO;
            }
            const int answer = answers_.front();
            answers_.pop_front();
            return answer;
        });
    }

    void TearDown() override {
        SetMessagePresenter(nullptr);
        Settings().CreateLog = 0;
        ClearRecords();
        SHDeleteKeyW(HKEY_CURRENT_USER, kBase.c_str());
        SHDeleteEmptyKeyW(HKEY_CURRENT_USER, L"Software\\MDRTests");
        RemoveTree(program_);
    }

    static std::wstring Path(const std::wstring& sub) { return kBase + L"\\" + sub; }

    // A record and its row, as a scan would have left them.
    uint32_t AddError(const std::wstring& keyPath, const std::wstring& valueName, int entryType,
                      int areaIndex, bool checked, RootKey root = kHkcu) {
        DetectedError e;
        e.root = root;
        e.keyPath = keyPath;
        e.valueName = valueName;
        e.entryType = entryType;
        e.areaIndex = areaIndex;
        e.category = L"test";
        e.description = L"planted";
        e.id = NewRecordId();
        Records().push_back(e);
        ++AreaTable()[areaIndex].errorsFound;
        SetErrorsFound(ErrorsFound() + 1);
        view_.rows.push_back({e.id, checked});
        return e.id;
    }

    bool RowThere(uint32_t id) const {
        return std::ranges::any_of(view_.rows, [id](const FakeRow& r) { return r.id == id; });
    }
    bool RecordThere(uint32_t id) const {
        return std::ranges::any_of(Records(), [id](const DetectedError& e) { return e.id == id; });
    }

    std::vector<std::wstring> Log() const { return mdr::test::LoggedMessages(Paths().logFile); }
    bool Logged(const std::wstring& text) const { return std::ranges::count(Log(), text) > 0; }

    std::vector<std::wstring> ShownTexts() const {
        std::vector<std::wstring> texts;
        for (const Shown& s : shown_)
            texts.push_back(s.text);
        return texts;
    }

    std::wstring program_;
    FakeView view_;
    std::vector<Shown> shown_;
    std::deque<int> answers_;
};

TEST_F(FixRun, DeleteRegistryKeyRefusesRootsAndUnknownRoots) {
    for (const wchar_t* path : {L"", L"\\", L"\\\\"})
        EXPECT_EQ(DeleteRegistryKey(kHkcu, path), 0) << ToUtf8(path);
    EXPECT_EQ(DeleteRegistryKey(0x80000004u, Path(L"x")), 0);
    EXPECT_TRUE(KeyThere(kBase));
}

TEST_F(FixRun, BacksUpThenDeletesBottomUpAndKeepsTheBooks) {
    // Area 0 (ActiveX / COM) and area 14 (Shared DLLs).
    SetString(Path(L"Class\\InprocServer32"), L"", L"C:\\gone\\x.dll");
    SetString(Path(L"Class"), L"", L"A class");
    SetString(Path(L"Shared"), L"C:\\gone\\a.dll", L"1");
    SetString(Path(L"Shared"), L"C:\\gone\\b.dll", L"1");
    SetString(Path(L"Shared"), L"C:\\kept\\c.dll", L"1");
    SetString(Path(L"Both"), L"v", L"value of a key also removed");
    SetString(Path(L"Both\\Sub"), L"w", L"below");
    SetString(Path(L"Both2"), L"v", L"value removed first");
    mdr::test::RegTree before, after;
    ASSERT_TRUE(mdr::test::ReadRegTree(HKEY_CURRENT_USER, kBase, before));

    AddError(Path(L"Class\\InprocServer32"), L"", 0, 0, true);
    AddError(Path(L"Shared"), L"C:\\gone\\a.dll", 1, 14, true);
    const uint32_t c = AddError(Path(L"Shared"), L"C:\\kept\\c.dll", 1, 14, false);
    AddError(Path(L"Shared"), L"C:\\gone\\b.dll", 1, 14, true);
    // A value row above its key's row, and a key row above its value's row.
    AddError(Path(L"Both"), L"v", 1, 0, true);
    AddError(Path(L"Both"), L"", 0, 0, true);
    AddError(Path(L"Both2"), L"", 0, 0, true);
    AddError(Path(L"Both2"), L"v", 1, 0, true);
    // Removed by someone else after the scan.
    AddError(Path(L"AlreadyGone"), L"", 0, 0, true);

    answers_ = {IDYES};
    EXPECT_EQ(FixErrorsWindow(view_), 1);

    // Registry: everything checked is gone, the unchecked value stays.
    EXPECT_FALSE(KeyThere(Path(L"Class\\InprocServer32")));
    EXPECT_TRUE(KeyThere(Path(L"Class")));
    for (const wchar_t* gone : {L"C:\\gone\\a.dll", L"C:\\gone\\b.dll"})
        EXPECT_FALSE(ValueExists(kHkcu, Path(L"Shared"), gone));
    EXPECT_TRUE(ValueExists(kHkcu, Path(L"Shared"), L"C:\\kept\\c.dll"));
    EXPECT_FALSE(KeyThere(Path(L"Both")));
    EXPECT_FALSE(KeyThere(Path(L"Both2")));

    // Rows, records, counters and labels: only the unchecked one is left.
    ASSERT_EQ(view_.rows.size(), 1u);
    EXPECT_EQ(view_.rows[0].id, c);
    ASSERT_EQ(Records().size(), 1u);
    EXPECT_TRUE(RecordThere(c));
    EXPECT_EQ(ErrorsFound(), 0u);
    EXPECT_EQ(view_.fixedTotal, 8u);
    EXPECT_EQ(AreaTable()[14].errorsFound, 1);
    EXPECT_EQ(view_.labels[15], LangText(Text::SharedDllsArea) + L" (1)");
    EXPECT_EQ(ShownTexts(), (std::vector<std::wstring>{LangText(Text::FixConfirmQuestion),
                                                       LangText(Text::FixAllDone)}));

    // The log, in order.
    const std::vector<std::wstring> expected = {
        L"FixErrorsWindow()",
        L"Total entries selected for fix: 8",
        L"Creating backup",
        L"Created backup file, saving registry data",
        L"Already gone, nothing to back up: \"" + kBaseText + L"\\AlreadyGone\"",
        L"Backed up value: \"" + kBaseText + L"\\Both2\" -> \"v\"",
        L"Backed up key: \"" + kBaseText + L"\\Both2\"",
        L"Backed up key: \"" + kBaseText + L"\\Both\"",
        L"Backed up value: \"" + kBaseText + L"\\Both\" -> \"v\"",
        L"Backed up value: \"" + kBaseText + L"\\Shared\" -> \"C:\\gone\\b.dll\"",
        L"Backed up value: \"" + kBaseText + L"\\Shared\" -> \"C:\\gone\\a.dll\"",
        L"Backed up key: \"" + kBaseText + L"\\Class\\InprocServer32\"",
        L"Closing backup file",
        L"Backup file closed",
        L"Beginning to fix the errors",
        L"Removed key: \"" + kBaseText + L"\\AlreadyGone\"",
        L"Removed value: \"" + kBaseText + L"\\Both2\" -> \"v\"",
        L"Removed key: \"" + kBaseText + L"\\Both2\"",
        L"Removed key: \"" + kBaseText + L"\\Both\"",
        L"Removed value: \"" + kBaseText + L"\\Both\" -> \"v\"",
        L"Removed value: \"" + kBaseText + L"\\Shared\" -> \"C:\\gone\\b.dll\"",
        L"Removed value: \"" + kBaseText + L"\\Shared\" -> \"C:\\gone\\a.dll\"",
        L"Removed key: \"" + kBaseText + L"\\Class\\InprocServer32\"",
        L"Registry fixed...",
        L"Closing registry repair window",
        L"Status: 8 of 8 errors fixed",
        L"FixErrorsWindow() -> retn",
    };
    std::vector<std::wstring> logged = Log();
    std::erase_if(logged,
                  [&](const std::wstring& l) { return std::ranges::count(expected, l) == 0; });
    EXPECT_EQ(logged, expected);

    // One backup file, named for now; importing it gives back exactly what was there.
    const std::vector<std::wstring> files = FilesIn(Paths().backupFolder);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(files[0].starts_with(L"MDR_") && files[0].ends_with(L").reg")) << ToUtf8(files[0]);
    mdr::test::ImportWithRegedit(Paths().backupFolder + files[0]);
    ASSERT_TRUE(mdr::test::ReadRegTree(HKEY_CURRENT_USER, kBase, after));
    EXPECT_TRUE(after == before) << "the backup did not restore every removed entry";
}

TEST_F(FixRun, AThirtyTwoBitTwinIsFixedAndRestoredByItsOwnPath) {
    if (sizeof(void*) == 4) GTEST_SKIP() << "the 32-bit edition walks one view";
    const std::wstring base = L"Software\\Wow6432Node\\MDRTestsFix";
    const std::wstring server = base + L"\\Class\\InprocServer32";
    ASSERT_EQ(SHSetValueW(HKEY_LOCAL_MACHINE, server.c_str(), L"", REG_SZ, L"C:\\gone\\w.dll",
                          14 * sizeof(wchar_t)),
              ERROR_SUCCESS);
    ScopeExit cleanUp([&] { SHDeleteKeyW(HKEY_LOCAL_MACHINE, base.c_str()); });
    mdr::test::RegTree before, after;
    ASSERT_TRUE(mdr::test::ReadRegTree(HKEY_LOCAL_MACHINE, base, before));
    AddError(server, L"", 0, 0, true, kHklm);
    answers_ = {IDYES};
    EXPECT_EQ(FixErrorsWindow(view_), 1);
    EXPECT_FALSE(KeyExists(kHklm, server));
    const std::vector<std::wstring> files = FilesIn(Paths().backupFolder);
    ASSERT_EQ(files.size(), 1u);
    mdr::test::ImportWithRegedit(Paths().backupFolder + files[0]);
    ASSERT_TRUE(mdr::test::ReadRegTree(HKEY_LOCAL_MACHINE, base, after));
    EXPECT_TRUE(after == before);
}

// Yes to the same question is the unreadable key's case below.
TEST_F(FixRun, AsksBeforeRemovingWhatTheBackupCannotGiveBack) {
    // A REG_SZ without its terminating NUL comes back from a .reg file with one.
    mdr::test::SetRaw(HKEY_CURRENT_USER, Path(L"Inexact"), L"odd", REG_SZ, Bytes{'a', 0, 'b', 0});
    SetString(Path(L"Exact"), L"v", L"fine");
    const uint32_t inexact = AddError(Path(L"Inexact"), L"", 0, 2, true);
    const uint32_t exact = AddError(Path(L"Exact"), L"", 0, 2, true);

    // No: the inexact key stays with its row; the other is fixed.
    answers_ = {IDYES, IDNO};
    EXPECT_EQ(FixErrorsWindow(view_), 1);
    EXPECT_TRUE(KeyThere(Path(L"Inexact")));
    EXPECT_FALSE(KeyThere(Path(L"Exact")));
    EXPECT_TRUE(RowThere(inexact));
    EXPECT_TRUE(view_.rows.at(0).checked);
    EXPECT_FALSE(RowThere(exact));
    EXPECT_EQ(ErrorsFound(), 1u);
    EXPECT_EQ(AreaTable()[2].errorsFound, 1);
    ASSERT_EQ(shown_.size(), 3u);
    EXPECT_NE(shown_[1].text.find(kBaseText + L"\\Inexact -> odd"), std::wstring::npos)
        << ToUtf8(shown_[1].text);
    EXPECT_EQ(shown_[1].flags & (MB_YESNO | MB_DEFBUTTON2),
              static_cast<UINT>(MB_YESNO | MB_DEFBUTTON2));
    EXPECT_EQ(shown_[2].text, LangText(Text::FixSomeFailed));
    EXPECT_TRUE(Logged(L"The backup cannot restore exactly: " + kBaseText + L"\\Inexact -> odd"));
}

TEST_F(FixRun, WithoutABackupNoFileIsWrittenAndNoQuestionAsked) {
    // 2: restore point only; 3, 4, 5 answered No.
    const Text questions[] = {Text::AskBothQuestion, Text::AskBackupQuestion,
                              Text::AskRestorePointQuestion};
    for (int mode : {2, 3, 4, 5}) {
        SCOPED_TRACE(mode);
        Settings().BeforeFixing = mode;
        mdr::test::SetRaw(HKEY_CURRENT_USER, Path(L"Inexact"), L"odd", REG_SZ, Bytes{'a', 0});
        AddError(Path(L"Inexact"), L"", 0, 5, true);
        shown_.clear();
        answers_ = mode == 2 ? std::deque<int>{IDYES} : std::deque<int>{IDYES, IDNO};
        EXPECT_EQ(FixErrorsWindow(view_), 1);
        EXPECT_FALSE(KeyThere(Path(L"Inexact")));
        EXPECT_TRUE(FilesIn(Paths().backupFolder).empty());
        ASSERT_FALSE(shown_.empty());
        if (mode != 2) {
            EXPECT_EQ(shown_[1].text, LangText(questions[mode - 3]));
        }
        // A restore point that cannot be set may say so; the last box reports the fix.
        EXPECT_EQ(shown_.back().text, LangText(Text::FixAllDone));
        EXPECT_TRUE(answers_.empty());
    }
    EXPECT_TRUE(Logged(L"Skipping the creation of a backup and restore point"));
    EXPECT_TRUE(Logged(L"Skipping the creation of a backup"));
    EXPECT_TRUE(Logged(L"Skipping restore point creation"));
    EXPECT_TRUE(Logged(L"SetRestorePoint(1)"));
}

TEST_F(FixRun, StopsEarlyWithoutChangingAnything) {
    // No records at all.
    EXPECT_EQ(FixErrorsWindow(view_), 0);
    EXPECT_EQ(ShownTexts(), std::vector<std::wstring>{LangText(Text::NothingToFix)});

    SetString(Path(L"Stay"), L"v", L"1");
    const uint32_t id = AddError(Path(L"Stay"), L"", 0, 1, false);
    // Cancelled at the confirmation.
    shown_.clear();
    answers_ = {IDNO};
    EXPECT_EQ(FixErrorsWindow(view_), 0);
    EXPECT_EQ(ShownTexts(), std::vector<std::wstring>{LangText(Text::FixConfirmQuestion)});
    // Nothing checked.
    shown_.clear();
    answers_ = {IDYES};
    EXPECT_EQ(FixErrorsWindow(view_), 0);
    EXPECT_EQ(ShownTexts(), (std::vector<std::wstring>{LangText(Text::FixConfirmQuestion),
                                                       LangText(Text::NoErrorsChecked)}));

    // The backup file cannot be created: a file stands where the backup folder should be.
    view_.rows[0].checked = true;
    RemoveTree(Paths().backupFolder);
    std::wstring folderAsFile = Paths().backupFolder;
    folderAsFile.pop_back();
    ASSERT_TRUE(WriteFileBytes(folderAsFile, "in the way"));
    shown_.clear();
    answers_ = {IDYES};
    EXPECT_EQ(FixErrorsWindow(view_), 0);
    ASSERT_EQ(shown_.size(), 2u);
    EXPECT_EQ(shown_[1].title, LangText(Text::ErrorTitle));
    EXPECT_NE(shown_[1].text.find(L"\"" + Paths().backupFolder + L"MDR_"), std::wstring::npos)
        << ToUtf8(shown_[1].text);
    DeleteFileW(folderAsFile.c_str());

    EXPECT_TRUE(KeyThere(Path(L"Stay")));
    EXPECT_TRUE(RowThere(id) && RecordThere(id));
    EXPECT_EQ(ErrorsFound(), 1u);
    EXPECT_EQ(view_.fixedTotal, 0u);
}

TEST_F(FixRun, WhatCannotBeDeletedStaysCheckedAndCounted) {
    SetString(Path(L"Guarded"), L"v", L"x");
    SetString(Path(L"Free"), L"v", L"x");
    const uint32_t guarded = AddError(Path(L"Guarded"), L"", 0, 7, true);
    const uint32_t unchecked = AddError(Path(L"Free"), L"v", 1, 7, false);
    const uint32_t free = AddError(Path(L"Free"), L"", 0, 7, true);
    SetKeyDacl(Path(L"Guarded"), L"D:(D;;KR;;;WD)(A;;KA;;;WD)");
    // The backup cannot read it: the user agrees to remove it all the same, which then fails.
    answers_ = {IDYES, IDYES};
    EXPECT_EQ(FixErrorsWindow(view_), 1);
    SetKeyDacl(Path(L"Guarded"), L"D:(A;;KA;;;WD)");

    EXPECT_TRUE(KeyThere(Path(L"Guarded")));
    EXPECT_FALSE(KeyThere(Path(L"Free")));
    EXPECT_TRUE(RowThere(guarded) && RecordThere(guarded) && RowThere(unchecked));
    EXPECT_FALSE(RowThere(free));
    // Two checked, one fixed: one left for the next scan's question.
    EXPECT_EQ(ErrorsFound(), 1u);
    EXPECT_EQ(view_.fixedTotal, 1u);
    EXPECT_EQ(AreaTable()[7].errorsFound, 2);
    EXPECT_EQ(view_.labels[8], LangText(Text::IeBhoArea) + L" (2)");
    EXPECT_EQ(shown_.back().text, LangText(Text::FixSomeFailed));
    EXPECT_TRUE(Logged(L"Error deleting key: \"" + kBaseText + L"\\Guarded\""));
    EXPECT_TRUE(Logged(L"Status: 1 of 2 errors fixed"));
}

// A record that names a container the areas walk (here App Paths itself, as a fault in an area
// could make one) is refused, the branch stays as it was to the byte, and the report says why; an
// entry below the container is fixed.
TEST_F(FixRun, NeverDeletesAContainerTheAreasWalk) {
    const std::wstring appPaths = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
    const std::wstring entry = appPaths + L"\\MDRTestGuard.exe";
    mdr::test::SetString(HKEY_LOCAL_MACHINE, entry, L"", L"C:\\gone\\guard.exe");
    mdr::test::RegTree before, after;
    const uint32_t container = AddError(appPaths, L"", 0, 1, true, kHklm);
    AddError(entry, L"", 0, 1, true, kHklm);
    ASSERT_TRUE(mdr::test::ReadRegTree(HKEY_LOCAL_MACHINE, appPaths, before));
    before.keys.erase(L"MDRTestGuard.exe");
    answers_ = {IDYES};
    EXPECT_EQ(FixErrorsWindow(view_), 1);
    ASSERT_TRUE(mdr::test::ReadRegTree(HKEY_LOCAL_MACHINE, appPaths, after));
    mdr::test::DeleteTree(HKEY_LOCAL_MACHINE, entry);
    EXPECT_EQ(after, before);
    EXPECT_TRUE(RowThere(container) && RecordThere(container));
    EXPECT_EQ(view_.fixedTotal, 1u);
    EXPECT_EQ(shown_.back().text, LangText(Text::FixSomeFailed) +
                                      L"\n\nNot fixed, because the key "
                                      L"\"HKEY_LOCAL_MACHINE\\" +
                                      appPaths +
                                      L"\" is one the scan walks, or lies above "
                                      L"one, and deleting it would take every entry below it too.");
    EXPECT_TRUE(Logged(L"refused: would delete the container \"HKEY_LOCAL_MACHINE\\" + appPaths +
                       L"\" (\"HKEY_LOCAL_MACHINE\\" + appPaths + L"\")"));
}

// Before the fix: what it will delete and whether the backup gives it back exactly.
TEST_F(FixRun, ThePreviewCountsWhatTheFixDeletes) {
    SetString(Path(L"P\\A\\B"), L"v", L"x");
    SetString(Path(L"P\\A"), L"w", L"y");
    mdr::test::SetRaw(HKEY_CURRENT_USER, Path(L"P"), L"odd", REG_SZ, {'a', 0, 'b', 0});
    DetectedError key, value, gone;
    key.root = value.root = gone.root = kHkcu;
    key.keyPath = Path(L"P"), value.keyPath = Path(L"P\\A"), gone.keyPath = Path(L"Gone");
    value.valueName = L"w", value.entryType = 1;
    const std::pair<FixPreview, std::wstring> cases[] = {
        {PreviewFix(key), L"Fixing this row deletes this key, with the 2 subkeys and 3 values in "
                          L"and below it.\r\nThe backup cannot give all of it back exactly: MDR "
                          L"asks before removing it."},
        {PreviewFix(value),
         L"Fixing this row deletes the value w.\r\nThe backup gives it back exactly."},
        {PreviewFix(gone), L"It is no longer in the registry: fixing only takes the row away."}};
    for (const auto& [preview, text] : cases)
        EXPECT_EQ(FixPreviewText(preview, L"w"), text);
}
