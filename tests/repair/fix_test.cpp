// Fixing selected errors: the pure steps (choices, backup names, path fitting, order, counts,
// omissions), the deletions on the real registry, and whole runs of FixErrorsWindow over a
// list stand-in against real keys, with the backup imported again by the real registry editor.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/localization.h"
#include "core/logging.h"
#include "core/settings.h"
#include "common/handles.h"
#include "common/ini.h"
#include "common/text.h"
#include "repair/fix_errors.h"
#include "repair/message_box.h"
#include "repair/reg_writer.h"
#include "scan/detected_errors.h"
#include "scan/scan_thread.h"
#include "tests/support/registry_snapshot.h"
#include "tests/support/test_files.h"

using namespace mdr;

namespace {

// Keys of this test only.
const std::wstring kBase = L"Software\\MDRTests\\Fix";
const std::wstring kBaseText = L"HKEY_CURRENT_USER\\" + kBase;

SYSTEMTIME Time(int day, int month, int year, int hour, int minute, int second) {
    SYSTEMTIME t{};
    t.wDay = static_cast<WORD>(day);
    t.wMonth = static_cast<WORD>(month);
    t.wYear = static_cast<WORD>(year);
    t.wHour = static_cast<WORD>(hour);
    t.wMinute = static_cast<WORD>(minute);
    t.wSecond = static_cast<WORD>(second);
    return t;
}

using mdr::test::FilesIn;
using mdr::test::MakeTempDir;
using mdr::test::WriteFileBytes;

void RemoveFolder(const std::wstring& folder) {
    mdr::test::RemoveTree(folder);
}

std::string Narrow(std::wstring_view s) {
    return ToUtf8(s);
}

// ---- Registry ----

using Bytes = std::vector<BYTE>;

Bytes Sz(std::wstring_view text) {
    const std::string bytes = mdr::test::Utf16Bytes(std::wstring(text) + L'\0');
    return Bytes(bytes.begin(), bytes.end());
}

void CreateKey(const std::wstring& path) {
    UniqueHkey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, key.put(), nullptr),
              ERROR_SUCCESS)
        << Narrow(path);
}

// Stores exactly data (a NUL right after string data would be taken in by the registry).
void SetRaw(const std::wstring& path, const std::wstring& name, DWORD type, const Bytes& data) {
    UniqueHkey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    Bytes padded = data;
    padded.insert(padded.end(), 4, 0xEE);
    ASSERT_EQ(RegSetValueExW(key.get(), name.c_str(), 0, type, padded.data(),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
}

void SetString(const std::wstring& path, const std::wstring& name, const std::wstring& text) {
    SetRaw(path, name, REG_SZ, Sz(text));
}

bool KeyThere(const std::wstring& path) {
    UniqueHkey key;
    return RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, key.put()) ==
           ERROR_SUCCESS;
}

bool ValueThere(const std::wstring& path, const std::wstring& name) {
    UniqueHkey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, key.put()) !=
        ERROR_SUCCESS)
        return false;
    return RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

using Tree = mdr::test::RegTree;
using mdr::test::ImportWithRegedit;

bool ReadTree(const std::wstring& path, Tree& tree) {
    return mdr::test::ReadRegTree(HKEY_CURRENT_USER, path, tree);
}

// Sets a key's DACL (SDDL text).
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
constexpr wchar_t kEveryoneFull[] = L"D:(A;;KA;;;WD)";
constexpr wchar_t kNoReading[] = L"D:(D;;KR;;;WD)(A;;KA;;;WD)";

} // namespace

// ---- Pure steps --------------------------------------------------------------------------------

TEST(FixSteps, BeforeFixingChoices) {
    struct Row {
        int value, question;
        bool backup, restorePoint;
        const wchar_t *asking, *chosen, *skipped;
    };
    const Row rows[] = {
        {0, 0, true, true, nullptr, L"Creating backup and restore point", nullptr},
        {1, 0, true, false, nullptr, L"Creating backup", nullptr},
        {2, 0, false, true, nullptr, L"Creating restore point", nullptr},
        {3, 99, true, true, L"Asking user to backup and create a restore point",
         L"Creating backup and restore point",
         L"Skipping the creation of a backup and restore point"},
        {4, 100, true, false, L"Asking user to backup", L"Creating backup",
         L"Skipping the creation of a backup"},
        {5, 101, false, true, L"Asking user to make restore point", L"Creating restore point",
         L"Skipping restore point creation"},
    };
    auto text = [](const wchar_t* s) { return std::wstring(s ? s : L"(none)"); };
    for (const Row& r : rows) {
        const FixChoice c = FixChoiceFor(r.value);
        EXPECT_EQ(c.question, r.question) << r.value;
        EXPECT_EQ(c.backup, r.backup) << r.value;
        EXPECT_EQ(c.restorePoint, r.restorePoint) << r.value;
        EXPECT_EQ(text(c.askingLog), text(r.asking)) << r.value;
        EXPECT_EQ(text(c.chosenLog), text(r.chosen)) << r.value;
        EXPECT_EQ(text(c.skippedLog), text(r.skipped)) << r.value;
    }
    for (int other : {-1, 6, 100}) {
        const FixChoice c = FixChoiceFor(other);
        EXPECT_EQ(c.question, 0);
        EXPECT_FALSE(c.backup);
        EXPECT_FALSE(c.restorePoint);
        EXPECT_EQ(c.chosenLog, nullptr);
    }
}

TEST(FixSteps, BackupFileNamesNeverRepeat) {
    const SYSTEMTIME t = Time(6, 12, 2026, 5, 41, 12);
    EXPECT_EQ(BackupFileName(t, 1), L"MDR_06_12_26_(054112).reg");
    EXPECT_EQ(BackupFileName(t, 2), L"MDR_06_12_26_(054112)_2.reg");
    EXPECT_EQ(BackupFileName(t, 17), L"MDR_06_12_26_(054112)_17.reg");
    EXPECT_EQ(BackupFileName(Time(31, 1, 2000, 23, 0, 9), 1), L"MDR_31_01_00_(230009).reg");

    // The first name nobody has taken.
    std::set<std::wstring> taken;
    auto isTaken = [&](const std::wstring& p) { return taken.count(p) != 0; };
    EXPECT_EQ(FreeBackupFilePath(L"C:\\B\\", t, isTaken), L"C:\\B\\MDR_06_12_26_(054112).reg");
    taken.insert(L"C:\\B\\MDR_06_12_26_(054112).reg");
    taken.insert(L"C:\\B\\MDR_06_12_26_(054112)_2.reg");
    EXPECT_EQ(FreeBackupFilePath(L"C:\\B\\", t, isTaken), L"C:\\B\\MDR_06_12_26_(054112)_3.reg");
    EXPECT_EQ(FreeBackupFilePath(L"C:\\B\\", t, [](const std::wstring&) { return true; }), L"");
}

TEST(FixSteps, ReservedBackupFilesLeaveEarlierOnesAlone) {
    const std::wstring folder = MakeTempDir(L"mdr_fix_names");
    const SYSTEMTIME t = Time(6, 12, 2026, 5, 41, 12);
    const std::wstring first = ReserveBackupFile(folder, t);
    ASSERT_EQ(first, folder + L"MDR_06_12_26_(054112).reg");
    ASSERT_TRUE(WriteFileBytes(first, "earlier backup"));
    const std::wstring second = ReserveBackupFile(folder, t);
    const std::wstring third = ReserveBackupFile(folder, t);
    EXPECT_EQ(second, folder + L"MDR_06_12_26_(054112)_2.reg");
    EXPECT_EQ(third, folder + L"MDR_06_12_26_(054112)_3.reg");
    std::string bytes;
    ASSERT_EQ(ReadFileBytes(first, bytes), FileState::Ok);
    EXPECT_EQ(bytes, "earlier backup");
    EXPECT_EQ(FilesIn(folder).size(), 3u);
    // A folder of that name is in the way too.
    CreateDirectoryW((folder + L"MDR_07_12_26_(054112).reg").c_str(), nullptr);
    EXPECT_EQ(ReserveBackupFile(folder, Time(7, 12, 2026, 5, 41, 12)),
              folder + L"MDR_07_12_26_(054112)_2.reg");
    // No folder: nothing reserved.
    EXPECT_EQ(ReserveBackupFile(folder + L"missing\\", t), L"");
    RemoveFolder(folder);
}

TEST(FixSteps, RowsBottomUpAndCounts) {
    EXPECT_EQ(RowsBottomUp({}), std::vector<int>{});
    EXPECT_EQ(RowsBottomUp({true, false, true, true, false}), (std::vector<int>{3, 2, 0}));
    EXPECT_EQ(RowsBottomUp({false, false}), std::vector<int>{});

    EXPECT_EQ(ErrorsLeftAfterFix(5, 5), 0u);
    EXPECT_EQ(ErrorsLeftAfterFix(5, 3), 2u);
    EXPECT_EQ(ErrorsLeftAfterFix(0, 0), 0u);
    EXPECT_EQ(ErrorsLeftAfterFix(1, 2), 0u) << "never below 0";
}

TEST(FixSteps, OmissionsBelongToTheErrorsThatRemoveThem) {
    DetectedError key;
    key.root = kHkcu;
    key.keyPath = L"Software\\A\\";
    key.entryType = 0;
    EXPECT_TRUE(OmissionConcerns(L"HKEY_CURRENT_USER\\Software\\A", key));
    EXPECT_TRUE(OmissionConcerns(L"HKEY_CURRENT_USER\\software\\a\\Deep\\Er", key));
    EXPECT_TRUE(OmissionConcerns(L"HKEY_CURRENT_USER\\Software\\A -> text", key));
    EXPECT_TRUE(OmissionConcerns(L"HKEY_CURRENT_USER\\Software\\A\\B -> text", key));
    EXPECT_FALSE(OmissionConcerns(L"HKEY_CURRENT_USER\\Software\\AB", key));
    EXPECT_FALSE(OmissionConcerns(L"HKEY_CURRENT_USER\\Software", key));
    EXPECT_FALSE(OmissionConcerns(L"HKEY_LOCAL_MACHINE\\Software\\A", key));

    DetectedError value = key;
    value.entryType = 1;
    value.valueName = L"line\r\nbreak";
    EXPECT_TRUE(OmissionConcerns(L"HKEY_CURRENT_USER\\Software\\A -> line\\r\\nbreak", value));
    EXPECT_TRUE(OmissionConcerns(L"HKEY_CURRENT_USER\\Software\\A", value));
    EXPECT_FALSE(OmissionConcerns(L"HKEY_CURRENT_USER\\Software\\A -> other", value));
    EXPECT_FALSE(OmissionConcerns(L"HKEY_CURRENT_USER\\Software\\A\\B", value));

    DetectedError brokenName = key;
    brokenName.keyPath = L"Software\\Odd\nKey";
    EXPECT_TRUE(OmissionConcerns(L"HKEY_CURRENT_USER\\Software\\Odd\\nKey", brokenName));
}

TEST(FixSteps, WhatMayBeDeleted) {
    const std::vector<bool> inexact{false, true, false};
    using V = std::vector<bool>;
    // Without a backup the user chose to have none: everything.
    EXPECT_EQ(RowsToDelete(false, false, inexact, false), (V{true, true, true}));
    // A backup not written completely: nothing at all.
    EXPECT_EQ(RowsToDelete(true, false, inexact, true), (V{false, false, false}));
    // A complete backup: what it cannot give back only when the user says so.
    EXPECT_EQ(RowsToDelete(true, true, inexact, false), (V{true, false, true}));
    EXPECT_EQ(RowsToDelete(true, true, inexact, true), (V{true, true, true}));
}

// ---- Deletions on the real registry ------------------------------------------------------------

class FixRegistry : public testing::Test {
  protected:
    void SetUp() override { CreateKey(kBase); }
    void TearDown() override {
        SHDeleteKeyW(HKEY_CURRENT_USER, kBase.c_str());
        SHDeleteEmptyKeyW(HKEY_CURRENT_USER, L"Software\\MDRTests");
    }
    static std::wstring Path(const std::wstring& sub) { return kBase + L"\\" + sub; }
};

TEST_F(FixRegistry, DeleteRegistryKeyTakesTheWholeSubtree) {
    SetString(Path(L"Tree\\A\\B"), L"v", L"x");
    SetString(Path(L"Tree"), L"", L"default");
    CreateKey(Path(L"Tree\\C"));
    CreateKey(Path(L"Treeside"));
    EXPECT_EQ(DeleteRegistryKey(kHkcu, Path(L"Tree\\")), 1);
    EXPECT_FALSE(KeyThere(Path(L"Tree")));
    EXPECT_TRUE(KeyThere(Path(L"Treeside")));
    // Gone already counts as deleted.
    EXPECT_EQ(DeleteRegistryKey(kHkcu, Path(L"Tree")), 1);
    EXPECT_EQ(DeleteRegistryKey(kHkcu, Path(L"Never\\There")), 1);
}

TEST_F(FixRegistry, DeleteRegistryKeyRefusesRootsAndUnknownRoots) {
    EXPECT_EQ(DeleteRegistryKey(kHkcu, L""), 0);
    EXPECT_EQ(DeleteRegistryKey(kHkcu, L"\\"), 0);
    EXPECT_EQ(DeleteRegistryKey(kHkcu, L"\\\\"), 0);
    EXPECT_EQ(DeleteRegistryKey(0x80000004u, Path(L"x")), 0);
    EXPECT_TRUE(KeyThere(L"Software"));
    EXPECT_TRUE(KeyThere(kBase));
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
    void SetAreaLabel(int item, const std::wstring& text, bool normalIcon) override {
        labels[item] = text;
        if (normalIcon) normalIcons.insert(item);
    }
    void RefreshDetails() override { ++detailRefreshes; }
    void SetStatusText(const std::wstring& text) override { status = text; }
    void AddFixedErrors(uint64_t fixed) override { fixedTotal += fixed; }

    std::vector<FakeRow> rows;
    std::map<int, std::wstring> labels;
    std::set<int> normalIcons;
    int detailRefreshes = 0;
    std::wstring status;
    uint64_t fixedTotal = 0;
};

struct Shown {
    std::wstring title;
    std::wstring text;
    UINT flags;
};

} // namespace

class FixRun : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(LoadLanguage(mdr::test::DistDir(), L"Localization\\English.ini"), 1);
        for (int item = 1; item <= kAreaCount; ++item)
            AreaTable()[item - 1].name = LangText(item);
    }

    void SetUp() override {
        CreateKey(kBase);
        program_ = MakeTempDir(L"mdr_fix_program");
        Paths().programFolder = program_;
        Paths().backupFolder = program_ + L"Backup\\";
        CreateDirectoryW(Paths().backupFolder.c_str(), nullptr);
        Paths().logFile = program_ + L"MDRLog.log";
        ASSERT_EQ(BeginLogFile(Paths().logFile, L"fix test"), 1);
        Settings().CreateLog = 1;
        Settings().BeforeFixing = 1;
        ClearRecords();
        for (int i = 0; i < kAreaCount; ++i)
            AreaTable()[i].errorsFound = 0;
        SetErrorsFound(0);
        SetMessagePresenter([this](std::wstring_view text, std::wstring_view title, UINT flags) {
            shown_.push_back({std::wstring(title), std::wstring(text), flags});
            if ((flags & 0xF) != MB_YESNO) return IDOK;
            if (answers_.empty()) {
                ADD_FAILURE() << "unexpected question: " << Narrow(text);
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
        RemoveFolder(program_);
    }

    static std::wstring Path(const std::wstring& sub) { return kBase + L"\\" + sub; }

    // A record and its row, as a scan would have left them.
    uint32_t AddError(const std::wstring& keyPath, const std::wstring& valueName, int entryType,
                      int areaIndex, bool checked) {
        DetectedError e;
        e.root = kHkcu;
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
        return std::any_of(view_.rows.begin(), view_.rows.end(),
                           [id](const FakeRow& r) { return r.id == id; });
    }
    bool RecordThere(uint32_t id) const {
        return std::any_of(Records().begin(), Records().end(),
                           [id](const DetectedError& e) { return e.id == id; });
    }

    std::vector<std::wstring> Backups() const { return FilesIn(Paths().backupFolder); }

    // The log's lines without their stamp ("#dd/mm/yy hh:mm:ss" and six blanks).
    std::vector<std::wstring> Log() const {
        constexpr size_t kStamp = 24;
        std::vector<std::wstring> lines;
        for (const std::wstring& line : mdr::test::ReadLines(Paths().logFile)) {
            if (line.size() >= kStamp && line[0] == L'#') lines.push_back(line.substr(kStamp));
        }
        return lines;
    }
    bool Logged(const std::wstring& text) const {
        const auto lines = Log();
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::wstring& l) { return l == text; });
    }

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
    Tree before;
    ASSERT_TRUE(ReadTree(kBase, before));

    const uint32_t cls = AddError(Path(L"Class\\InprocServer32"), L"", 0, 0, true);
    const uint32_t a = AddError(Path(L"Shared"), L"C:\\gone\\a.dll", 1, 14, true);
    const uint32_t c = AddError(Path(L"Shared"), L"C:\\kept\\c.dll", 1, 14, false);
    const uint32_t b = AddError(Path(L"Shared"), L"C:\\gone\\b.dll", 1, 14, true);
    // A value row above its key's row, and a key row above its value's row.
    const uint32_t bothValue = AddError(Path(L"Both"), L"v", 1, 0, true);
    const uint32_t bothKey = AddError(Path(L"Both"), L"", 0, 0, true);
    const uint32_t both2Key = AddError(Path(L"Both2"), L"", 0, 0, true);
    const uint32_t both2Value = AddError(Path(L"Both2"), L"v", 1, 0, true);
    // Removed by someone else after the scan.
    const uint32_t gone = AddError(Path(L"AlreadyGone"), L"", 0, 0, true);
    ASSERT_EQ(view_.rows.size(), 9u);

    answers_ = {IDYES};
    EXPECT_EQ(FixErrorsWindow(view_), 1);

    // Registry: everything checked is gone, the unchecked value stays.
    EXPECT_FALSE(KeyThere(Path(L"Class\\InprocServer32")));
    EXPECT_TRUE(KeyThere(Path(L"Class")));
    EXPECT_FALSE(ValueThere(Path(L"Shared"), L"C:\\gone\\a.dll"));
    EXPECT_FALSE(ValueThere(Path(L"Shared"), L"C:\\gone\\b.dll"));
    EXPECT_TRUE(ValueThere(Path(L"Shared"), L"C:\\kept\\c.dll"));
    EXPECT_FALSE(KeyThere(Path(L"Both")));
    EXPECT_FALSE(KeyThere(Path(L"Both2")));

    // Rows and records: only the unchecked one is left.
    ASSERT_EQ(view_.rows.size(), 1u);
    EXPECT_EQ(view_.rows[0].id, c);
    for (uint32_t id : {cls, a, b, bothValue, bothKey, both2Key, both2Value, gone})
        EXPECT_FALSE(RecordThere(id)) << id;
    EXPECT_TRUE(RecordThere(c));
    ASSERT_EQ(Records().size(), 1u);

    // Counters and labels: every checked row was fixed.
    EXPECT_EQ(ErrorsFound(), 0u);
    EXPECT_EQ(view_.fixedTotal, 8u);
    EXPECT_EQ(AreaTable()[14].errorsFound, 1);
    EXPECT_EQ(view_.labels[15], LangText(15) + L" (1)");
    EXPECT_EQ(ShownTexts(), (std::vector<std::wstring>{LangText(96), LangText(107)}));

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
    std::vector<std::wstring> logged;
    for (const std::wstring& line : Log()) {
        for (const std::wstring& want : expected) {
            if (line == want) {
                logged.push_back(want);
                break;
            }
        }
    }
    EXPECT_EQ(logged, expected);

    // One backup file, named for now; importing it gives back exactly what was there.
    const std::vector<std::wstring> files = Backups();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(files[0].starts_with(L"MDR_") && files[0].ends_with(L").reg")) << Narrow(files[0]);
    ImportWithRegedit(Paths().backupFolder + files[0]);
    Tree after;
    ASSERT_TRUE(ReadTree(kBase, after));
    EXPECT_TRUE(after == before) << "the backup did not restore every removed entry";
}

TEST_F(FixRun, AsksBeforeRemovingWhatTheBackupCannotGiveBack) {
    // A REG_SZ without its terminating NUL comes back from a .reg file with one.
    SetRaw(Path(L"Inexact"), L"odd", REG_SZ, Bytes{'a', 0, 'b', 0});
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
        << Narrow(shown_[1].text);
    EXPECT_EQ(shown_[1].flags & (MB_YESNO | MB_DEFBUTTON2),
              static_cast<UINT>(MB_YESNO | MB_DEFBUTTON2));
    EXPECT_EQ(shown_[2].text, LangText(108));
    EXPECT_TRUE(Logged(L"The backup cannot restore exactly: " + kBaseText + L"\\Inexact -> odd"));

    // Yes: removed all the same.
    shown_.clear();
    answers_ = {IDYES, IDYES};
    EXPECT_EQ(FixErrorsWindow(view_), 1);
    EXPECT_FALSE(KeyThere(Path(L"Inexact")));
    EXPECT_TRUE(view_.rows.empty());
    EXPECT_EQ(ErrorsFound(), 0u);
    ASSERT_EQ(shown_.size(), 3u);
    EXPECT_EQ(shown_[2].text, LangText(107));
}

TEST_F(FixRun, WithoutABackupNoFileIsWrittenAndNoQuestionAsked) {
    // 2: restore point only; 3, 4, 5 answered No.
    for (int mode : {2, 3, 4, 5}) {
        SCOPED_TRACE(mode);
        Settings().BeforeFixing = mode;
        SetRaw(Path(L"Inexact"), L"odd", REG_SZ, Bytes{'a', 0});
        AddError(Path(L"Inexact"), L"", 0, 5, true);
        shown_.clear();
        answers_ = mode == 2 ? std::deque<int>{IDYES} : std::deque<int>{IDYES, IDNO};
        EXPECT_EQ(FixErrorsWindow(view_), 1);
        EXPECT_FALSE(KeyThere(Path(L"Inexact")));
        EXPECT_TRUE(Backups().empty());
        ASSERT_FALSE(shown_.empty());
        if (mode != 2) {
            EXPECT_EQ(shown_[1].text, LangText(96 + mode));
        }
        // A restore point that cannot be set may say so; the last box reports the fix.
        EXPECT_EQ(shown_.back().text, LangText(107));
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
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].text, LangText(95));
    EXPECT_EQ(shown_[0].flags, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
    EXPECT_TRUE(Logged(L"No errors to fix"));

    SetString(Path(L"Stay"), L"v", L"1");
    const uint32_t id = AddError(Path(L"Stay"), L"", 0, 1, false);
    // Cancelled at the confirmation.
    shown_.clear();
    answers_ = {IDNO};
    EXPECT_EQ(FixErrorsWindow(view_), 0);
    EXPECT_EQ(ShownTexts(), std::vector<std::wstring>{LangText(96)});
    EXPECT_TRUE(Logged(L"User cancelled fixing..."));
    // Nothing checked.
    shown_.clear();
    answers_ = {IDYES};
    EXPECT_EQ(FixErrorsWindow(view_), 0);
    EXPECT_EQ(ShownTexts(), (std::vector<std::wstring>{LangText(96), LangText(97)}));
    EXPECT_TRUE(Logged(L"No error entries selected, returning"));

    // The backup file cannot be created: a file stands where the backup folder should be.
    view_.rows[0].checked = true;
    RemoveFolder(Paths().backupFolder);
    std::wstring folderAsFile = Paths().backupFolder;
    folderAsFile.pop_back();
    ASSERT_TRUE(WriteFileBytes(folderAsFile, "in the way"));
    shown_.clear();
    answers_ = {IDYES};
    EXPECT_EQ(FixErrorsWindow(view_), 0);
    ASSERT_EQ(shown_.size(), 2u);
    EXPECT_EQ(shown_[1].title, LangText(19));
    EXPECT_NE(shown_[1].text.find(L"\"" + Paths().backupFolder + L"MDR_"), std::wstring::npos)
        << Narrow(shown_[1].text);
    DeleteFileW(folderAsFile.c_str());

    EXPECT_TRUE(KeyThere(Path(L"Stay")));
    EXPECT_TRUE(RowThere(id));
    EXPECT_TRUE(RecordThere(id));
    EXPECT_EQ(ErrorsFound(), 1u);
    EXPECT_EQ(view_.fixedTotal, 0u);
}

TEST_F(FixRun, WhatCannotBeDeletedStaysCheckedAndCounted) {
    SetString(Path(L"Guarded"), L"v", L"x");
    SetString(Path(L"Free"), L"v", L"x");
    const uint32_t guarded = AddError(Path(L"Guarded"), L"", 0, 7, true);
    const uint32_t unchecked = AddError(Path(L"Free"), L"v", 1, 7, false);
    const uint32_t free = AddError(Path(L"Free"), L"", 0, 7, true);
    SetKeyDacl(Path(L"Guarded"), kNoReading);
    // The backup cannot read it: the user agrees to remove it all the same, which then fails.
    answers_ = {IDYES, IDYES};
    EXPECT_EQ(FixErrorsWindow(view_), 1);
    SetKeyDacl(Path(L"Guarded"), kEveryoneFull);

    EXPECT_TRUE(KeyThere(Path(L"Guarded")));
    EXPECT_FALSE(KeyThere(Path(L"Free")));
    EXPECT_TRUE(RowThere(guarded));
    EXPECT_TRUE(RecordThere(guarded));
    EXPECT_TRUE(RowThere(unchecked));
    EXPECT_FALSE(RowThere(free));
    // Two checked, one fixed: one left for the next scan's question.
    EXPECT_EQ(ErrorsFound(), 1u);
    EXPECT_EQ(view_.fixedTotal, 1u);
    EXPECT_EQ(AreaTable()[7].errorsFound, 2);
    EXPECT_EQ(view_.labels[8], LangText(8) + L" (2)");
    EXPECT_EQ(shown_.back().text, LangText(108));
    EXPECT_TRUE(Logged(L"Error deleting key: \"" + kBaseText + L"\\Guarded\""));
    EXPECT_TRUE(Logged(L"Status: 1 of 2 errors fixed"));
}
