// The crash window, shown by a test program that faults on purpose (the shipped program has no
// way to be made to fail). The report is read from its text box across processes.
#include <gtest/gtest.h>

#include <windows.h>
#include <string>
#include <vector>

#include "tests/support/edition.h"
#include "core/os_version.h"
#include "common/text.h"
#include "tests/support/driver.h"

using namespace mdr::driver;

namespace {

class CrashWindowTest : public DriverTest {
  protected:
    void SetUp() override {
        folder_ = MakeTempDir(L"mdr_crash");
        marker_ = folder_ + L"marker.txt";
    }
    void TearDown() override {
        DriverTest::TearDown();
        RemoveTree(folder_);
    }

    Process& StartProbe(const std::wstring& mode) {
        return Launch(BuildDir() + L"tests\\crash_probe.exe", mode + L" \"" + marker_ + L"\"");
    }

    // The window, its report lines, and the checks every crash window must pass.
    HWND ExpectCrashWindow(Process& probe, std::vector<std::wstring>& lines) {
        HWND window =
            WaitForWindow(probe.Pid(), WindowQuery::Titled(L"Veltrane Mendora Error Log"));
        EXPECT_NE(window, nullptr) << "no crash window";
        if (!window) return nullptr;
        HWND edit = FindDescendant(window, L"Edit");
        EXPECT_NE(edit, nullptr);

        std::wstring report = edit ? GetText(edit) : std::wstring();
        lines = mdr::Split(report, L'\n');
        EXPECT_EQ(lines.size(), 7u) << mdr::ToUtf8(report); // six lines and the empty tail
        lines.resize(6);
        for (auto& line : lines) {
            EXPECT_TRUE(!line.empty() && line.back() == L'\r') << "no CR LF";
            if (!line.empty()) line.pop_back();
        }
        EXPECT_TRUE(mdr::StartsWithNoCase(lines[0], L"Log generated on: "));
        EXPECT_EQ(lines[0].size(),
                  std::wstring(L"Log generated on: 2009/03/05 at 14:07:09").size());
        EXPECT_EQ(lines[1], std::wstring(L"MDR version: ") + mdr::test::kVersionText);
        EXPECT_EQ(lines[2], L"OS version: " + std::to_wstring(mdr::OperatingSystemCode()));
        return window;
    }

    // Copy puts the report on the clipboard and keeps the window open.
    void ExpectCopyToClipboard(HWND window, Process& probe) {
        const std::wstring report = GetText(FindDescendant(window, L"Edit"));
        if (OpenClipboard(nullptr)) {
            EmptyClipboard();
            CloseClipboard();
        }
        ASSERT_TRUE(PressButtonByText(window, L"Copy to clipboard"));
        std::wstring copied;
        EXPECT_TRUE(WaitUntil([&] {
            if (!OpenClipboard(nullptr)) return false;
            if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
                if (auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
                    copied = text;
                    GlobalUnlock(data);
                }
            }
            CloseClipboard();
            return !copied.empty();
        }));
        EXPECT_EQ(copied, report);
        EXPECT_TRUE(probe.Running());
    }

    std::wstring folder_;
    std::wstring marker_;
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
        {L"main", L"Error description: Invalid memory access", true, 0xC0000005u},
        // On another thread the point is that thread's, not the main thread's "MDR 1".
        {L"thread", L"Error description: Invalid memory access", false, 0xC0000005u},
        {L"divide", L"Error description: Division by zero ", true, 0xC0000094u},
        // A C++ exception nobody catches ends through std::terminate, reported the same way.
        {L"throw", L"Error description: Unknown error code", true, 0xE0000003u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(mdr::ToUtf8(c.mode));
        DeleteFileW(marker_.c_str());
        Process& probe = StartProbe(c.mode);
        std::vector<std::wstring> lines;
        HWND window = ExpectCrashWindow(probe, lines);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(lines[3], c.description);
        EXPECT_EQ(lines[4], L"Module name: ScanEngine");
        // The probe writes "ScanEngine <line>" just before the fault.
        EXPECT_EQ(L"ScanEngine " + lines[5].substr(std::wstring(L"Error line: ").size()),
                  mdr::FromUtf8(ReadFileBytes(marker_)));
        if (c.quitButton && std::wstring(c.mode) == L"main") ExpectCopyToClipboard(window, probe);
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
