#include <gtest/gtest.h>

#include <windows.h>

#include "common/registry.h"
#include "mdr/core/skip_rules.h"
#include "common/text.h"
#include "tests/support/test_files.h"

using namespace mdr;
using namespace mdr::test;

namespace {

SkipMapEntry Parse(std::wstring_view line, uint32_t previous = 0) {
    SkipMapEntry e;
    e.root = 0xDEADu;
    EXPECT_TRUE(ParseSkipLine(line, previous, e)) << ToUtf8(line);
    return e;
}

} // namespace

TEST(SkipRules, LineParsing) {
    SkipMapEntry e;
    for (const wchar_t* none : {L"   \t ", L"  ;comment after blanks", L"  \\Software\\NoRoot"})
        EXPECT_FALSE(ParseSkipLine(none, kHklm, e)) << ToUtf8(none);

    e = Parse(L"   HKEY_LOCAL_MACHINE\\Software\\Vendor\\App\\");
    EXPECT_EQ(e.root, kHklm);
    EXPECT_EQ(e.subkey, L"Software\\Vendor\\App"); // case kept, one trailing "\" removed
    EXPECT_EQ(Parse(L"HKEY_LOCAL_MACHINE\\Software\\Two\\\\").subkey, L"Software\\Two\\");

    // Short or unknown root names keep the previous entry's root (0 before the first entry).
    e = Parse(L"HKLM\\Software\\Short", kHkcu);
    EXPECT_EQ(e.root, kHkcu);
    EXPECT_EQ(e.subkey, L"Software\\Short");
    EXPECT_EQ(Parse(L"HKLM\\Software\\Short").root, 0u);

    // Blanks between the root name and its "\" do not eat into the subkey.
    e = Parse(L"hkey_users  \\.DEFAULT\\Software");
    EXPECT_EQ(e.root, kHku);
    EXPECT_EQ(e.subkey, L".DEFAULT\\Software");

    // A root alone names the root itself.
    e = Parse(L"HKEY_CLASSES_ROOT");
    EXPECT_EQ(e.root, kHkcr);
    EXPECT_EQ(e.subkey, L"");
}

TEST(SkipRules, FileTextInOrder) {
    auto entries = ParseSkipMapText(L"; why\r\n"
                                    L"HKLM\\First\\Unknown\r\n"
                                    L"\r\n"
                                    L"HKEY_CURRENT_USER\\Software\\A\n"
                                    L"HKCU\\Software\\B\r"
                                    L"  HKEY_LOCAL_MACHINE\\SOFTWARE\\C\\\r\n"
                                    L"HKEY_CURRENT_CONFIG\\System");
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0].root, 0u);
    EXPECT_EQ(entries[1].root, kHkcu);
    EXPECT_EQ(entries[2].root, kHkcu);
    EXPECT_EQ(entries[2].subkey, L"Software\\B");
    EXPECT_EQ(entries[3].subkey, L"SOFTWARE\\C");
    EXPECT_EQ(entries[4].root, kHkcc);
}

TEST(SkipRules, FilesByEncodingAndState) {
    TempFolder dir;
    std::vector<SkipMapEntry> entries = {{kHklm, L"untouched"}};
    EXPECT_EQ(LoadSkipMapFile(dir / L"MDRSkipMap.dat", entries), SkipMapLoad::Missing);
    CreateDirectoryW((dir / L"folder.dat").c_str(), nullptr);
    EXPECT_EQ(LoadSkipMapFile(dir / L"folder.dat", entries), SkipMapLoad::Unreadable);
    ASSERT_EQ(entries.size(), 1u);

    const std::wstring text = L";c\r\nHKEY_CURRENT_USER\\Software\\Caf\u00E9 \u00FC\r\n";
    const std::wstring wide = L"HKEY_USERS\\S-1\\\u65E5\u672C\\";
    WriteFileBytes(dir / L"utf16.dat", Utf16LeWithBom(text + wide));
    ASSERT_EQ(LoadSkipMapFile(dir / L"utf16.dat", entries), SkipMapLoad::Ok);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].subkey, L"Software\\Caf\u00E9 \u00FC");
    EXPECT_EQ(entries[1].subkey, L"S-1\\\u65E5\u672C");

    std::string ansi = AnsiBytes(text);
    ASSERT_FALSE(ansi.empty());
    WriteFileBytes(dir / L"ansi.dat", ansi);
    ASSERT_EQ(LoadSkipMapFile(dir / L"ansi.dat", entries), SkipMapLoad::Ok);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].subkey, L"Software\\Caf\u00E9 \u00FC");

    // Tens of millions of tiny lines are refused, not parsed into as many entries.
    WriteFileBytes(dir / L"tiny.dat", TinyLines());
    EXPECT_EQ(LoadSkipMapFile(dir / L"tiny.dat", entries), SkipMapLoad::Unreadable);
    EXPECT_EQ(entries.size(), 1u);
}

TEST(SkipRules, ExceptionMatching) {
    SkipMapEntry exact{kHkcu, L" Software\\Foo "};
    EXPECT_TRUE(ExceptionMatches(exact, kHkcu, L"software\\FOO"));
    EXPECT_FALSE(ExceptionMatches(exact, kHklm, L"Software\\Foo"));
    EXPECT_FALSE(ExceptionMatches(exact, kHkcu, L"Software\\Foo\\Bar"));

    SkipMapEntry branch{kHkcu, L"Software\\Foo\\*"};
    EXPECT_TRUE(ExceptionMatches(branch, kHkcu, L"Software\\Foo"));
    EXPECT_TRUE(ExceptionMatches(branch, kHkcu, L"SOFTWARE\\foo\\Bar\\Baz"));
    EXPECT_TRUE(ExceptionMatches(branch, kHkcu, L"Software\\FooBar")); // by characters
    EXPECT_FALSE(ExceptionMatches(branch, kHkcu, L"Software\\Fo"));
    EXPECT_FALSE(ExceptionMatches(branch, kHklm, L"Software\\Foo\\Bar"));

    EXPECT_TRUE(SameSkipEntry(exact, kHkcu, L"SOFTWARE\\foo"));
    EXPECT_FALSE(SameSkipEntry(exact, kHklm, L"Software\\Foo"));
    EXPECT_FALSE(SameSkipEntry(branch, kHkcu, L"Software\\Foo"));
}
