// Pure logic of the start-up spine (system codes, refusals, parameters, crash report) and the
// log writer against real files in a temporary folder.
#include <gtest/gtest.h>

#include <windows.h>
#include <string>

#include "core/crash_handler.h"
#include "core/logging.h"
#include "core/os_version.h"
#include "core/settings.h"
#include "app/startup_checks.h"
#include "common/debug_privilege.h"
#include "common/text.h"
#include "tests/support/test_files.h"

using namespace mdr;

namespace {

using mdr::test::FileExists;

std::string ReadAll(const std::wstring& path) {
    return mdr::test::ReadFileBytes(path);
}

struct LogJob {
    const std::wstring* path;
    const wchar_t* text;
};

DWORD WINAPI WriteLogLines(void* param) {
    auto* job = static_cast<LogJob*>(param);
    for (int i = 0; i < 200; ++i)
        WriteLog(*job->path, job->text);
    return 0;
}

// A log file in a folder of its own, removed afterwards.
class LogFileTest : public ::testing::Test {
  protected:
    void SetUp() override { path_ = folder_ / L"MDRLog.log"; }
    mdr::test::TempFolder folder_;
    std::wstring path_;
};

// "#dd/mm/yy hh:ii:ss      " is 24 characters.
bool IsDatedLine(std::string_view line, std::string_view text) {
    if (line.size() != 24 + text.size() || line[0] != '#') return false;
    const char* shape = "#00/00/00 00:00:00      ";
    for (size_t i = 0; i < 24; ++i) {
        if (shape[i] == '0' ? !isdigit(static_cast<unsigned char>(line[i])) : line[i] != shape[i]) {
            return false;
        }
    }
    return line.substr(24) == text;
}

} // namespace

TEST(OsVersion, CodesFromVersionNumbers) {
    EXPECT_EQ(OsCodeFromVersion(VER_PLATFORM_WIN32_NT, 3, 51, 0), 5);
    EXPECT_EQ(OsCodeFromVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 0, 0), 10);
    EXPECT_EQ(OsCodeFromVersion(VER_PLATFORM_WIN32_NT, 4, 0, VER_NT_WORKSTATION), 20);
    EXPECT_EQ(OsCodeFromVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0), 30);
    EXPECT_EQ(OsCodeFromVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 90, 0), 40);
    EXPECT_EQ(OsCodeFromVersion(VER_PLATFORM_WIN32_NT, 5, 0, VER_NT_SERVER), 50);
    EXPECT_EQ(OsCodeFromVersion(VER_PLATFORM_WIN32_NT, 5, 1, VER_NT_WORKSTATION), 60);
    // 5.2 is XP x64 on a workstation, Server 2003 otherwise.
    EXPECT_EQ(OsCodeFromVersion(VER_PLATFORM_WIN32_NT, 5, 2, VER_NT_WORKSTATION), 60);
    EXPECT_EQ(OsCodeFromVersion(VER_PLATFORM_WIN32_NT, 5, 2, VER_NT_SERVER), 65);
    EXPECT_EQ(OsCodeFromVersion(VER_PLATFORM_WIN32_NT, 5, 2, VER_NT_DOMAIN_CONTROLLER), 65);
    EXPECT_EQ(OsCodeFromVersion(VER_PLATFORM_WIN32_NT, 6, 0, VER_NT_WORKSTATION), 70);
    EXPECT_EQ(OsCodeFromVersion(VER_PLATFORM_WIN32_NT, 6, 0, VER_NT_SERVER), 75);
    EXPECT_EQ(OsCodeFromVersion(VER_PLATFORM_WIN32_NT, 6, 1, VER_NT_SERVER), 75);
    EXPECT_EQ(OsCodeFromVersion(VER_PLATFORM_WIN32_NT, 6, 1, VER_NT_WORKSTATION), 80);
}

TEST(OsVersion, EverythingElseIsUnknown) {
    EXPECT_EQ(OsCodeFromVersion(VER_PLATFORM_WIN32_NT, 6, 2, VER_NT_WORKSTATION), 100);
    EXPECT_EQ(OsCodeFromVersion(VER_PLATFORM_WIN32_NT, 10, 0, VER_NT_WORKSTATION), 100);
    EXPECT_EQ(OsCodeFromVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 50, 0), 100);
    EXPECT_EQ(OsCodeFromVersion(VER_PLATFORM_WIN32s, 3, 11, 0), 100);
    EXPECT_EQ(OsCodeFromVersion(VER_PLATFORM_WIN32_NT, 5, 3, VER_NT_WORKSTATION), 100);
    // The system under test is at least Windows 2000 whatever version it reports.
    EXPECT_GE(OperatingSystemCode(), 50);
    EXPECT_LE(OperatingSystemCode(), 100);
}

TEST(StartupChecks, DecisionsForSystemsTheTestMachineIsNot) {
    EXPECT_TRUE(IsOlderThanWindows2000(5));
    EXPECT_TRUE(IsOlderThanWindows2000(40));
    EXPECT_FALSE(IsOlderThanWindows2000(50));
    EXPECT_FALSE(IsOlderThanWindows2000(100));

    EXPECT_FALSE(IsSixtyFourBitSystem(false, 0));
    EXPECT_FALSE(IsSixtyFourBitSystem(false, PROCESSOR_ARCHITECTURE_AMD64));
    EXPECT_FALSE(IsSixtyFourBitSystem(true, PROCESSOR_ARCHITECTURE_INTEL));
    EXPECT_TRUE(IsSixtyFourBitSystem(true, PROCESSOR_ARCHITECTURE_AMD64));
    EXPECT_TRUE(IsSixtyFourBitSystem(true, PROCESSOR_ARCHITECTURE_IA64));

    EXPECT_TRUE(IsSecondInstance(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(IsSecondInstance(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(IsSecondInstance(ERROR_SUCCESS));
}

TEST(StartupChecks, RefusalTextsTitlesAndIcons) {
    auto old = MessageFor(Refusal::OldWindows);
    EXPECT_EQ(old.text, L"We are sorry, Veltrane Mendora was designed for Windows 2000 and later "
                        L"operating systems.");
    EXPECT_EQ(old.title, L"Compatibility problem");
    EXPECT_EQ(old.icon, static_cast<UINT>(MB_ICONINFORMATION));

    auto missing = MessageFor(Refusal::SkipMapMissing);
    EXPECT_EQ(missing.text, L"'MDRSkipMap.dat' is empty/missing.");
    EXPECT_EQ(missing.title, L"Error");
    EXPECT_EQ(missing.icon, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(MessageFor(Refusal::SkipMapUnreadable).text,
              L"Error reading skip map file 'MDRSkipMap.dat'.");

    auto wide = MessageFor(Refusal::SixtyFourBit);
    EXPECT_TRUE(StartsWithNoCase(wide.text, L"We are sorry but the 32 bit version of MDR cannot "
                                            L"run on 64 bit versions of Windows. A special edition "
                                            L"for x64 systems can be downloaded from http"));
    EXPECT_EQ(wide.text.back(), L'.');
    EXPECT_EQ(wide.title, L"Information");

    auto admin = MessageFor(Refusal::NotAdministrator);
    EXPECT_EQ(admin.text, L"You need to run this program under an Administrator account!");
    EXPECT_EQ(admin.title, L"Information");
    EXPECT_EQ(admin.icon, static_cast<UINT>(MB_ICONINFORMATION));

    EXPECT_EQ(MessageFor(Refusal::NoDebugPrivilege).text,
              L"Error increasing priviledges! Are you sure you are running the program under an "
              L"Administrator account?");
    EXPECT_EQ(MessageFor(Refusal::SecondInstance).text,
              L"Another instance of the program is already running.");

    auto folder = MessageFor(Refusal::LanguagesFolder);
    EXPECT_EQ(folder.text, L"Error querying the languages directory!");
    EXPECT_EQ(folder.title, L"Error");
    EXPECT_EQ(folder.icon, 0u);

    auto language = MessageFor(Refusal::LanguageFile, L"Localization\\Deutsch.ini");
    EXPECT_EQ(language.text, L"Error loading localization file: Localization\\Deutsch.ini.");
    EXPECT_EQ(language.icon, static_cast<UINT>(MB_ICONERROR));
}

TEST(StartupChecks, ParametersAreTrimmedLowerCasedAndMayRepeat) {
    auto flags = ParseParameters({L" -SCAN ", L"-unknown", L"-Minimized", L"-scan"});
    EXPECT_TRUE(flags.scan);
    EXPECT_TRUE(flags.minimized);
    EXPECT_FALSE(flags.warnOrDie);
    EXPECT_EQ(flags.parameters,
              (std::vector<std::wstring>{L"-scan", L"-unknown", L"-minimized", L"-scan"}));

    auto none = ParseParameters({L"scan", L"-scan-now", L"/warnordie"});
    EXPECT_FALSE(none.scan || none.minimized || none.warnOrDie);
    EXPECT_TRUE(ParseParameters({L"\t-WarnOrDie"}).warnOrDie);
}

TEST(CrashReport, SixLinesWithCrLf) {
    SYSTEMTIME when{};
    when.wYear = 2009;
    when.wMonth = 3;
    when.wDay = 5;
    when.wHour = 14;
    when.wMinute = 7;
    when.wSecond = 9;
    std::wstring report =
        FormatCrashReport(0xC0000005, when, L"1.0 BETA (32 bit edition)", 60, L"ScanEngine", 412);
    EXPECT_EQ(report, L"Log generated on: 2009/03/05 at 14:07:09\r\n"
                      L"MDR version: 1.0 BETA (32 bit edition)\r\n"
                      L"OS version: 60\r\n"
                      L"Error description: Invalid memory access\r\n"
                      L"Module name: ScanEngine\r\n"
                      L"Error line: 412\r\n");
}

TEST(CrashReport, FaultDescriptions) {
    EXPECT_EQ(FaultDescription(0xC0000094), L"Division by zero ");
    EXPECT_EQ(FaultDescription(0xC000008E), L"Division by zero (floating-point)");
    EXPECT_EQ(FaultDescription(0xC0000091), L"Floating-point overflow (exponent to great)");
    EXPECT_EQ(FaultDescription(0xC00000FD), L"Stack overflow");
    EXPECT_EQ(FaultDescription(0xC0000025),
              L"Exception handler tried to continue after non-continuable exception");
    EXPECT_EQ(FaultDescription(0x80000003), L"Debugger breakpoint reached");
    EXPECT_EQ(FaultDescription(0x80000004), L"Single step trap");
    EXPECT_EQ(FaultDescription(0xE06D7363), L"Unknown error code"); // a C++ exception
    EXPECT_EQ(FaultDescription(0), L"Unknown error code");
}

TEST(LogFormat, DatedLineAndBlankLine) {
    EXPECT_EQ(FormatLogLine(L"Saving settings", 5, 3, 2009, 14, 7, 9),
              L"#05/03/09 14:07:09      Saving settings");
    EXPECT_EQ(FormatLogLine(L"x", 31, 12, 2000, 0, 0, 0), L"#31/12/00 00:00:00      x");
    EXPECT_EQ(FormatLogLine(L"", 5, 3, 2009, 14, 7, 9), L"");
}

TEST_F(LogFileTest, HeaderCreatesTheFileAndLinesAreAppended) {
    EXPECT_EQ(WriteLog(path_, L"before any header"), -1);
    EXPECT_FALSE(FileExists(path_));

    ASSERT_EQ(BeginLogFile(path_, L"Veltrane Mendora v. 1.0"), 1);
    EXPECT_EQ(ReadAll(path_), "\r\n<<< Veltrane Mendora v. 1.0 >>>\r\n\r\n");

    EXPECT_EQ(WriteLog(path_, L"Gr\u00FC\u00DFe \u65E5\u672C"), 1);
    EXPECT_EQ(WriteLog(path_, L""), 1);
    ASSERT_EQ(BeginLogFile(path_, L"second run"), 1);

    std::string text = ReadAll(path_);
    ASSERT_GE(text.size(), 3u);
    EXPECT_NE(text.substr(0, 3), "\xEF\xBB\xBF"); // no byte-order mark
    auto lines = Split(FromUtf8(text), L'\n');
    ASSERT_EQ(lines.size(), 9u);
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        ASSERT_FALSE(lines[i].empty());
        EXPECT_EQ(lines[i].back(), L'\r') << "line " << i << " lacks its CR";
        lines[i].pop_back();
    }
    EXPECT_EQ(lines[0], L"");
    EXPECT_EQ(lines[1], L"<<< Veltrane Mendora v. 1.0 >>>");
    EXPECT_EQ(lines[2], L"");
    EXPECT_TRUE(IsDatedLine(ToUtf8(lines[3]), "Gr\xC3\xBC\xC3\x9F"
                                              "e \xE6\x97\xA5\xE6\x9C\xAC"))
        << ToUtf8(lines[3]);
    EXPECT_EQ(lines[4], L""); // empty message: a blank line without date
    EXPECT_EQ(lines[5], L"");
    EXPECT_EQ(lines[6], L"<<< second run >>>");
    EXPECT_EQ(lines[7], L"");
    EXPECT_EQ(lines[8], L"");
}

TEST_F(LogFileTest, DeletedLogIsNotRecreated) {
    ASSERT_EQ(BeginLogFile(path_, L"run"), 1);
    ASSERT_TRUE(DeleteFileW(path_.c_str()));
    EXPECT_EQ(WriteLog(path_, L"after delete"), -1);
    EXPECT_FALSE(FileExists(path_));
    EXPECT_EQ(BeginLogFile(folder_ / L"missing\\MDRLog.log", L"x"), -1);
}

TEST_F(LogFileTest, LogFollowsCreateLog) {
    Paths().logFile = path_;
    ASSERT_EQ(BeginLogFile(path_, L"run"), 1);
    const std::string before = ReadAll(path_);
    Settings().CreateLog = 0;
    Log(L"not written");
    EXPECT_EQ(ReadAll(path_), before);
    Settings().CreateLog = 1;
    Log(L"written");
    std::string after = ReadAll(path_);
    Settings().CreateLog = 0;
    ASSERT_GT(after.size(), before.size());
    EXPECT_TRUE(
        IsDatedLine(after.substr(before.size(), after.size() - before.size() - 2), "written"));
    EXPECT_EQ(after.substr(after.size() - 2), "\r\n");
}

TEST_F(LogFileTest, TwoThreadsWriteWholeLines) {
    ASSERT_EQ(BeginLogFile(path_, L"run"), 1);
    LogJob a{&path_, L"aaaaaaaaaaaaaaaaaaaa"};
    LogJob b{&path_, L"bbbbbbbbbbbbbbbbbbbb"};
    HANDLE threads[2] = {CreateThread(nullptr, 0, WriteLogLines, &a, 0, nullptr),
                         CreateThread(nullptr, 0, WriteLogLines, &b, 0, nullptr)};
    ASSERT_EQ(WaitForMultipleObjects(2, threads, TRUE, 30000), WAIT_OBJECT_0);
    CloseHandle(threads[0]);
    CloseHandle(threads[1]);
    auto lines = Split(FromUtf8(ReadAll(path_)), L'\n');
    int as = 0, bs = 0;
    for (size_t i = 3; i + 1 < lines.size(); ++i) {
        std::string line = ToUtf8(lines[i]);
        ASSERT_FALSE(line.empty());
        line.pop_back(); // CR
        if (IsDatedLine(line, "aaaaaaaaaaaaaaaaaaaa"))
            ++as;
        else if (IsDatedLine(line, "bbbbbbbbbbbbbbbbbbbb"))
            ++bs;
        else
            ADD_FAILURE() << "torn line: " << line;
    }
    EXPECT_EQ(as, 200);
    EXPECT_EQ(bs, 200);
}
