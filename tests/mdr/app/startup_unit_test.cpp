// Pure logic of the start-up spine (system codes, refusals, parameters, crash report) and the
// log writer against real files in a temporary folder.
#include <gtest/gtest.h>

#include <windows.h>
#include <string>
#include <tuple>

#include "mdr/core/crash_handler.h"
#include "mdr/core/logging.h"
#include "mdr/core/os_version.h"
#include "mdr/core/settings.h"
#include "mdr/app/startup_checks.h"
#include "common/debug_privilege.h"
#include "common/handles.h"
#include "common/text.h"
#include "tests/support/test_files.h"

using namespace mdr;

namespace {

using mdr::test::FileExists;
using mdr::test::ReadFileBytes;

class LogFileTest : public ::testing::Test {
  protected:
    mdr::test::TempFolder folder_;
    const std::wstring path_ = folder_ / L"MDRLog.log";
};

// "#dd/mm/yy hh:ii:ss      " is 24 characters.
bool IsDatedLine(std::string_view line, std::string_view text) {
    if (line.size() != 24 + text.size()) return false;
    const char* shape = "#00/00/00 00:00:00      ";
    for (size_t i = 0; i < 24; ++i) {
        if (shape[i] == '0' ? !isdigit(static_cast<unsigned char>(line[i])) : line[i] != shape[i])
            return false;
    }
    return line.substr(24) == text;
}

DWORD WINAPI WriteBs(void* path) {
    for (int i = 0; i < 200; ++i)
        WriteLog(*static_cast<const std::wstring*>(path), L"bbbbbbbbbbbbbbbbbbbb");
    return 0;
}

} // namespace

TEST(OsVersion, CodesFromVersionNumbers) {
    const DWORD nt = VER_PLATFORM_WIN32_NT, nine = VER_PLATFORM_WIN32_WINDOWS;
    const BYTE ws = VER_NT_WORKSTATION, srv = VER_NT_SERVER;
    struct Case {
        DWORD platform, major, minor;
        BYTE product;
        int code;
    };
    // clang-format off
    for (const Case& c : {Case{nt, 3, 51, 0, 5}, {nine, 4, 0, 0, 10}, {nt, 4, 0, ws, 20},
                          {nine, 4, 10, 0, 30}, {nine, 4, 90, 0, 40}, {nt, 5, 0, srv, 50},
                          {nt, 5, 1, ws, 60}, {nt, 5, 2, ws, 60}, {nt, 5, 2, srv, 65},
                          {nt, 5, 2, VER_NT_DOMAIN_CONTROLLER, 65}, {nt, 6, 0, ws, 70},
                          {nt, 6, 1, srv, 75}, {nt, 6, 1, ws, 80}, {nt, 6, 2, ws, 100},
                          {nt, 10, 0, ws, 100}, {nine, 4, 50, 0, 100},
                          {VER_PLATFORM_WIN32s, 3, 11, 0, 100}, {nt, 5, 3, ws, 100}}) {
        // clang-format on
        EXPECT_EQ(OsCodeFromVersion(c.platform, c.major, c.minor, c.product), c.code)
            << c.platform << " " << c.major << "." << c.minor << " " << int(c.product);
    }
    EXPECT_GE(OperatingSystemCode(), 50);
}

TEST(StartupChecks, DecisionsAndRefusalsForSystemsTheTestMachineIsNot) {
    // The floors: Windows XP SP3 (32-bit edition), XP x64 / Server 2003 SP1 (64-bit edition).
    const DWORD xp3 = 0x05010300, ws03sp1 = 0x05020100;
    EXPECT_EQ(NTDDI_VERSION, sizeof(void*) == 8 ? ws03sp1 : xp3);
    // clang-format off
    for (auto [version, floor, older] : {std::tuple<DWORD, DWORD, bool>{0x05000400, xp3, true},
             {0x05010200, xp3, true}, {xp3, xp3, false}, {0x05020000, xp3, false}, {0x05020000, ws03sp1, true},
             {0x05020200, ws03sp1, false}, {0x06000000, ws03sp1, false}, {0, xp3, false}})
        // clang-format on
        EXPECT_EQ(IsOlderThanFloor(version, floor), older) << std::hex << version;
    EXPECT_FALSE(IsSixtyFourBitSystem(false, PROCESSOR_ARCHITECTURE_AMD64));
    EXPECT_FALSE(IsSixtyFourBitSystem(true, PROCESSOR_ARCHITECTURE_INTEL));
    EXPECT_TRUE(IsSixtyFourBitSystem(true, PROCESSOR_ARCHITECTURE_AMD64));
    EXPECT_TRUE(IsSixtyFourBitSystem(true, PROCESSOR_ARCHITECTURE_IA64));
    EXPECT_TRUE(IsSecondInstance(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(IsSecondInstance(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(IsSecondInstance(ERROR_SUCCESS));
    // The refusals a start on this machine can show are the end-to-end tests'.
    const UINT info = MB_ICONINFORMATION;
    struct Case {
        Refusal refusal;
        const wchar_t* text;
        const wchar_t* title;
        UINT icon;
    };
    for (const Case& c : {Case{Refusal::NotAdministrator,
                               L"You need to run this program under an Administrator account!",
                               L"Information", info},
                          {Refusal::NoDebugPrivilege,
                           L"Error increasing priviledges! Are you sure you are "
                           L"running the program under an Administrator account?",
                           nullptr, 0}}) {
        auto message = MessageFor(c.refusal);
        EXPECT_EQ(message.text, c.text);
        if (!c.title) continue;
        EXPECT_EQ(message.title, c.title) << ToUtf8(c.text);
        EXPECT_EQ(message.icon, c.icon) << ToUtf8(c.text);
    }
    auto wide = MessageFor(Refusal::SixtyFourBit);
    EXPECT_TRUE(StartsWithNoCase(wide.text, L"We are sorry but the 32 bit version of MDR cannot "
                                            L"run on 64 bit versions of Windows. A special edition "
                                            L"for x64 systems can be downloaded from http"));
    EXPECT_EQ(wide.title, L"Information");
}

TEST(StartupChecks, ParametersAreTrimmedLowerCasedAndMayRepeat) {
    auto flags = ParseParameters({L" -SCAN ", L"-unknown", L"-Minimized", L"-scan"});
    EXPECT_TRUE(flags.scan && flags.minimized && !flags.warnOrDie);
    EXPECT_EQ(flags.parameters,
              (std::vector<std::wstring>{L"-scan", L"-unknown", L"-minimized", L"-scan"}));
    auto none = ParseParameters({L"scan", L"-scan-now", L"/warnordie"});
    EXPECT_FALSE(none.scan || none.minimized || none.warnOrDie);
    EXPECT_TRUE(ParseParameters({L"\t-WarnOrDie"}).warnOrDie);
}

TEST(CrashReport, SixLinesWithCrLfAndFaultDescriptions) {
    SYSTEMTIME when{2009, 3, 0, 5, 14, 7, 9, 0};
    EXPECT_EQ(
        FormatCrashReport(0xC0000005, when, L"1.0 BETA (32 bit edition)", 60, L"ScanEngine", 412),
        L"Log generated on: 2009/03/05 at 14:07:09\r\n"
        L"MDR version: 1.0 BETA (32 bit edition)\r\n"
        L"OS version: 60\r\n"
        L"Error description: Invalid memory access\r\n"
        L"Module name: ScanEngine\r\n"
        L"Error line: 412\r\n");
    EXPECT_EQ(FaultDescription(0xC0000094), L"Division by zero ");
    EXPECT_EQ(FaultDescription(0xC000008E), L"Division by zero (floating-point)");
    EXPECT_EQ(FaultDescription(0xC0000091), L"Floating-point overflow (exponent to great)");
    EXPECT_EQ(FaultDescription(0xC00000FD), L"Stack overflow");
    EXPECT_EQ(FaultDescription(0xE06D7363), L"Unknown error code"); // a C++ exception
}

TEST(LogFormat, DatedLineAndBlankLine) {
    EXPECT_EQ(FormatLogLine(L"Saving settings", 5, 3, 2009, 14, 7, 9),
              L"#05/03/09 14:07:09      Saving settings");
    EXPECT_EQ(FormatLogLine(L"x", 31, 12, 2000, 0, 0, 0), L"#31/12/00 00:00:00      x");
    EXPECT_EQ(FormatLogLine(L"", 5, 3, 2009, 14, 7, 9), L"");
}

// The header and the runs one after another are checked on the real program's log.
TEST_F(LogFileTest, LinesNeedTheHeaderAndADeletedLogIsNotRecreated) {
    EXPECT_EQ(WriteLog(path_, L"before any header"), -1);
    EXPECT_FALSE(FileExists(path_));
    ASSERT_EQ(BeginLogFile(path_, L"run"), 1);
    EXPECT_EQ(WriteLog(path_, L"Gr\u00FC\u00DFe \u65E5\u672C"), 1);
    EXPECT_EQ(WriteLog(path_, L""), 1);
    // UTF-8 text; an empty message is a blank line without date.
    const std::string text = ReadFileBytes(path_), head = "\r\n<<< run >>>\r\n\r\n";
    ASSERT_GT(text.size(), head.size() + 4);
    EXPECT_TRUE(IsDatedLine(text.substr(head.size(), text.size() - head.size() - 4),
                            "Gr\xC3\xBC\xC3\x9F"
                            "e \xE6\x97\xA5\xE6\x9C\xAC"))
        << text;
    EXPECT_EQ(text.substr(text.size() - 4), "\r\n\r\n");

    ASSERT_TRUE(DeleteFileW(path_.c_str()));
    EXPECT_EQ(WriteLog(path_, L"after delete"), -1);
    EXPECT_FALSE(FileExists(path_));
    EXPECT_EQ(BeginLogFile(folder_ / L"missing\\MDRLog.log", L"x"), -1);
}

TEST_F(LogFileTest, LogFollowsCreateLog) {
    Paths().logFile = path_;
    ASSERT_EQ(BeginLogFile(path_, L"run"), 1);
    const std::string before = ReadFileBytes(path_);
    Settings().CreateLog = 0;
    Log(L"not written");
    EXPECT_EQ(ReadFileBytes(path_), before);
    Settings().CreateLog = 1;
    Log(L"written");
    std::string after = ReadFileBytes(path_);
    Settings().CreateLog = 0;
    ASSERT_GT(after.size(), before.size() + 2);
    EXPECT_TRUE(
        IsDatedLine(after.substr(before.size(), after.size() - before.size() - 2), "written"));
    EXPECT_EQ(after.substr(after.size() - 2), "\r\n");
}

TEST_F(LogFileTest, TwoThreadsWriteWholeLines) {
    ASSERT_EQ(BeginLogFile(path_, L"run"), 1);
    const mdr::UniqueHandle b(CreateThread(nullptr, 0, WriteBs, (void*)&path_, 0, nullptr));
    for (int i = 0; i < 200; ++i)
        WriteLog(path_, L"aaaaaaaaaaaaaaaaaaaa");
    ASSERT_EQ(WaitForSingleObject(b.get(), 30000), WAIT_OBJECT_0);
    auto lines = Split(FromUtf8(ReadFileBytes(path_)), L'\n');
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
