#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include <windows.h>

#include "mdr/core/localization.h"
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
    EXPECT_EQ(LangText(Text{0}), L"first\r\nsecond\r\nthird");
    EXPECT_EQ(LangText(Text{1}), L"one");
    EXPECT_EQ(LangText(Text{4}), L"\r\n");
    EXPECT_EQ(LangText(Text{6}), L""); // counted, but there is no key l6 in the group
    EXPECT_EQ(LangText(Text{-1}), L"");

    CreateDirectoryW((program / L"dir.ini").c_str(), nullptr);
    for (const wchar_t* name : {L"missing.ini", L"   ", L"dir.ini"})
        EXPECT_EQ(LoadLanguage(program.Path(), name), 0) << ToUtf8(name);
    EXPECT_EQ(LangText(Text{1}), L"one"); // a failed load leaves the table alone
}

TEST(Languages, PlaceholdersIgnoreCase) {
    EXPECT_EQ(ReplacePlaceholder(L"Scanned: $itemsScanned$", L"$ITEMSSCANNED$", L"12"),
              L"Scanned: 12");
    EXPECT_EQ(ReplacePlaceholder(L"$A$ and $a$", L"$A$", L"\"x\""), L"\"x\" and \"x\"");
}

// The shipped language files: every text the program uses, one entry for each name in texts.h
// and a name for each entry, each translation keeping the placeholders the program fills in.
TEST(Languages, ShippedFilesMatchTheNamesAndKeepTheirPlaceholders) {
    auto placeholders = [](const std::wstring& text) {
        const std::wregex placeholder(L"\\$[^$]*\\$");
        std::vector<std::wstring> found;
        for (std::wsregex_iterator at(text.begin(), text.end(), placeholder), end; at != end; ++at)
            found.push_back(at->str());
        std::ranges::sort(found);
        return found;
    };
    std::vector<std::vector<std::wstring>> tables;
    for (const auto& [file, name] :
         {std::pair{L"English.ini", L"English"}, {L"Deutsch.ini", L"Deutsch"}}) {
        SCOPED_TRACE(ToUtf8(file));
        const std::wstring source = SourceDir() + L"data\\Localization\\" + file;
        std::string bytes = ReadFileBytes(source);
        EXPECT_TRUE(IsValidUtf8(bytes));
        EXPECT_EQ(ReadFileBytes(DistDir() + L"Localization\\" + file), bytes);
        IniFile ini;
        ASSERT_EQ(ini.Load(source), FileState::Ok);
        EXPECT_EQ(ini.GetString(L"MDRLanguageInfo", L"Name"), name);
        const std::vector<std::wstring> keys = ini.Keys(L"MDRLanguageData");
        ASSERT_EQ(keys.size(), std::size(kAllTexts));
        std::vector<std::wstring> texts;
        for (Text entry : kAllTexts) {
            const int i = static_cast<int>(entry);
            EXPECT_EQ(keys[texts.size()], L"l" + std::to_wstring(i));
            texts.push_back(ini.GetString(L"MDRLanguageData", L"l" + std::to_wstring(i)));
            EXPECT_FALSE(Trim(texts.back()).empty()) << "entry " << i;
            // Menu captions get their shortcut text from the program, not from the file.
            EXPECT_EQ(texts.back().find(L'\t'), std::wstring::npos) << "entry " << i;
        }
        tables.push_back(std::move(texts));
        ASSERT_EQ(LoadLanguage(DistDir(), std::wstring(L"Localization\\") + file), 1);
        EXPECT_EQ(LangCount(), static_cast<int>(std::size(kAllTexts)));
    }
    for (size_t i = 0; i < std::size(kAllTexts); ++i)
        EXPECT_EQ(placeholders(tables[1][i]), placeholders(tables[0][i])) << "entry " << i;
}
