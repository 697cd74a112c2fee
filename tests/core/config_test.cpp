#include <gtest/gtest.h>

#include "core/config.h"
#include "common/ini.h"
#include "common/text.h"
#include "tests/support/test_files.h"

using namespace mdr;
using namespace mdr::test;

namespace {

const wchar_t kNewConfigText[] = L"[MDRConfig]\r\n"
                                 L"ScanMode=0\r\n"
                                 L"SelectItems=0\r\n"
                                 L"BeforeFixing=0\r\n"
                                 L"DeleteBackups=1\r\n"
                                 L"CreateLog=0\r\n"
                                 L"SkipRemovable=1\r\n"
                                 L"HighlightEntry=0\r\n"
                                 L"EntryColor=16315117\r\n"
                                 L"CurrentLanguage=Localization\\English.ini\r\n"
                                 L"\r\n"
                                 L"[MDRWindow]\r\n"
                                 L"MainWinX=295\r\n"
                                 L"MainWinY=277\r\n"
                                 L"MainWinWidth=690\r\n"
                                 L"MainWinHeight=470\r\n"
                                 L"MainWinState=0\r\n"
                                 L"ColumnWidth0=170\r\n"
                                 L"ColumnWidth1=300\r\n"
                                 L"ColumnWidth2=100\r\n"
                                 L"ColumnWidth3=300\r\n"
                                 L"ColumnWidth4=100\r\n"
                                 L"SplitterWidth=200\r\n"
                                 L"ScanZonesState=1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n"
                                 L"\r\n"
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

TEST(ConfigFile, CreatedWhenMissingWithEveryKeyInOrder) {
    TempFolder dir;
    const std::wstring path = dir / L"Config.ini";
    AppSettings s = DefaultSettings(1280, 1024);
    std::vector<SkipMapEntry> exceptions;
    EXPECT_EQ(ReadOrCreateConfig(path, s, exceptions), ConfigOutcome::Created);
    EXPECT_EQ(ReadFileBytes(path), ToUtf8(kNewConfigText));
    EXPECT_TRUE(exceptions.empty());

    IniFile ini;
    ASSERT_EQ(ini.Load(path), FileState::Ok);
    // Every key of the settings table: nine in MDRConfig, twelve in MDRWindow.
    EXPECT_EQ(ini.Keys(kConfigGroup).size(), 9u);
    EXPECT_EQ(ini.Keys(kWindowGroup).size(), 12u);

    // The second start reads it back unchanged.
    AppSettings again = DefaultSettings(800, 600);
    EXPECT_EQ(ReadOrCreateConfig(path, again, exceptions), ConfigOutcome::Read);
    EXPECT_EQ(again.MainWinX, 295);
    EXPECT_EQ(ReadFileBytes(path), ToUtf8(kNewConfigText));
}

TEST(ConfigFile, FirstRunFlagFollowsTheFile) {
    GlobalsGuard guard;
    TempFolder dir;
    Paths().configFile = dir / L"Config.ini";
    Settings() = DefaultSettings(1280, 1024);
    Exceptions().clear();
    EXPECT_EQ(ReadOrCreateConfig(), ConfigOutcome::Created);
    EXPECT_TRUE(Flags().firstRun);
    EXPECT_EQ(ReadOrCreateConfig(), ConfigOutcome::Read);
    EXPECT_FALSE(Flags().firstRun);

    // Creation that fails is still a first run; nothing is left behind.
    Paths().configFile = dir / L"no such folder\\Config.ini";
    EXPECT_EQ(ReadOrCreateConfig(), ConfigOutcome::CreateFailed);
    EXPECT_TRUE(Flags().firstRun);

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
    WriteFileBytes(path, ToUtf8(L"[mdrconfig]\r\n"
                                L"scanmode=5\r\n"
                                L"SelectItems=two\r\n"
                                L"BeforeFixing=3x\r\n"
                                L"CreateLog=\r\n"
                                L"EntryColor=-1\r\n"
                                L"CurrentLanguage=Localization\\Fran\u00E7ais.ini\r\n"
                                L"[MDRWindow]\r\n"
                                L"MainWinState=16777216\r\n"
                                L"ColumnWidth3= 250 \r\n"
                                L"ScanZonesState=1,0,1\r\n"));
    AppSettings s = DefaultSettings(1280, 1024);
    s.CreateLog = 1;
    std::vector<SkipMapEntry> exceptions;
    ASSERT_EQ(ReadOrCreateConfig(path, s, exceptions), ConfigOutcome::Read);
    EXPECT_EQ(s.ScanMode, 5);
    EXPECT_EQ(s.SelectItems, 0);
    EXPECT_EQ(s.BeforeFixing, 0);
    EXPECT_EQ(s.CreateLog, 0); // present but empty: not a number
    EXPECT_EQ(s.DeleteBackups, 1);
    EXPECT_EQ(s.SkipRemovable, 1);
    EXPECT_EQ(s.EntryColor, -1);
    EXPECT_EQ(s.CurrentLanguage, L"Localization\\Fran\u00E7ais.ini");
    EXPECT_EQ(s.MainWinX, 295);
    EXPECT_EQ(s.MainWinState, 16777216);
    EXPECT_EQ(s.ColumnWidth[2], 100);
    EXPECT_EQ(s.ColumnWidth[3], 250);
    EXPECT_EQ(s.SplitterWidth, 200);
    EXPECT_EQ(s.ScanZonesState, L"1,0,1"); // short: kept as stored
    EXPECT_TRUE(exceptions.empty());
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
    ASSERT_EQ(exceptions.size(), 5u);
    EXPECT_EQ(exceptions[1].root, 0x80000001u);
    EXPECT_EQ(exceptions[1].subkey, L"Software\\Example");
    // A short root name is filed under the previous entry's root.
    EXPECT_EQ(exceptions[2].root, 0x80000001u);
    EXPECT_EQ(exceptions[2].subkey, L"Software\\Short");
    EXPECT_EQ(exceptions[3].root, 0x80000002u);
    EXPECT_EQ(exceptions[3].subkey, L"Software\\Branch\\*");
    // A key below a branch rule is not a duplicate of it.
    EXPECT_EQ(exceptions[4].subkey, L"Software\\Branch\\Below");
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
    changed.MainWinY = 12;
    changed.MainWinWidth = 800;
    changed.MainWinHeight = 600;
    changed.MainWinState = 16777216;
    changed.ColumnWidth[4] = 55;
    changed.SplitterWidth = 250;
    changed.ScanZonesState = L"0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1";
    ASSERT_TRUE(SaveWindowGroup(path, changed, /*minimizedAtExit=*/true));

    AppSettings read = DefaultSettings(1280, 1024);
    std::vector<SkipMapEntry> readExceptions;
    ASSERT_EQ(ReadOrCreateConfig(path, read, readExceptions), ConfigOutcome::Read);
    EXPECT_EQ(read.ScanMode, 0);
    EXPECT_EQ(read.MainWinX, 295);
    EXPECT_EQ(read.MainWinWidth, 690);
    EXPECT_EQ(read.MainWinState, 0);
    EXPECT_EQ(read.ColumnWidth[4], 55);
    EXPECT_EQ(read.SplitterWidth, 250);
    EXPECT_EQ(read.ScanZonesState, changed.ScanZonesState);
    ASSERT_EQ(readExceptions.size(), 1u);
    EXPECT_EQ(readExceptions[0].subkey, L"Software\\Kept");

    ASSERT_TRUE(SaveWindowGroup(path, changed, /*minimizedAtExit=*/false));
    ASSERT_EQ(ReadOrCreateConfig(path, read, readExceptions), ConfigOutcome::Read);
    EXPECT_EQ(read.MainWinX, 11);
    EXPECT_EQ(read.MainWinY, 12);
    EXPECT_EQ(read.MainWinWidth, 800);
    EXPECT_EQ(read.MainWinHeight, 600);
    EXPECT_EQ(read.MainWinState, 16777216);
    EXPECT_EQ(read.ScanMode, 0);
    EXPECT_EQ(dir.CountEntries(), 1); // no temporary files left
}

TEST(ConfigSave, RefusesMissingOrUnreadableFiles) {
    GlobalsGuard guard;
    TempFolder dir;
    AppSettings s;
    const std::wstring missing = dir / L"Config.ini";
    EXPECT_FALSE(SaveWindowGroup(missing, s, false));
    EXPECT_FALSE(SaveConfigGroup(missing, s));
    EXPECT_FALSE(SaveExceptions(missing, {}));
    EXPECT_FALSE(SaveConfigAndExceptions(missing, s, {}));
    EXPECT_FALSE(FileExists(missing)); // a deleted Config.ini is not recreated half-filled

    Paths().configFile = missing;
    Flags().minimizedAtExit = false;
    EXPECT_FALSE(SaveWindowGroup());
    EXPECT_FALSE(SaveExceptions());
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

    AppSettings s;
    s.ScanMode = 3;
    s.CurrentLanguage = L"Localization\\Deutsch.ini";
    ASSERT_TRUE(SaveConfigAndExceptions(path, s, {}));
    IniFile ini;
    ASSERT_EQ(ini.Load(path), FileState::Ok);
    EXPECT_EQ(ini.GetString(kConfigGroup, L"ScanMode"), L"3");
    EXPECT_EQ(ini.GetString(kConfigGroup, L"CurrentLanguage"), L"Localization\\Deutsch.ini");
    EXPECT_EQ(ini.Keys(kConfigGroup).size(), 9u);
    EXPECT_TRUE(ini.HasGroup(kExceptionsGroup));
    EXPECT_TRUE(ini.Keys(kExceptionsGroup).empty());
    EXPECT_FALSE(ini.HasGroup(kWindowGroup));
}

TEST(SettingsFolder, ChainIsCreatedLeftToRight) {
    EXPECT_EQ(FolderChain(L"C:\\a\\b c\\"),
              (std::vector<std::wstring>{L"C:\\", L"C:\\a\\", L"C:\\a\\b c\\"}));
    EXPECT_TRUE(FolderChain(L"nofolder").empty());

    TempFolder dir;
    std::wstring target = dir.Path() + L"Application Data\\Veltrane\\Veltrane Mendora\\";
    CreateFolderChain(target);
    EXPECT_TRUE(FolderExists(target));
    CreateFolderChain(target); // existing folders are fine
    EXPECT_TRUE(FolderExists(target));
}
