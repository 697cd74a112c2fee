// Pure texts of the backup manager and the full backup: sizes, dates, the first line of a
// .reg file and its header, the five export jobs and the progress steps.
#include <gtest/gtest.h>

#include <windows.h>
#include <climits>
#include <string>

#include "common/format.h"
#include "repair/backup_manager.h"
#include "repair/full_backup.h"

using namespace mdr;

namespace {

SYSTEMTIME Time(int year, int month, int day, int hour, int minute, int second) {
    SYSTEMTIME t{};
    t.wYear = static_cast<WORD>(year);
    t.wMonth = static_cast<WORD>(month);
    t.wDay = static_cast<WORD>(day);
    t.wHour = static_cast<WORD>(hour);
    t.wMinute = static_cast<WORD>(minute);
    t.wSecond = static_cast<WORD>(second);
    return t;
}

std::string Utf16Bytes(std::wstring_view text) {
    std::string bytes;
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

TEST(FormatByteSize, BytesHaveNoDecimals) {
    EXPECT_EQ(FormatByteSize(0, 2), L"0 B");
    EXPECT_EQ(FormatByteSize(1, 2), L"1 B");
    EXPECT_EQ(FormatByteSize(1023, 2), L"1023 B");
    EXPECT_EQ(FormatByteSize(1023, 0), L"1023 B");
}

TEST(FormatByteSize, ExactPowersOf1024StartTheirUnit) {
    // A logarithm quotient falls just short of these in floating point.
    EXPECT_EQ(FormatByteSize(1024, 2), L"1.00 KB");
    EXPECT_EQ(FormatByteSize(1048576, 2), L"1.00 MB");
    EXPECT_EQ(FormatByteSize(1073741824, 2), L"1.00 GB");
    EXPECT_EQ(FormatByteSize(1099511627776LL, 2), L"1.00 TB");
    EXPECT_EQ(FormatByteSize(1125899906842624LL, 2), L"1.00 PB");
    EXPECT_EQ(FormatByteSize(1152921504606846976LL, 2), L"1.00 EB");
    EXPECT_EQ(FormatByteSize(LLONG_MAX, 2), L"8.00 EB");
}

TEST(FormatByteSize, RoundsAsPrintfDoes) {
    EXPECT_EQ(FormatByteSize(1536, 2), L"1.50 KB");
    EXPECT_EQ(FormatByteSize(1536, 1), L"1.5 KB");
    // Just below a unit the figure rounds up to 1024 of the smaller one.
    EXPECT_EQ(FormatByteSize(1048575, 2), L"1024.00 KB");
    EXPECT_EQ(FormatByteSize(1048575, 3), L"1023.999 KB");
    // Halves are exact in binary: ties go to the even digit.
    EXPECT_EQ(FormatByteSize(1536, 0), L"2 KB");
    EXPECT_EQ(FormatByteSize(2560, 0), L"2 KB");
    EXPECT_EQ(FormatByteSize(1024 + 5 * 1024 / 1000, 2), L"1.00 KB"); // 1029 = 1.0048828125
    EXPECT_EQ(FormatByteSize(1034, 2), L"1.01 KB");                   // 1.009765625
    EXPECT_EQ(FormatByteSize(123456789, 2), L"117.74 MB");
}

TEST(FormatByteSize, OddDecimalCountsAndNegativeSizes) {
    EXPECT_EQ(FormatByteSize(1536, -3), L"2 KB");
    EXPECT_EQ(FormatByteSize(1024, 99), L"1.00000000000000000000 KB"); // at most 20
    EXPECT_EQ(FormatByteSize(-1, 2), L"-1 B");
    EXPECT_EQ(FormatByteSize(-1536, 2), L"-1.50 KB");
    EXPECT_EQ(FormatByteSize(LLONG_MIN, 2), L"-8.00 EB");
}

TEST(BackupTexts, DatesAndTimesWithTwoDigitFields) {
    EXPECT_EQ(BackupDateText(Time(2026, 12, 6, 5, 41, 12)), L"06/12/26, 05:41:12");
    EXPECT_EQ(BackupDateText(Time(2000, 1, 31, 23, 0, 9)), L"31/01/00, 23:00:09");
    EXPECT_EQ(FullBackupTimeText(Time(2026, 12, 6, 5, 41, 12)), L"06_12_26_(054112)");
    EXPECT_EQ(FullBackupTimeText(Time(2109, 7, 1, 0, 0, 0)), L"01_07_09_(000000)");
}

TEST(BackupTexts, FirstLineByByteOrderMark) {
    const std::wstring header = L"Windows Registry Editor Version 5.00";
    EXPECT_EQ(FirstLineOfText("\xFF\xFE" + Utf16Bytes(header + L"\r\n\r\n[HKEY_X]\r\n")), header);
    EXPECT_EQ(FirstLineOfText("\xEF\xBB\xBFREGEDIT4\n[HKEY_X]"), L"REGEDIT4");
    EXPECT_EQ(FirstLineOfText("REGEDIT4\r\n"), L"REGEDIT4");
    EXPECT_EQ(FirstLineOfText("no line end"), L"no line end");
    EXPECT_EQ(FirstLineOfText(""), L"");
    EXPECT_EQ(FirstLineOfText("\xFF\xFE"), L"");
    // UTF-8 beyond ASCII, and an odd trailing byte of UTF-16 text.
    EXPECT_EQ(FirstLineOfText("\xEF\xBB\xBF\xC3\xA9t\xC3\xA9\r\n"), L"\u00E9t\u00E9");
    EXPECT_EQ(FirstLineOfText("\xFF\xFE" + Utf16Bytes(L"ab") + "c"), L"ab");
    // UTF-16 read as bytes (no mark) is not a header.
    EXPECT_FALSE(IsRegFileHeader(FirstLineOfText(Utf16Bytes(header))));
}

TEST(BackupTexts, HeaderIsExactlyOneOfTheTwoLines) {
    EXPECT_TRUE(IsRegFileHeader(L"Windows Registry Editor Version 5.00"));
    EXPECT_FALSE(IsRegFileHeader(L"WINDOWS REGISTRY EDITOR VERSION 5.00"));
    EXPECT_TRUE(IsRegFileHeader(L"REGEDIT4"));
    EXPECT_FALSE(IsRegFileHeader(L"regedit4"));
    EXPECT_FALSE(IsRegFileHeader(L"  ReGeDiT4 \t"));
    EXPECT_FALSE(IsRegFileHeader(L""));
    EXPECT_FALSE(IsRegFileHeader(L"REGEDIT5"));
    EXPECT_FALSE(IsRegFileHeader(L"REGEDIT"));
    EXPECT_FALSE(IsRegFileHeader(L"Windows Registry Editor Version 4.00"));
    EXPECT_FALSE(IsRegFileHeader(L"[HKEY_CURRENT_USER\\Software]"));
    EXPECT_FALSE(IsRegFileHeader(L"REGEDIT4 extra"));
}

TEST(FullBackup, FiveJobsInRootOrder) {
    const auto jobs = FullBackupJobs(L"C:\\Save\\", L"06_12_26_(054112)");
    ASSERT_EQ(jobs.size(), 5u);
    const wchar_t* labels[] = {L"HKEY_CLASSES_ROOT...", L"HKEY_CURRENT_USER...",
                               L"HKEY_LOCAL_MACHINE...", L"HKEY_USERS...",
                               L"HKEY_CURRENT_CONFIG..."};
    const wchar_t* files[] = {L"HKCR_", L"HKCU_", L"HKLM_", L"HKU_", L"HKCC_"};
    for (size_t i = 0; i < jobs.size(); ++i) {
        EXPECT_EQ(jobs[i].label, labels[i]);
        EXPECT_EQ(jobs[i].file, std::wstring(L"C:\\Save\\") + files[i] + L"06_12_26_(054112).reg");
    }
    EXPECT_EQ(jobs[2].arguments,
              L"/E \"C:\\Save\\HKLM_06_12_26_(054112).reg\" \"HKEY_LOCAL_MACHINE\"");
    EXPECT_EQ(jobs[3].arguments, L"/E \"C:\\Save\\HKU_06_12_26_(054112).reg\" \"HKEY_USERS\"");
    // Folders with blanks stay one argument.
    EXPECT_EQ(FullBackupJobs(L"C:\\My Save\\", L"T")[0].arguments,
              L"/E \"C:\\My Save\\HKCR_T.reg\" \"HKEY_CLASSES_ROOT\"");
}

TEST(FullBackup, ProgressSteps) {
    EXPECT_EQ(FullBackupProgress(0, 5), 0);
    EXPECT_EQ(FullBackupProgress(1, 5), 20);
    EXPECT_EQ(FullBackupProgress(5, 5), 100);
    EXPECT_EQ(FullBackupProgress(1, 3), 33);
    EXPECT_EQ(FullBackupProgress(2, 3), 67);
    EXPECT_EQ(FullBackupProgress(1, 0), 0);
}

} // namespace
