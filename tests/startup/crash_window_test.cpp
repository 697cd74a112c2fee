// The crash window, shown by a test program that faults on purpose (the shipped program has no
// way to be made to fail). The report is read from its text box across processes.
#include <gtest/gtest.h>

#include <windows.h>
#include <string>
#include <vector>

#include "tests/support/edition.h"
#include "core/os_version.h"
#include "common/text.h"
#include "tests/driver/driver.h"

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

    // "ScanEngine <line>" as the probe recorded it just before the fault.
    std::wstring Marker() {
        std::string text = ReadFileBytes(marker_);
        return mdr::FromUtf8(text);
    }

    // The window, its report lines, and the checks every crash window must pass.
    HWND ExpectCrashWindow(Process& probe, std::vector<std::wstring>& lines) {
        HWND window =
            WaitForWindow(probe.Pid(), WindowQuery::Titled(L"Veltrane Mendora Error Log"));
        EXPECT_NE(window, nullptr) << "no crash window";
        if (!window) return nullptr;
        EXPECT_EQ(GetText(window), L"Veltrane Mendora Error Log");
        RECT frame = WindowRect(window);
        EXPECT_EQ(frame.left, 294);
        EXPECT_EQ(frame.top, 244);
        SIZE client = ClientSize(window);
        EXPECT_EQ(client.cx, 387);
        EXPECT_EQ(client.cy, 185);

        HWND edit = FindDescendant(window, L"Edit");
        EXPECT_NE(edit, nullptr);
        if (edit) {
            LONG style = GetWindowLongW(edit, GWL_STYLE);
            EXPECT_TRUE(style & ES_READONLY);
            EXPECT_TRUE(style & ES_MULTILINE);
        }
        HWND intro = FindDescendant(window, L"Static");
        EXPECT_NE(intro, nullptr);
        if (intro) {
            EXPECT_TRUE(mdr::StartsWithNoCase(
                GetText(intro), L"We are sorry, but an error has been detected in the program."));
        }
        EXPECT_NE(FindDescendantByText(window, L"Button", L"Copy to clipboard"), nullptr);
        EXPECT_NE(FindDescendantByText(window, L"Button", L"Quit"), nullptr);

        std::wstring report = edit ? GetText(edit) : std::wstring();
        EXPECT_TRUE(mdr::EndsWithNoCase(report, L"\r\n"));
        lines = mdr::Split(report, L'\n');
        EXPECT_EQ(lines.size(), 7u) << mdr::ToUtf8(report); // six lines and the empty tail
        for (auto& line : lines) {
            if (!line.empty() && line.back() == L'\r') line.pop_back();
        }
        lines.resize(6);
        EXPECT_TRUE(mdr::StartsWithNoCase(lines[0], L"Log generated on: "));
        EXPECT_EQ(lines[0].size(),
                  std::wstring(L"Log generated on: 2009/03/05 at 14:07:09").size());
        EXPECT_EQ(lines[1], std::wstring(L"MDR version: ") + mdr::test::kVersionText);
        EXPECT_EQ(lines[2], L"OS version: " + std::to_wstring(mdr::OperatingSystemCode()));
        return window;
    }

    std::wstring folder_;
    std::wstring marker_;
};

TEST_F(CrashWindowTest, FaultNamesModuleAndLine) {
    Process& probe = StartProbe(L"main");
    std::vector<std::wstring> lines;
    HWND window = ExpectCrashWindow(probe, lines);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(lines[3], L"Error description: Invalid memory access");
    std::wstring marker = Marker();
    ASSERT_FALSE(marker.empty());
    EXPECT_EQ(lines[4], L"Module name: ScanEngine");
    EXPECT_EQ(L"ScanEngine " + lines[5].substr(std::wstring(L"Error line: ").size()), marker);

    // Copy puts the report on the clipboard and keeps the window open.
    HWND edit = FindDescendant(window, L"Edit");
    const std::wstring report = GetText(edit);
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
    EXPECT_TRUE(IsWindow(window));

    ASSERT_TRUE(PressButtonByText(window, L"Quit"));
    DWORD code = 0;
    ASSERT_TRUE(probe.WaitExit(kDefaultTimeout, &code));
    EXPECT_EQ(code, 0xC0000005u) << "a crash does not end as success";
}

TEST_F(CrashWindowTest, FaultOnAnotherThreadReportsThatThreadsPoint) {
    Process& probe = StartProbe(L"thread");
    std::vector<std::wstring> lines;
    HWND window = ExpectCrashWindow(probe, lines);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(lines[3], L"Error description: Invalid memory access");
    EXPECT_EQ(lines[4], L"Module name: ScanEngine"); // not the main thread's "MDR 1"
    EXPECT_EQ(L"ScanEngine " + lines[5].substr(std::wstring(L"Error line: ").size()), Marker());
    // Closing the window ends the program too.
    ASSERT_TRUE(PostClose(window));
    EXPECT_TRUE(probe.WaitExit());
}

TEST_F(CrashWindowTest, DivisionByZeroIsDescribed) {
    Process& probe = StartProbe(L"divide");
    std::vector<std::wstring> lines;
    HWND window = ExpectCrashWindow(probe, lines);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(lines[3], L"Error description: Division by zero ");
    EXPECT_EQ(L"ScanEngine " + lines[5].substr(std::wstring(L"Error line: ").size()), Marker());
    ASSERT_TRUE(PressButtonByText(window, L"Quit"));
    DWORD code = 0;
    ASSERT_TRUE(probe.WaitExit(kDefaultTimeout, &code));
    EXPECT_EQ(code, 0xC0000094u);
}

TEST_F(CrashWindowTest, UncaughtCppExceptionShowsTheWindow) {
    Process& probe = StartProbe(L"throw");
    std::vector<std::wstring> lines;
    HWND window = ExpectCrashWindow(probe, lines);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(L"ScanEngine " + lines[5].substr(std::wstring(L"Error line: ").size()), Marker());
    ASSERT_TRUE(PressButtonByText(window, L"Quit"));
    DWORD code = 0;
    ASSERT_TRUE(probe.WaitExit(kDefaultTimeout, &code));
    EXPECT_EQ(code, 0xE0000003u);
}

} // namespace
