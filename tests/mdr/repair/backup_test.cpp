// Backups of real registry keys: the file's bytes, and round trips through the real registry
// editor (back up, delete, "regedit /s", compare every key, value type and value byte).
#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tests/support/edition.h"
#include "common/handles.h"
#include "common/ini.h"
#include "common/text.h"
#include "regfile/reg_text.h"
#include "regfile/reg_writer.h"
#include "tests/support/registry_snapshot.h"
#include "tests/support/test_files.h"

using namespace mdr;

namespace {

const std::wstring kBase = L"Software\\MDRTests\\RepairBackup";
const std::wstring kBaseLine = L"[HKEY_CURRENT_USER\\" + kBase;

using mdr::test::Bytes;
using Value = mdr::test::RegValue;
using Tree = mdr::test::RegTree;
using mdr::test::Dword;
using mdr::test::Sz;
using mdr::test::Utf16;

Bytes Pattern(size_t n, unsigned seed) {
    std::mt19937 random(seed);
    Bytes bytes(n);
    for (auto& b : bytes)
        b = static_cast<BYTE>(random());
    return bytes;
}

UniqueHkey CreateKey(const std::wstring& path) {
    UniqueHkey key;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    return key;
}

void SetRaw(HKEY key, const std::wstring& name, DWORD type, Bytes data) {
    mdr::test::SetRaw(key, L"", name, type, std::move(data));
}

class Backup : public testing::Test {
  protected:
    void SetUp() override { CreateKey(kBase); }
    void TearDown() override {
        CloseBackupFile();
        SHDeleteKeyW(HKEY_CURRENT_USER, kBase.c_str());
        SHDeleteEmptyKeyW(HKEY_CURRENT_USER, L"Software\\MDRTests");
    }

    static std::wstring Path(const std::wstring& sub) { return kBase + L"\\" + sub; }

    // Backs the key up, deletes it, imports the backup and returns what came back.
    Tree RoundTrip(const std::wstring& sub, Tree& before) {
        const std::wstring path = Path(sub);
        Tree restored;
        EXPECT_TRUE(mdr::test::ReadRegTree(HKEY_CURRENT_USER, path, before));
        EXPECT_EQ(CreateBackupFile(file_), 1);
        EXPECT_EQ(BackupKey(kHkcu, path), 1);
        EXPECT_EQ(CloseBackupFile(), 1);
        EXPECT_EQ(SHDeleteKeyW(HKEY_CURRENT_USER, path.c_str()), ERROR_SUCCESS);
        mdr::test::ImportWithRegedit(file_);
        EXPECT_TRUE(mdr::test::ReadRegTree(HKEY_CURRENT_USER, path, restored)) << "not restored";
        return restored;
    }

    mdr::test::TempFolder temp_;
    const std::wstring file_ = temp_ / L"backup.reg";
};

} // namespace

TEST_F(Backup, FileLayoutBlocksAndDepthFirstOrder) {
    {
        auto layout = CreateKey(Path(L"Layout"));
        SetRaw(layout.get(), L"", REG_SZ, Sz(L"root"));
        SetRaw(layout.get(), L"n", REG_DWORD, Dword(10));
        SetRaw(CreateKey(Path(L"Layout\\B")).get(), L"x", REG_BINARY, {1, 2});
        CreateKey(Path(L"Layout\\B\\C"));
        SetRaw(CreateKey(Path(L"Layout\\D")).get(), L"s", REG_SZ, Sz(L"a\"b\\c"));
    }
    ASSERT_EQ(CreateBackupFile(file_), 1);
    EXPECT_EQ(BackupKey(kHkcu, Path(L"Layout")), 1);
    EXPECT_EQ(BackupValue(kHkcu, Path(L"Layout\\"), L"n"), 1);
    EXPECT_EQ(BackupSubkeys(kHkcu, Path(L"Layout\\B")), 1);
    EXPECT_EQ(BackupKeyValues(kHkcu, Path(L"Layout\\D")), 0);
    EXPECT_TRUE(BackupOmissions().empty());
    ASSERT_EQ(CloseBackupFile(), 1);

    const std::wstring layout = kBaseLine + L"\\Layout";
    EXPECT_EQ(mdr::test::ReadFileBytes(file_),
              mdr::test::Utf16LeWithBom(
                  RegFileHeader(mdr::test::kVersionText) +
                  // BackupKey: the key, then its subtree depth first
                  layout + L"]\r\n@=\"root\"\r\n\"n\"=dword:0000000a\r\n\r\n" + layout +
                  L"\\B]\r\n\"x\"=hex:01,02\r\n\r\n" + layout + L"\\B\\C]\r\n\r\n" + layout +
                  L"\\D]\r\n\"s\"=\"a\\\"b\\\\c\"\r\n\r\n" +
                  // BackupValue
                  layout + L"]\r\n\"n\"=dword:0000000a\r\n\r\n" +
                  // BackupSubkeys
                  layout + L"\\B\\C]\r\n\r\n" +
                  // BackupKeyValues writes no empty line
                  layout + L"\\D]\r\n\"s\"=\"a\\\"b\\\\c\"\r\n"));
}

// One tree of every value kind and size, and names with line breaks and every character a .reg
// file treats specially, backed up, deleted, imported by the real registry editor and compared
// byte for byte. The exceptions are what no .reg file can carry: string-typed data whose last
// whole UTF-16 character is not NUL (the editor adds one), and a key name with a line break (left
// out). The backup names exactly these as its omissions.
TEST_F(Backup, RoundTripThroughTheRegistryEditor) {
    struct Kind {
        std::wstring name;
        DWORD type;
        Bytes data;
        bool exact = true;
    };
    std::wstring longText;
    for (int i = 0; i < 60000; ++i)
        longText += static_cast<wchar_t>(L' ' + i % 90);
    std::wstring manyStrings;
    for (int i = 0; i < 12000; ++i)
        manyStrings += L"item" + std::to_wstring(i) + L'\0';
    const std::wstring awkward = L"abcXYZ019 \"[]@;=-_.,#\t\u00e4\u00c4\u00df\u0416\u9375";

    std::vector<Kind> kinds = {
        {L"", REG_SZ, Sz(L"the default value")},
        {L"@", REG_SZ, Sz(L"not the default value")},
        {awkward, REG_SZ, Sz(awkward)},
        {L"back\\slash\\", REG_SZ, Sz(L"\\")},
        {L"sz", REG_SZ, Sz(L"C:\\Program Files\\\"quoted\"\\x.exe /a")},
        {L"sz zero size", REG_SZ, {}},
        {L"sz crlf", REG_SZ, Sz(L"one\r\ntwo\rthree\nfour")},
        {L"sz control character", REG_SZ, Sz(L"a\x01b\tc")},
        {L"sz embedded nul", REG_SZ, Utf16(std::wstring(L"a\0b\0", 4))},
        {L"sz unicode", REG_SZ, Sz(L"\u00e4\u00df\u0416\u9375\U0001F600\uFEFF\uFFFF")},
        {L"sz lone surrogate", REG_SZ, Sz(L"a\xD800z")},
        {L"sz odd size, whole characters end in nul", REG_SZ, {0x61, 0, 0, 0, 0x78}},
        {L"sz no nul", REG_SZ, Utf16(L"abc"), false},
        {L"sz odd size", REG_SZ, {0x61, 0, 0x62}, false},
        {L"sz over 100 KB", REG_SZ, Sz(longText)},
        {L"expand", REG_EXPAND_SZ, Sz(L"%TEMP%\\x \"y\"\r\n")},
        {L"expand no nul", REG_EXPAND_SZ, Utf16(L"%TEMP%"), false},
        {L"multi", REG_MULTI_SZ, Utf16(std::wstring(L"a\0b c\0\0", 7))},
        {L"multi zero size", REG_MULTI_SZ, {}},
        {L"multi no nul", REG_MULTI_SZ, Utf16(L"a"), false},
        {L"multi over 100 KB", REG_MULTI_SZ, Utf16(manyStrings + L'\0')},
        {L"dword", REG_DWORD, Dword(0xDEADBEEF)},
        {L"dword zero size", REG_DWORD, {}},
        {L"dword 2 bytes", REG_DWORD, {0x0a, 0x00}},
        {L"dword big endian", REG_DWORD_BIG_ENDIAN, Dword(7)},
        {L"link", REG_LINK, Utf16(L"\\Registry\\Machine")},
        {L"resource list", REG_RESOURCE_LIST, Pattern(40, 2)},
        {L"resource descriptor", REG_FULL_RESOURCE_DESCRIPTOR, Pattern(3, 3)},
        {L"requirements", REG_RESOURCE_REQUIREMENTS_LIST, Pattern(21, 4)},
        {L"qword", REG_QWORD, Pattern(8, 5)},
        {L"qword 3 bytes", REG_QWORD, {1, 2, 3}},
        {L"none", REG_NONE, {}},
        {L"binary 22", REG_BINARY, Pattern(22, 9)},
        {L"binary over 100 KB", REG_BINARY, Pattern(150000, 11)},
        {L"custom 0x12345", 0x12345, Pattern(300, 12)},
        {L"custom 0x7fffffff", 0x7FFFFFFF, {}},
        {L"custom 0xffffffff", 0xFFFFFFFF, Pattern(2, 13)},
        // Written as it is, this name would break its line and set the value "Injected".
        {L"v\r\n\"Injected\"=hex:02,;", REG_SZ, Sz(L"data")},
    };
    // Wine's 64-bit regedit reads before the data of a one-byte string value and crashes,
    // losing the rest of the import; its 32-bit one reads a stray byte instead.
    if (sizeof(void*) == 4) kinds.push_back({L"sz one byte", REG_SZ, {0x61}, false});
    std::vector<std::wstring> inexact;
    {
        auto key = CreateKey(Path(L"Tree"));
        for (const Kind& kind : kinds) {
            SetRaw(key.get(), kind.name, kind.type, kind.data);
            if (!kind.exact)
                inexact.push_back(L"HKEY_CURRENT_USER\\" + Path(L"Tree") + L" -> " + kind.name);
        }
    }
    const std::wstring evilKey = L"k\n\"Injected\"=hex:01,;";
    SetRaw(CreateKey(Path(L"Tree\\" + evilKey)).get(), L"inside", REG_DWORD, Dword(4));
    SetRaw(CreateKey(Path(L"Tree\\zz after")).get(), L"after", REG_DWORD, Dword(5));
    inexact.push_back(L"HKEY_CURRENT_USER\\" + kBase + L"\\Tree\\k\\n\"Injected\"=hex:01,;");
    // Key names are written verbatim, whatever they hold, three levels deep.
    const std::wstring deep = L"Tree\\" + awkward + L"\\[Sub] \"two\"\\\u0416 ;three=";
    SetRaw(CreateKey(Path(deep)).get(), awkward, REG_EXPAND_SZ, Sz(L"\\\\server\\share"));

    Tree before, after = RoundTrip(L"Tree", before);
    // Every line break of the file ends a line, and no line sets "Injected".
    for (const auto& line : Split(DecodeText(mdr::test::ReadFileBytes(file_)), L'\n')) {
        EXPECT_FALSE(line.starts_with(L"\"Injected\"")) << ToUtf8(line);
        EXPECT_EQ(line.find(L'\r'), line.empty() ? std::wstring::npos : line.size() - 1);
    }
    // What cannot come back exactly came back in some form; everything else byte for byte.
    for (const Kind& kind : kinds) {
        if (kind.exact) continue;
        EXPECT_EQ(after.values.count(kind.name), 1u) << ToUtf8(kind.name);
        before.values.erase(kind.name);
        after.values.erase(kind.name);
    }
    before.keys.erase(evilKey);
    EXPECT_TRUE(after == before) << "the registry editor did not give back the tree";
    // Exactly the named exceptions are the backup's omissions.
    std::vector<std::wstring> omissions = BackupOmissions();
    std::ranges::sort(omissions);
    std::ranges::sort(inexact);
    EXPECT_EQ(omissions, inexact);
}
