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
#include "repair/reg_text.h"
#include "repair/reg_writer.h"
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

// What the registry editor gives back for a value written by the backup. String-typed data
// (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) whose last whole UTF-16 character is not NUL gets a NUL
// character written after that character: with an even size it is appended; with an odd size it
// overwrites the odd byte and one byte of whatever the editor's buffer held follows; a single
// byte makes the editor look before its buffer.
enum class Import { Exact, NulAppended, OddByteLost, Undefined };

// Checks what came back for a value imported as kind (the whole characters and a NUL
// character); replaces the bytes that cannot be predicted with the original ones so that whole
// trees can be compared.
void ExpectImport(Import kind, const Value& original, Value& restored) {
    if (kind == Import::Exact) return;
    Bytes nul(original.data.begin(), original.data.begin() + original.data.size() / 2 * 2);
    nul.insert(nul.end(), 2, 0);
    const Bytes& got = restored.data;
    if (kind == Import::NulAppended) {
        EXPECT_EQ(got, nul);
    } else if (kind == Import::OddByteLost) {
        EXPECT_EQ(got.size(), original.data.size() + 2);
        EXPECT_EQ(Bytes(got.begin(), got.begin() + std::min(nul.size(), got.size())), nul);
    }
    restored.data = original.data;
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
// whole UTF-16 character is not NUL comes back with a NUL appended (for a single byte, not even
// predictably), and a key name with a line break is left out. The backup names each of them.
TEST_F(Backup, RoundTripThroughTheRegistryEditor) {
    struct Kind {
        std::wstring name;
        DWORD type;
        Bytes data;
        Import expected;
    };
    std::wstring longText;
    for (int i = 0; i < 60000; ++i)
        longText += static_cast<wchar_t>(L' ' + i % 90);
    std::wstring manyStrings;
    for (int i = 0; i < 12000; ++i)
        manyStrings += L"item" + std::to_wstring(i) + L'\0';
    const std::wstring awkward = L"abcXYZ019 \"[]@;=-_.,#\t\u00e4\u00c4\u00df\u0416\u9375";

    std::vector<Kind> kinds = {
        {L"", REG_SZ, Sz(L"the default value"), Import::Exact},
        {L"@", REG_SZ, Sz(L"not the default value"), Import::Exact},
        {awkward, REG_SZ, Sz(awkward), Import::Exact},
        {L"back\\slash\\", REG_SZ, Sz(L"\\"), Import::Exact},
        {L"sz", REG_SZ, Sz(L"C:\\Program Files\\\"quoted\"\\x.exe /a"), Import::Exact},
        {L"sz zero size", REG_SZ, {}, Import::Exact},
        {L"sz crlf", REG_SZ, Sz(L"one\r\ntwo\rthree\nfour"), Import::Exact},
        {L"sz control character", REG_SZ, Sz(L"a\x01b\tc"), Import::Exact},
        {L"sz embedded nul", REG_SZ, Utf16(std::wstring(L"a\0b\0", 4)), Import::Exact},
        {L"sz unicode", REG_SZ, Sz(L"\u00e4\u00df\u0416\u9375\U0001F600\uFEFF\uFFFF"),
         Import::Exact},
        {L"sz lone surrogate", REG_SZ, Sz(L"a\xD800z"), Import::Exact},
        {L"sz odd size, whole characters end in nul", REG_SZ, {0x61, 0, 0, 0, 0x78}, Import::Exact},
        {L"sz no nul", REG_SZ, Utf16(L"abc"), Import::NulAppended},
        {L"sz odd size", REG_SZ, {0x61, 0, 0x62}, Import::OddByteLost},
        {L"sz over 100 KB", REG_SZ, Sz(longText), Import::Exact},
        {L"expand", REG_EXPAND_SZ, Sz(L"%TEMP%\\x \"y\"\r\n"), Import::Exact},
        {L"expand no nul", REG_EXPAND_SZ, Utf16(L"%TEMP%"), Import::NulAppended},
        {L"multi", REG_MULTI_SZ, Utf16(std::wstring(L"a\0b c\0\0", 7)), Import::Exact},
        {L"multi zero size", REG_MULTI_SZ, {}, Import::Exact},
        {L"multi no nul", REG_MULTI_SZ, Utf16(L"a"), Import::NulAppended},
        {L"multi over 100 KB", REG_MULTI_SZ, Utf16(manyStrings + L'\0'), Import::Exact},
        {L"dword", REG_DWORD, Dword(0xDEADBEEF), Import::Exact},
        {L"dword zero size", REG_DWORD, {}, Import::Exact},
        {L"dword 2 bytes", REG_DWORD, {0x0a, 0x00}, Import::Exact},
        {L"dword big endian", REG_DWORD_BIG_ENDIAN, Dword(7), Import::Exact},
        {L"link", REG_LINK, Utf16(L"\\Registry\\Machine"), Import::Exact},
        {L"resource list", REG_RESOURCE_LIST, Pattern(40, 2), Import::Exact},
        {L"resource descriptor", REG_FULL_RESOURCE_DESCRIPTOR, Pattern(3, 3), Import::Exact},
        {L"requirements", REG_RESOURCE_REQUIREMENTS_LIST, Pattern(21, 4), Import::Exact},
        {L"qword", REG_QWORD, Pattern(8, 5), Import::Exact},
        {L"qword 3 bytes", REG_QWORD, {1, 2, 3}, Import::Exact},
        {L"none", REG_NONE, {}, Import::Exact},
        {L"binary 22", REG_BINARY, Pattern(22, 9), Import::Exact},
        {L"binary over 100 KB", REG_BINARY, Pattern(150000, 11), Import::Exact},
        {L"custom 0x12345", 0x12345, Pattern(300, 12), Import::Exact},
        {L"custom 0x7fffffff", 0x7FFFFFFF, {}, Import::Exact},
        {L"custom 0xffffffff", 0xFFFFFFFF, Pattern(2, 13), Import::Exact},
        // Written as it is, this name would break its line and set the value "Injected".
        {L"v\r\n\"Injected\"=hex:02,;", REG_SZ, Sz(L"data"), Import::Exact},
    };
    // Wine's 64-bit regedit reads before the data of a one-byte string value and crashes,
    // losing the rest of the import; its 32-bit one reads a stray byte instead.
    if (sizeof(void*) == 4) kinds.push_back({L"sz one byte", REG_SZ, {0x61}, Import::Undefined});
    std::vector<std::wstring> inexact;
    {
        auto key = CreateKey(Path(L"Tree"));
        for (const Kind& kind : kinds) {
            SetRaw(key.get(), kind.name, kind.type, kind.data);
            if (kind.expected != Import::Exact)
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
    // What the registry editor is known to give back.
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(ToUtf8(kind.name));
        auto it = after.values.find(kind.name);
        ASSERT_NE(it, after.values.end());
        ExpectImport(kind.expected, before.values.at(kind.name), it->second);
    }
    Tree expected = before;
    expected.keys.erase(evilKey);
    EXPECT_TRUE(after == expected) << "the registry editor did not give back the tree";
    // Exactly the named exceptions are the backup's omissions.
    std::vector<std::wstring> omissions = BackupOmissions();
    std::ranges::sort(omissions);
    std::ranges::sort(inexact);
    EXPECT_EQ(omissions, inexact);
}
