// Pure logic behind the Settings window (typed subkeys, .mdr files, file names, languages) and
// tool discovery over real description files in a temporary folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "mdr/core/localization.h"
#include "mdr/core/skip_rules.h"
#include "mdr/app/tools.h"
#include "common/ini.h"
#include "common/registry.h"
#include "common/text.h"
#include "mdr/scan/engine_state.h"
#include "tests/support/driver.h"
#include "mdr/ui/settings_window.h"

namespace {

using mdr::IniFile;
using mdr::SkipMapEntry;

TEST(ExceptionInput, TrimsBlanksAndOneTrailingBackslash) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"Software\\Foo\\", L"Software\\Foo"},
        {L"  Software\\Foo\\  ", L"Software\\Foo"},
        {L"Software\\Foo\\\\", L"Software\\Foo\\"},
        {L"Software\\*", L"Software\\*"},
        {L" \t ", L""},
        {L"\\", L""}};
    for (const auto& [typed, subkey] : cases)
        EXPECT_EQ(mdr::ExceptionSubkeyFromInput(typed), subkey) << mdr::ToUtf8(typed);
}

TEST(ExceptionFile, OneNumberedGroupPerRowLeavingOutWhatItCannotHoldReadInFileOrder) {
    const std::vector<SkipMapEntry> rows = {{mdr::kHklm, L"Software\\Vendor\\App\\"},
                                            {mdr::kHkcu, L"Software\\Broken\r\n[EX_9]"},
                                            {0x80000004u, L"Unknown\\Root"},
                                            {mdr::kHkcr, L"CLSID\\{1}\\*=B"}};
    const std::wstring text = mdr::ExceptionFileFor(rows).ToText();
    EXPECT_EQ(text, L"[EX_0]\r\nMainKey=HKEY_LOCAL_MACHINE\r\nSubKey=Software\\Vendor\\App\r\n"
                    L"\r\n[EX_1]\r\nMainKey=HKEY_CLASSES_ROOT\r\nSubKey=CLSID\\{1}\\*=B\r\n")
        << mdr::ToUtf8(text);

    // Read back: groups in file order, skipping those without a root or subkey.
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
    std::vector<std::wstring> entries;
    for (const SkipMapEntry& e : mdr::ExceptionsFromFile(file))
        entries.push_back(mdr::RootKeyName(e.root) + L"\\" + e.subkey);
    // A second group of the same name is an entry of its own; one trailing backslash goes.
    EXPECT_EQ(entries, (std::vector<std::wstring>{L"HKEY_CURRENT_USER\\B", L"HKEY_LOCAL_MACHINE\\A",
                                                  L"HKEY_USERS\\C\\", L"HKEY_CLASSES_ROOT\\D",
                                                  L"HKEY_CURRENT_CONFIG\\E"}));
}

TEST(ToolDiscovery, DescriptionsGiveConsecutiveIdsAndUnusableEntriesAreSkipped) {
    mdr::test::TempFolder folder;
    const std::wstring program = folder / L"", plugins = program + L"Plugins\\";
    auto write = [&](const wchar_t* name, const std::string& bytes) {
        ASSERT_TRUE(mdr::driver::WriteFileBytes(plugins + name, bytes));
    };
    // No Plugins folder: no tools.
    mdr::DiscoverTools(program);
    EXPECT_TRUE(mdr::Tools().empty());

    ASSERT_TRUE(CreateDirectoryW(plugins.c_str(), nullptr));
    write(L"alpha.ini", "[MDRTool]\r\nMenuName=Alpha\r\nExecutablePath=a\\alpha.exe\r\n");
    write(L"beta.ini", "\xEF\xBB\xBF[mdrtool]\r\nmenuname=B\xC3\xA9ta\r\n");
    write(L"gamma.ini", "[Other]\r\nMenuName=Not here\r\n");
    write(L"readme.txt", "[MDRTool]\r\nMenuName=Not a description\r\n");
    write(L"delta.inix", "[MDRTool]\r\nMenuName=Not a description either\r\n");
    ASSERT_TRUE(CreateDirectoryW((plugins + L"folder.ini").c_str(), nullptr));
    // A description that cannot be opened is skipped, and the ids stay consecutive.
    write(L"locked.ini", "[MDRTool]\r\nMenuName=Locked\r\n");
    HANDLE lock = CreateFileW((plugins + L"locked.ini").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    mdr::DiscoverTools(program);
    CloseHandle(lock);

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
    mdr::DiscoverTools(program);
    ASSERT_EQ(mdr::Tools().size(), 2u);
    EXPECT_EQ(mdr::Tools()[1].menuId, 201);
}

} // namespace
