#include <gtest/gtest.h>

#include "common/registry.h"
#include "mdr/core/config.h"
#include "common/text.h"
#include "tests/support/test_files.h"

using namespace mdr;
using namespace mdr::test;

namespace {

const wchar_t kNewConfigText[] =
    L"[MDRConfig]\r\nScanMode=0\r\nSelectItems=0\r\nBeforeFixing=0\r\nDeleteBackups=1\r\n"
    L"CreateLog=0\r\nSkipRemovable=1\r\nHighlightEntry=0\r\nEntryColor=16315117\r\n"
    L"CurrentLanguage=Localization\\English.ini\r\n\r\n"
    L"[MDRWindow]\r\nMainWinX=295\r\nMainWinY=277\r\nMainWinWidth=690\r\nMainWinHeight=470\r\n"
    L"MainWinState=0\r\nColumnWidth0=170\r\nColumnWidth1=300\r\nColumnWidth2=100\r\n"
    L"ColumnWidth3=300\r\nColumnWidth4=100\r\nColumnWidth5=150\r\nSplitterWidth=200\r\n"
    L"ScanZonesState=1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n\r\n"
    L"[MDRExceptions]\r\n";

// Puts the process-wide state back as a test found it.
struct GlobalsGuard {
    AppSettings settings = Settings();
    AppPaths paths = Paths();
    RunFlags flags = Flags();
    std::vector<SkipMapEntry> exceptions = Exceptions();
    ~GlobalsGuard() {
        Settings() = settings;
        Paths() = paths;
        Flags() = flags;
        Exceptions() = exceptions;
    }
};

} // namespace

TEST(ConfigFile, CreatedWhenMissingWithEveryKeyInOrderAndFirstRunFollowsTheFile) {
    GlobalsGuard guard;
    TempFolder dir;
    Paths().configFile = dir / L"Config.ini";
    Settings() = DefaultSettings(1280, 1024);
    Exceptions().clear();
    EXPECT_EQ(ReadOrCreateConfig(), ConfigOutcome::Created);
    EXPECT_TRUE(Flags().firstRun);
    EXPECT_EQ(ReadFileBytes(Paths().configFile), ToUtf8(kNewConfigText));
    // The second start reads it back unchanged.
    Settings() = DefaultSettings(800, 600);
    EXPECT_EQ(ReadOrCreateConfig(), ConfigOutcome::Read);
    EXPECT_FALSE(Flags().firstRun);
    EXPECT_EQ(Settings().MainWinX, 295);
    EXPECT_EQ(ReadFileBytes(Paths().configFile), ToUtf8(kNewConfigText));

    // Creation that fails is still a first run; nothing is left behind.
    Paths().configFile = dir / L"no such folder\\Config.ini";
    EXPECT_EQ(ReadOrCreateConfig(), ConfigOutcome::CreateFailed);
    EXPECT_TRUE(Flags().firstRun);
    // Writers never recreate a missing Config.ini half-filled.
    EXPECT_FALSE(SaveWindowGroup());
    EXPECT_FALSE(SaveExceptions());
    EXPECT_FALSE(SaveConfigAndExceptions(dir / L"Gone.ini", AppSettings{}, {}));
    EXPECT_FALSE(FileExists(dir / L"Gone.ini"));

    // An existing file that cannot be read is neither replaced nor a first run.
    CreateDirectoryW((dir / L"locked").c_str(), nullptr);
    CreateDirectoryW((dir / L"locked\\Config.ini").c_str(), nullptr);
    Paths().configFile = dir / L"locked\\Config.ini";
    Settings().ScanMode = 7;
    EXPECT_EQ(ReadOrCreateConfig(), ConfigOutcome::Unreadable);
    EXPECT_FALSE(Flags().firstRun);
    EXPECT_EQ(Settings().ScanMode, 7);
    EXPECT_TRUE(FolderExists(dir / L"locked\\Config.ini"));
}

TEST(ConfigFile, ReadingKeepsDefaultsForMissingKeysAndZeroForText) {
    TempFolder dir;
    const std::wstring path = dir / L"Config.ini";
    WriteFileBytes(
        path, ToUtf8(L"[mdrconfig]\r\nscanmode=5\r\nSelectItems=two\r\nBeforeFixing=3x\r\n"
                     L"CreateLog=\r\nEntryColor=-1\r\n"
                     L"CurrentLanguage=Localization\\Fran\u00E7ais.ini\r\n[MDRWindow]\r\n"
                     L"MainWinState=16777216\r\nColumnWidth3= 250 \r\nScanZonesState=1,0,1\r\n"));
    AppSettings s = DefaultSettings(1280, 1024);
    s.CreateLog = 1;
    std::vector<SkipMapEntry> exceptions;
    ASSERT_EQ(ReadOrCreateConfig(path, s, exceptions), ConfigOutcome::Read);
    EXPECT_EQ(s.ScanMode, 5);
    EXPECT_EQ(s.SelectItems, 0);
    EXPECT_EQ(s.BeforeFixing, 0);
    EXPECT_EQ(s.CreateLog, 0); // present but empty: not a number
    EXPECT_EQ(s.DeleteBackups, 1);
    EXPECT_EQ(s.EntryColor, -1);
    EXPECT_EQ(s.CurrentLanguage, L"Localization\\Fran\u00E7ais.ini");
    EXPECT_EQ(s.MainWinX, 295);
    EXPECT_EQ(s.MainWinState, 16777216);
    EXPECT_EQ(s.ColumnWidth[3], 250);
    EXPECT_EQ(s.ScanZonesState, L"1,0,1"); // short: kept as stored
    // A number may have blanks around it, nothing else.
    EXPECT_EQ(ParseInt(L" \t-42 "), -42);
    EXPECT_EQ(ParseInt(L"4 2"), 0);
}

TEST(ConfigFile, ExceptionsAreParsedAndDeduplicated) {
    TempFolder dir;
    const std::wstring path = dir / L"Config.ini";
    WriteFileBytes(path, ToUtf8(L"[MDRExceptions]\r\n"
                                L"HKEY_CURRENT_USER\\Software\\Example=Exception0\r\n"
                                L"hkey_current_user\\SOFTWARE\\example\\=Exception1\r\n"
                                L"HKLM\\Software\\Short=Exception2\r\n"
                                L"HKEY_LOCAL_MACHINE\\Software\\Branch\\*=Exception3\r\n"
                                L"HKEY_LOCAL_MACHINE\\Software\\Branch\\Below=Exception4\r\n"
                                L"\\NoRoot=Exception5\r\n"
                                L"HKEY_USERS\\.DEFAULT\\Known=Exception6\r\n"));
    AppSettings s;
    std::vector<SkipMapEntry> exceptions = {{0x80000003u, L"  .default\\KNOWN "}};
    ASSERT_EQ(ReadOrCreateConfig(path, s, exceptions), ConfigOutcome::Read);
    std::vector<std::wstring> read;
    for (const SkipMapEntry& e : exceptions)
        read.push_back(RootKeyName(e.root) + L"\\" + e.subkey);
    // A short root name is filed under the previous entry's root; a key below a branch rule is
    // not a duplicate of it.
    EXPECT_EQ(read, (std::vector<std::wstring>{L"HKEY_USERS\\  .default\\KNOWN ",
                                               L"HKEY_CURRENT_USER\\Software\\Example",
                                               L"HKEY_CURRENT_USER\\Software\\Short",
                                               L"HKEY_LOCAL_MACHINE\\Software\\Branch\\*",
                                               L"HKEY_LOCAL_MACHINE\\Software\\Branch\\Below"}));
}

TEST(ConfigSave, WindowGroupOnlyAndNoPositionWhenMinimized) {
    TempFolder dir;
    const std::wstring path = dir / L"Config.ini";
    AppSettings s = DefaultSettings(1280, 1024);
    std::vector<SkipMapEntry> exceptions = {{0x80000001u, L"Software\\Kept"}};
    ASSERT_EQ(ReadOrCreateConfig(path, s, exceptions), ConfigOutcome::Created);
    ASSERT_TRUE(SaveExceptions(path, exceptions));

    AppSettings changed = s;
    changed.ScanMode = 9; // MDRConfig is not written at exit
    changed.MainWinX = 11;
    changed.MainWinState = 16777216;
    changed.ColumnWidth[4] = 55;
    changed.ScanZonesState = L"0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1";
    ASSERT_TRUE(SaveWindowGroup(path, changed, /*minimizedAtExit=*/true));

    AppSettings read = DefaultSettings(1280, 1024);
    std::vector<SkipMapEntry> readExceptions;
    ASSERT_EQ(ReadOrCreateConfig(path, read, readExceptions), ConfigOutcome::Read);
    EXPECT_EQ(read.ScanMode, 0);
    EXPECT_EQ(read.MainWinX, 295);
    EXPECT_EQ(read.MainWinState, 0);
    EXPECT_EQ(read.ColumnWidth[4], 55);
    EXPECT_EQ(read.ScanZonesState, L"0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1");
    ASSERT_EQ(readExceptions.size(), 1u);
    EXPECT_EQ(readExceptions[0].subkey, L"Software\\Kept");

    ASSERT_TRUE(SaveWindowGroup(path, changed, /*minimizedAtExit=*/false));
    ASSERT_EQ(ReadOrCreateConfig(path, read, readExceptions), ConfigOutcome::Read);
    EXPECT_EQ(read.MainWinX, 11);
    EXPECT_EQ(read.MainWinState, 16777216);
    EXPECT_EQ(dir.CountEntries(), 1); // no temporary files left
}

TEST(ConfigSave, ExceptionsGroupIsRewrittenInOrder) {
    TempFolder dir;
    const std::wstring path = dir / L"Config.ini";
    WriteFileBytes(path, ToUtf8(L"[MDRExceptions]\r\nHKEY_USERS\\Old=Exception0\r\n"
                                L"[MDRConfig]\r\n; hand-written note\r\nScanMode=1\r\n"));
    std::vector<SkipMapEntry> list = {
        {0x80000000u, L"CLSID\\{0001}"},
        {0x80000002u, L"Software\\Has=Equals"}, // cannot be a key name in the file
        {0x80000005u, L"Software\\\u00C4rger"},
    };
    ASSERT_TRUE(SaveExceptions(path, list));
    EXPECT_EQ(ReadFileBytes(path),
              ToUtf8(L"[MDRConfig]\r\n; hand-written note\r\nScanMode=1\r\n\r\n"
                     L"[MDRExceptions]\r\n"
                     L"HKEY_CLASSES_ROOT\\CLSID\\{0001}=Exception0\r\n"
                     L"HKEY_CURRENT_CONFIG\\Software\\\u00C4rger=Exception1\r\n"));
}

TEST(SettingsFolder, ChainIsCreatedLeftToRight) {
    EXPECT_EQ(FolderChain(L"C:\\a\\b c\\"),
              (std::vector<std::wstring>{L"C:\\", L"C:\\a\\", L"C:\\a\\b c\\"}));
    EXPECT_TRUE(FolderChain(L"nofolder").empty());

    TempFolder dir;
    std::wstring target = dir.Path() + L"Application Data\\Veltrane\\Veltrane Mendora\\";
    CreateFolderChain(target);
    CreateFolderChain(target); // existing folders are fine
    EXPECT_TRUE(FolderExists(target));
}
