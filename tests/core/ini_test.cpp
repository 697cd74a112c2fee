#include <gtest/gtest.h>

#include <windows.h>

#include "common/ini.h"
#include "common/text.h"
#include "tests/support/test_files.h"

using namespace mdr;
using namespace mdr::test;

namespace {

// Keys and values beyond ASCII, also representable in the common Western ANSI code page.
const std::wstring kWestern = L"Gr\u00FC\u00DFe \u00E9t\u00E9";
// Beyond any single ANSI code page: Greek, CJK and a character outside the BMP.
const std::wstring kWide = L"\u03A9 \u65E5\u672C \U0001F600";

} // namespace

TEST(IniParse, GroupsKeysAndLinesThatAreNotKeys) {
    IniFile ini = IniFile::Parse(L"stray=before any group\r\n"
                                 L"[ First ]\r\n"
                                 L"  Alpha  =  one  \r\n"
                                 L"; comment=not a key\r\n"
                                 L"no equals sign here\n"
                                 L"Empty=\n"
                                 L"alpha=second alpha is shadowed\r"
                                 L"=nameless\r\n"
                                 L"url=a=b\r\n"
                                 L"\r\n"
                                 L"[Second]\n"
                                 L"Beta=2");
    EXPECT_EQ(ini.GroupNames(), (std::vector<std::wstring>{L"First", L"Second"}));
    EXPECT_EQ(ini.GetString(L"first", L"ALPHA"), L"one");
    EXPECT_EQ(ini.GetString(L"First", L"url"), L"a=b");
    EXPECT_EQ(ini.GetString(L"First", L"comment", L"dflt"), L"dflt");
    EXPECT_EQ(ini.GetString(L"First", L"Empty", L"dflt"), L"");
    EXPECT_EQ(ini.GetString(L"Second", L"Beta"), L"2");
    EXPECT_EQ(ini.GetString(L"Missing", L"Beta", L"x"), L"x");
    EXPECT_FALSE(ini.HasKey(L"", L"stray"));

    // Keys in file order with empty values, duplicates and the nameless one.
    EXPECT_EQ(ini.Keys(L"FIRST"),
              (std::vector<std::wstring>{L"Alpha", L"Empty", L"alpha", L"", L"url"}));
    EXPECT_EQ(ini.CountNamedKeys(L"First"), 4);
    EXPECT_TRUE(ini.Keys(L"Nope").empty());
}

TEST(IniParse, TextRoundTripKeepsCommentsAndNormalisesLayout) {
    IniFile ini = IniFile::Parse(L"; header\n[A]\n; why\nk = v\n\n\n[B]\nx=1\n");
    EXPECT_EQ(ini.ToText(), L"; header\r\n\r\n[A]\r\n; why\r\nk=v\r\n\r\n[B]\r\nx=1\r\n");
    EXPECT_EQ(IniFile::Parse(ini.ToText()).ToText(), ini.ToText());
}

TEST(IniEdit, SetRemoveAndRefusals) {
    IniFile ini = IniFile::Parse(L"[A]\nk1=1\nk2=2\n[B]\nz=9\n");
    EXPECT_TRUE(ini.Set(L"a", L"K1", L"one"));     // updates in place, keeps the stored name
    EXPECT_TRUE(ini.Set(L"A", L"k3", L" three ")); // appended, value trimmed
    EXPECT_TRUE(ini.SetInt(L"C", L"n", -5));       // new group at the end
    EXPECT_EQ(ini.ToText(), L"[A]\r\nk1=one\r\nk2=2\r\nk3=three\r\n\r\n[B]\r\nz=9\r\n\r\n[C]\r\n"
                            L"n=-5\r\n");

    // What the format cannot hold is refused rather than written as something else.
    EXPECT_FALSE(ini.Set(L"A", L"a=b", L"x"));
    EXPECT_FALSE(ini.Set(L"A", L"", L"x"));
    EXPECT_FALSE(ini.Set(L"A", L"[G]", L"x"));
    EXPECT_FALSE(ini.Set(L"A", L";c", L"x"));
    EXPECT_FALSE(ini.Set(L"A", L"k", L"line\r\n[Injected]"));
    EXPECT_FALSE(ini.Set(L"A", L"k\nx", L"v"));
    EXPECT_EQ(ini.Keys(L"A").size(), 3u);

    EXPECT_TRUE(ini.RemoveKey(L"A", L"K2"));
    EXPECT_FALSE(ini.RemoveKey(L"A", L"K2"));
    EXPECT_TRUE(ini.RemoveGroup(L"b"));
    EXPECT_FALSE(ini.RemoveGroup(L"b"));
    EXPECT_EQ(ini.GroupNames(), (std::vector<std::wstring>{L"A", L"C"}));
    EXPECT_EQ(ini.Keys(L"A"), (std::vector<std::wstring>{L"k1", L"k3"}));
}

TEST(IniEncoding, DecodeByBomAndByContent) {
    EXPECT_EQ(DecodeText(Utf16LeWithBom(L"[G]\r\nk=" + kWide)), L"[G]\r\nk=" + kWide);
    EXPECT_EQ(DecodeText(Utf8WithBom(kWide)), kWide);
    EXPECT_EQ(DecodeText(ToUtf8(kWide)), kWide);
    std::string ansi = AnsiBytes(kWestern);
    ASSERT_FALSE(ansi.empty());
    ASSERT_FALSE(IsValidUtf8(ansi)); // "\xFC\xDF" can never be UTF-8
    EXPECT_EQ(DecodeText(ansi), kWestern);
    // Without sniffing, BOM-less bytes are always the ANSI code page.
    EXPECT_EQ(DecodeText(ToUtf8(L"\u00E9"), false), FromAnsi(ToUtf8(L"\u00E9")));
    EXPECT_EQ(DecodeText(""), L"");
    EXPECT_EQ(DecodeText("\xFF\xFE"), L"");
}

TEST(IniEncoding, StrictUtf8Validation) {
    EXPECT_TRUE(IsValidUtf8("plain ASCII"));
    EXPECT_TRUE(IsValidUtf8("\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80"));
    EXPECT_FALSE(IsValidUtf8("\xC0\x80"));         // overlong NUL
    EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF"));     // overlong "/"
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));     // encoded surrogate
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80")); // beyond U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xC3"));             // truncated
    EXPECT_FALSE(IsValidUtf8("\x80"));             // stray continuation
}

TEST(IniFiles, RoundTripsInEveryEncoding) {
    TempFolder dir;
    const std::wstring text =
        L"[Gruppe " + kWestern + L"]\r\n" + kWestern + L"=" + kWestern + L"\r\nplain=x\r\n";
    struct Case {
        const wchar_t* name;
        std::string bytes;
    } cases[] = {
        {L"utf16.ini", Utf16LeWithBom(text)},
        {L"utf8bom.ini", Utf8WithBom(text)},
        {L"utf8.ini", ToUtf8(text)},
        {L"ansi.ini", AnsiBytes(text)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name, c.name + wcslen(c.name)));
        ASSERT_FALSE(c.bytes.empty());
        std::wstring path = dir / c.name;
        WriteFileBytes(path, c.bytes);
        IniFile ini;
        ASSERT_EQ(ini.Load(path), FileState::Ok);
        // Keys match ignoring case beyond ASCII too.
        EXPECT_EQ(ini.GetString(L"GRUPPE " + ToUpper(kWestern), ToUpper(kWestern)), kWestern);

        // Saved back as UTF-8 without BOM, CR LF, and read back the same.
        ASSERT_TRUE(ini.Set(L"Gruppe " + kWestern, kWide, kWide));
        ASSERT_TRUE(ini.Save(path));
        std::string saved = ReadFileBytes(path);
        EXPECT_NE(saved.substr(0, 3), "\xEF\xBB\xBF");
        EXPECT_EQ(saved, ToUtf8(text + kWide + L"=" + kWide + L"\r\n"));
        IniFile again;
        ASSERT_EQ(again.Load(path), FileState::Ok);
        EXPECT_EQ(again.GetString(L"Gruppe " + kWestern, kWide), kWide);
        EXPECT_EQ(again.GetString(L"Gruppe " + kWestern, kWestern), kWestern);
    }
    // Only the four files: no temporary files left behind.
    EXPECT_EQ(dir.CountEntries(), 4);
}

TEST(IniFiles, LoadStatesAndFailedSaves) {
    TempFolder dir;
    IniFile ini = IniFile::Parse(L"[A]\nk=v\n");
    EXPECT_EQ(ini.Load(dir / L"missing.ini"), FileState::Missing);
    EXPECT_TRUE(ini.Groups().empty());
    EXPECT_EQ(ini.Load(dir / L"no folder\\x.ini"), FileState::Missing);
    CreateDirectoryW((dir / L"folder.ini").c_str(), nullptr);
    EXPECT_EQ(ini.Load(dir / L"folder.ini"), FileState::Unreadable);
    WriteFileBytes(dir / L"empty.ini", "");
    EXPECT_EQ(ini.Load(dir / L"empty.ini"), FileState::Ok);
    EXPECT_TRUE(ini.Groups().empty());

    IniFile doc = IniFile::Parse(L"[A]\nk=v\n");
    EXPECT_FALSE(doc.Save(dir / L"no folder\\x.ini"));
    // A target that cannot be replaced leaves it alone and leaves no temporary file.
    EXPECT_FALSE(doc.Save(dir / L"folder.ini"));
    EXPECT_TRUE(FolderExists(dir / L"folder.ini"));
    EXPECT_EQ(dir.CountEntries(), 2);

    EXPECT_EQ(FileSizeOf(dir / L"empty.ini"), 0);
    EXPECT_EQ(FileSizeOf(dir / L"folder.ini"), -1);
    EXPECT_EQ(FileSizeOf(dir / L"missing.ini"), -1);
}
