// Damaged and oversized input files given to the real MDR.exe: each gives a message, never a
// silent exit, and a Config.ini it cannot read is set aside rather than overwritten.
#include <gtest/gtest.h>

#include <windows.h>
#include <string>

#include "common/text.h"
#include "tests/support/mdr_fixtures.h"

using namespace mdr::driver;

namespace {

// 60 MB of "a" lines: under the 64 MB cap, but tens of millions of lines.
std::string TinyLines() {
    std::string bytes;
    bytes.reserve(60u << 20);
    while (bytes.size() < (60u << 20))
        bytes += "a\r\n";
    return bytes;
}

class InputFilesTest : public MdrTest {
  protected:
    void SetUp() override {
        MdrTest::SetUp();
        RemoveSetAside();
    }
    void CleanUp() override { RemoveSetAside(); }

    // The Config.ini.bad-* files beside Config.ini.
    static std::vector<std::wstring> SetAside() {
        std::vector<std::wstring> found;
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((ConfigPath() + L".bad-*").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) return found;
        do {
            found.push_back(SettingsDir() + data.cFileName);
        } while (FindNextFileW(find, &data));
        FindClose(find);
        return found;
    }
    static void RemoveSetAside() {
        for (const std::wstring& file : SetAside())
            DeleteFileW(file.c_str());
    }

    // The one message box, with text starting with `text`; answered with OK.
    static void ExpectBox(Process& mdr, const std::wstring& text, const std::wstring& title) {
        auto box = WaitForMessageBox(mdr.Pid(), 60000);
        ASSERT_TRUE(box) << "no message box: " << Narrow(text);
        EXPECT_TRUE(box->text.starts_with(text)) << Narrow(box->text);
        EXPECT_EQ(box->title, title);
        ASSERT_TRUE(PressButton(box->window, IDOK));
    }
};

TEST_F(InputFilesTest, RefusedFilesEndWithTheirMessage) {
    const struct {
        const wchar_t* file;
        std::string bytes;
        const wchar_t* message;
    } cases[] = {
        {L"MDRSkipMap.dat", TinyLines(), L"Error reading skip map file 'MDRSkipMap.dat'."},
        {L"Localization\\English.ini", "[MDRLanguageInfo]\r\nName=English\r\nl0=x\r\n",
         L"Error loading localization file: Localization\\English.ini."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.file));
        const std::wstring install = CopyOfInstall();
        ASSERT_TRUE(WriteFileBytes(install + c.file, c.bytes));
        WriteConfig(ConfigValues{});
        Process& mdr = LaunchMdr(L"", install);
        ExpectBox(mdr, c.message, L"Error");
        DWORD code = 1;
        ASSERT_TRUE(mdr.WaitExit(60000, &code)) << "MDR did not end";
        EXPECT_EQ(code, 0u);
    }
}

TEST_F(InputFilesTest, HugeConfigIsSetAsideWithAMessageAndTheProgramRuns) {
    const std::string huge = TinyLines();
    CreateSettingsDir();
    ASSERT_TRUE(WriteFileBytes(ConfigPath(), huge));
    Process& mdr = LaunchMdr();
    ExpectBox(mdr,
              L"The settings file Config.ini could not be read. It was kept as \"" + ConfigPath() +
                  L".bad-",
              L"Warning");
    HWND main = WaitForWindow(mdr.Pid(), WindowQuery::Titled(L"Veltrane Registry Cleaner"), 60000);
    ASSERT_NE(main, nullptr) << "the main window did not open";
    const auto aside = SetAside();
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadFileBytes(aside[0]).size(), huge.size());
    // The new Config.ini holds the defaults, not the huge file.
    EXPECT_LT(ReadFileBytes(ConfigPath()).size(), 4096u);
    mdr.Kill();
}

} // namespace
