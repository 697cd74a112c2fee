// Ostrel's model against the real registry, shell links and files of the test prefix: what is
// listed, what a rescan keeps, and removal with its backup brought back by the registry editor.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <algorithm>
#include <tuple>
#include "common/registry.h"
#include "common/text.h"
#include "tests/support/test_files.h"
#include "tests/support/registry_snapshot.h"
#include "tools/ostrel/startup_entries.h"

namespace mdr {
namespace {
using test::TempFolder;

constexpr wchar_t kPlanted[] = L"MDRTestOstrel";

class StartupEntriesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CoInitialize(nullptr);
        RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        run_.put(), nullptr);
        ASSERT_TRUE(run_);
        CreateDirectoryW(backup_.c_str(), nullptr);
    }
    void TearDown() override {
        for (const wchar_t* name : {kPlanted, L"MDRTestOstrel2", L""})
            RegDeleteValueW(run_.get(), name);
        for (const std::wstring& name : odd_)
            RegDeleteValueW(run_.get(), name.c_str());
        CoUninitialize();
    }
    void Plant(const wchar_t* name, const std::wstring& data, DWORD type = REG_SZ) {
        RegSetValueExW(run_.get(), name, 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    }
    std::vector<StartupEntry> Ours(const std::vector<StartupEntry>& all) {
        std::vector<StartupEntry> ours;
        for (const StartupEntry& e : all)
            if (e.name.starts_with(kPlanted) || e.type == kFolderType) ours.push_back(e);
        return ours;
    }

    UniqueHkey run_;
    std::vector<std::wstring> odd_;
    TempFolder temp_;
    std::wstring startup_ = temp_ / L"";
    std::wstring backup_ = temp_ / L"Backup\\";
};

TEST_F(StartupEntriesTest, ListsRunValuesAndStartupFolderFiles) {
    Plant(kPlanted, L"%SystemRoot%\\system32\\notepad.exe /a", REG_EXPAND_SZ);
    Plant(L"", L"C:\\unnamed.exe"); // the default value is no entry
    const std::wstring notepad = L"C:\\windows\\system32\\notepad.exe";
    ASSERT_TRUE(
        CreateShortcut(notepad, startup_ + L"App.lnk", L"-tray", L"", L"C:\\", 1, notepad, 0));
    test::WriteFileBytes(startup_ + L"desktop.ini", "[x]");
    test::WriteFileBytes(startup_ + L"Script.bat", "");

    auto first = Ours(ScanStartupEntries({}, startup_));
    std::sort(first.begin(), first.end(),
              [](const StartupEntry& a, const StartupEntry& b) { return a.name < b.name; });
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(first[0].name, L"App");
    EXPECT_EQ(first[0].startupString, L"\"" + startup_ + L"App.lnk\" \"-tray\"");
    EXPECT_EQ(first[0].root, 0u);
    EXPECT_FALSE(first[0].fileMissing);
    EXPECT_EQ(first[1].name, kPlanted);
    EXPECT_EQ(first[1].startupString, notepad + L" /a");
    EXPECT_EQ(first[1].type, kRegistryType);
    EXPECT_EQ(first[1].location, kRunKey);
    EXPECT_FALSE(first[1].fileMissing);
    // A Run value naming a shortcut stands for the shortcut's target, as a folder entry does.
    StartupEntry viaShortcut = first[1];
    viaShortcut.startupString = L"\"" + startup_ + L"App.lnk\" /x";
    EXPECT_EQ(EntryFile(viaShortcut), notepad);
    EXPECT_EQ(first[2].name, L"Script");
    EXPECT_EQ(first[2].startupString, L"\"" + startup_ + L"Script.bat\"");

    // Desktop.ini in another case is an ordinary file. (A rescan keeping ids is Ostrel's
    // refresh, driven end to end.)
    ASSERT_TRUE(DeleteFileW((startup_ + L"desktop.ini").c_str()));
    test::WriteFileBytes(startup_ + L"Desktop.ini", "[x]");
    Plant(L"MDRTestOstrel2", L"C:\\nowhere\\missing.exe");
    const auto second = Ours(ScanStartupEntries(first, startup_));
    ASSERT_EQ(second.size(), 5u);
    for (const StartupEntry& e : second)
        EXPECT_EQ(e.fileMissing, e.name == L"MDRTestOstrel2") << ToUtf8(e.name);

    // A file deleted while the tool runs shows as missing at the next refresh.
    test::WriteFileBytes(backup_ + L"later.exe", "");
    Plant(L"MDRTestOstrel2", backup_ + L"later.exe");
    auto third = ScanStartupEntries(second, startup_);
    ASSERT_TRUE(DeleteFileW((backup_ + L"later.exe").c_str()));
    auto fourth = ScanStartupEntries(third, startup_);
    for (const StartupEntry& e : Ours(fourth))
        EXPECT_EQ(e.fileMissing, e.name == L"MDRTestOstrel2") << ToUtf8(e.name);
    // And one that comes back is found again, although a missing file's search is kept.
    test::WriteFileBytes(backup_ + L"later.exe", "");
    for (const StartupEntry& e : Ours(ScanStartupEntries(fourth, startup_)))
        EXPECT_FALSE(e.fileMissing) << ToUtf8(e.name);
}

// Whatever other programs write: names as long as the registry allows, every type and size of
// data, and a startup-folder file whose icon directory lies. Each is listed, and none hides the
// ones after it, here or in MDR's walks.
TEST_F(StartupEntriesTest, NoValueIsHiddenByItsNameOrData) {
    using namespace std::string_literals;
    const std::wstring lying = temp_ / L"lying.ico";
    ASSERT_TRUE(test::WriteFileBytes(lying, test::IconFile(65535, 40, 22)));
    const std::string big(65536, 'a');
    const std::tuple<size_t, DWORD, std::string> cases[] = {{8191, REG_SZ, test::Utf16Bytes(lying)},
                                                            {8192, REG_SZ, test::Utf16Bytes(lying)},
                                                            {16383, REG_SZ, "C\0:\0\\\0"s},
                                                            {20, REG_NONE, "\1\2"s},
                                                            {21, REG_BINARY, big},
                                                            {22, REG_MULTI_SZ, "a\0\0\0b\0\0\0"s},
                                                            {23, REG_QWORD, std::string(8, '\xFF')},
                                                            {24, REG_SZ, "odd"s},
                                                            {25, REG_DWORD, "\xFF\xFF"s},
                                                            {26, REG_EXPAND_SZ, big}};
    for (const auto& [nameLength, type, data] : cases) {
        odd_.push_back(kPlanted + std::wstring(nameLength - wcslen(kPlanted), L'x'));
        ASSERT_EQ(RegSetValueExW(run_.get(), odd_.back().c_str(), 0, type,
                                 reinterpret_cast<const BYTE*>(data.data()),
                                 static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
    }
    std::vector<std::wstring> expected = odd_, listed, walked;
    expected.push_back(L"lying");
    for (const StartupEntry& e : Ours(ScanStartupEntries({}, startup_)))
        listed.push_back(e.name);
    std::vector<ValueRef> values;
    CollectValueNames(kHkcu, kRunKey, values);
    for (const ValueRef& v : values)
        if (v.valueName.starts_with(kPlanted)) walked.push_back(v.valueName);
    walked.push_back(L"lying");
    for (auto* names : {&expected, &listed, &walked})
        std::sort(names->begin(), names->end());
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(walked, expected);
}

TEST_F(StartupEntriesTest, ListsTheRunKeyOfThirtyTwoBitProgramsToo) {
    if (sizeof(void*) == 4) GTEST_SKIP() << "the 32-bit edition sees one view";
    const std::wstring twin = L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
    test::SetString(HKEY_LOCAL_MACHINE, twin, kPlanted, L"C:\\windows\\system32\\notepad.exe /w");
    const auto ours = Ours(ScanStartupEntries({}, startup_));
    test::DeleteValue(HKEY_LOCAL_MACHINE, twin, kPlanted);
    ASSERT_EQ(ours.size(), 1u);
    EXPECT_EQ(ours[0].startupString, L"C:\\windows\\system32\\notepad.exe /w");
    EXPECT_EQ(ours[0].type, L"Registry (32-bit)");
}

// The 32-bit edition on 64-bit Windows lists the machine's 64-bit Run key too, and each view's
// values are governed by their own approval key.
TEST_F(StartupEntriesTest, SeesTheSixtyFourBitRunKeyFromThirtyTwoBits) {
    if (NativeView() == 0) GTEST_SKIP() << "only a 32-bit program on 64-bit Windows";
    UniqueHkey run64;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRunKey, 0, nullptr, 0,
                              KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, run64.put(), nullptr),
              ERROR_SUCCESS);
    const std::wstring data = L"C:\\windows\\system32\\notepad.exe /64";
    RegSetValueExW(run64.get(), kPlanted, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    test::SetString(HKEY_LOCAL_MACHINE, kRunKey, L"MDRTestOstrel2", L"C:\\x.exe");
    const auto ours = Ours(ScanStartupEntries({}, startup_));
    RegDeleteValueW(run64.get(), kPlanted);
    test::DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, L"MDRTestOstrel2");
    ASSERT_EQ(ours.size(), 2u);
    EXPECT_EQ(ours[0].name, L"MDRTestOstrel2");
    EXPECT_EQ(ours[0].approval.key, ApprovalKey::Run32);
    EXPECT_EQ(ours[1].startupString, data);
    EXPECT_EQ(ours[1].type, L"Registry (64-bit)");
    EXPECT_EQ(ours[1].approval.key, ApprovalKey::Run);
}

// Removal and its backup brought back by the registry editor are driven end to end through
// Ostrel; here the refusals.
TEST_F(StartupEntriesTest, NothingIsDeletedWithoutABackupOrWhatIsGone) {
    Plant(kPlanted, L"C:\\Tools\\tray.exe /min \"quoted\"");
    StartupEntry entry;
    entry.root = kHkcu;
    entry.location = kRunKey;
    entry.name = kPlanted;
    entry.type = kRegistryType;

    // No folder to write the backup into: nothing is deleted.
    EXPECT_EQ(RemoveStartupEntry(entry, temp_ / L"NoSuchFolder\\").outcome,
              RemoveResult::BackupFailed);
    EXPECT_EQ(ValueExists(kHkcu, kRunKey, kPlanted), 1);

    // Gone meanwhile: reported as not removed, and no backup is written.
    RegDeleteValueW(run_.get(), kPlanted);
    EXPECT_EQ(RemoveStartupEntry(entry, backup_).outcome, RemoveResult::NotRemoved);
    EXPECT_TRUE(test::FilesIn(backup_).empty());
}

// A file the Recycle Bin refuses is copied beside the backups, then deleted; without a folder
// to copy into it stays.
TEST_F(StartupEntriesTest, AFileTheRecycleBinRefusesIsCopiedFirst) {
    SetRecycleForTesting([](const std::wstring&) { return false; });
    const std::wstring file = startup_ + L"Tray.bat";
    test::WriteFileBytes(file, "@echo tray\r\n");
    EXPECT_FALSE(RemoveFile(file, L""));
    EXPECT_TRUE(test::FileExists(file));
    ASSERT_TRUE(RemoveFile(file, backup_));
    SetRecycleForTesting(nullptr);
    EXPECT_FALSE(test::FileExists(file));
    WIN32_FIND_DATAW found{};
    UniqueFind folder(FindFirstFileW((backup_ + L"Ostrel_*").c_str(), &found));
    ASSERT_TRUE(folder);
    EXPECT_EQ(test::ReadFileBytes(backup_ + found.cFileName + L"\\Tray.bat"), "@echo tray\r\n");
}

TEST(StartupCommands, AddRefusesNamesThatLeaveTheFolder) {
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"Tray", true},       {L" My App ", true}, {L"a.b", true},      {L"Console", true},
        {L"..\\x", false},     {L"a\\b", false},    {L"a/b", false},     {L"C:x", false},
        {L"a..b", false},      {L"CON", false},     {L"nul.txt", false}, {L"Com1", false},
        {L"LPT9 .lnk", false}, {L"COM0", true},     {L"a*b", false},
    };
    for (const auto& [name, safe] : cases)
        EXPECT_EQ(IsSafeEntryName(name), safe) << ToUtf8(name);
}

TEST(StartupApproval, ByteRuleReadsWhatWindowsWrites) {
    using namespace std::string_literals;
    const std::string twelve = "\3\0\0\0\1\2\3\4\5\6\7\10"s;
    const std::tuple<DWORD, std::string, bool> cases[] = {
        {REG_BINARY, "\2"s + std::string(11, '\0'), false},
        {REG_BINARY, twelve, true},
        {REG_BINARY, "\6"s + std::string(11, '\0'), false},
        {REG_BINARY, "\7"s + std::string(11, '\1'), true},
        {REG_BINARY, "", false},
        {REG_BINARY, "\3", true},
        {REG_BINARY, twelve + std::string(8, '\0'), true}, // 20 bytes
        {REG_DWORD, "\3\0\0\0"s, false},
        {REG_SZ, "3\0"s, false},
    };
    for (const auto& [type, bytes, disabled] : cases)
        EXPECT_EQ(ApprovalDisables(type, bytes), disabled) << type << " size " << bytes.size();

    const FILETIME when{0x11223344, 0x55667788};
    EXPECT_EQ(ApprovalBytes(true, when), "\3\0\0\0\x44\x33\x22\x11\x88\x77\x66\x55"s);
    EXPECT_EQ(ApprovalBytes(false, when), "\2"s + std::string(11, '\0'));
}

TEST(StartupApproval, EachSourceGoesToItsKey) {
    const wchar_t* const none = L"";
    const std::tuple<SourceKind, RootKey, bool, RootKey, const wchar_t*> cases[] = {
        {SourceKind::Run, kHkcu, false, kHkcu, L"Run"},
        {SourceKind::Run, kHklm, false, kHklm, L"Run"},
        {SourceKind::Run, kHklm, true, kHklm, L"Run32"},
        {SourceKind::UserFolder, 0, false, kHkcu, L"StartupFolder"},
        {SourceKind::CommonFolder, 0, false, kHklm, L"StartupFolder"},
        {SourceKind::RunOnce, kHklm, false, 0, none},
        {SourceKind::RunOnce, kHkcu, true, 0, none},
        {SourceKind::Always, kHklm, false, 0, none},
    };
    for (const auto& [kind, root, wow, wantRoot, wantKey] : cases) {
        const ApprovalPlace place = ApprovalPlaceOf(kind, root, wow, L"App.lnk");
        EXPECT_EQ(place.root, wantRoot) << static_cast<int>(kind) << wow;
        if (wantRoot == 0) continue;
        EXPECT_EQ(ApprovalKeyPath(place.key),
                  std::wstring(L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                               L"StartupApproved\\") +
                      wantKey);
        EXPECT_EQ(place.value, L"App.lnk");
    }
}

TEST(StartupApproval, WinlogonDefaultsIgnoreCaseBlanksAndTheComma) {
    const wchar_t system[] = L"C:\\Windows\\system32\\";
    const std::tuple<const wchar_t*, const wchar_t*, bool> cases[] = {
        {L"Shell", L"explorer.exe", true},
        {L"Shell", L"Explorer.EXE", true},
        {L"Shell", L"  explorer.exe ", true},
        {L"Shell", L"explorer.exe,", false},
        {L"Shell", L"explorer.exe evil.exe", false},
        {L"Shell", L"", false},
        {L"Userinit", L"C:\\Windows\\system32\\userinit.exe,", true},
        {L"Userinit", L"c:\\windows\\SYSTEM32\\USERINIT.EXE", true},
        {L"Userinit", L" C:\\Windows\\system32\\userinit.exe, ", true},
        {L"Userinit", L"C:\\Windows\\system32\\userinit.exe,C:\\x.exe", false},
        {L"Userinit", L"userinit.exe,", false},
        {L"Userinit", L"C:\\Windows\\system32\\userinit.exe ,", false},
    };
    for (const auto& [name, data, isDefault] : cases)
        EXPECT_EQ(IsWinlogonDefault(name, data, system), isDefault) << ToUtf8(data);
}

TEST(StartupCommands, AddedCommandsAndWrites) {
    EXPECT_EQ(AddedCommand(L"C:\\a b\\x.exe", L""), L"\"C:\\a b\\x.exe\"");
    EXPECT_EQ(AddedCommand(L"C:\\x.exe", L"-a \"b\""), L"\"C:\\x.exe\" -a \"b\"");
    // The key is never created.
    EXPECT_FALSE(WriteRunValue(kHkcu, L"Software\\MDRTests\\NoSuchRunKey\\", L"a", L"b"));
    EXPECT_FALSE(DeleteRunValue(kHkcu, L"Software\\MDRTests\\NoSuchRunKey", L"a"));
}
} // namespace
} // namespace mdr
