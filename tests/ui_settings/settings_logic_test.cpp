// Pure logic behind the Settings window (typed subkeys, .mdr files, file names, languages) and
// tool discovery over real description files in a temporary folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/localization.h"
#include "core/skip_rules.h"
#include "app/tools.h"
#include "common/ini.h"
#include "common/text.h"
#include "scan/engine_state.h"
#include "tests/support/driver.h"
#include "ui/settings_window.h"

namespace {

using mdr::IniFile;
using mdr::SkipMapEntry;

std::string Narrow(const std::wstring& s) {
    return mdr::ToUtf8(s);
}

// ---- Typed subkeys and duplicate rows ----

TEST(ExceptionInput, TrimsBlanksAndOneTrailingBackslash) {
    EXPECT_EQ(mdr::ExceptionSubkeyFromInput(L"Software\\Foo\\"), L"Software\\Foo");
    EXPECT_EQ(mdr::ExceptionSubkeyFromInput(L"  Software\\Foo\\  "), L"Software\\Foo");
    EXPECT_EQ(mdr::ExceptionSubkeyFromInput(L"Software\\Foo\\\\"), L"Software\\Foo\\");
    EXPECT_EQ(mdr::ExceptionSubkeyFromInput(L"Software\\*"), L"Software\\*");
    // Nothing left means nothing typed.
    EXPECT_EQ(mdr::ExceptionSubkeyFromInput(L""), L"");
    EXPECT_EQ(mdr::ExceptionSubkeyFromInput(L" \t "), L"");
    EXPECT_EQ(mdr::ExceptionSubkeyFromInput(L"\\"), L"");
}

TEST(ExceptionInput, DuplicatesIgnoreCaseAndBlanksButNotTheRoot) {
    const std::vector<SkipMapEntry> rows = {{mdr::kHkcu, L"Software\\Foo"},
                                            {mdr::kHklm, L" Software\\Bar "}};
    EXPECT_TRUE(mdr::HasExceptionRow(rows, mdr::kHkcu, L"software\\FOO"));
    EXPECT_TRUE(mdr::HasExceptionRow(rows, mdr::kHkcu, L"  Software\\Foo "));
    EXPECT_TRUE(mdr::HasExceptionRow(rows, mdr::kHklm, L"software\\bar"));
    EXPECT_FALSE(mdr::HasExceptionRow(rows, mdr::kHklm, L"Software\\Foo"));
    EXPECT_FALSE(mdr::HasExceptionRow(rows, mdr::kHkcu, L"Software\\Foo\\Sub"));
    EXPECT_FALSE(mdr::HasExceptionRow({}, mdr::kHkcu, L"Software\\Foo"));
}

// ---- .mdr files ----

TEST(ExceptionFile, WritesOneNumberedGroupPerRowInOrder) {
    const std::vector<SkipMapEntry> rows = {{mdr::kHklm, L"Software\\Vendor\\App\\"},
                                            {mdr::kHkcu, L"Software\\Mine"},
                                            {mdr::kHkcr, L"CLSID\\{1}\\*"}};
    const std::wstring text = mdr::ExceptionFileFor(rows).ToText();
    EXPECT_EQ(text, L"[EX_0]\r\nMainKey=HKEY_LOCAL_MACHINE\r\nSubKey=Software\\Vendor\\App\r\n"
                    L"\r\n[EX_1]\r\nMainKey=HKEY_CURRENT_USER\r\nSubKey=Software\\Mine\r\n"
                    L"\r\n[EX_2]\r\nMainKey=HKEY_CLASSES_ROOT\r\nSubKey=CLSID\\{1}\\*\r\n")
        << Narrow(text);
}

TEST(ExceptionFile, LeavesOutWhatTheFormatCannotHoldWithoutGapsInTheNumbers) {
    const std::vector<SkipMapEntry> rows = {{mdr::kHkcu, L"Software\\Broken\r\n[EX_9]"},
                                            {0x80000004u, L"Unknown\\Root"},
                                            {mdr::kHku, L".DEFAULT\\Software\\A=B"}};
    const IniFile file = mdr::ExceptionFileFor(rows);
    ASSERT_EQ(file.GroupNames(), std::vector<std::wstring>{L"EX_0"});
    EXPECT_EQ(file.GetString(L"EX_0", L"MainKey"), L"HKEY_USERS");
    EXPECT_EQ(file.GetString(L"EX_0", L"SubKey"), L".DEFAULT\\Software\\A=B");
}

TEST(ExceptionFile, ReadsGroupsInFileOrderWhateverTheirNames) {
    const IniFile file = IniFile::Parse(L"; exported list\r\n"
                                        L"[EX_7]\r\nMainKey=HKEY_CURRENT_USER\r\nSubKey=B\\\r\n"
                                        L"[EX_0]\r\nSubKey=A\r\nMainKey=HKEY_LOCAL_MACHINE\r\n"
                                        L"[Other]\r\nmainkey=HKEY_USERS\r\nsubkey=C\\\\\r\n"
                                        L"[EX_0]\r\nMainKey=HKEY_CLASSES_ROOT\r\nSubKey=D\r\n");
    const std::vector<SkipMapEntry> entries = mdr::ExceptionsFromFile(file);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].root, mdr::kHkcu);
    EXPECT_EQ(entries[0].subkey, L"B");
    EXPECT_EQ(entries[1].root, mdr::kHklm);
    EXPECT_EQ(entries[1].subkey, L"A");
    EXPECT_EQ(entries[2].root, mdr::kHku);
    EXPECT_EQ(entries[2].subkey, L"C\\") << "only one trailing backslash goes";
    // A second group of the same name is an entry of its own.
    EXPECT_EQ(entries[3].root, mdr::kHkcr);
    EXPECT_EQ(entries[3].subkey, L"D");
}

TEST(ExceptionFile, SkipsGroupsWithoutAKnownRootOrASubkey) {
    const IniFile file =
        IniFile::Parse(L"[EX_0]\r\nMainKey=hkey_current_user\r\nSubKey=Lower\r\n"
                       L"[EX_1]\r\nMainKey=HKCU\r\nSubKey=Short\r\n"
                       L"[EX_2]\r\nSubKey=NoRoot\r\n"
                       L"[EX_3]\r\nMainKey=HKEY_CURRENT_USER\r\nSubKey=\\\r\n"
                       L"[EX_4]\r\nMainKey=HKEY_CURRENT_USER\r\n"
                       L"[EX_5]\r\nMainKey=HKEY_CURRENT_CONFIG\r\nSubKey=Kept\r\n");
    const std::vector<SkipMapEntry> entries = mdr::ExceptionsFromFile(file);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].root, mdr::kHkcc);
    EXPECT_EQ(entries[0].subkey, L"Kept");
}

TEST(ExceptionFile, RoundTripKeepsRowsAndOrder) {
    const std::vector<SkipMapEntry> rows = {{mdr::kHkcc, L"System\\Thing"},
                                            {mdr::kHklm, L"SOFTWARE\\Ünïcode ключ\\x"},
                                            {mdr::kHkcu, L"Software\\Same"},
                                            {mdr::kHkcu, L"Software\\Same"}};
    const IniFile back = IniFile::Parse(mdr::ExceptionFileFor(rows).ToText());
    const std::vector<SkipMapEntry> entries = mdr::ExceptionsFromFile(back);
    ASSERT_EQ(entries.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(entries[i].root, rows[i].root) << i;
        EXPECT_EQ(entries[i].subkey, rows[i].subkey) << i;
    }
}

// ---- Languages ----

// ---- Tool descriptions ----

TEST(ToolDescription, KeysAndDefaults) {
    const std::wstring plugins = L"C:\\Program Files\\MDR\\Plugins\\";
    const mdr::ToolInfo full = mdr::ToolFromDescription(
        IniFile::Parse(
            L"[MDRTool]\r\nMenuName=Startup manager\r\nExecutablePath=Tools\\Ostrel.exe\r\n"),
        plugins, 200);
    EXPECT_EQ(full.menuName, L"Startup manager");
    EXPECT_EQ(full.executablePath, plugins + L"Tools\\Ostrel.exe");
    EXPECT_EQ(full.menuId, 200);

    const mdr::ToolInfo bare =
        mdr::ToolFromDescription(IniFile::Parse(L"[Other]\r\nMenuName=Not here\r\n"), plugins, 201);
    EXPECT_EQ(bare.menuName, L"No information available");
    EXPECT_EQ(bare.executablePath, plugins) << "an empty path is kept; launch finds no file";
    EXPECT_EQ(bare.menuId, 201);

    // Keys are found ignoring case, as in every ini file of the program.
    const mdr::ToolInfo cased = mdr::ToolFromDescription(
        IniFile::Parse(L"[mdrtool]\r\nmenuname=Cased\r\nexecutablepath=x.exe\r\n"), plugins, 202);
    EXPECT_EQ(cased.menuName, L"Cased");
    EXPECT_EQ(cased.executablePath, plugins + L"x.exe");
}

// ---- Tool discovery over real files ----

class ToolDiscovery : public ::testing::Test {
  protected:
    void SetUp() override {
        program_ = mdr::driver::MakeTempDir(L"MdrTools");
        ASSERT_FALSE(program_.empty());
    }
    void TearDown() override { mdr::driver::RemoveTree(program_); }

    void Write(const std::wstring& relative, const std::string& bytes) {
        ASSERT_TRUE(mdr::driver::WriteFileBytes(program_ + relative, bytes));
    }

    // Names of Plugins\*.ini files as the folder lists them.
    std::vector<std::wstring> ListingOrder() {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found{};
        HANDLE find = FindFirstFileW((program_ + L"Plugins\\*.ini").c_str(), &found);
        if (find == INVALID_HANDLE_VALUE) return names;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                mdr::EndsWithNoCase(found.cFileName, L".ini"))
                names.push_back(found.cFileName);
        } while (FindNextFileW(find, &found));
        FindClose(find);
        return names;
    }

    std::wstring program_;
};

TEST_F(ToolDiscovery, MissingPluginsFolderGivesNoTools) {
    mdr::DiscoverTools(program_);
    EXPECT_TRUE(mdr::Tools().empty());
}

TEST_F(ToolDiscovery, IdsFollowTheListingAndUnusableEntriesAreSkipped) {
    ASSERT_TRUE(CreateDirectoryW((program_ + L"Plugins").c_str(), nullptr));
    Write(L"Plugins\\alpha.ini", "[MDRTool]\r\nMenuName=Alpha\r\nExecutablePath=a\\alpha.exe\r\n");
    Write(L"Plugins\\beta.ini", "\xEF\xBB\xBF[MDRTool]\r\nMenuName=B\xC3\xA9ta\r\n");
    Write(L"Plugins\\gamma.ini", "");
    Write(L"Plugins\\readme.txt", "[MDRTool]\r\nMenuName=Not a description\r\n");
    Write(L"Plugins\\delta.inix", "[MDRTool]\r\nMenuName=Not a description either\r\n");
    ASSERT_TRUE(CreateDirectoryW((program_ + L"Plugins\\folder.ini").c_str(), nullptr));
    // A description that cannot be opened is skipped, and the ids stay consecutive.
    Write(L"Plugins\\locked.ini", "[MDRTool]\r\nMenuName=Locked\r\n");
    HANDLE lock = CreateFileW((program_ + L"Plugins\\locked.ini").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);

    mdr::DiscoverTools(program_);
    CloseHandle(lock);

    std::vector<std::wstring> expected;
    for (const std::wstring& name : ListingOrder())
        if (name != L"locked.ini") expected.push_back(name);
    ASSERT_EQ(expected.size(), 3u);
    const std::vector<mdr::ToolInfo>& tools = mdr::Tools();
    ASSERT_EQ(tools.size(), 3u);
    for (size_t i = 0; i < tools.size(); ++i) {
        EXPECT_EQ(tools[i].menuId, 200 + static_cast<int>(i));
        const std::wstring& file = expected[i];
        if (file == L"alpha.ini") {
            EXPECT_EQ(tools[i].menuName, L"Alpha");
            EXPECT_EQ(tools[i].executablePath, program_ + L"Plugins\\a\\alpha.exe");
        } else if (file == L"beta.ini") {
            EXPECT_EQ(tools[i].menuName, L"B\u00E9ta");
            EXPECT_EQ(tools[i].executablePath, program_ + L"Plugins\\");
        } else {
            EXPECT_EQ(file, L"gamma.ini");
            EXPECT_EQ(tools[i].menuName, L"No information available");
        }
    }

    // A second discovery replaces the list.
    DeleteFileW((program_ + L"Plugins\\alpha.ini").c_str());
    DeleteFileW((program_ + L"Plugins\\beta.ini").c_str());
    mdr::DiscoverTools(program_);
    ASSERT_EQ(mdr::Tools().size(), 2u);
    EXPECT_EQ(mdr::Tools()[1].menuId, 201);
}

} // namespace
