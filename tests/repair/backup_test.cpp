// Backups of real registry keys: the file's bytes, and round trips through the real registry
// editor (back up, delete, "regedit /s", compare every key, value type and value byte).
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>
#include <shlwapi.h>
#include <algorithm>
#include <iostream>
#include <map>
#include <random>
#include <set>
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

Bytes Utf16(std::wstring_view text) {
    const std::string bytes = mdr::test::Utf16Bytes(text);
    return Bytes(bytes.begin(), bytes.end());
}
Bytes Sz(std::wstring_view text) {
    return Utf16(std::wstring(text) + L'\0');
}
Bytes Dword(DWORD v) {
    return {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16),
            static_cast<BYTE>(v >> 24)};
}
Bytes Pattern(size_t n, unsigned seed) {
    std::mt19937 random(seed);
    Bytes bytes(n);
    for (auto& b : bytes)
        b = static_cast<BYTE>(random());
    return bytes;
}

using Value = mdr::test::RegValue;
using Tree = mdr::test::RegTree;
using mdr::test::ImportWithRegedit;

bool ReadTree(HKEY root, const std::wstring& path, Tree& tree) {
    return mdr::test::ReadRegTree(root, path, tree);
}

std::string Shown(std::wstring_view s) {
    std::wstring out;
    for (wchar_t c : s) {
        if (c < 0x20)
            out += L"\\x" + std::to_wstring(c);
        else
            out += c;
    }
    return ToUtf8(out);
}

std::string Describe(const Value& v) {
    return "type " + std::to_string(v.type) + ", " + std::to_string(v.data.size()) +
           " bytes: " + ToUtf8(BytesToHexList(v.data.data(), std::min<size_t>(v.data.size(), 24)));
}

// Every difference, as readable lines.
void Diff(const Tree& want, const Tree& got, const std::wstring& path,
          std::vector<std::string>& out) {
    for (const auto& [name, value] : want.values) {
        auto it = got.values.find(name);
        if (it == got.values.end())
            out.push_back(Shown(path) + " -> \"" + Shown(name) + "\": missing");
        else if (!(it->second == value))
            out.push_back(Shown(path) + " -> \"" + Shown(name) + "\": want " + Describe(value) +
                          "; got " + Describe(it->second));
    }
    for (const auto& [name, value] : got.values) {
        if (!want.values.count(name)) {
            out.push_back(Shown(path) + " -> \"" + Shown(name) + "\": unexpected");
        }
    }
    for (const auto& [name, tree] : want.keys) {
        auto it = got.keys.find(name);
        if (it == got.keys.end())
            out.push_back(Shown(path + L"\\" + name) + ": key missing");
        else
            Diff(tree, it->second, path + L"\\" + name, out);
    }
    for (const auto& [name, tree] : got.keys) {
        if (!want.keys.count(name)) out.push_back(Shown(path + L"\\" + name) + ": unexpected key");
    }
}

std::string DiffText(const Tree& want, const Tree& got) {
    std::vector<std::string> lines;
    Diff(want, got, L"", lines);
    std::string text;
    for (const auto& line : lines)
        text += line + "\n";
    return text;
}

UniqueHkey CreateKey(const std::wstring& path) {
    UniqueHkey key;
    LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, key.put(), nullptr);
    EXPECT_EQ(rc, ERROR_SUCCESS) << Shown(path);
    return key;
}

// Stores exactly data. RegSetValueExW takes a NUL that directly follows string data into the
// value, so the bytes after the data are never NUL here.
void SetRaw(HKEY key, const std::wstring& name, DWORD type, const Bytes& data) {
    Bytes padded = data;
    padded.insert(padded.end(), 4, 0xEE);
    ASSERT_EQ(
        RegSetValueExW(key, name.c_str(), 0, type, padded.data(), static_cast<DWORD>(data.size())),
        ERROR_SUCCESS)
        << Shown(name);
}

std::wstring TempFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return temp;
}

// Imports a .reg file with the system registry editor and waits for it.
std::wstring ReadBackupText(const std::wstring& path) {
    std::string bytes;
    EXPECT_EQ(ReadFileBytes(path, bytes), FileState::Ok);
    EXPECT_GE(bytes.size(), 2u);
    if (bytes.size() < 2) return L"";
    EXPECT_EQ(static_cast<BYTE>(bytes[0]), 0xFF);
    EXPECT_EQ(static_cast<BYTE>(bytes[1]), 0xFE);
    EXPECT_EQ(bytes.size() % 2, 0u);
    std::wstring text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        text += static_cast<wchar_t>(static_cast<BYTE>(bytes[i]) |
                                     (static_cast<BYTE>(bytes[i + 1]) << 8));
    return text;
}

const std::wstring kHeader = RegFileHeader(mdr::test::kVersionText);

// What the registry editor gives back for a value written by the backup. String-typed data
// (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) whose last whole UTF-16 character is not NUL gets a NUL
// character written after that character: with an even size it is appended; with an odd size it
// overwrites the odd byte and one byte of whatever the editor's buffer held follows; a single
// byte makes the editor look before its buffer.
enum class Import { Exact, NulAppended, OddByteLost, Undefined };

Import ExpectedImport(DWORD type, const Bytes& data) {
    const bool text = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
    if (!text || data.empty()) return Import::Exact;
    if (data.size() < 2) return Import::Undefined;
    const size_t last = data.size() / 2 * 2 - 2; // the last whole character
    if (data[last] == 0 && data[last + 1] == 0) return Import::Exact;
    return data.size() % 2 ? Import::OddByteLost : Import::NulAppended;
}

// The whole characters and a NUL character.
Bytes WithNulAppended(const Bytes& data) {
    Bytes out(data.begin(), data.begin() + data.size() / 2 * 2);
    out.push_back(0);
    out.push_back(0);
    return out;
}

// Checks what came back against ExpectedImport; replaces the bytes that cannot be predicted
// with the expected ones so that whole trees can be compared.
void ExpectImport(const Value& original, Value& restored) {
    const Bytes nul = WithNulAppended(original.data);
    switch (ExpectedImport(original.type, original.data)) {
    case Import::Exact:
        break;
    case Import::NulAppended:
        EXPECT_EQ(restored.data, nul) << Describe(restored);
        restored.data = original.data;
        break;
    case Import::OddByteLost:
        EXPECT_EQ(restored.data.size(), original.data.size() + 2) << Describe(restored);
        EXPECT_TRUE(std::equal(nul.begin(), nul.end(), restored.data.begin(),
                               restored.data.begin() + std::min(nul.size(), restored.data.size())))
            << Describe(restored);
        restored.data = original.data;
        break;
    case Import::Undefined:
        restored.data = original.data;
        break;
    }
}

class Backup : public testing::Test {
  protected:
    void SetUp() override {
        CreateKey(kBase);
        file_ =
            TempFolder() + L"mdr_backup_test_" + std::to_wstring(GetCurrentProcessId()) + L".reg";
    }
    void TearDown() override {
        CloseBackupFile();
        SHDeleteKeyW(HKEY_CURRENT_USER, kBase.c_str());
        SHDeleteEmptyKeyW(HKEY_CURRENT_USER, L"Software\\MDRTests");
        DeleteFileW(file_.c_str());
    }

    static std::wstring Path(const std::wstring& sub) { return kBase + L"\\" + sub; }

    // Backs the key up, deletes it, imports the backup and returns what came back.
    Tree RoundTrip(const std::wstring& sub, Tree* before = nullptr) {
        const std::wstring path = Path(sub);
        Tree original, restored;
        EXPECT_TRUE(ReadTree(HKEY_CURRENT_USER, path, original));
        EXPECT_EQ(CreateBackupFile(file_), 1);
        EXPECT_EQ(BackupKey(kHkcu, path), 1);
        EXPECT_EQ(CloseBackupFile(), 1);
        EXPECT_EQ(SHDeleteKeyW(HKEY_CURRENT_USER, path.c_str()), ERROR_SUCCESS);
        ImportWithRegedit(file_);
        EXPECT_TRUE(ReadTree(HKEY_CURRENT_USER, path, restored)) << "key not restored";
        if (before) *before = original;
        return restored;
    }

    std::wstring file_;
};

} // namespace

TEST_F(Backup, FileLayoutBlocksAndDepthFirstOrder) {
    {
        auto layout = CreateKey(Path(L"Layout"));
        SetRaw(layout.get(), L"", REG_SZ, Sz(L"root"));
        SetRaw(layout.get(), L"n", REG_DWORD, Dword(10));
        auto b = CreateKey(Path(L"Layout\\B"));
        SetRaw(b.get(), L"x", REG_BINARY, {1, 2});
        CreateKey(Path(L"Layout\\B\\C"));
        auto d = CreateKey(Path(L"Layout\\D"));
        SetRaw(d.get(), L"s", REG_SZ, Sz(L"a\"b\\c"));
    }
    ASSERT_EQ(CreateBackupFile(file_), 1);
    EXPECT_EQ(BackupKey(kHkcu, Path(L"Layout")), 1);
    EXPECT_EQ(BackupValue(kHkcu, Path(L"Layout\\"), L"n"), 1);
    EXPECT_EQ(BackupSubkeys(kHkcu, Path(L"Layout\\B")), 1);
    EXPECT_EQ(BackupKeyValues(kHkcu, Path(L"Layout\\D")), 0);
    EXPECT_TRUE(BackupOmissions().empty());
    ASSERT_EQ(CloseBackupFile(), 1);

    const std::wstring layout = kBaseLine + L"\\Layout";
    EXPECT_EQ(ReadBackupText(file_),
              kHeader +
                  // BackupKey: the key, then its subtree depth first
                  layout + L"]\r\n@=\"root\"\r\n\"n\"=dword:0000000a\r\n\r\n" + layout +
                  L"\\B]\r\n\"x\"=hex:01,02\r\n\r\n" + layout + L"\\B\\C]\r\n\r\n" + layout +
                  L"\\D]\r\n\"s\"=\"a\\\"b\\\\c\"\r\n\r\n" +
                  // BackupValue
                  layout + L"]\r\n\"n\"=dword:0000000a\r\n\r\n" +
                  // BackupSubkeys
                  layout + L"\\B\\C]\r\n\r\n" +
                  // BackupKeyValues writes no empty line
                  layout + L"\\D]\r\n\"s\"=\"a\\\"b\\\\c\"\r\n");
}

// Every value type and size, each checked against the real registry editor. The named
// exceptions are the values no .reg file can carry: string-typed data (REG_SZ, REG_EXPAND_SZ,
// REG_MULTI_SZ) whose last whole UTF-16 character is not NUL comes back with a NUL appended,
// and for a single byte of such data what comes back is not even predictable.
TEST_F(Backup, RoundTripOfEveryValueKind) {
    struct Kind {
        std::wstring name;
        DWORD type;
        Bytes data;
        Import expected;
    };
    std::wstring longText;
    for (int i = 0; i < 60000; ++i)
        longText += static_cast<wchar_t>(L' ' + i % 90);
    std::wstring longLines;
    for (int i = 0; i < 10000; ++i)
        longLines += L"line\r\n";
    std::wstring manyStrings;
    for (int i = 0; i < 12000; ++i)
        manyStrings += L"item" + std::to_wstring(i) + L'\0';

    std::vector<Kind> kinds = {
        {L"", REG_SZ, Sz(L"the default value"), Import::Exact},
        {L"sz", REG_SZ, Sz(L"C:\\Program Files\\\"quoted\"\\x.exe /a"), Import::Exact},
        {L"sz empty", REG_SZ, Sz(L""), Import::Exact},
        {L"sz zero size", REG_SZ, {}, Import::Exact},
        {L"sz crlf", REG_SZ, Sz(L"one\r\ntwo\rthree\nfour"), Import::Exact},
        {L"sz tab", REG_SZ, Sz(L"a\tb\x01"), Import::Exact},
        {L"sz embedded nul", REG_SZ, Utf16(std::wstring(L"a\0b\0", 4)), Import::Exact},
        {L"sz unicode", REG_SZ, Sz(L"\u00e4\u00df\u0416\u9375\U0001F600\uFEFF\uFFFF"),
         Import::Exact},
        {L"sz lone surrogate", REG_SZ, Sz(L"a\xD800z"), Import::Exact},
        {L"sz odd size, whole characters end in nul", REG_SZ, {0x61, 0, 0, 0, 0x78}, Import::Exact},
        {L"sz no nul", REG_SZ, Utf16(L"abc"), Import::NulAppended},
        {L"sz odd size", REG_SZ, {0x61, 0, 0x62}, Import::OddByteLost},
        {L"sz over 100 KB", REG_SZ, Sz(longText), Import::Exact},
        {L"sz lines over 100 KB", REG_SZ, Sz(longLines), Import::Exact},
        {L"expand", REG_EXPAND_SZ, Sz(L"%SystemRoot%\\x.dll"), Import::Exact},
        {L"expand zero size", REG_EXPAND_SZ, {}, Import::Exact},
        {L"expand no nul", REG_EXPAND_SZ, Utf16(L"%a%"), Import::NulAppended},
        {L"multi", REG_MULTI_SZ, Utf16(std::wstring(L"a\0b c\0\0", 7)), Import::Exact},
        {L"multi empty", REG_MULTI_SZ, Utf16(std::wstring(L"\0", 1)), Import::Exact},
        {L"multi zero size", REG_MULTI_SZ, {}, Import::Exact},
        {L"multi no nul", REG_MULTI_SZ, Utf16(L"a"), Import::NulAppended},
        {L"multi over 100 KB", REG_MULTI_SZ, Utf16(manyStrings + L'\0'), Import::Exact},
        {L"dword 0", REG_DWORD, Dword(0), Import::Exact},
        {L"dword max", REG_DWORD, Dword(0xFFFFFFFF), Import::Exact},
        {L"dword zero size", REG_DWORD, {}, Import::Exact},
        {L"dword 2 bytes", REG_DWORD, {0x0a, 0x00}, Import::Exact},
        {L"dword 8 bytes", REG_DWORD, Pattern(8, 1), Import::Exact},
        {L"big endian", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1}, Import::Exact},
        {L"link", REG_LINK, Utf16(L"\\Registry\\Machine"), Import::Exact},
        {L"resource list", REG_RESOURCE_LIST, Pattern(40, 2), Import::Exact},
        {L"resource descriptor", REG_FULL_RESOURCE_DESCRIPTOR, Pattern(3, 3), Import::Exact},
        {L"requirements", REG_RESOURCE_REQUIREMENTS_LIST, Pattern(21, 4), Import::Exact},
        {L"qword", REG_QWORD, Pattern(8, 5), Import::Exact},
        {L"qword zero size", REG_QWORD, {}, Import::Exact},
        {L"qword 3 bytes", REG_QWORD, {1, 2, 3}, Import::Exact},
        {L"none", REG_NONE, {}, Import::Exact},
        {L"none with bytes", REG_NONE, Pattern(22, 6), Import::Exact},
        {L"binary zero size", REG_BINARY, {}, Import::Exact},
        {L"binary 1", REG_BINARY, {0x00}, Import::Exact},
        {L"binary 20", REG_BINARY, Pattern(20, 7), Import::Exact},
        {L"binary 21", REG_BINARY, Pattern(21, 8), Import::Exact},
        {L"binary 22", REG_BINARY, Pattern(22, 9), Import::Exact},
        {L"binary 41", REG_BINARY, Pattern(41, 10), Import::Exact},
        {L"binary over 100 KB", REG_BINARY, Pattern(150000, 11), Import::Exact},
        {L"custom 0x12345", 0x12345, Pattern(5, 12), Import::Exact},
        {L"custom 0x7fffffff", 0x7FFFFFFF, {}, Import::Exact},
        {L"custom 0xffffffff", 0xFFFFFFFF, Pattern(2, 13), Import::Exact},
    };
    // Wine's 64-bit regedit reads before the data of a one-byte string value and crashes,
    // losing the rest of the import; its 32-bit one reads a stray byte instead.
    if (sizeof(void*) == 4) kinds.push_back({L"sz one byte", REG_SZ, {0x61}, Import::Undefined});
    {
        auto key = CreateKey(Path(L"Kinds"));
        for (const Kind& kind : kinds)
            SetRaw(key.get(), kind.name, kind.type, kind.data);
    }
    Tree before;
    Tree after = RoundTrip(L"Kinds", &before);

    std::vector<std::wstring> inexact;
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(Shown(kind.name));
        const Value original{kind.type, kind.data};
        ASSERT_EQ(before.values[kind.name], original) << "not stored as given";
        EXPECT_EQ(ExpectedImport(kind.type, kind.data), kind.expected);
        auto it = after.values.find(kind.name);
        ASSERT_NE(it, after.values.end()) << "not restored";
        EXPECT_EQ(it->second.type, kind.type);
        if (kind.expected != Import::Exact)
            inexact.push_back(L"HKEY_CURRENT_USER\\" + Path(L"Kinds") + L" -> " + kind.name);
        ExpectImport(original, it->second);
        EXPECT_EQ(it->second.data, kind.data) << Describe(it->second);
    }
    EXPECT_EQ(after.values.size(), kinds.size());
    // The backup names exactly the values it cannot give back.
    std::vector<std::wstring> omissions = BackupOmissions();
    std::sort(omissions.begin(), omissions.end());
    std::sort(inexact.begin(), inexact.end());
    EXPECT_EQ(omissions, inexact);
}

TEST_F(Backup, LineBreaksInNamesCannotSmuggleLinesIntoTheImport) {
    // Written as they are, these names would break their line, and the rest would be read as a
    // line of its own that sets the value "Injected".
    const std::wstring evilKey = L"k\n\"Injected\"=hex:01,;";
    const std::wstring evilValue = L"v\r\n\"Injected\"=hex:02,;";
    {
        auto top = CreateKey(Path(L"Breaks"));
        SetRaw(top.get(), evilValue, REG_SZ, Sz(L"data"));
        SetRaw(top.get(), L"plain", REG_DWORD, Dword(3));
        auto evil = CreateKey(Path(L"Breaks\\" + evilKey));
        SetRaw(evil.get(), L"inside", REG_DWORD, Dword(4));
        auto sibling = CreateKey(Path(L"Breaks\\zz after"));
        SetRaw(sibling.get(), L"after", REG_DWORD, Dword(5));
    }
    Tree before;
    Tree after = RoundTrip(L"Breaks", &before);

    // Every CR and LF of the file belongs to a line end.
    std::wstring text = ReadBackupText(file_);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r') {
            EXPECT_TRUE(i + 1 < text.size() && text[i + 1] == L'\n') << i;
        }
        if (text[i] == L'\n') {
            EXPECT_TRUE(i > 0 && text[i - 1] == L'\r') << i;
        }
    }
    for (const auto& line : Split(text, L'\n')) {
        EXPECT_NE(line.rfind(L"\"Injected\"", 0), 0u);
    }

    // The key that cannot be named is left out and reported; everything else comes back.
    Tree expected = before;
    expected.keys.erase(evilKey);
    EXPECT_EQ(after, expected) << DiffText(expected, after);
    EXPECT_EQ(BackupOmissions(),
              (std::vector<std::wstring>{L"HKEY_CURRENT_USER\\" + kBase +
                                         L"\\Breaks\\k\\n\"Injected\"=hex:01,;"}));
}

// Trees made from a fixed seed: names from an alphabet of awkward characters, values of every
// common type, string data well formed or raw.
TEST_F(Backup, RoundTripOfRandomTrees) {
    std::mt19937 random(0x4D445231);
    const std::wstring alphabet =
        L"abcXYZ019 \"[]@;=-_.,#\t\u00e4\u00c4\u00df\u0416\u0436\u9375\u00e9";
    const DWORD types[] = {REG_NONE,     REG_SZ,    REG_EXPAND_SZ,        REG_BINARY, REG_DWORD,
                           REG_MULTI_SZ, REG_QWORD, REG_DWORD_BIG_ENDIAN, 0x12345};
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    auto randomName = [&](int maxLength) {
        std::wstring name;
        int length = 1 + pick(maxLength);
        for (int i = 0; i < length; ++i)
            name += alphabet[pick(static_cast<int>(alphabet.size()))];
        return name;
    };
    auto randomData = [&](DWORD type) {
        const bool text = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
        if (text && pick(5) != 0) {
            const std::wstring chars = alphabet + L"\\\r\n\x01";
            std::wstring s;
            int length = pick(40);
            for (int i = 0; i < length; ++i)
                s += chars[pick(static_cast<int>(chars.size()))];
            if (type == REG_MULTI_SZ) s += std::wstring(L"\0second\0", 8);
            return Sz(s);
        }
        if (type == REG_DWORD && pick(4) != 0) return Dword(static_cast<DWORD>(random()));
        return Pattern(pick(5) == 0 ? 200 + pick(400) : pick(45), static_cast<unsigned>(random()));
    };
    // Names differing only in letter case are the same name to the registry.
    auto unique = [](std::set<std::wstring>& seen, const std::wstring& name) {
        return seen.insert(ToLower(name)).second;
    };

    int valuesMade = 0, inexactMade = 0;
    auto build = [&](auto& self, const std::wstring& path, int depth) -> void {
        auto key = CreateKey(path);
        std::set<std::wstring> seenValues;
        for (int i = pick(7); i > 0; --i) {
            std::wstring name = pick(6) == 0 ? L"" : randomName(12);
            if (!unique(seenValues, name)) continue;
            DWORD type = types[pick(static_cast<int>(std::size(types)))];
            Bytes data = randomData(type);
            SetRaw(key.get(), name, type, data);
            ++valuesMade;
            Import expected = ExpectedImport(type, data);
            if (expected != Import::Exact) ++inexactMade;
        }
        if (depth >= 3) return;
        std::set<std::wstring> seenKeys;
        for (int i = pick(4); i > 0; --i) {
            std::wstring name = randomName(16);
            if (unique(seenKeys, name)) self(self, path + L"\\" + name, depth + 1);
        }
    };

    {
        const std::wstring sub = L"Random";
        valuesMade = inexactMade = 0;
        build(build, Path(sub), 0);

        Tree before;
        Tree after = RoundTrip(sub, &before);
        // What the registry editor is known to give back.
        auto expect = [&](auto& self, const Tree& want, Tree& got) -> void {
            for (const auto& [name, value] : want.values) {
                auto it = got.values.find(name);
                if (it != got.values.end() && it->second.type == value.type)
                    ExpectImport(value, it->second);
            }
            for (const auto& [name, child] : want.keys) {
                auto it = got.keys.find(name);
                if (it != got.keys.end()) self(self, child, it->second);
            }
        };
        expect(expect, before, after);
        EXPECT_EQ(after, before) << DiffText(before, after);
        EXPECT_EQ(static_cast<int>(BackupOmissions().size()), inexactMade);
        std::cout << valuesMade << " values, " << inexactMade
                  << " with string data that does not end in a NUL\n";
        SHDeleteKeyW(HKEY_CURRENT_USER, Path(sub).c_str());
    }
}
