// The real MDR.exe started from the install folder (or a copy of it with changed data files),
// driven from outside: refusals, the first run, Config.ini read and written back, the log.
#include <gtest/gtest.h>

#include <windows.h>
#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/edition.h"
#include "common/ini.h"
#include "common/text.h"
#include "tests/driver/mdr_fixtures.h"

using namespace mdr::driver;
using mdr::IniFile;

namespace {

constexpr wchar_t kMainTitle[] = L"Veltrane Registry Cleaner";
using mdr::test::kVersionText;

// Text of a file as lines; each line must have ended in CR LF.
std::vector<std::string> CrLfLines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "last line has no line end";
            break;
        }
        EXPECT_TRUE(end > start && bytes[end - 1] == '\r') << "LF without CR at byte " << end;
        lines.push_back(bytes.substr(start, end > start ? end - start - 1 : 0));
        start = end + 1;
    }
    return lines;
}

// "#dd/mm/yy hh:ii:ss" + six blanks + text.
bool IsDatedLine(const std::string& line, std::string* text = nullptr) {
    const char* shape = "#00/00/00 00:00:00      ";
    if (line.size() < 25) return false;
    for (size_t i = 0; i < 24; ++i) {
        bool ok = shape[i] == '0' ? isdigit(static_cast<unsigned char>(line[i])) != 0
                                  : line[i] == shape[i];
        if (!ok) return false;
    }
    if (line[24] == ' ') return false;
    if (text) *text = line.substr(24);
    return true;
}

// "l<n>=<text>" and a line end.
std::string LanguageLine(int n, const std::string& text) {
    std::string line("l");
    line += std::to_string(n);
    line += '=';
    line += text;
    line += "\r\n";
    return line;
}

class StartupTest : public MdrTest {
  protected:
    void SetUp() override {
        MdrTest::SetUp();
        // Every test starts as a first run unless it writes its own Config.ini.
        DeleteFileW(ConfigPath().c_str());
    }

    // An existing Config.ini (not a first run) with the given text.
    static void WriteConfig(const std::string& text) {
        ASSERT_TRUE(WriteFileBytes(ConfigPath(), text));
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
        std::vector<HWND> answered;
        WaitUntil([&] {
            if (!process.Running()) return true;
            for (HWND box : TopLevelWindows(process.Pid(), WindowQuery::OfClass(L"#32770"))) {
                if (std::find(answered.begin(), answered.end(), box) != answered.end()) continue;
                if (PressButton(box, IDYES)) answered.push_back(box);
            }
            return false;
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

TEST_F(StartupTest, MissingSkipMapIsRefusedBeforeAnyWindow) {
    std::wstring install = CopyOfInstall();
    ASSERT_TRUE(DeleteFileW((install + L"MDRSkipMap.dat").c_str()));
    Process& mdr = LaunchMdr(L"", install);
    ExpectRefusal(mdr, L"'MDRSkipMap.dat' is empty/missing.", L"Error", true);
    // Refused before the settings were touched.
    EXPECT_FALSE(FileExists(ConfigPath()));
}

TEST_F(StartupTest, UnreadableSkipMapIsRefused) {
    std::wstring install = CopyOfInstall();
    HANDLE locked = CreateFileW((install + L"MDRSkipMap.dat").c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    Process& mdr = LaunchMdr(L"", install);
    ExpectRefusal(mdr, L"Error reading skip map file 'MDRSkipMap.dat'.", L"Error", true);
    CloseHandle(locked);
}

TEST_F(StartupTest, EmptySkipMapIsAccepted) {
    std::wstring install = CopyOfInstall();
    ASSERT_TRUE(WriteFileBytes(install + L"MDRSkipMap.dat", ""));
    WriteConfig(kPlainConfig);
    Process& mdr = LaunchMdr(L"", install);
    HWND window = WaitForMainWindow(mdr);
    ASSERT_NE(window, nullptr);
    CloseAndExpectExit(mdr, window);
}

TEST_F(StartupTest, SecondInstanceIsRefused) {
    WriteConfig(kPlainConfig);
    Process& first = LaunchMdr();
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
    IniFile english = LoadIni(DistDir() + L"Localization\\English.ini");
    const std::wstring title = english.GetString(L"MDRLanguageData", L"l152");
    const std::wstring question =
        mdr::ReplaceAllNoCase(english.GetString(L"MDRLanguageData", L"l153"), L"<br>", L"\r\n");
    ASSERT_FALSE(title.empty());

    Process& mdr = LaunchMdr();
    auto box = WaitForMessageBox(mdr.Pid());
    ASSERT_TRUE(box) << "no first-run question";
    EXPECT_EQ(box->title, title);
    EXPECT_EQ(box->text, question);
    EXPECT_EQ(box->buttons.size(), 2u);
    EXPECT_TRUE(box->hasIcon);
    EXPECT_EQ(TopLevelWindows(mdr.Pid(), WindowQuery::Titled(kMainTitle)).size(), 0u);

    // The file exists, complete, before the question is answered.
    IniFile config = LoadIni(ConfigPath());
    const std::vector<std::wstring> configKeys = {
        L"ScanMode",      L"SelectItems",    L"BeforeFixing", L"DeleteBackups",  L"CreateLog",
        L"SkipRemovable", L"HighlightEntry", L"EntryColor",   L"CurrentLanguage"};
    const std::vector<std::wstring> windowKeys = {
        L"MainWinX",     L"MainWinY",     L"MainWinWidth",  L"MainWinHeight",
        L"MainWinState", L"ColumnWidth0", L"ColumnWidth1",  L"ColumnWidth2",
        L"ColumnWidth3", L"ColumnWidth4", L"SplitterWidth", L"ScanZonesState"};
    ASSERT_GE(config.GroupNames().size(), 2u);
    EXPECT_EQ(config.GroupNames()[0], L"MDRConfig");
    EXPECT_EQ(config.GroupNames()[1], L"MDRWindow");
    EXPECT_EQ(config.Keys(L"MDRConfig"), configKeys);
    EXPECT_EQ(config.Keys(L"MDRWindow"), windowKeys);
    EXPECT_EQ(config.GetString(L"MDRConfig", L"DeleteBackups"), L"1");
    EXPECT_EQ(config.GetString(L"MDRConfig", L"EntryColor"), L"16315117");
    EXPECT_EQ(config.GetString(L"MDRConfig", L"CurrentLanguage"), L"Localization\\English.ini");
    const int desktopWidth = GetSystemMetrics(SM_CXSCREEN);
    const int desktopHeight = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(config.GetString(L"MDRWindow", L"MainWinX"),
              std::to_wstring((desktopWidth - 690) / 2));
    EXPECT_EQ(config.GetString(L"MDRWindow", L"MainWinY"),
              std::to_wstring((desktopHeight - 470) / 2));
    EXPECT_EQ(config.GetString(L"MDRWindow", L"ColumnWidth3"), L"300");
    EXPECT_EQ(config.GetString(L"MDRWindow", L"ScanZonesState"),
              L"1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1");

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

TEST_F(StartupTest, ExistingConfigIsReadLeniently) {
    WriteConfig("[MDRConfig]\r\n"
                "ScanMode=fast\r\n"
                "Unknown=1\r\n"
                "[MDRWindow]\r\n"
                "MainWinX=12px\r\n"
                "MainWinY=40\r\n"
                "MainWinWidth=720\r\n"
                "ColumnWidth2=55\r\n"
                "ScanZonesState=1,0,1\r\n"
                "[MDRExceptions]\r\n"
                "HKEY_CURRENT_USER\\Software\\Twice=Exception0\r\n"
                "hkey_current_user\\software\\twice=Exception1\r\n");
    Process& mdr = LaunchMdr();
    HWND window = WaitForMainWindow(mdr);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(TopLevelWindows(mdr.Pid(), WindowQuery::OfClass(L"#32770")).empty())
        << "an existing Config.ini is not a first run";
    // Non-numeric MainWinX reads as 0; missing MainWinHeight takes its default.
    RECT frame = WindowRect(window);
    EXPECT_EQ(frame.left, 0);
    EXPECT_EQ(frame.top, 40);
    SIZE client = ClientSize(window);
    EXPECT_EQ(client.cx, 720);
    EXPECT_EQ(client.cy, 470);
    CloseAndExpectExit(mdr, window);

    IniFile config = LoadIni(ConfigPath());
    EXPECT_EQ(config.GetString(L"MDRWindow", L"MainWinX"), L"0");
    EXPECT_EQ(config.GetString(L"MDRWindow", L"MainWinY"), L"40");
    EXPECT_EQ(config.GetString(L"MDRWindow", L"MainWinWidth"), L"720");
    EXPECT_EQ(config.GetString(L"MDRWindow", L"MainWinHeight"), L"470");
    EXPECT_EQ(config.GetString(L"MDRWindow", L"MainWinState"), L"0");
    EXPECT_EQ(config.GetString(L"MDRWindow", L"ColumnWidth1"), L"300");
    EXPECT_EQ(config.GetString(L"MDRWindow", L"ColumnWidth2"), L"55");
    EXPECT_EQ(config.GetString(L"MDRWindow", L"SplitterWidth"), L"200");
    // A short ScanZonesState leaves the missing areas unticked.
    auto zones = mdr::Split(config.GetString(L"MDRWindow", L"ScanZonesState"), L',');
    ASSERT_GE(zones.size(), 3u);
    EXPECT_EQ(zones[0], L"1");
    EXPECT_EQ(zones[1], L"0");
    EXPECT_EQ(zones[2], L"1");
    for (size_t i = 3; i < zones.size(); ++i)
        EXPECT_EQ(zones[i], L"0");
    // The MDRConfig group is not written at exit.
    EXPECT_EQ(config.GetString(L"MDRConfig", L"ScanMode"), L"fast");
    EXPECT_EQ(config.GetString(L"MDRConfig", L"Unknown"), L"1");
    EXPECT_FALSE(config.HasKey(L"MDRConfig", L"SelectItems"));
    EXPECT_EQ(config.Keys(L"MDRExceptions").size(), 2u);
    EXPECT_FALSE(FileExists(LogPath()));
}

TEST_F(StartupTest, WindowGroupIsWrittenAtExit) {
    WriteConfig("[MDRConfig]\r\nScanMode=7\r\n[MDRWindow]\r\nMainWinX=50\r\nMainWinY=60\r\n"
                "MainWinWidth=700\r\nMainWinHeight=480\r\nSplitterWidth=222\r\n");
    SIZE moved{};
    {
        Process& mdr = LaunchMdr();
        HWND window = WaitForMainWindow(mdr);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(WindowRect(window).left, 50);
        EXPECT_EQ(WindowRect(window).top, 60);
        EXPECT_EQ(ClientSize(window).cx, 700);
        EXPECT_EQ(ClientSize(window).cy, 480);
        // Moved and sized by the user: 100 pixels wider and 20 higher.
        RECT frame = WindowRect(window);
        ASSERT_TRUE(SetWindowPos(window, nullptr, 100, 120, frame.right - frame.left + 100,
                                 frame.bottom - frame.top + 20, SWP_NOZORDER | SWP_NOACTIVATE));
        ASSERT_TRUE(WaitUntil([&] { return ClientSize(window).cx == 800; }));
        moved = ClientSize(window);
        CloseAndExpectExit(mdr, window);
    }
    IniFile config = LoadIni(ConfigPath());
    EXPECT_EQ(config.GetString(L"MDRWindow", L"MainWinX"), L"100");
    EXPECT_EQ(config.GetString(L"MDRWindow", L"MainWinY"), L"120");
    EXPECT_EQ(config.GetString(L"MDRWindow", L"MainWinWidth"), L"800");
    EXPECT_EQ(config.GetString(L"MDRWindow", L"MainWinHeight"), std::to_wstring(moved.cy));
    EXPECT_EQ(config.GetString(L"MDRWindow", L"MainWinState"), L"0");
    EXPECT_EQ(config.GetString(L"MDRWindow", L"SplitterWidth"), L"222");
    EXPECT_EQ(config.GetString(L"MDRConfig", L"ScanMode"), L"7");

    // Maximized: the state is recorded and the size to restore to is kept.
    {
        Process& mdr = LaunchMdr();
        HWND window = WaitForMainWindow(mdr);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(WindowRect(window).left, 100);
        EXPECT_EQ(ClientSize(window).cx, moved.cx);
        EXPECT_EQ(ClientSize(window).cy, moved.cy);
        Send(window, WM_SYSCOMMAND, SC_MAXIMIZE);
        ASSERT_TRUE(WaitUntil([&] { return IsZoomed(window) != 0; }));
        CloseAndExpectExit(mdr, window);
    }
    config = LoadIni(ConfigPath());
    EXPECT_EQ(config.GetString(L"MDRWindow", L"MainWinState"), L"16777216");

    // Minimized: the position and size stay as they were.
    const std::wstring beforeWidth = config.GetString(L"MDRWindow", L"MainWinWidth");
    const std::wstring beforeX = config.GetString(L"MDRWindow", L"MainWinX");
    const std::wstring beforeHeight = config.GetString(L"MDRWindow", L"MainWinHeight");
    {
        Process& mdr = LaunchMdr();
        HWND window = WaitForMainWindow(mdr);
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(IsZoomed(window)) << "a saved maximized state opens maximized";
        Send(window, WM_SYSCOMMAND, SC_MINIMIZE);
        ASSERT_TRUE(WaitUntil([&] { return IsIconic(window) != 0; }));
        CloseAndExpectExit(mdr, window);
    }
    config = LoadIni(ConfigPath());
    EXPECT_EQ(config.GetString(L"MDRWindow", L"MainWinX"), beforeX);
    EXPECT_EQ(config.GetString(L"MDRWindow", L"MainWinWidth"), beforeWidth);
    EXPECT_EQ(config.GetString(L"MDRWindow", L"MainWinHeight"), beforeHeight);
    EXPECT_EQ(config.GetString(L"MDRWindow", L"MainWinState"), L"16777216");
}

TEST_F(StartupTest, LogHasRunHeaderAndDatedLines) {
    WriteConfig("[MDRConfig]\r\nCreateLog=1\r\n[MDRWindow]\r\nMainWinX=10\r\nMainWinY=10\r\n");
    // "-warnordie" with nothing found ends the program on its own, through the normal exit.
    for (int run = 0; run < 2; ++run) {
        Process& mdr = LaunchMdr(L"\"  -WARNORDIE \" -Unknown");
        DWORD code = 1;
        ASSERT_TRUE(mdr.WaitExit(kDefaultTimeout, &code));
        EXPECT_EQ(code, 0u);
    }
    const std::string bytes = ReadFileBytes(LogPath());
    ASSERT_FALSE(bytes.empty()) << "no log written";
    EXPECT_NE(bytes.substr(0, 3), "\xEF\xBB\xBF");
    std::vector<std::string> lines = CrLfLines(bytes);

    const std::string header =
        std::string("<<< Veltrane Mendora v. ") + mdr::test::kVersionTextUtf8 + " >>>";
    const std::vector<std::string> expected = {"Initializing program...", "Parameter -> -warnordie",
                                               "Parameter -> -unknown",   "Quit signal received",
                                               "Saving settings",         "Done saving settings"};
    int headers = 0;
    size_t next = 0; // position in expected, in order, for the current run
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line == header) {
            ++headers;
            ASSERT_GT(i, 0u);
            ASSERT_LT(i + 1, lines.size());
            EXPECT_EQ(lines[i - 1], "");
            EXPECT_EQ(lines[i + 1], "");
            if (headers == 2) {
                EXPECT_EQ(next, expected.size()) << "first run incomplete";
            }
            next = 0;
            continue;
        }
        if (line.empty()) continue;
        std::string text;
        ASSERT_TRUE(IsDatedLine(line, &text)) << "badly formed line: " << line;
        if (next < expected.size() && text == expected[next]) ++next;
    }
    EXPECT_EQ(headers, 2);
    EXPECT_EQ(next, expected.size())
        << "missing line: " << (next < expected.size() ? expected[next] : "");
}

TEST_F(StartupTest, LanguageFileWithGapsAndUpperCaseBreaksLoads) {
    std::wstring install = CopyOfInstall();
    // 148 numbered texts with l10 and l20 missing, four keys of other names, and the two texts
    // of the first-run question: 154 keys, so entries 0..153 exist and 10 and 20 are empty.
    std::string text = "[MDRLanguageInfo]\r\nName=Test\r\nAuthor=\r\n[MDRLanguageData]\r\n";
    for (int i = 0; i < 150; ++i) {
        if (i == 10 || i == 20) continue;
        text += LanguageLine(i, "Text " + std::to_string(i));
    }
    text += "Extra1=a\r\nExtra2=b\r\nComment=c\r\nNote=d\r\n";
    text += "l152=Premi\xC3\xA8re sauvegarde\r\n";
    text += "l153=First line<BR>second line<Br>third\r\n";
    ASSERT_TRUE(WriteFileBytes(install + L"Localization\\English.ini", text));

    Process& mdr = LaunchMdr(L"", install);
    auto box = WaitForMessageBox(mdr.Pid());
    ASSERT_TRUE(box) << "no first-run question";
    EXPECT_EQ(box->title, L"Premi\u00E8re sauvegarde");
    EXPECT_EQ(box->text, L"First line\r\nsecond line\r\nthird");
    ASSERT_TRUE(PressButton(box->window, IDNO));
    HWND window = WaitForMainWindow(mdr);
    ASSERT_NE(window, nullptr);
    CloseAndExpectExit(mdr, window);
}

TEST_F(StartupTest, ShortLanguageFileLeavesLaterTextsEmpty) {
    std::wstring install = CopyOfInstall();
    std::string text = "[MDRLanguageInfo]\r\nName=Short\r\n[MDRLanguageData]\r\n";
    for (int i = 0; i < 100; ++i)
        text += LanguageLine(i, "x");
    text += "l152=Not reached\r\n"; // key 101: entries 0..100 only
    ASSERT_TRUE(WriteFileBytes(install + L"Localization\\English.ini", text));
    Process& mdr = LaunchMdr(L"", install);
    auto box = WaitForMessageBox(mdr.Pid());
    ASSERT_TRUE(box) << "no first-run question";
    EXPECT_EQ(box->title, L"");
    EXPECT_EQ(box->text, L"");
    ASSERT_TRUE(PressButton(box->window, IDNO));
    HWND window = WaitForMainWindow(mdr);
    ASSERT_NE(window, nullptr);
    CloseAndExpectExit(mdr, window);
}

TEST_F(StartupTest, EmptyLanguageFileStopsTheStart) {
    std::wstring install = CopyOfInstall();
    ASSERT_TRUE(WriteFileBytes(install + L"Localization\\English.ini", ""));
    WriteConfig(kPlainConfig);
    Process& mdr = LaunchMdr(L"", install);
    ExpectRefusal(mdr, L"Error loading localization file: Localization\\English.ini.", L"Error",
                  true);
}

TEST_F(StartupTest, MissingLanguageFolderStopsTheStart) {
    std::wstring install = CopyOfInstall();
    ASSERT_TRUE(RemoveTree(install + L"Localization"));
    WriteConfig(kPlainConfig);
    Process& mdr = LaunchMdr(L"", install);
    ExpectRefusal(mdr, L"Error querying the languages directory!", L"Error", false);
}

TEST_F(StartupTest, LanguagesAreFoundBesideTheProgramWhateverTheCurrentFolder) {
    WriteConfig(kPlainConfig);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    // As "Run as administrator" does, which starts programs in the system folder.
    Process& mdr = Launch(DistDir() + L"MDR.exe", L"", temp);
    HWND window = WaitForMainWindow(mdr);
    ASSERT_NE(window, nullptr);
    CloseAndExpectExit(mdr, window);
}

TEST_F(StartupTest, BackupFolderIsCreatedBesideTheProgram) {
    std::wstring install = CopyOfInstall();
    RemoveTree(install + L"Backup");
    WriteConfig(kPlainConfig);
    Process& mdr = LaunchMdr(L"", install);
    HWND window = WaitForMainWindow(mdr);
    ASSERT_NE(window, nullptr);
    DWORD attributes = GetFileAttributesW((install + L"Backup").c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
    CloseAndExpectExit(mdr, window);
}

TEST_F(StartupTest, WarnOrDieWithoutFindingsEnds) {
    WriteConfig(kPlainConfig);
    Process& mdr = LaunchMdr(L"-warnordie");
    DWORD code = 1;
    ASSERT_TRUE(mdr.WaitExit(kDefaultTimeout, &code));
    EXPECT_EQ(code, 0u);
    IniFile config = LoadIni(ConfigPath());
    EXPECT_TRUE(config.HasKey(L"MDRWindow", L"ScanZonesState")) << "settings saved on the way out";
}

} // namespace
