#include <gtest/gtest.h>

#include "common/text.h"

using namespace mdr;

TEST(Text, TrimAndCase) {
    EXPECT_EQ(Trim(L"  a b \t"), L"a b");
    EXPECT_EQ(Trim(L"   "), L"");
    EXPECT_EQ(ToLower(L"HKEY_Local_\u00C4"), L"hkey_local_\u00E4");
    EXPECT_TRUE(EqualsNoCase(L"SystemRoot", L"SYSTEMROOT"));
    EXPECT_EQ(FindNoCase(L"C:\\x\\SystemRoot\\y", L"\\systemroot\\"), 4u);
}

TEST(Text, ReplaceAndSplit) {
    EXPECT_EQ(ReplaceAllNoCase(L"a<BR>b<br>c", L"<br>", L"\r\n"), L"a\r\nb\r\nc");
    EXPECT_EQ(ReplaceAll(L"aaa", L"a", L"aa"), L"aaaaaa");
    auto f = Split(L"1,,0", L',');
    ASSERT_EQ(f.size(), 3u);
    EXPECT_EQ(f[1], L"");
}

TEST(Text, ParseIntRejectsNonNumbers) {
    EXPECT_EQ(ParseInt(L"690"), 690);
    EXPECT_EQ(ParseInt(L" -12 "), -12);
    EXPECT_EQ(ParseInt(L"12abc"), 0);
    EXPECT_EQ(ParseInt(L"abc"), 0);
    EXPECT_EQ(ParseInt(L"16777216"), 16777216);
}

TEST(Text, Utf8RoundTrip) {
    std::wstring s = L"Gr\u00FC\u00DFe \u65E5\u672C";
    EXPECT_EQ(FromUtf8(ToUtf8(s)), s);
}
