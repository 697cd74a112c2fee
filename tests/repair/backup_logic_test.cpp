// Pure texts of the backup manager and the full backup: sizes, dates, the first line of a
// .reg file and its header, the five export jobs and the progress steps.
#include <gtest/gtest.h>

#include <windows.h>
#include <climits>
#include <string>

#include "common/format.h"
#include "repair/backup_manager.h"
#include "repair/full_backup.h"
#include "tests/support/test_files.h"

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

using mdr::test::Utf16Bytes;

TEST(FormatByteSize, UnitsRoundingAndDecimals) {
    const struct {
        long long size;
        int decimals;
        const wchar_t* text;
    } cases[] = {
        // Bytes have no decimals.
        {0, 2, L"0 B"},
        {1023, 2, L"1023 B"},
        {1023, 0, L"1023 B"},
        // Exact powers of 1024 start their unit (a logarithm falls just short of them).
        {1024, 2, L"1.00 KB"},
        {1048576, 2, L"1.00 MB"},
        {1073741824, 2, L"1.00 GB"},
        {1099511627776LL, 2, L"1.00 TB"},
        {1125899906842624LL, 2, L"1.00 PB"},
        {1152921504606846976LL, 2, L"1.00 EB"},
        {LLONG_MAX, 2, L"8.00 EB"},
        // Rounded as printf does: just below a unit it is 1024 of the smaller one; halves are
        // exact in binary and go to the even digit.
        {1536, 2, L"1.50 KB"},
        {1536, 1, L"1.5 KB"},
        {1048575, 2, L"1024.00 KB"},
        {1048575, 3, L"1023.999 KB"},
        {1536, 0, L"2 KB"},
        {2560, 0, L"2 KB"},
        {1029, 2, L"1.00 KB"},
        {1034, 2, L"1.01 KB"},
        {123456789, 2, L"117.74 MB"},
        // Odd decimal counts (at most 20) and negative sizes.
        {1536, -3, L"2 KB"},
        {1024, 99, L"1.00000000000000000000 KB"},
        {-1, 2, L"-1 B"},
        {-1536, 2, L"-1.50 KB"},
        {LLONG_MIN, 2, L"-8.00 EB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatByteSize(c.size, c.decimals), c.text) << c.size << ", " << c.decimals;
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

} // namespace
