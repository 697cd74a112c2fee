#include <gtest/gtest.h>

#include <windows.h>

#include "core/localization.h"
#include "common/ini.h"
#include "common/text.h"
#include "tests/support/test_files.h"

using namespace mdr;
using namespace mdr::test;

TEST(Languages, TableByNumberWithGapsAndLineBreaks) {
    TempFolder program;
    const std::wstring path = program / L"lang.ini";
    WriteFileBytes(path, "[MDRLanguageData]\r\nl0=first<BR>second<br>third\r\nl2=two\r\nl3=\r\n"
                         "l1=one\r\nl5=five\r\nl4=<Br>\r\nComment=not a text\r\n"
                         "=nameless does not count\r\n[Other]\r\nl6=elsewhere\r\n");
    // Absolute paths are used as they are.
    ASSERT_EQ(LoadLanguage(L"C:\\unused\\", path), 1);
    // Seven named keys: l0..l5 and Comment, so texts 0..6 exist.
    EXPECT_EQ(LangCount(), 7);
    EXPECT_EQ(LangText(0), L"first\r\nsecond\r\nthird");
    EXPECT_EQ(LangText(1), L"one");
    EXPECT_EQ(LangText(4), L"\r\n");
    EXPECT_EQ(LangText(6), L""); // counted, but there is no key l6 in the group
    EXPECT_EQ(LangText(-1), L"");

    // Ten numbered keys plus two others: N = 12, entries 10 and 11 empty.
    std::wstring ten = L"[MDRLanguageData]\r\n";
    for (int i = 0; i < 10; ++i)
        ten += L"l" + std::to_wstring(i) + L"=t" + std::to_wstring(i) + L"\r\n";
    ten += L"Extra1=a\r\nExtra2=b\r\n";
    WriteFileBytes(path, ToUtf8(ten));
    ASSERT_EQ(LoadLanguage(program.Path(), L"lang.ini"), 1);
    EXPECT_EQ(LangCount(), 12);
    EXPECT_EQ(LangText(11), L"");

    CreateDirectoryW((program / L"dir.ini").c_str(), nullptr);
    for (const wchar_t* name : {L"missing.ini", L"   ", L"dir.ini"})
        EXPECT_EQ(LoadLanguage(program.Path(), name), 0) << ToUtf8(name);
    EXPECT_EQ(LangText(9), L"t9"); // a failed load leaves the table alone
}

TEST(Languages, PlaceholdersIgnoreCase) {
    EXPECT_EQ(ReplacePlaceholder(L"Scanned: $itemsScanned$", L"$ITEMSSCANNED$", L"12"),
              L"Scanned: 12");
    EXPECT_EQ(ReplacePlaceholder(L"$A$ and $a$", L"$A$", L"\"x\""), L"\"x\" and \"x\"");
}

// The shipped English file: every text the program uses.
TEST(Languages, ShippedEnglishFileIsComplete) {
    const std::wstring source = SourceDir() + L"data\\Localization\\English.ini";
    std::string bytes = ReadFileBytes(source);
    EXPECT_TRUE(IsValidUtf8(bytes));
    EXPECT_EQ(ReadFileBytes(DistDir() + L"Localization\\English.ini"), bytes);

    IniFile ini;
    ASSERT_EQ(ini.Load(source), FileState::Ok);
    EXPECT_EQ(ini.GetString(L"MDRLanguageInfo", L"Name"), L"English");
    std::vector<std::wstring> keys = ini.Keys(L"MDRLanguageData");
    ASSERT_EQ(keys.size(), 264u);
    for (int i = 0; i < 264; ++i) {
        EXPECT_EQ(keys[i], L"l" + std::to_wstring(i));
        std::wstring text = ini.GetString(L"MDRLanguageData", L"l" + std::to_wstring(i));
        EXPECT_FALSE(Trim(text).empty()) << "entry " << i;
        // Menu captions get their shortcut text from the program, not from the file.
        EXPECT_EQ(text.find(L'\t'), std::wstring::npos) << "entry " << i;
    }
}
