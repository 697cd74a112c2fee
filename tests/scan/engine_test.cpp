// Detected errors and the scan thread, seen through the headless view and the program log:
// the skip rules and their precedence, the record and its row, colouring, the first error's
// details, pre-checking, and whole scans of real areas on a sandboxed registry (no selection,
// two areas, an area whose errors are all skipped, a second scan, cancelling mid-area).
#include <windows.h>
#include <process.h>

#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/localization.h"
#include "core/settings.h"
#include "core/skip_rules.h"
#include "common/handles.h"
#include "common/text.h"
#include "scan/detected_errors.h"
#include "scan/headless_view.h"
#include "scan/engine_state.h"
#include "scan/scan_thread.h"
#include "tests/scan/scan_test_env.h"
#include "tests/support/registry_sandbox.h"

using namespace mdr;
using mdr::test::FindLine;
using mdr::test::LogCapture;
using mdr::test::RegistrySandbox;

namespace {

// The settings and lists a test changes, put back afterwards.
class EngineTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        mdr::test::LoadEnglishTexts();
        for (int item = 1; item <= kAreaCount; ++item)
            AreaTable()[item - 1].name = LangText(item);
    }

    void SetUp() override {
        saved_ = Settings();
        Settings().SelectItems = 0;
        Settings().HighlightEntry = 0;
        Exceptions().clear();
        SkipMap().clear();
        ClearRecords();
        SetErrorsFound(0);
        for (int i = 0; i < kAreaCount; ++i)
            AreaTable()[i].errorsFound = 0;
        for (int item = 0; item <= kAreaCount; ++item)
            view_.SetText(item, item == 0 ? L"Scan areas" : AreaTable()[item - 1].name);
        SetScanView(&view_);
        SetErrorReportCallback(ReportDetectedError);
        SetCurrentArea(2);
    }

    void TearDown() override {
        SetScanView(nullptr);
        SetErrorReportCallback(nullptr);
        SetProgressCallback(nullptr);
        ClearRecords();
        SetErrorsFound(0);
        Exceptions().clear();
        SkipMap().clear();
        SetCurrentArea(0);
        Settings() = saved_;
    }

    int Report(RootKey root, const std::wstring& keyPath, int safety = 1,
               const std::wstring& valueName = L"", const std::wstring& valueData = L"",
               int entryType = 0, const std::wstring& description = L"description") {
        return ReportDetectedError(root, keyPath, valueName, valueData, L"Application paths",
                                   description, safety, entryType);
    }

    AppSettings saved_;
    HeadlessScanView view_;
};

// ---- ReportDetectedError ----

TEST_F(EngineTest, StoresTheRecordAsReportedAndShowsItsRow) {
    LogCapture log;
    ASSERT_EQ(Report(kHklm, L"Software\\MDR\\Key"), 1);
    ASSERT_EQ(Report(kHkcu, L"Software\\MDR\\Other", 0, L"Setting", L"C:\\gone.exe", 1, L"d2"), 1);

    ASSERT_EQ(Records().size(), 2u);
    const DetectedError& a = Records()[0];
    EXPECT_EQ(a.root, kHklm);
    EXPECT_EQ(a.keyPath, L"Software\\MDR\\Key");
    EXPECT_EQ(a.valueName, L""); // "(Default)" is only shown, never stored
    EXPECT_EQ(a.valueData, L"");
    EXPECT_EQ(a.category, L"Application paths");
    EXPECT_EQ(a.areaIndex, 1);
    EXPECT_EQ(a.description, L"description");
    EXPECT_EQ(a.safety, 1);
    EXPECT_EQ(a.entryType, 0);
    EXPECT_LE(a.id, 99999999u);
    const DetectedError& b = Records()[1];
    EXPECT_EQ(b.valueName, L"Setting");
    EXPECT_EQ(b.valueData, L"C:\\gone.exe");
    EXPECT_EQ(b.entryType, 1);
    EXPECT_NE(a.id, b.id);

    EXPECT_EQ(ErrorsFound(), 2u);
    EXPECT_EQ(AreaTable()[1].errorsFound, 2);
    EXPECT_EQ(view_.Tree(2).text, LangText(2) + L" (2)");

    auto rows = view_.Rows();
    ASSERT_EQ(rows.size(), 2u);
    const ResultRow& r0 = rows[0].row;
    EXPECT_EQ(r0.columns[0], L"HKEY_LOCAL_MACHINE");
    EXPECT_EQ(r0.columns[1], L"Software\\MDR\\Key");
    EXPECT_EQ(r0.columns[2], L"(Default)");
    EXPECT_EQ(r0.columns[3], LangText(88));
    EXPECT_EQ(r0.columns[4], L"Application paths");
    EXPECT_EQ(r0.image, 7);
    EXPECT_EQ(r0.id, a.id);
    const ResultRow& r1 = rows[1].row;
    EXPECT_EQ(r1.columns[0], L"HKEY_CURRENT_USER");
    EXPECT_EQ(r1.columns[2], L"Setting");
    EXPECT_EQ(r1.columns[3], L"C:\\gone.exe");
    EXPECT_EQ(r1.image, 8);
    EXPECT_EQ(r1.id, b.id);

    std::vector<std::wstring> expected = {
        L"---> Error detected", L"Main key: HKEY_LOCAL_MACHINE", L"Subkey: Software\\MDR\\Key",
        L"Value: (Default)",    L"Value data: " + LangText(88),  L"Category: Application paths",
        L"Safety: 1",           L"Entry type: " + LangText(132), L"Item is safe, selecting",
        L"---> Error detected", L"Main key: HKEY_CURRENT_USER",  L"Subkey: Software\\MDR\\Other",
        L"Value: Setting",      L"Value data: C:\\gone.exe",     L"Category: Application paths",
        L"Safety: 0",           L"Entry type: " + LangText(133),
    };
    EXPECT_EQ(log.Lines(), expected);
}

TEST_F(EngineTest, ExceptionsComeBeforeTheSkipMap) {
    LogCapture log;
    AddException(kHkcu, L"Software\\Both");
    SkipMap().push_back({kHkcu, L"Software\\Both"});
    EXPECT_EQ(Report(kHkcu, L"Software\\Both"), 0);
    EXPECT_EQ(log.Lines(), std::vector<std::wstring>{
                               L"Skipped key: HKEY_CURRENT_USER\\Software\\Both. Reason: Key is "
                               L"on blacklist."});
    // A skipped error leaves no other trace.
    EXPECT_TRUE(Records().empty());
    EXPECT_EQ(ErrorsFound(), 0u);
    EXPECT_EQ(AreaTable()[1].errorsFound, 0);
    EXPECT_TRUE(view_.Rows().empty());
    EXPECT_EQ(view_.Tree(2).text, LangText(2));
}

TEST_F(EngineTest, BranchExceptionsCoverTheKeyItsBranchAndNameSiblings) {
    AddException(kHkcu, L"Software\\Foo\\*");
    AddException(kHkcu, L" SOFTWARE\\Plain ");
    EXPECT_EQ(InExceptions(kHkcu, L"Software\\Foo"), 1);
    EXPECT_EQ(InExceptions(kHkcu, L"Software\\Foo\\Bar"), 1);
    EXPECT_EQ(InExceptions(kHkcu, L"software\\foo\\bar\\deep"), 1);
    EXPECT_EQ(InExceptions(kHkcu, L"Software\\FooBar"), 1); // compared by characters
    EXPECT_EQ(InExceptions(kHkcu, L"Software\\Fo"), 0);
    EXPECT_EQ(InExceptions(kHklm, L"Software\\Foo\\Bar"), 0);
    EXPECT_EQ(InExceptions(kHklm, L"Software\\FooBar"), 0);
    // Without "\*" a rule covers its own key only, ignoring case and blanks.
    EXPECT_EQ(InExceptions(kHkcu, L"software\\plain"), 1);
    EXPECT_EQ(InExceptions(kHkcu, L"Software\\Plain\\Sub"), 0);

    LogCapture log;
    EXPECT_EQ(Report(kHkcu, L"Software\\FooBar"), 0);
    EXPECT_EQ(Report(kHklm, L"Software\\Foo\\Bar"), 1);
    EXPECT_EQ(Records().size(), 1u);
    EXPECT_EQ(FindLine(log.Lines(),
                       L"Skipped key: HKEY_CURRENT_USER\\Software\\FooBar. Reason: Key is on "
                       L"blacklist."),
              0);
}

TEST_F(EngineTest, SkipMapEntriesProtectExactlyOneKey) {
    SkipMap() = ParseSkipMapText(L"HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{A}\\\r\n"
                                 L"  hkey_current_user\\Software\\Skipped  \r\n");
    ASSERT_EQ(SkipMap().size(), 2u);
    EXPECT_EQ(InSkipMap(kHklm, L"Software\\Classes\\CLSID\\{A}"), 1);
    EXPECT_EQ(InSkipMap(kHklm, L"Software\\Classes\\CLSID\\{A}\\"), 1);
    EXPECT_EQ(InSkipMap(kHklm, L" software\\classes\\clsid\\{a} "), 1);
    EXPECT_EQ(InSkipMap(kHklm, L"Software\\Classes\\CLSID\\{A}\\InprocServer32"), 0);
    EXPECT_EQ(InSkipMap(kHkcu, L"Software\\Skipped"), 1);
    EXPECT_EQ(InSkipMap(kHklm, L"Software\\Skipped"), 0);
    // No branch rule in the skip map, even when an entry is written like one.
    SkipMap().push_back({kHkcu, L"Software\\Branch\\*"});
    EXPECT_EQ(InSkipMap(kHkcu, L"Software\\Branch\\Sub"), 0);

    LogCapture log;
    EXPECT_EQ(Report(kHklm, L"Software\\Classes\\CLSID\\{A}"), 0);
    EXPECT_EQ(Report(kHklm, L"Software\\Classes\\CLSID\\{A}\\InprocServer32"), 1);
    EXPECT_EQ(log.Lines()[0], L"Skipped key: HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{A}. "
                              L"Reason: Key is on default blacklist.");
}

TEST_F(EngineTest, HighlightingColoursEvenRowsOnly) {
    Settings().HighlightEntry = 1;
    Settings().EntryColor = 0x123456;
    for (int i = 0; i < 5; ++i)
        Report(kHklm, L"Software\\K" + std::to_wstring(i));
    auto rows = view_.Rows();
    ASSERT_EQ(rows.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        if (i % 2 == 0) {
            ASSERT_TRUE(rows[i].color.has_value());
            EXPECT_EQ(*rows[i].color, static_cast<COLORREF>(0x123456));
        } else {
            EXPECT_FALSE(rows[i].color.has_value());
        }
    }
    view_.Clear();
    Settings().HighlightEntry = 0;
    Report(kHklm, L"Software\\Plain");
    EXPECT_FALSE(view_.Rows()[0].color.has_value());
}

TEST_F(EngineTest, TheFirstErrorShowsItsDetailsAndIsSelected) {
    Report(kHklm, L"Software\\One", 1, L"", L"", 0, L"first description");
    Report(kHklm, L"Software\\Two", 1, L"", L"", 0, L"second description");
    Report(kHklm, L"Software\\Three", 1, L"", L"", 0, L"third description");
    EXPECT_EQ(view_.Details(), L"first description");
    EXPECT_EQ(view_.SelectedRow(), 0);
    int shows = 0, selections = 0;
    for (const std::wstring& call : view_.Journal()) {
        shows += call == L"ShowDetails";
        selections += StartsWithNoCase(call, L"SelectRow");
    }
    EXPECT_EQ(shows, 1);
    EXPECT_EQ(selections, 1);
}

TEST_F(EngineTest, RowsArePreCheckedBySelectItems) {
    struct Case {
        int selectItems;
        std::vector<bool> checked; // rows: safe, unsafe, safe
        const wchar_t* logLine;
    };
    const Case cases[] = {
        {0, {true, false, true}, L"Item is safe, selecting"},
        {1, {false, true, false}, L"Item is unsafe, selecting"},
        {2, {true, true, true}, L"Selecting item"},
        {3, {false, false, false}, nullptr},
        {7, {false, false, false}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.selectItems);
        LogCapture log;
        view_.Clear();
        ClearRecords();
        SetErrorsFound(0);
        Settings().SelectItems = c.selectItems;
        Report(kHklm, L"Software\\Safe1", 1);
        Report(kHklm, L"Software\\Unsafe", 0);
        Report(kHklm, L"Software\\Safe2", 1);
        auto rows = view_.Rows();
        ASSERT_EQ(rows.size(), 3u);
        size_t checkedRows = 0;
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(rows[i].checked, c.checked[i]) << "row " << i;
            checkedRows += rows[i].checked;
        }
        size_t selectionLines = 0;
        for (const std::wstring& line : log.Lines())
            selectionLines += line.find(L"elect") != std::wstring::npos;
        EXPECT_EQ(selectionLines, checkedRows);
        if (c.logLine) {
            EXPECT_NE(FindLine(log.Lines(), c.logLine), -1);
        }
        // Checking keeps the row's other state: the first row is still the selected one.
        EXPECT_EQ(view_.SelectedRow(), 0);
    }
}

TEST_F(EngineTest, WithoutAViewTheRecordIsStillKept) {
    SetScanView(nullptr);
    EXPECT_EQ(Report(kHklm, L"Software\\Headless"), 1);
    EXPECT_EQ(Records().size(), 1u);
    EXPECT_EQ(ErrorsFound(), 1u);
}

TEST(RecordIds, InRangeAndUniqueAmongLiveRecords) {
    std::set<uint32_t> seen;
    std::vector<uint32_t> ids;
    for (int i = 0; i < 3000; ++i) {
        uint32_t id = NewRecordId();
        EXPECT_LE(id, 99999999u);
        EXPECT_TRUE(seen.insert(id).second) << "duplicate " << id;
        ids.push_back(id);
    }
    // Spread over the range, not a counter.
    EXPECT_GT(*seen.rbegin() - *seen.begin(), 90000000u);
    ReleaseRecordId(100000000u); // unknown: nothing happens
    for (uint32_t id : ids)
        ReleaseRecordId(id);
}

// ---- The scan thread ----

constexpr wchar_t kAppPaths[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr wchar_t kDrivers32[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";

std::vector<std::wstring> g_items;
std::wstring g_stopSuffix;
bool g_stopped = false;

// As the main window's callback: once stopped, every later call says stop too.
int CountItem(const std::wstring& text) {
    g_items.push_back(text);
    if (!g_stopSuffix.empty() && EndsWithNoCase(text, g_stopSuffix)) g_stopped = true;
    return g_stopped ? 0 : 1;
}

class ScanThreadTest : public EngineTest {
  protected:
    static void SetUpTestSuite() {
        EngineTest::SetUpTestSuite();
        InitScanEnginePaths();
    }
    void SetUp() override {
        EngineTest::SetUp();
        box_ = std::make_unique<RegistrySandbox>(L"ScanThread");
        SetSearchFolders({});
        SetProgressCallback(CountItem);
        SetCurrentArea(0);
        g_items.clear();
        g_stopSuffix.clear();
        g_stopped = false;
        Settings().SelectItems = 2;
    }
    void TearDown() override {
        box_.reset();
        InitScanEnginePaths();
        EngineTest::TearDown();
    }

    std::wstring Gone(const std::wstring& name) { return box_->Folder() + L"gone\\" + name; }
    void PlantBrokenAppPath(const std::wstring& exe) {
        box_->SetString(HKEY_LOCAL_MACHINE, std::wstring(kAppPaths) + L"\\" + exe, L"", Gone(exe));
    }
    void PlantBrokenInterface(const std::wstring& iid) {
        std::wstring k = L"Software\\Classes\\Interface\\" + iid;
        box_->SetString(HKEY_LOCAL_MACHINE, k + L"\\ProxyStubClsid32", L"", L"{MDR-NO-PROXY}");
        box_->SetString(HKEY_LOCAL_MACHINE, k + L"\\TypeLib", L"", L"{MDR-NO-TYPELIB}");
    }
    void Tick(std::initializer_list<int> items) {
        view_.SetAllChecked(false);
        for (int item : items)
            view_.SetChecked(item, true);
    }
    // Runs the scan thread as the window does: its own thread, waited for.
    int RunScanThread() {
        unsigned id = 0;
        UniqueHandle thread(
            reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ScanThreadEntry, nullptr, 0, &id)));
        EXPECT_TRUE(thread);
        if (!thread) return -99;
        EXPECT_EQ(WaitForSingleObject(thread.get(), 60000), WAIT_OBJECT_0);
        DWORD code = 0;
        GetExitCodeThread(thread.get(), &code);
        return static_cast<int>(code);
    }
    int JournalIndex(const std::wstring& call) {
        auto journal = view_.Journal();
        for (size_t i = 0; i < journal.size(); ++i)
            if (journal[i] == call) return static_cast<int>(i);
        return -1;
    }
    // Every expected line appears, in this order.
    static void ExpectInOrder(const std::vector<std::wstring>& lines,
                              const std::vector<std::wstring>& expected) {
        int at = 0;
        for (const std::wstring& line : expected) {
            int found = FindLine(lines, line, at);
            ASSERT_NE(found, -1) << "missing or out of order: " << ToUtf8(line);
            at = found + 1;
        }
    }

    std::unique_ptr<RegistrySandbox> box_;
};

TEST_F(ScanThreadTest, NothingTickedShowsTheNoticeAndChangesNothing) {
    LogCapture log;
    Tick({});
    view_.SetText(2, L"Application paths (3)"); // left from an earlier scan
    EXPECT_EQ(RunScanThread(), 0);
    auto notices = view_.Notices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].text, LangText(136));
    EXPECT_EQ(notices[0].title, LangText(21));
    EXPECT_TRUE(view_.CheckboxesVisible());
    EXPECT_EQ(view_.Tree(2).text, L"Application paths (3)");
    EXPECT_EQ(view_.Journal().size(), 1u); // the notice only
    EXPECT_EQ(log.Lines(), (std::vector<std::wstring>{L"Entered the scan thread",
                                                      L"No areas selected, returning"}));
}

TEST_F(ScanThreadTest, AreasTwoAndEighteenOnly) {
    LogCapture log;
    PlantBrokenAppPath(L"gone.exe");
    box_->SetString(HKEY_LOCAL_MACHINE, std::wstring(kAppPaths) + L"\\here.exe", L"",
                    box_->MakeFile(L"here.exe"));
    PlantBrokenInterface(L"{MDR-IFACE-1}");
    // Something for every other area that must not run.
    box_->SetString(HKEY_LOCAL_MACHINE, kDrivers32, L"x.drv", Gone(L"x.drv"));
    Tick({0, 2, 18});

    EXPECT_EQ(RunScanThread(), 1);
    EXPECT_EQ(view_.ProgressHistory(), (std::vector<int>{50, 100}));
    for (int item = 1; item <= kAreaCount; ++item) {
        SCOPED_TRACE(item);
        bool ran = item == 2 || item == 18;
        EXPECT_EQ(view_.Tree(item).icon, ran ? AreaIcon::ErrorsFound : AreaIcon::Normal);
        EXPECT_EQ(view_.Tree(item).text, LangText(item) + (ran ? L" (1)" : L""));
        EXPECT_EQ(view_.Tree(item).checked, ran) << "check states come back";
    }
    EXPECT_TRUE(view_.Tree(0).checked);
    EXPECT_TRUE(view_.CheckboxesVisible());
    EXPECT_EQ(view_.SelectedTreeItem(), 0);
    ASSERT_EQ(Records().size(), 2u);
    EXPECT_EQ(Records()[0].areaIndex, 1);
    EXPECT_EQ(Records()[1].areaIndex, 17);
    EXPECT_EQ(Records()[1].category, L"Type libraries");
    EXPECT_EQ(AreaTable()[1].errorsFound, 1);
    EXPECT_EQ(AreaTable()[17].errorsFound, 1);
    EXPECT_EQ(JournalIndex(L"SetCurrentItemText "), static_cast<int>(view_.Journal().size()) - 3);

    // The window's steps in order.
    int hide = JournalIndex(L"HideTreeCheckboxes");
    int scan2 = JournalIndex(L"SetAreaIcon 2 Scanning");
    int half = JournalIndex(L"SetProgress 50");
    int scan18 = JournalIndex(L"SetAreaIcon 18 Scanning");
    int full = JournalIndex(L"SetProgress 100");
    int show = JournalIndex(L"ShowTreeCheckboxes");
    EXPECT_LT(JournalIndex(L"StoreTreeItems"), hide);
    EXPECT_LT(hide, JournalIndex(L"SelectTreeItem 0"));
    EXPECT_LT(JournalIndex(L"SelectTreeItem 0"), scan2);
    EXPECT_LT(scan2, half);
    EXPECT_LT(half, scan18);
    EXPECT_LT(scan18, full);
    EXPECT_LT(full, show);
    EXPECT_LT(show, JournalIndex(L"RestoreTreeItems"));

    // Every examined item went through the progress callback with its text.
    EXPECT_NE(FindLine(g_items, L" HKEY_LOCAL_MACHINE\\" + std::wstring(kAppPaths) + L"\\gone.exe"),
              -1);
    EXPECT_NE(
        FindLine(g_items, L" HKEY_LOCAL_MACHINE\\Software\\Classes\\Interface\\{MDR-IFACE-1}"), -1);

    auto lines = log.Lines();
    std::vector<std::wstring> head = {
        L"Entered the scan thread",
        L"Application paths scan selected",
        L"Type libraries scan selected",
        L"Resetting error count",
        L"Preparing UI",
        L"Reseting scan areas tree",
        L"Tree reset, returning",
        L"Storing tree items",
        L"Tree items stored, returning",
        L"-> Entering ScanApplicationPaths()",
    };
    ASSERT_GE(lines.size(), head.size());
    EXPECT_EQ(std::vector<std::wstring>(lines.begin(), lines.begin() + head.size()), head);
    ExpectInOrder(lines, {
                             L"-> Entering ScanApplicationPaths()",
                             L"---> Error detected",
                             L"-> ScanApplicationPaths() -> return",
                             L"-> Exiting ScanApplicationPaths(), 1",
                             L"->Entering ScanTypelib()",
                             L"---> Error detected",
                             L"-> ScanTypelib() -> return",
                             L"->Exiting ScanTypelib(), 1",
                             L"Restoring UI params, cleaning...",
                             L"Restoring tree items",
                             L"Tree items restored, returning",
                             L"->Exiting from the scan thread",
                         });
    EXPECT_EQ(lines.back(), L"->Exiting from the scan thread");
    EXPECT_EQ(FindLine(lines, L"-> Entering ScanDrivers()"), -1);
}

TEST_F(ScanThreadTest, AnAreaWhoseErrorsAreAllSkippedKeepsItsPlainName) {
    LogCapture log;
    PlantBrokenAppPath(L"one.exe");
    PlantBrokenAppPath(L"two.exe");
    AddException(kHklm, std::wstring(kAppPaths) + L"\\*");
    Tick({2});
    EXPECT_EQ(RunScanThread(), 1);
    EXPECT_EQ(view_.Tree(2).icon, AreaIcon::Normal);
    EXPECT_EQ(view_.Tree(2).text, LangText(2));
    EXPECT_TRUE(Records().empty());
    EXPECT_EQ(view_.ProgressHistory(), std::vector<int>{100});
    auto lines = log.Lines();
    // The exit line counts what the checks found, skipped errors included.
    EXPECT_NE(FindLine(lines, L"-> Exiting ScanApplicationPaths(), 2"), -1);
    EXPECT_NE(FindLine(lines, L"Skipped key: HKEY_LOCAL_MACHINE\\" + std::wstring(kAppPaths) +
                                  L"\\one.exe. Reason: Key is on blacklist."),
              -1);
}

TEST_F(ScanThreadTest, ASecondScanShowsThePlainNamesBeforeAnyAreaRuns) {
    PlantBrokenAppPath(L"gone.exe");
    Tick({2, 3});
    EXPECT_EQ(RunScanThread(), 1);
    EXPECT_EQ(view_.Tree(2).text, LangText(2) + L" (1)");
    EXPECT_EQ(view_.Tree(2).icon, AreaIcon::ErrorsFound);

    view_.Clear();
    ClearRecords();
    SetErrorsFound(0);
    EXPECT_EQ(RunScanThread(), 1);
    int plain = JournalIndex(L"SetAreaText 2 " + LangText(2));
    int normal = JournalIndex(L"SetAreaIcon 2 Normal");
    int running = JournalIndex(L"SetAreaIcon 2 Scanning");
    ASSERT_NE(plain, -1);
    ASSERT_NE(normal, -1);
    EXPECT_LT(plain, running);
    EXPECT_LT(normal, running);
    // Counts start again from 0 in every scan.
    EXPECT_EQ(view_.Tree(2).text, LangText(2) + L" (1)");
    EXPECT_EQ(AreaTable()[1].errorsFound, 1);
}

TEST_F(ScanThreadTest, CancellingDuringTheThirdAreaUnwindsAndRestoresTheTree) {
    LogCapture log;
    // Area 1: one broken class; area 2: one broken application path; area 3: two broken
    // drivers, the user stops at the second.
    box_->SetString(HKEY_LOCAL_MACHINE, L"Software\\Classes\\CLSID\\{MDR-C1}\\InprocServer32", L"",
                    Gone(L"server.dll"));
    PlantBrokenAppPath(L"gone.exe");
    box_->SetString(HKEY_LOCAL_MACHINE, kDrivers32, L"aa.drv", Gone(L"aa.drv"));
    box_->SetString(HKEY_LOCAL_MACHINE, kDrivers32, L"zz.drv", Gone(L"zz.drv"));
    g_stopSuffix = L"\\zz.drv";
    Tick({0, 1, 2, 3, 4, 5});

    EXPECT_EQ(RunScanThread(), 0);
    EXPECT_EQ(view_.ProgressHistory(), (std::vector<int>{20, 40}));
    EXPECT_EQ(view_.Tree(1).icon, AreaIcon::ErrorsFound);
    EXPECT_EQ(view_.Tree(2).icon, AreaIcon::ErrorsFound);
    EXPECT_EQ(view_.Tree(3).icon, AreaIcon::ErrorsFound); // aa.drv was stored before the stop
    EXPECT_EQ(view_.Tree(3).text, LangText(3) + L" (1)");
    for (int item = 4; item <= kAreaCount; ++item) {
        EXPECT_EQ(view_.Tree(item).icon, AreaIcon::Normal) << item;
        EXPECT_EQ(JournalIndex(L"SetAreaIcon " + std::to_wstring(item) + L" Scanning"), -1);
    }
    EXPECT_TRUE(view_.CheckboxesVisible());
    for (int item = 0; item <= 5; ++item)
        EXPECT_TRUE(view_.Tree(item).checked) << item;
    EXPECT_FALSE(view_.Tree(6).checked);
    EXPECT_EQ(Records().size(), 3u);

    auto lines = log.Lines();
    ExpectInOrder(lines, {L"-> Exiting ScanApplicationPaths(), 1", L"-> Entering ScanDrivers()",
                          L"Restoring tree items", L"Tree items restored, returning",
                          L"-> Exiting ScanDrivers() -> Cancel"});
    EXPECT_EQ(lines.back(), L"-> Exiting ScanDrivers() -> Cancel");
    EXPECT_EQ(FindLine(lines, L"-> ScanDrivers() -> return"), -1);
    EXPECT_EQ(FindLine(lines, L"->Entering ScanHelp()"), -1);
    EXPECT_EQ(FindLine(lines, L"->Exiting from the scan thread"), -1);
}

TEST_F(ScanThreadTest, AnAreaCancelledBeforeItStoredAnythingKeepsTheNormalIcon) {
    box_->SetString(HKEY_LOCAL_MACHINE, kDrivers32, L"aa.drv", Gone(L"aa.drv"));
    g_stopSuffix = L"\\aa.drv";
    Tick({3, 4});
    EXPECT_EQ(RunScanThread(), 0);
    EXPECT_EQ(view_.Tree(3).icon, AreaIcon::Normal);
    EXPECT_EQ(view_.Tree(3).text, LangText(3));
    EXPECT_TRUE(view_.ProgressHistory().empty());
    EXPECT_TRUE(Records().empty());
    EXPECT_TRUE(view_.Tree(3).checked);
}

} // namespace
