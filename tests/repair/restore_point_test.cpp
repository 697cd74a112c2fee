// Restore points: the probe program runs SetRestorePoint beside a stand-in srclient.dll (or
// Wine's own, or none at all) and reports the message boxes; the log and the calls the library
// received are checked as well.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>
#include <cwctype>
#include <string>
#include <vector>

#include "common/handles.h"
#include "common/ini.h"
#include "common/text.h"
#include "repair/restore_point.h"
#include "tests/support/registry_snapshot.h"
#include "tests/support/test_files.h"

using namespace mdr;

namespace {

using mdr::test::BuildDir;

bool UnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

using mdr::test::ReadLines;

void WriteText(const std::wstring& path, const std::string& text) {
    ASSERT_TRUE(mdr::test::WriteFileBytes(path, text));
}

void CopyOrFail(const std::wstring& from, const std::wstring& to) {
    ASSERT_TRUE(CopyFileW(from.c_str(), to.c_str(), FALSE))
        << ToUtf8(from) << " " << GetLastError();
}

constexpr UINT kWarning = MB_ICONWARNING;
constexpr UINT kInformation = MB_ICONINFORMATION;

struct Box {
    UINT flags;
    std::wstring title;
    std::wstring text;
    bool operator==(const Box&) const = default;
};

void PrintTo(const Box& box, std::ostream* os) {
    *os << "{" << box.flags << ", " << ToUtf8(box.title) << ", " << ToUtf8(box.text) << "}";
}

struct ProbeRun {
    int exitCode = -1;
    int result = -1;
    std::vector<Box> boxes;
    std::vector<std::wstring> calls; // "event type sequence description"
    std::vector<std::wstring> log;   // message texts of the log lines
};

// The texts of the language file: distinct, so a wrong entry shows.
// A copy of the probe for which Wine's own srclient.dll is switched off.
constexpr wchar_t kProbeWithoutLibrary[] = L"probe_without_srclient.exe";

std::wstring Entry(int n) {
    return L"Entry " + std::to_wstring(n) + L" text";
}

Box WarningBox(int entry) {
    return {kWarning, Entry(23), Entry(entry)};
}

class RestorePoint : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        root_ = mdr::test::MakeTempDir(L"mdr_restore_point");

        std::string language = "[MDRLanguageInfo]\r\nName=Probe\r\n[MDRLanguageData]\r\n";
        for (int i = 0; i <= 29; ++i) {
            std::wstring text = Entry(i);
            if (i == 22) text += L" for $RestorePointName$.";
            language += 'l';
            language += std::to_string(i);
            language += '=';
            language += ToUtf8(text);
            language += "\r\n";
        }
        WriteText(root_ + L"language.ini", language);

        const std::wstring tests = BuildDir() + L"tests\\";
        for (const wchar_t* folder : {L"with", L"noexport", L"bare"}) {
            CreateDirectoryW((root_ + folder).c_str(), nullptr);
            CopyOrFail(tests + L"restore_point_probe.exe",
                       root_ + folder + L"\\restore_point_probe.exe");
        }
        CopyOrFail(tests + L"restore_point_probe.exe", root_ + L"bare\\" + kProbeWithoutLibrary);
        CopyOrFail(tests + L"fake_srclient\\with_export\\srclient.dll",
                   root_ + L"with\\srclient.dll");
        CopyOrFail(tests + L"fake_srclient\\without_export\\srclient.dll",
                   root_ + L"noexport\\srclient.dll");
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
        std::wstring command = L"\"" + root_ + folder + L"\\" + program + L"\" " +
                               std::to_wstring(mode) + L" \"" + report + L"\" \"" + root_ +
                               L"language.ini\" \"" + log + L"\"";
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                      nullptr, &si, &pi);
        if (!started) return run;
        UniqueHandle process(pi.hProcess), thread(pi.hThread);
        if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) {
            TerminateProcess(process.get(), 1);
            WaitForSingleObject(process.get(), 5000);
            return run;
        }
        DWORD code = 0;
        GetExitCodeProcess(process.get(), &code);
        run.exitCode = static_cast<int>(code);

        for (const auto& line : ReadLines(report)) {
            if (line.rfind(L"result ", 0) == 0) {
                run.result = ParseInt(line.substr(7));
            } else if (line.rfind(L"box ", 0) == 0) {
                auto fields = Split(line.substr(4), L'|');
                if (fields.size() == 3)
                    run.boxes.push_back(
                        {static_cast<UINT>(ParseInt(fields[0])), fields[1], fields[2]});
            }
        }
        run.calls = ReadLines(record);
        // Log lines are "#dd/mm/yy hh:mm:ss" + six blanks + text.
        for (const auto& line : ReadLines(log)) {
            size_t at = line.find(L"      ");
            if (!line.empty() && line[0] == L'#' && at != std::wstring::npos)
                run.log.push_back(line.substr(at + 6));
        }
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

// "MDR_dd_mm_yy_(hhmmss)"
bool LooksLikeRestorePointName(const std::wstring& s) {
    const std::wstring shape = L"MDR_00_00_00_(000000)";
    if (s.size() != shape.size()) return false;
    for (size_t i = 0; i < s.size(); ++i) {
        if (shape[i] == L'0' ? !iswdigit(s[i]) : s[i] != shape[i]) return false;
    }
    return true;
}

} // namespace

TEST(RestorePointName, DayMonthYearAndTime) {
    SYSTEMTIME t = {};
    t.wYear = 2026;
    t.wMonth = 12;
    t.wDay = 6;
    t.wHour = 5;
    t.wMinute = 41;
    t.wSecond = 12;
    t.wMilliseconds = 10;
    EXPECT_EQ(RestorePointName(t), L"MDR_06_12_26_(054112)");
    // Two requests in the same second get the same name.
    t.wMilliseconds = 990;
    EXPECT_EQ(RestorePointName(t), L"MDR_06_12_26_(054112)");
    t.wYear = 2000;
    t.wHour = 23;
    EXPECT_EQ(RestorePointName(t), L"MDR_06_12_00_(234112)");
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
    EXPECT_EQ(begin[0], L"100");
    EXPECT_EQ(begin[1], L"12");
    EXPECT_EQ(begin[2], L"0");
    EXPECT_TRUE(LooksLikeRestorePointName(begin[3])) << ToUtf8(begin[3]);
    EXPECT_EQ(run.calls[1], L"101 0 -2147483647 ");
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0],
              (Box{kInformation, Entry(21), Entry(22) + L" for \"" + begin[3] + L"\"."}));

    run = Run(L"with", 1, L"1,0,7");
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.log, LogOf(L"ERROR_SUCCESS"));
    EXPECT_TRUE(run.boxes.empty());
    ASSERT_EQ(run.calls.size(), 2u);
    EXPECT_EQ(run.calls[1], L"101 0 7 ");
}

TEST_F(RestorePoint, EveryResultCodeInBothModes) {
    struct Case {
        const wchar_t* fake;
        const wchar_t* logName;
        int entry;
        bool quietToo;
    };
    const Case cases[] = {
        {L"1,10,5", L"ERROR_BAD_ENVIRONMENT", 24, false},
        {L"1,112,5", L"ERROR_DISK_FULL", 25, false},
        {L"0,112,5", L"ERROR_DISK_FULL", 25, false},
        {L"1,1359,5", L"ERROR_INTERNAL_ERROR", 26, false},
        {L"1,13,5", L"ERROR_INVALID_DATA", 27, true},
        {L"0,13,5", L"ERROR_INVALID_DATA", 27, true},
        {L"1,1058,5", L"ERROR_SERVICE_DISABLED", 28, false},
        {L"0,1058,5", L"ERROR_SERVICE_DISABLED", 28, false},
        {L"1,999,5", L"ERROR_UNEXPECTED", 29, false},
        // FALSE with status 0 (what Wine's stub answers) made no restore point.
        {L"0,0,5", L"ERROR_UNEXPECTED", 29, false},
    };
    for (const Case& c : cases) {
        for (int mode : {0, 1}) {
            SCOPED_TRACE(ToUtf8(c.fake) + " mode " + std::to_string(mode));
            ProbeRun run = Run(L"with", mode, c.fake);
            ASSERT_EQ(run.exitCode, 0);
            EXPECT_EQ(run.result, 1);
            EXPECT_EQ(run.log, LogOf(c.logName));
            // A failed begin call is still followed by the end call.
            ASSERT_EQ(run.calls.size(), 2u);
            EXPECT_EQ(run.calls[1], L"101 0 5 ");
            if (mode == 0 || c.quietToo) {
                EXPECT_EQ(run.boxes, std::vector<Box>{WarningBox(c.entry)});
            } else {
                EXPECT_TRUE(run.boxes.empty());
            }
        }
    }
}

TEST_F(RestorePoint, LibraryWithoutTheFunctionIsAFailure) {
    ProbeRun run = Run(L"noexport", 0);
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.log, LogOf(L"ERROR_UNEXPECTED"));
    EXPECT_EQ(run.boxes, std::vector<Box>{WarningBox(29)});

    run = Run(L"noexport", 1);
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.log, LogOf(L"ERROR_UNEXPECTED"));
    EXPECT_TRUE(run.boxes.empty());
}

TEST_F(RestorePoint, WinesStubIsAFailure) {
    if (!UnderWine()) GTEST_SKIP() << "would set a real restore point";
    ProbeRun run = Run(L"bare", 0);
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.log, LogOf(L"ERROR_UNEXPECTED"));
    EXPECT_EQ(run.boxes, std::vector<Box>{WarningBox(29)});

    run = Run(L"bare", 1);
    EXPECT_EQ(run.result, 1);
    EXPECT_TRUE(run.boxes.empty());
}

TEST_F(RestorePoint, WithoutTheLibraryWarnsInBothModes) {
    if (!UnderWine()) GTEST_SKIP() << "the library cannot be switched off here";
    // Wine's per-program library settings: an empty entry means "do not load".
    const std::wstring appKey =
        std::wstring(L"Software\\Wine\\AppDefaults\\") + kProbeWithoutLibrary;
    {
        UniqueHkey key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (appKey + L"\\DllOverrides").c_str(), 0,
                                  nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(key.get(), L"srclient", 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t)),
                  ERROR_SUCCESS);
    }
    ScopeExit removeKey([&] { SHDeleteKeyW(HKEY_CURRENT_USER, appKey.c_str()); });
    for (int mode : {0, 1}) {
        SCOPED_TRACE(mode);
        ProbeRun run = Run(L"bare", mode, L"", kProbeWithoutLibrary);
        ASSERT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.result, 0);
        EXPECT_EQ(run.log, (std::vector<std::wstring>{
                               L"Trying to set restore point...",
                               L"Cannot set restore point because the operating system does not "
                               L"support it"}));
        EXPECT_EQ(run.boxes, (std::vector<Box>{{kWarning, Entry(19), Entry(20)}}));
    }
}
