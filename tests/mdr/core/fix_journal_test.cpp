// The journal of fixes: its lines hold any name, damage costs only the damaged lines, and it
// keeps the newest 5,000 entries.
#include <gtest/gtest.h>

#include "common/registry.h"
#include "mdr/core/fix_journal.h"
#include "tests/support/test_files.h"

using namespace mdr;

TEST(FixJournal, AnyNameDamageAndTheBound) {
    const JournalEntry odd{kHkcu, L"Software\\A%09\tB", L"v\r\n%", 3, L"2026-12-07", true};
    EXPECT_EQ(JournalLine(odd), L"2026-12-07\t3\t2147483649\tv\tSoftware\\A%2509%09B\tv%0D%0A%25");
    const auto back = ParseJournalLine(JournalLine(odd));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->keyPath, odd.keyPath);
    EXPECT_EQ(back->valueName, odd.valueName);
    for (const wchar_t* bad : {L"", L"2026-12-07\t3\t1\tv\tkey", L"2026-12-07\t99\t1\tk\tkey\t",
                               L"yesterday\t3\t1\tk\tkey\t"})
        EXPECT_FALSE(ParseJournalLine(bad));

    mdr::test::TempFolder temp;
    const std::wstring path = temp / L"FixJournal.txt";
    EXPECT_TRUE(ReadJournal(path).empty()) << "a missing journal is an empty one";
    ASSERT_TRUE(mdr::test::WriteFileBytes(path, "garbage\r\n\xFF\xFE\r\n"));
    std::vector<JournalEntry> many;
    for (int i = 0; i < 5001; ++i)
        many.push_back({kHklm, L"Software\\K" + std::to_wstring(i), L"", 1, L"2026-12-07", false});
    ASSERT_TRUE(AppendToJournal(path, many));
    const std::vector<JournalEntry> kept = ReadJournal(path);
    ASSERT_EQ(kept.size(), 5000u);
    EXPECT_EQ(kept.front().keyPath, L"Software\\K1");
    LoadFixJournal(path);
    EXPECT_EQ(FixedBefore(kHklm, L"software\\k5000", L"", false), L"2026-12-07");
    EXPECT_EQ(FixedBefore(kHklm, L"Software\\K0", L"", false), L"");
    EXPECT_EQ(FixedBefore(kHklm, L"Software\\K7", L"", true), L"") << "a key is not a value";
}
