// Damaged, oddly encoded and oversized input files: Config.ini, language files and the skip map
// never lose the user's data, never run out of memory, and are read in time linear in their size.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/ini.h"
#include "common/text.h"
#include "mdr/core/config.h"
#include "mdr/core/localization.h"
#include "common/registry.h"
#include "tests/support/test_files.h"

using namespace mdr;
using namespace mdr::test;

namespace {

// UTF-16 without a mark, little- or big-endian.
std::string Utf16(std::wstring_view text, bool bigEndian) {
    std::string bytes = Utf16LeWithBom(text).substr(2);
    for (size_t i = 0; bigEndian && i + 1 < bytes.size(); i += 2)
        std::swap(bytes[i], bytes[i + 1]);
    return bytes;
}

template <size_t N> std::string Bytes(const char (&literal)[N]) { // with its NULs
    return std::string(literal, N - 1);
}

const wchar_t kTwoGroups[] = L"[MDRExceptions]\r\nHKEY_CURRENT_USER\\Software\\One=Exception0\r\n"
                             L"[MDRConfig]\r\nScanMode=7\r\n"
                             L"[MDRExceptions]\r\nHKEY_LOCAL_MACHINE\\Software\\Two=Exception0\r\n";

std::vector<std::wstring> Subkeys(const std::vector<SkipMapEntry>& entries) {
    std::vector<std::wstring> out;
    for (const SkipMapEntry& e : entries)
        out.push_back(RootKeyName(e.root) + L"\\" + e.subkey);
    return out;
}

} // namespace

TEST(ConfigInput, EveryEncodingAndEveryGroupOfANameIsRead) {
    const std::vector<std::wstring> both = {L"HKEY_CURRENT_USER\\Software\\One",
                                            L"HKEY_LOCAL_MACHINE\\Software\\Two"};
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"UTF-8", ToUtf8(kTwoGroups)},
        {"UTF-16LE without mark", Utf16(kTwoGroups, false)},
        {"UTF-16BE with mark", "\xFE\xFF" + Utf16(kTwoGroups, true)},
        {"UTF-16LE with mark", Utf16LeWithBom(kTwoGroups)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        const std::wstring path = dir / L"Config.ini";
        WriteFileBytes(path, c.bytes);
        AppSettings s;
        std::vector<SkipMapEntry> exceptions;
        ASSERT_EQ(ReadOrCreateConfig(path, s, exceptions), ConfigOutcome::Read);
        EXPECT_EQ(s.ScanMode, 7);
        EXPECT_EQ(Subkeys(exceptions), both);

        // Settings->OK writes what was read: both groups' exceptions stay, in one group.
        ASSERT_TRUE(SaveConfigAndExceptions(path, s, exceptions));
        std::vector<SkipMapEntry> again;
        ASSERT_EQ(ReadOrCreateConfig(path, s, again), ConfigOutcome::Read);
        EXPECT_EQ(Subkeys(again), both);
        EXPECT_EQ(IniFile::Parse(FromUtf8(ReadFileBytes(path))).GroupNames().size(), 2u);
    }
}

TEST(ConfigInput, UndecodableOrHugeFileIsSetAsideNeverRewritten) {
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"binary", Bytes("[MDRExceptions]\r\nHKEY_CURRENT_USER\\x\0\0\x01\x02=1")},
        {"UTF-8 mark and no UTF-8", "\xEF\xBB\xBF[MDRConfig]\r\nScanMode=\xC3\x28\r\n"},
        {"60 MB of tiny lines", TinyLines()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        const std::wstring path = dir / L"Config.ini";
        WriteFileBytes(path, c.bytes);
        // Writers refuse it while it is there.
        EXPECT_FALSE(SaveWindowGroup(path, AppSettings{}, false));
        EXPECT_FALSE(SaveConfigAndExceptions(path, AppSettings{}, {}));

        AppSettings s;
        s.ScanMode = 3;
        std::vector<SkipMapEntry> exceptions;
        std::wstring aside;
        ASSERT_EQ(ReadOrCreateConfig(path, s, exceptions, &aside), ConfigOutcome::SetAside);
        EXPECT_TRUE(exceptions.empty());
        EXPECT_TRUE(aside.starts_with(path + L".bad-"));
        EXPECT_EQ(ReadFileBytes(aside), c.bytes);
        // A fresh file with the settings in use takes its place; the next start reads it.
        EXPECT_EQ(ReadOrCreateConfig(path, s, exceptions), ConfigOutcome::Read);
        EXPECT_EQ(s.ScanMode, 3);
    }
}

TEST(ConfigInput, UnpairedSurrogatesInAnExceptionSurviveASave) {
    TempFolder dir;
    const std::wstring path = dir / L"Config.ini";
    const std::vector<SkipMapEntry> written = {{0x80000001u, L"Software\\Lone\xD800High"},
                                               {0x80000001u, L"Software\\Lone\xDC00Low"},
                                               {0x80000001u, L"Software\\Pair\xD83D\xDE00"},
                                               {0x80000001u, L"Software\\End\xDBFF"}};
    AppSettings s;
    std::vector<SkipMapEntry> read;
    ASSERT_EQ(ReadOrCreateConfig(path, s, read), ConfigOutcome::Created);
    ASSERT_TRUE(SaveExceptions(path, written));
    EXPECT_EQ(ReadFileBytes(path).find("\xEF\xBF\xBD"), std::string::npos) << "U+FFFD written";
    ASSERT_EQ(ReadOrCreateConfig(path, s, read), ConfigOutcome::Read);
    ASSERT_EQ(read.size(), written.size());
    for (size_t i = 0; i < read.size(); ++i)
        EXPECT_EQ(read[i].subkey, written[i].subkey) << i;
}

TEST(LanguageInput, FilesWithoutTextsAreRefusedAndLongTextsCut) {
    TempFolder program;
    const std::wstring path = program / L"lang.ini";
    const struct {
        const char* name;
        std::string bytes;
    } refused[] = {
        {"random bytes", "\x8F\x13\xA7\x9C\x01\x7F\xEE\x42\x10\x99\xC4"},
        {"a mark alone", "\xEF\xBB\xBF"},
        {"no group", "l0=orphan\r\nl1=orphan\r\n"},
        {"empty group", "[MDRLanguageInfo]\r\nName=X\r\n[MDRLanguageData]\r\n"},
        {"binary", Bytes("[MDRLanguageData]\r\nl0=\0\0\0")},
    };
    WriteFileBytes(path, ToUtf8(L"[MDRLanguageData]\r\nl0=kept\r\n"));
    ASSERT_EQ(LoadLanguage(program.Path(), L"lang.ini"), 1);
    for (const auto& c : refused) {
        WriteFileBytes(path, c.bytes);
        EXPECT_EQ(LoadLanguage(program.Path(), L"lang.ini"), 0) << c.name;
    }
    EXPECT_EQ(LangText(Text{0}), L"kept");

    WriteFileBytes(path, "[MDRLanguageData]\r\nl0=" + std::string(20000, 'x') + "\r\nl1=<br>" +
                             std::string(5000, 'y') + "\r\n");
    ASSERT_EQ(LoadLanguage(program.Path(), L"lang.ini"), 1);
    EXPECT_EQ(LangText(Text{0}), std::wstring(4096, L'x'));
    EXPECT_EQ(LangText(Text{1}), L"\r\n" + std::wstring(4092, L'y'));
}

TEST(IniLookups, GroupsOfOneNameReadAsOneAndStayLinear) {
    IniFile ini = IniFile::Parse(L"[A]\r\nk=1\r\n[B]\r\nk=2\r\n[a]\r\nK=3\r\nm=4\r\n");
    EXPECT_EQ(ini.GetString(L"a", L"K"), L"1");
    EXPECT_EQ(ini.Keys(L"A"), (std::vector<std::wstring>{L"k", L"K", L"m"}));
    ASSERT_TRUE(ini.Set(L"A", L"M", L"5"));
    ASSERT_TRUE(ini.Set(L"A", L"n", L"6"));
    EXPECT_TRUE(ini.RemoveKey(L"A", L"K"));
    EXPECT_EQ(ini.ToText(), L"[A]\r\nn=6\r\n\r\n[B]\r\nk=2\r\n\r\n[a]\r\nm=5\r\n");

    // 200,000 keys written and read back by name: quadratic lookups would take minutes.
    const DWORD start = GetTickCount();
    IniFile big;
    for (int i = 0; i < 200000; ++i)
        big.Set(L"G", L"key" + std::to_wstring(i), std::to_wstring(i));
    IniFile back = IniFile::Parse(big.ToText());
    for (int i = 0; i < 200000; i += 997)
        ASSERT_EQ(back.GetString(L"G", L"KEY" + std::to_wstring(i)), std::to_wstring(i));
    EXPECT_LT(GetTickCount() - start, 20000u);
}
