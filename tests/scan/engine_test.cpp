// Detected errors and the scan thread, seen through the headless view and the program log: the
// exceptions, the skip map and their precedence, and cancelling a real scan mid-area.
#include <windows.h>
#include <process.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/handles.h"
#include "tests/scan/scan_test_env.h"

using namespace mdr;
using mdr::test::FindLine;
using mdr::test::LogCapture;
using mdr::test::RegistrySandbox;

namespace {

// The settings and lists a test changes, put back afterwards.
class EngineTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { mdr::test::LoadEnglishTexts(); }

    void SetUp() override {
        saved_ = Settings();
        Settings().SelectItems = 0;
        Settings().HighlightEntry = 0;
        test::ResetScanRecords();
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

    int Report(RootKey root, const std::wstring& keyPath) {
        return ReportDetectedError(root, keyPath, L"", L"", L"Application paths", L"text", 1, 0);
    }

    AppSettings saved_;
    HeadlessScanView view_;
};

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
    EXPECT_TRUE(view_.Rows().empty());
}

TEST_F(EngineTest, BranchExceptionsCoverTheKeyItsBranchAndNameSiblings) {
    // The matching rule itself is the skip rule tests'; here the engine applies it.
    AddException(kHklm, L"Software\\Other");
    AddException(kHkcu, L"Software\\Foo\\*");
    LogCapture log;
    EXPECT_EQ(Report(kHkcu, L"Software\\FooBar"), 0); // compared by characters
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
    EXPECT_EQ(InSkipMap(kHklm, L" software\\classes\\clsid\\{a} "), 1);
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

    std::unique_ptr<RegistrySandbox> box_;
};

TEST_F(ScanThreadTest, CancellingDuringTheThirdAreaUnwindsAndRestoresTheTree) {
    LogCapture log;
    // Area 1: one broken class; area 2: one broken application path; area 3: two broken
    // drivers, the user stops at the second.
    box_->SetString(HKEY_LOCAL_MACHINE, L"Software\\Classes\\CLSID\\{MDR-C1}\\InprocServer32", L"",
                    Gone(L"server.dll"));
    box_->SetString(HKEY_LOCAL_MACHINE, std::wstring(kAppPaths) + L"\\gone.exe", L"",
                    Gone(L"gone.exe"));
    box_->SetString(HKEY_LOCAL_MACHINE, kDrivers32, L"aa.drv", Gone(L"aa.drv"));
    box_->SetString(HKEY_LOCAL_MACHINE, kDrivers32, L"zz.drv", Gone(L"zz.drv"));
    g_stopSuffix = L"\\zz.drv";
    view_.SetAllChecked(false);
    for (int item = 0; item <= 5; ++item)
        view_.SetChecked(item, true);

    EXPECT_EQ(RunScanThread(), 0);
    EXPECT_EQ(view_.ProgressHistory(), (std::vector<int>{20, 40}));
    EXPECT_EQ(view_.Tree(1).icon, AreaIcon::ErrorsFound);
    EXPECT_EQ(view_.Tree(2).icon, AreaIcon::ErrorsFound);
    EXPECT_EQ(view_.Tree(3).icon, AreaIcon::ErrorsFound); // aa.drv was stored before the stop
    EXPECT_EQ(view_.Tree(3).text, LangText(3) + L" (1)");
    for (int item = 4; item <= kAreaCount; ++item)
        EXPECT_EQ(view_.Tree(item).icon, AreaIcon::Normal) << item;
    for (const std::wstring& call : view_.Journal())
        EXPECT_NE(call, L"SetAreaIcon 4 Scanning");
    EXPECT_TRUE(view_.CheckboxesVisible());
    for (int item = 0; item <= 5; ++item)
        EXPECT_TRUE(view_.Tree(item).checked) << item;
    EXPECT_FALSE(view_.Tree(6).checked);
    EXPECT_EQ(Records().size(), 3u);

    auto lines = log.Lines();
    int at = 0;
    for (const wchar_t* line :
         {L"-> Exiting ScanApplicationPaths(), 1", L"-> Entering ScanDrivers()",
          L"Restoring tree items", L"Tree items restored, returning"}) {
        at = FindLine(lines, line, at);
        ASSERT_NE(at, -1) << "missing or out of order: " << ToUtf8(line);
    }
    EXPECT_EQ(lines.back(), L"-> Exiting ScanDrivers() -> Cancel");
    EXPECT_EQ(FindLine(lines, L"-> ScanDrivers() -> return"), -1);
    EXPECT_EQ(FindLine(lines, L"->Exiting from the scan thread"), -1);
}

} // namespace
