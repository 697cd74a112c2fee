// Restore points: the probe program runs SetRestorePoint beside a stand-in srclient.dll (or
// Wine's own, or none at all) and reports the message boxes; the log and the calls the library
// received are checked as well.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>
#include <regex>
#include <string>
#include <vector>

#include "common/handles.h"
#include "common/ini.h"
#include "common/text.h"
#include "mdr/repair/restore_point.h"
#include "tests/support/driver.h"
#include "tests/support/registry_snapshot.h"
#include "tests/support/test_files.h"

using namespace mdr;
using mdr::test::BuildDir;
using mdr::test::ReadLines;

namespace {

bool UnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

struct Box {
    UINT flags;
    std::wstring title, text;
    bool operator==(const Box&) const = default;
};

struct ProbeRun {
    int exitCode = -1;
    int result = -1;
    std::vector<Box> boxes;
    std::vector<std::wstring> calls; // "event type sequence description"
    std::vector<std::wstring> log;   // message texts of the log lines
};

// A copy of the probe for which Wine's own srclient.dll is switched off.
constexpr wchar_t kProbeWithoutLibrary[] = L"probe_without_srclient.exe";

// The texts of the language file: distinct, so a wrong entry shows.
std::wstring Entry(int n) {
    return L"Entry " + std::to_wstring(n) + L" text";
}

class RestorePoint : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        root_ = mdr::test::MakeTempDir(L"mdr_restore_point");
        std::wstring language = L"[MDRLanguageInfo]\r\nName=Probe\r\n[MDRLanguageData]\r\n";
        for (int i = 0; i <= 29; ++i)
            language += L"l" + std::to_wstring(i) + L"=" + Entry(i) +
                        (i == 22 ? L" for $RestorePointName$.\r\n" : L"\r\n");
        ASSERT_TRUE(mdr::test::WriteFileBytes(root_ + L"language.ini", ToUtf8(language)));

        const std::wstring tests = BuildDir() + L"tests\\";
        const std::pair<std::wstring, std::wstring> copies[] = {
            {L"restore_point_probe.exe", L"with\\restore_point_probe.exe"},
            {L"restore_point_probe.exe", L"noexport\\restore_point_probe.exe"},
            {L"restore_point_probe.exe", L"bare\\restore_point_probe.exe"},
            {L"restore_point_probe.exe", L"bare\\" + std::wstring(kProbeWithoutLibrary)},
            {L"fake_srclient\\with_export\\srclient.dll", L"with\\srclient.dll"},
            {L"fake_srclient\\without_export\\srclient.dll", L"noexport\\srclient.dll"}};
        for (const auto& [from, to] : copies) {
            CreateDirectoryW((root_ + to.substr(0, to.find(L'\\'))).c_str(), nullptr);
            ASSERT_TRUE(CopyFileW((tests + from).c_str(), (root_ + to).c_str(), FALSE))
                << ToUtf8(from) << " " << GetLastError();
        }
    }

    static void TearDownTestSuite() { mdr::test::RemoveTree(root_); }

    // Runs the probe of folder in mode; fake is MDR_FAKE_SR.
    static ProbeRun Run(const wchar_t* folder, int mode, const wchar_t* fake = L"",
                        const wchar_t* program = L"restore_point_probe.exe") {
        ProbeRun run;
        const std::wstring report = root_ + L"report.txt", record = root_ + L"record.txt",
                           log = root_ + L"probe.log";
        for (const auto& file : {report, record, log})
            DeleteFileW(file.c_str());
        SetEnvironmentVariableW(L"MDR_FAKE_SR", fake);
        SetEnvironmentVariableW(L"MDR_FAKE_SR_RECORD", record.c_str());
        auto probe = mdr::driver::Process::Start(
            root_ + folder + L"\\" + program, std::to_wstring(mode) + L" \"" + report + L"\" \"" +
                                                  root_ + L"language.ini\" \"" + log + L"\"");
        DWORD code = 0;
        if (!probe.WaitExit(60000, &code)) return run;
        run.exitCode = static_cast<int>(code);
        for (const auto& line : ReadLines(report)) {
            if (line.starts_with(L"result ")) run.result = ParseInt(line.substr(7));
            auto fields = Split(line.substr(4), L'|');
            if (line.starts_with(L"box ") && fields.size() == 3)
                run.boxes.push_back({static_cast<UINT>(ParseInt(fields[0])), fields[1], fields[2]});
        }
        run.calls = ReadLines(record);
        run.log = mdr::test::LoggedMessages(log);
        return run;
    }

    static std::vector<std::wstring> LogOf(const wchar_t* outcome) {
        return {L"Trying to set restore point...",
                std::wstring(L"MDR_StartRestore() -> #") + outcome, L"MDR_EndRestore()",
                L"Returning..."};
    }

    static std::wstring root_;
};

std::wstring RestorePoint::root_;

} // namespace

TEST(RestorePointName, DayMonthYearAndTime) {
    // The same second gives the same name, whatever the milliseconds.
    EXPECT_EQ(RestorePointName({2026, 12, 0, 6, 5, 41, 12, 990}), L"MDR_06_12_26_(054112)");
    EXPECT_EQ(RestorePointName({2000, 1, 0, 31, 23, 0, 9, 10}), L"MDR_31_01_00_(230009)");
}

TEST_F(RestorePoint, CreatedOnlyOnTrueWithStatusZero) {
    // Low 32 bits 0x80000001: the end call gets them sign-extended.
    ProbeRun run = Run(L"with", 0, L"1,0,0x180000001");
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.log, LogOf(L"ERROR_SUCCESS"));
    ASSERT_EQ(run.calls.size(), 2u);
    auto begin = Split(run.calls[0], L' ');
    ASSERT_EQ(begin.size(), 4u);
    EXPECT_EQ(begin[0] + L" " + begin[1] + L" " + begin[2], L"100 12 0");
    EXPECT_TRUE(std::regex_match(ToUtf8(begin[3]), std::regex(R"(MDR_\d\d_\d\d_\d\d_\(\d{6}\))")))
        << ToUtf8(begin[3]);
    EXPECT_EQ(run.calls[1], L"101 0 -2147483647 ");
    EXPECT_EQ(run.boxes, (std::vector<Box>{{MB_ICONINFORMATION, Entry(21),
                                            Entry(22) + L" for \"" + begin[3] + L"\"."}}));

    run = Run(L"with", 1, L"1,0,7");
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.log, LogOf(L"ERROR_SUCCESS"));
    EXPECT_TRUE(run.boxes.empty());
    ASSERT_EQ(run.calls.size(), 2u);
    EXPECT_EQ(run.calls[1], L"101 0 7 ");
}

TEST_F(RestorePoint, EveryFailureInBothModes) {
    struct Case {
        const wchar_t *folder, *fake, *logName;
        int entry;
        bool quietToo;
    };
    const Case cases[] = {
        {L"with", L"1,10,5", L"ERROR_BAD_ENVIRONMENT", 24, false},
        {L"with", L"1,112,5", L"ERROR_DISK_FULL", 25, false},
        {L"with", L"0,112,5", L"ERROR_DISK_FULL", 25, false},
        {L"with", L"1,1359,5", L"ERROR_INTERNAL_ERROR", 26, false},
        {L"with", L"1,13,5", L"ERROR_INVALID_DATA", 27, true},
        {L"with", L"0,13,5", L"ERROR_INVALID_DATA", 27, true},
        {L"with", L"1,1058,5", L"ERROR_SERVICE_DISABLED", 28, false},
        {L"with", L"1,999,5", L"ERROR_UNEXPECTED", 29, false},
        // FALSE with status 0 (what Wine's stub answers) made no restore point.
        {L"with", L"0,0,5", L"ERROR_UNEXPECTED", 29, false},
        // A library without the function, and Wine's own stub.
        {L"noexport", L"", L"ERROR_UNEXPECTED", 29, false},
        {L"bare", L"", L"ERROR_UNEXPECTED", 29, false},
    };
    for (const Case& c : cases) {
        // Outside Wine the bare probe would set a real restore point.
        if (c.folder == std::wstring(L"bare") && !UnderWine()) continue;
        for (int mode : {0, 1}) {
            SCOPED_TRACE(ToUtf8(std::wstring(c.folder) + L" " + c.fake) + " mode " +
                         std::to_string(mode));
            ProbeRun run = Run(c.folder, mode, c.fake);
            ASSERT_EQ(run.exitCode, 0);
            EXPECT_EQ(run.result, 1);
            EXPECT_EQ(run.log, LogOf(c.logName));
            // A failed begin call is still followed by the end call.
            if (c.folder == std::wstring(L"with")) {
                ASSERT_EQ(run.calls.size(), 2u);
                EXPECT_EQ(run.calls[1], L"101 0 5 ");
            }
            const Box warning{MB_ICONWARNING, Entry(23), Entry(c.entry)};
            EXPECT_EQ(run.boxes,
                      mode == 0 || c.quietToo ? std::vector<Box>{warning} : std::vector<Box>{});
        }
    }
}

TEST_F(RestorePoint, WithoutTheLibraryWarnsInBothModes) {
    if (!UnderWine()) GTEST_SKIP() << "the library cannot be switched off here";
    // Wine's per-program library settings: an empty entry means "do not load".
    const std::wstring appKey =
        std::wstring(L"Software\\Wine\\AppDefaults\\") + kProbeWithoutLibrary;
    mdr::test::SetString(HKEY_CURRENT_USER, appKey + L"\\DllOverrides", L"srclient", L"");
    ScopeExit removeKey([&] { mdr::test::DeleteTree(HKEY_CURRENT_USER, appKey); });
    for (int mode : {0, 1}) {
        SCOPED_TRACE(mode);
        ProbeRun run = Run(L"bare", mode, L"", kProbeWithoutLibrary);
        ASSERT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.result, 0);
        EXPECT_EQ(run.log, (std::vector<std::wstring>{
                               L"Trying to set restore point...",
                               L"Cannot set restore point because the operating system does not "
                               L"support it"}));
        EXPECT_EQ(run.boxes, (std::vector<Box>{{MB_ICONWARNING, Entry(19), Entry(20)}}));
    }
}
