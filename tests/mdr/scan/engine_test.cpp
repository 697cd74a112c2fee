// Detected errors and the scan thread, seen through the headless view and the program log: the
// exceptions, the skip map and their precedence, and cancelling a real scan mid-area.
#include <windows.h>
#include <process.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/handles.h"
#include "tests/mdr/scan/scan_test_env.h"

using namespace mdr;
using mdr::test::FindLine;
using mdr::test::LogCapture;

namespace {

class EngineTest : public test::AreaTest {
  protected:
    void SetUp() override {
        AreaTest::SetUp();
        SetCurrentArea(2);
    }
    int Report(RootKey root, const std::wstring& keyPath) {
        return ReportDetectedError(root, keyPath, L"", L"", L"Application paths", L"text", 1, 0);
    }
};

// The matching rules themselves are the skip rule tests'; here the engine applies them.
TEST_F(EngineTest, ExceptionsAndTheSkipMapSkipReports) {
    AddException(kHklm, L"Software\\Other");
    AddException(kHkcu, L"Software\\Foo\\*");
    AddException(kHkcu, L"Software\\Both");
    SkipMap() = {{kHkcu, L"Software\\Both"}, {kHklm, L"Software\\Classes\\CLSID\\{A}"}};
    EXPECT_EQ(InSkipMap(kHklm, L" software\\classes\\clsid\\{a} "), 1);
    EXPECT_EQ(InSkipMap(kHkcu, L"Software\\Classes\\CLSID\\{A}"), 0);
    // No branch rule in the skip map, even when an entry is written like one.
    SkipMap().push_back({kHkcu, L"Software\\Branch\\*"});
    EXPECT_EQ(InSkipMap(kHkcu, L"Software\\Branch\\Sub"), 0);

    LogCapture log;
    EXPECT_EQ(Report(kHkcu, L"Software\\FooBar"), 0); // a branch exception, by characters
    EXPECT_EQ(Report(kHklm, L"Software\\Foo\\Bar"), 1);
    EXPECT_EQ(Report(kHkcu, L"Software\\Both"), 0); // exceptions come before the skip map
    EXPECT_EQ(Report(kHklm, L"Software\\Classes\\CLSID\\{A}"), 0);
    EXPECT_EQ(Report(kHklm, L"Software\\Classes\\CLSID\\{A}\\InprocServer32"), 1);
    const std::wstring reason = L". Reason: Key is on ";
    std::vector<std::wstring> skipped = log.Lines();
    std::erase_if(skipped, [](const std::wstring& l) { return !l.starts_with(L"Skipped key: "); });
    EXPECT_EQ(skipped,
              (std::vector<std::wstring>{
                  L"Skipped key: HKEY_CURRENT_USER\\Software\\FooBar" + reason + L"blacklist.",
                  L"Skipped key: HKEY_CURRENT_USER\\Software\\Both" + reason + L"blacklist.",
                  L"Skipped key: HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{A}" + reason +
                      L"default blacklist."}));
    // A skipped error leaves no other trace.
    EXPECT_EQ(Records().size(), 2u);
    EXPECT_EQ(ErrorsFound(), 2u);
    EXPECT_EQ(view_.Rows().size(), 2u);
}

constexpr wchar_t kAppPaths[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr wchar_t kDrivers32[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";

class ScanThreadTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        SetSearchFolders({});
        SetCurrentArea(0);
        Settings().SelectItems = 2;
        for (int item = 0; item <= kAreaCount; ++item)
            view_.SetText(item, item == 0 ? L"Scan areas" : AreaTable()[item - 1].name);
    }

    // Runs the scan thread as the window does: its own thread, waited for.
    int RunScanThread() {
        UniqueHandle thread(reinterpret_cast<HANDLE>(
            _beginthreadex(nullptr, 0, ScanThreadEntry, nullptr, 0, nullptr)));
        EXPECT_EQ(WaitForSingleObject(thread.get(), 60000), WAIT_OBJECT_0);
        DWORD code = 99;
        GetExitCodeThread(thread.get(), &code);
        return static_cast<int>(code);
    }
};

TEST_F(ScanThreadTest, CancellingDuringTheThirdAreaUnwindsAndRestoresTheTree) {
    LogCapture log;
    // Area 1: one broken class; area 2: one broken application path; area 3: two broken
    // drivers, the user stops at the second.
    Str(HKEY_LOCAL_MACHINE, L"Software\\Classes\\CLSID\\{MDR-C1}\\InprocServer32", L"",
        Gone(L"server.dll"));
    Str(HKEY_LOCAL_MACHINE, std::wstring(kAppPaths) + L"\\gone.exe", L"", Gone(L"gone.exe"));
    Str(HKEY_LOCAL_MACHINE, kDrivers32, L"aa.drv", Gone(L"aa.drv"));
    Str(HKEY_LOCAL_MACHINE, kDrivers32, L"zz.drv", Gone(L"zz.drv"));
    test::g_stopAt = L"\\zz.drv";
    view_.SetAllChecked(false);
    for (int item = 0; item <= 5; ++item)
        view_.SetChecked(item, true);

    EXPECT_EQ(RunScanThread(), 0);
    EXPECT_EQ(view_.ProgressHistory(), (std::vector<int>{20, 40}));
    EXPECT_EQ(view_.Tree(1).icon, AreaIcon::ErrorsFound);
    EXPECT_EQ(view_.Tree(2).icon, AreaIcon::ErrorsFound);
    EXPECT_EQ(view_.Tree(3).icon, AreaIcon::ErrorsFound); // aa.drv was stored before the stop
    EXPECT_EQ(view_.Tree(3).text, LangText(Text::DriversArea) + L" (1)");
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
