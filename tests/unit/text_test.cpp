#include <gtest/gtest.h>

#include "common/text.h"

using namespace mdr;

TEST(Text, TrimCaseReplaceSplit) {
    EXPECT_EQ(Trim(L"  a b \t"), L"a b");
    EXPECT_EQ(ToLower(L"HKEY_Local_\u00C4"), L"hkey_local_\u00E4");
    EXPECT_EQ(FindNoCase(L"C:\\x\\SystemRoot\\y", L"\\systemroot\\"), 4u);
    EXPECT_EQ(ReplaceAllNoCase(L"a<BR>b<br>c", L"<br>", L"\r\n"), L"a\r\nb\r\nc");
    EXPECT_EQ(ReplaceAll(L"aaa", L"a", L"aa"), L"aaaaaa");
    EXPECT_EQ(Split(L"1,,0", L','), (std::vector<std::wstring>{L"1", L"", L"0"}));
}

TEST(Text, ParseIntRejectsNonNumbers) {
    EXPECT_EQ(ParseInt(L" -12 "), -12);
    EXPECT_EQ(ParseInt(L"12abc"), 0);
    EXPECT_EQ(ParseInt(L"16777216"), 16777216);
}
