// Restores that prove themselves: the .reg reader against the writer's own files and hand-made
// lines, and backups (one good, three the registry editor takes nothing from) restored through
// the real "regedit /s" and read back from the registry.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "common/ini.h"
#include "common/text.h"
#include "mdr/repair/backup_manager.h"
#include "regfile/reg_reader.h"
#include "regfile/reg_text.h"
#include "regfile/reg_writer.h"
#include "tests/support/test_files.h"

using namespace mdr;
using Kind = RegFileEntry::Kind;

namespace {

const std::wstring kBase = L"Software\\MDRTests\\RestoreCheck";
const std::wstring kBaseText = L"HKEY_CURRENT_USER\\" + kBase;

void Plant(const std::wstring& key, const std::wstring& name, DWORD type, const void* data,
           DWORD size) {
    ASSERT_EQ(SHSetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), type, data, size),
              ERROR_SUCCESS);
}

class RestoreCheck : public ::testing::Test {
  protected:
    void SetUp() override { SHDeleteKeyW(HKEY_CURRENT_USER, kBase.c_str()); }
    void TearDown() override { SHDeleteKeyW(HKEY_CURRENT_USER, kBase.c_str()); }
    std::wstring Write(const wchar_t* name, const std::string& bytes) {
        EXPECT_TRUE(WriteFileReplacing(temp_ / name, bytes));
        return temp_ / name;
    }
    mdr::test::TempFolder temp_;
};

// An entry as one line: kind letter, what it names, type and data.
std::wstring Shown(const RegFileEntry& e) {
    const wchar_t kinds[] = L"KDVXU";
    return std::wstring(1, kinds[static_cast<int>(e.kind)]) + L" " + RegEntryText(e) + L" " +
           std::to_wstring(e.type) + L":" + BytesToHexList(e.data.data(), e.data.size());
}

} // namespace

TEST(RegReader, ReadsLinesAsTheEditorDoes) {
    const std::wstring text = L"Windows Registry Editor Version 5.00\r\n\r\n; comment\r\n"
                              L"[HKEY_CURRENT_USER\\A \"q\" [b]]\r\n"
                              L"\"s\"=\"x\\\\y\\\"\"\r\n"
                              L"@=dword:0000002A\r\n"
                              L"\"h\"=hex(2):41,00,\\\r\n  42,00\r\n"
                              L"\"n\\n\"=hex:\r\n"
                              L"\"gone\"=-\r\n"
                              L"[-HKLM\\B]\r\n\"orphan\"=\"1\"\r\n"
                              L"[HKEY_NOWHERE\\C]\r\ngarbage\r\n";
    const std::vector<std::wstring> want = {
        L"K HKEY_CURRENT_USER\\A \"q\" [b] 0:",
        L"V HKEY_CURRENT_USER\\A \"q\" [b] -> s 1:78,00,5c,00,79,00,22,00,00,00",
        L"V HKEY_CURRENT_USER\\A \"q\" [b] -> @ 4:2a,00,00,00",
        L"V HKEY_CURRENT_USER\\A \"q\" [b] -> h 2:41,00,42,00",
        L"V HKEY_CURRENT_USER\\A \"q\" [b] -> n  3:", // the line feed shown as a blank
        L"X HKEY_CURRENT_USER\\A \"q\" [b] -> gone 0:",
        L"D HKLM\\B 0:",
        L"U line 12 0:", // no key is open after a deletion
        L"K HKEY_NOWHERE\\C 0:",
        L"U line 14 0:",
    };
    const std::vector<RegFileEntry> got = ParseRegFileText(text, false);
    std::vector<std::wstring> shown;
    for (const RegFileEntry& e : got)
        shown.push_back(Shown(e));
    EXPECT_EQ(shown, want);
    ASSERT_EQ(got.size(), want.size());
    EXPECT_EQ(got[6].root, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(got[4].valueName, L"n\n");

    // The old form keeps string-typed hex data in ANSI.
    const auto old =
        ParseRegFileText(L"REGEDIT4\r\n[HKEY_USERS\\X]\r\n\"m\"=hex(7):61,00,62\r\n", true);
    ASSERT_EQ(old.size(), 2u);
    EXPECT_EQ(Shown(old[1]), L"V HKEY_USERS\\X -> m 7:61,00,00,00,62,00");
}

TEST(RegReader, HeaderIsWhatTheEditorImports) {
    const struct {
        std::string bytes;
        bool accepted;
    } cases[] = {
        {mdr::test::Utf16LeWithBom(L"Windows Registry Editor Version 5.00\r\n"), true},
        {mdr::test::Utf16LeWithBom(L"Windows Registry Editor Version 5.00"), true},
        {"REGEDIT4\r\n[HKEY_USERS\\X]", true},
        {"REGEDIT4", true},
        {mdr::test::Utf16LeWithBom(L"  windows registry editor version 5.00\r\n"), false},
        {mdr::test::Utf16LeWithBom(L"Windows Registry Editor Version 5.00 \r\n"), false},
        {"\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n", false},
        {"Windows Registry Editor Version 5.00\r\n", false},
        {"regedit4\r\n", false},
        {" REGEDIT4\r\n", false},
        {mdr::test::Utf16LeWithBom(L"REGEDIT4\r\n").substr(2), false},
        {"", false},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(IsRegImportHeader(cases[i].bytes), cases[i].accepted) << i;
}

TEST_F(RestoreCheck, OnlyWhatComesBackIsRestored) {
    // The good one: a backup as fixing writes it, of a key of every common kind, then deleted.
    const std::wstring key = kBase + L"\\Good";
    const BYTE binary[] = {0,  1,  2,  0xFE, 0xFF, 0x41, 0x42, 0,  0,  7,  8,  9,
                           10, 11, 12, 13,   14,   15,   16,   17, 18, 19, 20, 21};
    const wchar_t text[] = L"C:\\Program Files\\\"quoted\"", multi[] = L"one\0two\0";
    const DWORD number = 0xDEADBEEF, other = 1;
    Plant(key, L"", REG_SZ, text, sizeof text);
    Plant(key, L"bin", REG_BINARY, binary, sizeof binary);
    Plant(key, L"multi", REG_MULTI_SZ, multi, sizeof multi);
    Plant(key, L"num", REG_DWORD, &number, sizeof number);
    Plant(key, L"odd\r\nname", REG_EXPAND_SZ, L"%TEMP%", 14);
    Plant(key, L"none", REG_NONE, nullptr, 0);
    Plant(key + L"\\Sub", L"x", 0x1234, binary, 3);
    const std::wstring good = Write(L"mdr_restore_good.reg", "");
    ASSERT_EQ(CreateBackupFile(good), 1);
    ASSERT_EQ(BackupKey(kHkcu, key), 1);
    ASSERT_EQ(CloseBackupFile(), 1);

    // The writer's file reads back value for value; each changed value is found out, and only
    // that one.
    const auto entries = ParseRegFileText(DecodeText(mdr::test::ReadFileBytes(good), false), false);
    ASSERT_EQ(entries.size(), 9u); // two keys, seven values
    EXPECT_TRUE(EntriesNotInRegistry(entries).empty());
    Plant(key, L"num", REG_DWORD, &other, sizeof other);
    Plant(key, L"multi", REG_BINARY, multi, sizeof multi);
    std::vector<std::wstring> missing;
    for (size_t i : EntriesNotInRegistry(entries))
        missing.push_back(RegEntryText(entries[i]));
    EXPECT_EQ(missing, (std::vector<std::wstring>{kBaseText + L"\\Good -> multi",
                                                  kBaseText + L"\\Good -> num"}));
    ASSERT_EQ(SHDeleteKeyW(HKEY_CURRENT_USER, key.c_str()), DWORD{ERROR_SUCCESS});

    const std::wstring body = L"\r\n\r\n[" + kBaseText + L"\\Lost]\r\n\"v\"=\"1\"\r\n";
    const std::wstring longKey = kBaseText + L"\\" + std::wstring(32000, L'k');
    const struct {
        const wchar_t* name;
        std::string bytes;
        bool restored;
        size_t missing;
        std::wstring first;
    } cases[] = {
        {L"mdr_restore_lower.reg",
         mdr::test::Utf16LeWithBom(L"  windows registry editor version 5.00" + body), false, 2,
         kBaseText + L"\\Lost"},
        {L"mdr_restore_garbage.reg",
         mdr::test::Utf16LeWithBom(L"Windows Registry Editor Version 5.00\r\n") +
             std::string(4000, '\x81') + "\xFE\x93\x07",
         false, 1, L"line 2"},
        {L"mdr_restore_long.reg",
         mdr::test::Utf16LeWithBom(L"Windows Registry Editor Version 5.00\r\n\r\n[" + longKey +
                                   L"]\r\n\"v\"=\"1\"\r\n"),
         false, 2, longKey.substr(0, 120) + L"..."},
        {L"mdr_restore_good.reg", {}, true, 0, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.name));
        const std::wstring path = c.bytes.empty() ? good : Write(c.name, c.bytes);
        const RestoreOutcome outcome = RestoreBackupFileChecked(path);
        EXPECT_EQ(outcome.restored, c.restored);
        EXPECT_EQ(RestoreBackupFile(path), c.restored ? 1 : 0);
        EXPECT_EQ(outcome.missing, c.missing);
        if (c.missing > 0) {
            ASSERT_FALSE(outcome.firstMissing.empty());
            EXPECT_EQ(outcome.firstMissing[0], c.first);
            EXPECT_NE(RestoreMissingText(outcome).find(std::to_wstring(c.missing) + L" entr"),
                      std::wstring::npos);
        }
        EXPECT_TRUE(PathFileExistsW(path.c_str())) << "a restore never deletes the file";
    }
    EXPECT_TRUE(EntriesNotInRegistry(entries).empty()) << "the good backup restored it all";
}
