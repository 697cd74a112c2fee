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
    IniFile ini = IniFile::Parse(L"stray=before any group\r\n[ First ]\r\n  Alpha  =  one  \r\n"
                                 L"; comment=not a key\r\nno equals sign here\nEmpty=\n"
                                 L"alpha=second alpha is shadowed\r=nameless\r\nurl=a=b\r\n\r\n"
                                 L"[Second]\nBeta=2");
    EXPECT_EQ(ini.GroupNames(), (std::vector<std::wstring>{L"First", L"Second"}));
    EXPECT_EQ(ini.GetString(L"first", L"ALPHA"), L"one");
    EXPECT_EQ(ini.GetString(L"First", L"url"), L"a=b");
    EXPECT_EQ(ini.GetString(L"First", L"comment", L"dflt"), L"dflt");
    EXPECT_EQ(ini.GetString(L"First", L"Empty", L"dflt"), L"");
    EXPECT_EQ(ini.GetString(L"Second", L"Beta"), L"2");
    EXPECT_FALSE(ini.HasKey(L"", L"stray"));

    // Keys in file order with empty values, duplicates and the nameless one.
    EXPECT_EQ(ini.Keys(L"FIRST"),
              (std::vector<std::wstring>{L"Alpha", L"Empty", L"alpha", L"", L"url"}));
    EXPECT_EQ(ini.CountNamedKeys(L"First"), 4);

    // Comments stay; the layout is normalised.
    IniFile notes = IniFile::Parse(L"; header\n[A]\n; why\nk = v\n\n\n[B]\nx=1\n");
    EXPECT_EQ(notes.ToText(), L"; header\r\n\r\n[A]\r\n; why\r\nk=v\r\n\r\n[B]\r\nx=1\r\n");
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
    EXPECT_FALSE(ini.Set(L"A", L"[G]", L"x"));
    EXPECT_FALSE(ini.Set(L"A", L";c", L"x"));
    EXPECT_FALSE(ini.Set(L"A", L"k", L"line\r\n[Injected]"));

    EXPECT_TRUE(ini.RemoveKey(L"A", L"K2"));
    EXPECT_TRUE(ini.RemoveGroup(L"b"));
    EXPECT_EQ(ini.ToText(), L"[A]\r\nk1=one\r\nk3=three\r\n\r\n[C]\r\nn=-5\r\n");
}

TEST(IniEncoding, DecodeByBomAndByContentWithStrictUtf8) {
    // By content (the file tests below load each form): UTF-8 beyond any code page.
    EXPECT_EQ(DecodeText(ToUtf8(kWide)), kWide);
    // Without sniffing, BOM-less bytes are always the ANSI code page.
    EXPECT_EQ(DecodeText(ToUtf8(L"\u00E9"), false), FromAnsi(ToUtf8(L"\u00E9")));
    EXPECT_EQ(DecodeText("\xFF\xFE"), L"");
    // Strict UTF-8 validation.
    EXPECT_TRUE(IsValidUtf8("\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80"));
    for (const char* bad :
         {"\xC0\x80", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xC3", "\x80"})
        EXPECT_FALSE(IsValidUtf8(bad)) << bad; // overlong, surrogate, too big, cut, stray
}

TEST(IniFiles, RoundTripsInEveryEncoding) {
    TempFolder dir;
    const std::wstring group = L"Gruppe " + kWestern;
    const std::wstring text = L"[" + group + L"]\r\n" + kWestern + L"=" + kWestern + L"\r\n";
    for (const std::string& bytes :
         {Utf16LeWithBom(text), Utf8WithBom(text), ToUtf8(text), AnsiBytes(text)}) {
        ASSERT_FALSE(bytes.empty());
        const std::wstring path = dir / L"x.ini";
        WriteFileBytes(path, bytes);
        IniFile ini;
        ASSERT_EQ(ini.Load(path), FileState::Ok);
        // Keys match ignoring case beyond ASCII too.
        EXPECT_EQ(ini.GetString(ToUpper(group), ToUpper(kWestern)), kWestern);
        // Saved back as UTF-8 without BOM, CR LF, and no temporary file left.
        ASSERT_TRUE(ini.Set(group, kWide, kWide));
        ASSERT_TRUE(ini.Save(path));
        EXPECT_EQ(ReadFileBytes(path), ToUtf8(text + kWide + L"=" + kWide + L"\r\n"));
        EXPECT_EQ(dir.CountEntries(), 1);
    }
}

TEST(IniFiles, LoadStatesAndFailedSaves) {
    TempFolder dir;
    IniFile ini = IniFile::Parse(L"[A]\nk=v\n");
    EXPECT_EQ(ini.Load(dir / L"missing.ini"), FileState::Missing);
    EXPECT_TRUE(ini.Groups().empty());
    CreateDirectoryW((dir / L"folder.ini").c_str(), nullptr);
    EXPECT_EQ(ini.Load(dir / L"folder.ini"), FileState::Unreadable);
    WriteFileBytes(dir / L"empty.ini", "");
    EXPECT_EQ(ini.Load(dir / L"empty.ini"), FileState::Ok);
    EXPECT_TRUE(ini.Groups().empty());

    IniFile doc = IniFile::Parse(L"[A]\nk=v\n");
    // A target that cannot be replaced leaves it alone and leaves no temporary file.
    EXPECT_FALSE(doc.Save(dir / L"folder.ini"));
    EXPECT_TRUE(FolderExists(dir / L"folder.ini"));
    EXPECT_EQ(dir.CountEntries(), 2);
    EXPECT_EQ(FileSizeOf(dir / L"folder.ini"), -1);
}
