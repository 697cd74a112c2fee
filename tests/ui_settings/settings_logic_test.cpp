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

TEST(ExceptionInput, TrimsBlanksAndOneTrailingBackslash) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"Software\\Foo\\", L"Software\\Foo"},
        {L"  Software\\Foo\\  ", L"Software\\Foo"},
        {L"Software\\Foo\\\\", L"Software\\Foo\\"},
        {L"Software\\*", L"Software\\*"},
        {L" \t ", L""},
        {L"\\", L""}};
    for (const auto& [typed, subkey] : cases)
        EXPECT_EQ(mdr::ExceptionSubkeyFromInput(typed), subkey) << Narrow(typed);
}

TEST(ExceptionInput, DuplicatesIgnoreCaseAndBlanksButNotTheRoot) {
    const std::vector<SkipMapEntry> rows = {{mdr::kHkcu, L"Software\\Foo"},
                                            {mdr::kHklm, L" Software\\Bar "}};
    EXPECT_TRUE(mdr::HasExceptionRow(rows, mdr::kHkcu, L"  software\\FOO "));
    EXPECT_TRUE(mdr::HasExceptionRow(rows, mdr::kHklm, L"software\\bar"));
    EXPECT_FALSE(mdr::HasExceptionRow(rows, mdr::kHklm, L"Software\\Foo"));
    EXPECT_FALSE(mdr::HasExceptionRow(rows, mdr::kHkcu, L"Software\\Foo\\Sub"));
}

TEST(ExceptionFile, WritesOneNumberedGroupPerRowLeavingOutWhatItCannotHold) {
    const std::vector<SkipMapEntry> rows = {{mdr::kHklm, L"Software\\Vendor\\App\\"},
                                            {mdr::kHkcu, L"Software\\Broken\r\n[EX_9]"},
                                            {0x80000004u, L"Unknown\\Root"},
                                            {mdr::kHkcr, L"CLSID\\{1}\\*=B"}};
    const std::wstring text = mdr::ExceptionFileFor(rows).ToText();
    EXPECT_EQ(text, L"[EX_0]\r\nMainKey=HKEY_LOCAL_MACHINE\r\nSubKey=Software\\Vendor\\App\r\n"
                    L"\r\n[EX_1]\r\nMainKey=HKEY_CLASSES_ROOT\r\nSubKey=CLSID\\{1}\\*=B\r\n")
        << Narrow(text);
}

TEST(ExceptionFile, ReadsGroupsInFileOrderSkippingThoseWithoutARootOrSubkey) {
    const IniFile file = IniFile::Parse(L"; exported list\r\n"
                                        L"[EX_7]\r\nMainKey=HKEY_CURRENT_USER\r\nSubKey=B\\\r\n"
                                        L"[EX_0]\r\nSubKey=A\r\nMainKey=HKEY_LOCAL_MACHINE\r\n"
                                        L"[Other]\r\nmainkey=HKEY_USERS\r\nsubkey=C\\\\\r\n"
                                        L"[EX_0]\r\nMainKey=HKEY_CLASSES_ROOT\r\nSubKey=D\r\n"
                                        L"[EX_1]\r\nMainKey=hkey_current_user\r\nSubKey=L\r\n"
                                        L"[EX_2]\r\nMainKey=HKCU\r\nSubKey=Short\r\n"
                                        L"[EX_3]\r\nSubKey=NoRoot\r\n"
                                        L"[EX_4]\r\nMainKey=HKEY_CURRENT_USER\r\nSubKey=\\\r\n"
                                        L"[EX_5]\r\nMainKey=HKEY_CURRENT_USER\r\n"
                                        L"[EX_6]\r\nMainKey=HKEY_CURRENT_CONFIG\r\nSubKey=E\r\n");
    const std::vector<SkipMapEntry> entries = mdr::ExceptionsFromFile(file);
    // A second group of the same name is an entry of its own; one trailing backslash goes.
    const std::vector<std::pair<DWORD, std::wstring>> expected = {{mdr::kHkcu, L"B"},
                                                                  {mdr::kHklm, L"A"},
                                                                  {mdr::kHku, L"C\\"},
                                                                  {mdr::kHkcr, L"D"},
                                                                  {mdr::kHkcc, L"E"}};
    ASSERT_EQ(entries.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(entries[i].root, expected[i].first) << i;
        EXPECT_EQ(entries[i].subkey, expected[i].second) << i;
    }
}

class ToolDiscovery : public ::testing::Test {
  protected:
    void SetUp() override { program_ = folder_ / L""; }
    void Write(const std::wstring& relative, const std::string& bytes) {
        ASSERT_TRUE(mdr::driver::WriteFileBytes(program_ + relative, bytes));
    }
    mdr::test::TempFolder folder_;
    std::wstring program_;
};

TEST_F(ToolDiscovery, MissingPluginsFolderGivesNoTools) {
    mdr::DiscoverTools(program_);
    EXPECT_TRUE(mdr::Tools().empty());
}

TEST_F(ToolDiscovery, DescriptionsGiveConsecutiveIdsAndUnusableEntriesAreSkipped) {
    ASSERT_TRUE(CreateDirectoryW((program_ + L"Plugins").c_str(), nullptr));
    Write(L"Plugins\\alpha.ini", "[MDRTool]\r\nMenuName=Alpha\r\nExecutablePath=a\\alpha.exe\r\n");
    Write(L"Plugins\\beta.ini", "\xEF\xBB\xBF[mdrtool]\r\nmenuname=B\xC3\xA9ta\r\n");
    Write(L"Plugins\\gamma.ini", "[Other]\r\nMenuName=Not here\r\n");
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

    const std::wstring plugins = program_ + L"Plugins\\";
    std::vector<std::wstring> found;
    for (size_t i = 0; i < mdr::Tools().size(); ++i) {
        const mdr::ToolInfo& tool = mdr::Tools()[i];
        EXPECT_EQ(tool.menuId, 200 + static_cast<int>(i));
        found.push_back(tool.menuName + L"|" + tool.executablePath);
    }
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::wstring>{L"Alpha|" + plugins + L"a\\alpha.exe",
                                                L"B\u00E9ta|" + plugins,
                                                L"No information available|" + plugins}));

    // A second discovery replaces the list.
    DeleteFileW((plugins + L"alpha.ini").c_str());
    DeleteFileW((plugins + L"beta.ini").c_str());
    mdr::DiscoverTools(program_);
    ASSERT_EQ(mdr::Tools().size(), 2u);
    EXPECT_EQ(mdr::Tools()[1].menuId, 201);
}

} // namespace
