// Pure texts of the backup manager and the full backup: sizes, dates and the five export jobs.
#include <gtest/gtest.h>

#include <windows.h>
#include <climits>
#include <string>

#include "common/format.h"
#include "mdr/repair/backup_manager.h"
#include "mdr/repair/full_backup.h"

using namespace mdr;

namespace {

TEST(FormatByteSize, UnitsRoundingAndDecimals) {
    const struct {
        long long size;
        int decimals;
        const wchar_t* text;
    } cases[] = {
        // Bytes have no decimals.
        {0, 2, L"0 B"},
        {1023, 2, L"1023 B"},
        // Exact powers of 1024 start their unit (a logarithm falls just short of them).
        {1024, 2, L"1.00 KB"},
        {1152921504606846976LL, 2, L"1.00 EB"},
        {LLONG_MAX, 2, L"8.00 EB"},
        // Rounded as printf does: just below a unit it is 1024 of the smaller one; halves are
        // exact in binary and go to the even digit.
        {1536, 2, L"1.50 KB"},
        {1048575, 2, L"1024.00 KB"},
        {1048575, 3, L"1023.999 KB"},
        {1536, 0, L"2 KB"},
        {123456789, 2, L"117.74 MB"},
        // Odd decimal counts (at most 20) and negative sizes.
        {1536, -3, L"2 KB"},
        {1024, 99, L"1.00000000000000000000 KB"},
        {LLONG_MIN, 2, L"-8.00 EB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatByteSize(c.size, c.decimals), c.text) << c.size << ", " << c.decimals;
}

TEST(BackupTexts, DatesAndTimesWithTwoDigitFields) {
    // Year, month, day of week, day, hour, minute, second, milliseconds.
    EXPECT_EQ(BackupDateText({2000, 1, 0, 31, 23, 0, 9, 0}), L"31/01/00, 23:00:09");
    EXPECT_EQ(FullBackupTimeText({2109, 7, 0, 1, 0, 0, 0, 0}), L"01_07_09_(000000)");
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
    // Folders with blanks stay one argument.
    EXPECT_EQ(FullBackupJobs(L"C:\\My Save\\", L"T")[0].arguments,
              L"/E \"C:\\My Save\\HKCR_T.reg\" \"HKEY_CLASSES_ROOT\"");
}

} // namespace
