// The crash window, shown by a test program that faults on purpose (the shipped program has no
// way to be made to fail). The report is read from its text box across processes.
#include <gtest/gtest.h>

#include <windows.h>
#include <string>

#include "tests/support/edition.h"
#include "mdr/core/os_version.h"
#include "common/text.h"
#include "tests/support/driver.h"

using namespace mdr::driver;

namespace {

class CrashWindowTest : public DriverTest {
  protected:
    void TearDown() override {
        DriverTest::TearDown();
        RemoveTree(folder_);
    }
    const std::wstring folder_ = MakeTempDir(L"mdr_crash"), marker_ = folder_ + L"marker.txt";
};

// The four ways of failing: the report names the fault and the point the probe marked, and
// the program ends with the fault's code whichever way the window is closed.
TEST_F(CrashWindowTest, ReportsTheFaultAndItsPointAndEndsWithItsCode) {
    const struct {
        const wchar_t* mode;
        const wchar_t* description;
        bool quitButton; // else the window's close box
        DWORD exitCode;
    } cases[] = {
        {L"main", L"Invalid memory access", true, 0xC0000005u},
        // On another thread the point is that thread's, not the main thread's "MDR 1".
        {L"thread", L"Invalid memory access", false, 0xC0000005u},
        {L"divide", L"Division by zero ", true, 0xC0000094u},
        // A C++ exception nobody catches ends through std::terminate, reported the same way.
        {L"throw", L"Unknown error code", true, 0xE0000003u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(mdr::ToUtf8(c.mode));
        DeleteFileW(marker_.c_str());
        Process& probe = Launch(BuildDir() + L"tests\\crash_probe.exe",
                                std::wstring(c.mode) + L" \"" + marker_ + L"\"");
        HWND window =
            WaitForWindow(probe.Pid(), WindowQuery::Titled(L"Veltrane Mendora Error Log"));
        ASSERT_NE(window, nullptr) << "no crash window";
        const std::wstring report = GetText(FindDescendant(window, L"Edit"));
        // Six lines in CR LF after "Log generated on: yyyy/mm/dd at hh:ii:ss"; the probe wrote
        // "ScanEngine <line>" just before the fault.
        ASSERT_TRUE(report.starts_with(L"Log generated on: ")) << mdr::ToUtf8(report);
        EXPECT_EQ(report.find(L"\r\n"), 40u) << mdr::ToUtf8(report);
        const std::wstring marked = mdr::FromUtf8(ReadFileBytes(marker_));
        EXPECT_EQ(report.substr(report.find(L"\r\n") + 2),
                  std::wstring(L"MDR version: ") + mdr::test::kVersionText + L"\r\nOS version: " +
                      std::to_wstring(mdr::OperatingSystemCode()) + L"\r\nError description: " +
                      c.description + L"\r\nModule name: ScanEngine\r\nError line: " +
                      marked.substr(11) + L"\r\n");
        if (std::wstring(c.mode) == L"main") {
            // Copy puts the report on the clipboard and keeps the window open.
            ClearClipboard();
            ASSERT_TRUE(PressButtonByText(window, L"Copy to clipboard"));
            EXPECT_TRUE(WaitUntil([&] { return ClipboardText() == report; }));
            EXPECT_TRUE(probe.Running());
        }
        if (c.quitButton)
            ASSERT_TRUE(PressButtonByText(window, L"Quit"));
        else
            ASSERT_TRUE(PostClose(window));
        DWORD code = 0;
        ASSERT_TRUE(probe.WaitExit(kDefaultTimeout, &code));
        if (c.quitButton) {
            EXPECT_EQ(code, c.exitCode) << "a crash does not end as success";
        }
    }
}

} // namespace
