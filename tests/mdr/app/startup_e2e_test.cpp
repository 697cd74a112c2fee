// The real MDR.exe started from the install folder (or a copy of it with changed data files),
// driven from outside: refusals, the first run, Config.ini read, set aside and written back, the
// log.
#include <gtest/gtest.h>

#include <windows.h>
#include <string>
#include <vector>

#include "tests/support/edition.h"
#include "common/ini.h"
#include "common/text.h"
#include "common/handles.h"
#include "tests/support/mdr_fixtures.h"

using namespace mdr::driver;

namespace {

constexpr wchar_t kMainTitle[] = L"Veltrane Registry Cleaner";
using mdr::test::kVersionText;

class StartupTest : public MdrTest {
  protected:
    void SetUp() override {
        MdrTest::SetUp();
        // Every test starts as a first run unless it writes its own Config.ini.
        DeleteFileW(ConfigPath().c_str());
    }

    HWND WaitForMainWindow(Process& process) {
        HWND window = WaitForWindow(process.Pid(), WindowQuery::Titled(kMainTitle));
        EXPECT_NE(window, nullptr) << "the main window did not open";
        return window;
    }

    // Closes the main window as the user would (confirming the question when the window asks
    // one) and expects a clean end.
    void CloseAndExpectExit(Process& process, HWND window) {
        ASSERT_TRUE(PostClose(window));
        WaitUntil([&] {
            for (HWND box : TopLevelWindows(process.Pid(), WindowQuery::OfClass(L"#32770")))
                PressButton(box, IDYES);
            return !process.Running();
        });
        DWORD code = 1;
        ASSERT_TRUE(process.WaitExit(kDefaultTimeout, &code)) << "MDR did not end";
        EXPECT_EQ(code, 0u);
    }

    // Expects one refusal box with this text, title and icon, no other window, and the end
    // of the process once it is answered.
    void ExpectRefusal(Process& process, const std::wstring& text, const std::wstring& title,
                       bool icon) {
        auto box = WaitForMessageBox(process.Pid());
        ASSERT_TRUE(box) << "no message box";
        EXPECT_EQ(box->text, text);
        EXPECT_EQ(box->title, title);
        EXPECT_EQ(box->hasIcon, icon);
        EXPECT_EQ(box->buttons.size(), 1u);
        EXPECT_EQ(TopLevelWindows(process.Pid()).size(), 1u) << "a window besides the box";
        ASSERT_TRUE(PressButton(box->window, IDOK));
        DWORD code = 1;
        ASSERT_TRUE(process.WaitExit(kDefaultTimeout, &code)) << "MDR did not end";
        EXPECT_EQ(code, 0u);
    }

    static constexpr char kPlainConfig[] =
        "[MDRConfig]\r\nCreateLog=0\r\n[MDRWindow]\r\nMainWinX=30\r\nMainWinY=40\r\n";
};

// The refusals before any window: the text, title and icon of the one box, then the end.
TEST_F(StartupTest, RefusesToStartWithoutItsDataFiles) {
    const struct {
        const char* what;
        const wchar_t* file; // changed in a copy of the install folder
        const char* content; // nullptr: removed (a folder with everything in it)
        bool lock;           // held open without sharing while MDR starts
        const wchar_t* text;
        bool icon;
    } cases[] = {
        {"missing skip map", L"MDRSkipMap.dat", nullptr, false,
         L"'MDRSkipMap.dat' is empty/missing.", true},
        {"unreadable skip map", L"MDRSkipMap.dat", "", true,
         L"Error reading skip map file 'MDRSkipMap.dat'.", true},
        {"empty language file", L"Localization\\English.ini", "", false,
         L"Error loading localization file: Localization\\English.ini.", true},
        {"missing language folder", L"Localization", nullptr, false,
         L"Error querying the languages directory!", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // The skip map is read before the settings; the language after them.
        const bool skipMap = std::wstring(c.file) == L"MDRSkipMap.dat";
        if (skipMap)
            DeleteFileW(ConfigPath().c_str());
        else
            ASSERT_TRUE(WriteFileBytes(ConfigPath(), kPlainConfig));
        const std::wstring install = CopyOfInstall();
        const std::wstring path = install + c.file;
        if (!c.content) {
            ASSERT_TRUE(DeleteFileW(path.c_str()) || RemoveTree(path));
        } else if (!c.lock) {
            ASSERT_TRUE(WriteFileBytes(path, c.content));
        }
        mdr::UniqueFile locked(
            c.lock ? CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                   : INVALID_HANDLE_VALUE);
        ASSERT_EQ(c.lock, static_cast<bool>(locked));
        ExpectRefusal(LaunchMdr(L"", install), c.text, L"Error", c.icon);
        if (skipMap) {
            EXPECT_FALSE(FileExists(ConfigPath())) << "settings touched before";
        }
    }
}

TEST_F(StartupTest, SecondInstanceIsRefused) {
    ASSERT_TRUE(WriteFileBytes(ConfigPath(), kPlainConfig));
    // Started in another folder, as "Run as administrator" starts programs in the system folder:
    // the language files are still found beside the program.
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    Process& first = Launch(DistDir() + L"MDR.exe", L"", temp);
    HWND window = WaitForMainWindow(first);
    ASSERT_NE(window, nullptr);
    Process& second = LaunchMdr();
    ExpectRefusal(second, L"Another instance of the program is already running.", L"Information",
                  true);
    EXPECT_TRUE(first.Running());
    EXPECT_TRUE(IsWindow(window));
    CloseAndExpectExit(first, window);
}

TEST_F(StartupTest, FirstRunCreatesConfigAndAsks) {
    // Its texts are checked where Yes starts the full backup.
    Process& mdr = LaunchMdr();
    auto box = WaitForMessageBox(mdr.Pid());
    ASSERT_TRUE(box) << "no first-run question";
    EXPECT_EQ(box->buttons.size(), 2u);
    EXPECT_TRUE(box->hasIcon);
    EXPECT_EQ(TopLevelWindows(mdr.Pid(), WindowQuery::Titled(kMainTitle)).size(), 0u);

    // The file exists before the answer (its keys are the config tests').
    EXPECT_TRUE(FileExists(ConfigPath()));

    ASSERT_TRUE(PressButton(box->window, IDNO));
    HWND window = WaitForMainWindow(mdr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetText(window), std::wstring(kMainTitle) + L" " + kVersionText);
    CloseAndExpectExit(mdr, window);
    EXPECT_FALSE(FileExists(LogPath())) << "CreateLog 0 must not create the log";

    // The question comes once per settings folder.
    Process& again = LaunchMdr();
    window = WaitForMainWindow(again);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(TopLevelWindows(again.Pid(), WindowQuery::OfClass(L"#32770")).empty());
    CloseAndExpectExit(again, window);
}

TEST_F(StartupTest, LogHasRunHeaderAndDatedLines) {
    ASSERT_TRUE(WriteFileBytes(
        ConfigPath(),
        "[MDRConfig]\r\nCreateLog=1\r\n[MDRWindow]\r\nMainWinX=10\r\nMainWinY=10\r\n"));
    // "-warnordie" with nothing found ends the program on its own, through the normal exit.
    for (int run = 0; run < 2; ++run) {
        Process& mdr = LaunchMdr(L"\"  -WARNORDIE \" -Unknown");
        DWORD code = 1;
        ASSERT_TRUE(mdr.WaitExit(kDefaultTimeout, &code));
        EXPECT_EQ(code, 0u);
    }
    // Two runs, each with its header and its lines in order (the line format is the log
    // writer's tests').
    const std::string bytes = ReadFileBytes(LogPath());
    const std::string header =
        std::string("\r\n<<< Veltrane Mendora v. ") + mdr::test::kVersionTextUtf8 + " >>>\r\n\r\n";
    const size_t second = bytes.find(header, 1);
    ASSERT_EQ(bytes.find(header), 0u);
    ASSERT_NE(second, std::string::npos);
    EXPECT_EQ(bytes.find(header, second + 1), std::string::npos);
    for (size_t run : {size_t{0}, second}) {
        size_t at = run;
        for (const char* text :
             {"Initializing program...", "Parameter -> -warnordie", "Parameter -> -unknown",
              "Quit signal received", "Saving settings", "Done saving settings"}) {
            at = bytes.find(std::string("      ") + text + "\r\n", at);
            ASSERT_NE(at, std::string::npos) << "missing line: " << text;
            ASSERT_TRUE(run == second || at < second) << "missing line: " << text;
            EXPECT_EQ(bytes.rfind('#', at), at - 18) << "badly dated: " << text;
        }
    }
    // That end saved the window group (its keys are the config tests').
    EXPECT_TRUE(LoadIni(ConfigPath()).HasKey(L"MDRWindow", L"ScanZonesState"));
}

// Under Wine made a Windows older than the edition's floor, MDR refuses, naming the floor (it
// scans on the floor in the main window's tests).
TEST_F(StartupTest, RefusesAWindowsOlderThanItsFloor) {
    const WineVersion older(L"MDR.exe", L"win2k");
    ExpectRefusal(LaunchMdr(),
                  std::wstring(L"We are sorry, Veltrane Mendora was designed for ") +
                      mdr::test::kFloorName + L" and later operating systems.",
                  L"Compatibility problem", true);
}

// A Config.ini that cannot be read is kept aside with a message, never overwritten, and the
// program runs on the defaults.
TEST_F(StartupTest, HugeConfigIsSetAsideWithAMessageAndTheProgramRuns) {
    ASSERT_TRUE(WriteFileBytes(ConfigPath(), TinyLines()));
    Process& mdr = LaunchMdr();
    auto box = WaitForMessageBox(mdr.Pid(), 60000);
    ASSERT_TRUE(box) << "no message box";
    EXPECT_TRUE(
        box->text.starts_with(L"The settings file Config.ini could not be read. It was kept as \"" +
                              ConfigPath() + L".bad-"))
        << Narrow(box->text);
    EXPECT_EQ(box->title, L"Warning");
    ASSERT_TRUE(PressButton(box->window, IDOK));
    ASSERT_NE(WaitForWindow(mdr.Pid(), WindowQuery::Titled(kMainTitle), 60000), nullptr);
    // What is set aside is the input safety tests'; here it goes again.
    WIN32_FIND_DATAW found;
    mdr::UniqueFind aside(FindFirstFileW((ConfigPath() + L".bad-*").c_str(), &found));
    ASSERT_TRUE(aside) << "nothing set aside";
    DeleteFileW((SettingsDir() + found.cFileName).c_str());
    mdr.Kill();
}

} // namespace
