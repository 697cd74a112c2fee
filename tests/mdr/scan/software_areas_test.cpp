// The software and system scan areas against a sandboxed registry and real files: what each area
// reports (field by field), what it leaves alone, and cancellation.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/text.h"
#include "mdr/scan/areas.h"
#include "tests/mdr/scan/scan_test_env.h"

using namespace mdr;
using mdr::test::g_items;
using mdr::test::g_stopAfter;
using mdr::test::g_stopped;

namespace {

constexpr wchar_t kAppPaths[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr wchar_t kArpCache[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache";
constexpr wchar_t kServices[] = L"System\\CurrentControlSet\\Services\\";
constexpr wchar_t kSoundApps[] = L"AppEvents\\Schemes\\Apps\\";
constexpr wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class SoftwareAreas : public test::AreaTest {
  protected:
    void SetUp() override {
        AreaTest::SetUp();
        CreateDirectoryW((dir_ + L"search").c_str(), nullptr);
        SetEnvironmentVariableW(L"MDR_AREA_DIR", dir_.substr(0, dir_.size() - 1).c_str());
        SetSearchFolders({dir_ + L"search\\"});
        Settings().SelectItems = 3;
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"MDR_AREA_DIR", nullptr);
        AreaTest::TearDown();
    }
    std::wstring File(const std::wstring& relative) { return box_->MakeFile(relative); }
};

TEST_F(SoftwareAreas, ApplicationPathsReportKeysOfMissingPrograms) {
    const std::wstring app = File(L"App\\app.exe");
    const std::wstring base = std::wstring(kAppPaths) + L"\\";
    Str(HKEY_LOCAL_MACHINE, base + L"quoted.exe", L"", L"\"" + app + L"\" /x");
    Str(HKEY_LOCAL_MACHINE, base + L"blank.exe", L"", L"   ");
    Str(HKEY_LOCAL_MACHINE, base + L"nodefault.exe", L"Path", Gone(L""));
    Str(HKEY_LOCAL_MACHINE, base + L"blocked.exe", L"", Gone(L"blocked.exe"));
    box_->SetDword(HKEY_LOCAL_MACHINE, base + L"blocked.exe", L"BlockOnTSNonInstallMode", 1);
    // Reported (the second with its data expanded):
    Str(HKEY_LOCAL_MACHINE, base + L"unblocked.exe", L"", Gone(L"unblocked.exe"));
    box_->SetDword(HKEY_LOCAL_MACHINE, base + L"unblocked.exe", L"BlockOnTSNonInstallMode", 0);
    Str(HKEY_LOCAL_MACHINE, base + L"expandgone.exe", L"", L"%MDR_AREA_DIR%\\gone\\x.exe",
        REG_EXPAND_SZ);

    EXPECT_EQ(Run(2, ScanApplicationPaths), 2);
    ASSERT_EQ(Records().size(), 2u);
    ExpectRecord(kHklm, base + L"unblocked.exe", L"", Gone(L"unblocked.exe"), L"Application paths",
                 1, 0);
    ExpectRecord(kHklm, base + L"expandgone.exe", L"", Gone(L"x.exe"), L"Application paths", 1, 0);
    // The results row shows the key entry's value as "(Default)"; the record keeps "".
    ASSERT_EQ(view_.Rows().size(), 2u);
    const ResultRow row = view_.Rows()[0].row;
    EXPECT_EQ(row.columns[0], L"HKEY_LOCAL_MACHINE");
    EXPECT_EQ(row.columns[2], L"(Default)");
    EXPECT_EQ(row.image, 7);
    EXPECT_EQ(AreaTable()[1].errorsFound, 2);
}

TEST_F(SoftwareAreas, InstalledSoftwareReportsEntriesThatLostTheirFiles) {
    const std::wstring uninstaller = File(L"My Apps\\uninst.exe");
    const std::wstring u = kUninstall;
    Str(HKEY_LOCAL_MACHINE, u + L"Unquoted", L"UninstallString", uninstaller + L" /S /log=x");
    Str(HKEY_LOCAL_MACHINE, u + L"Msi", L"UninstallString", Gone(L"setup.exe"));
    box_->SetDword(HKEY_LOCAL_MACHINE, u + L"Msi", L"WindowsInstaller", 1);
    // A stale icon does not condemn an entry whose uninstaller is still there.
    Str(HKEY_LOCAL_MACHINE, u + L"StaleIcon", L"DisplayIcon", Gone(L"old.ico"));
    Str(HKEY_LOCAL_MACHINE, u + L"StaleIcon", L"UninstallString", L"\"" + uninstaller + L"\"");
    // Reported:
    Str(HKEY_LOCAL_MACHINE, u + L"IconGone", L"DisplayIcon", Gone(L"app.exe") + L",-2");
    Str(HKEY_LOCAL_MACHINE, u + L"LocationGone", L"InstallLocation", Gone(L"Folder"));

    EXPECT_EQ(Run(11, ScanInstalledSoftware), 2);
    ExpectRecord(kHklm, u + L"IconGone", L"DisplayIcon", Gone(L"app.exe") + L",-2",
                 L"Installed software", 1, 0);
    ExpectRecord(kHklm, u + L"LocationGone", L"InstallLocation", Gone(L"Folder"),
                 L"Installed software", 1, 0);
}

TEST_F(SoftwareAreas, ServicesReportMissingImagePaths) {
    const std::wstring s = kServices;
    // Windows resolves a relative driver path against the windows folder; so must the area.
    Str(HKEY_LOCAL_MACHINE, s + L"Relative", L"ImagePath", L"system32\\DRIVERS\\mountmgr.sys");
    Str(HKEY_LOCAL_MACHINE, s + L"SystemRoot", L"ImagePath",
        L"\\SYSTEMROOT\\System32\\drivers\\mountmgr.sys");
    Str(HKEY_LOCAL_MACHINE, s + L"Gone", L"ImagePath", L"\"" + Gone(L"svc.exe") + L"\" -run");

    EXPECT_EQ(Run(14, ScanServices), 1);
    ExpectRecord(kHklm, s + L"Gone", L"ImagePath", L"\"" + Gone(L"svc.exe") + L"\" -run",
                 L"Services", 0, 0);
}

TEST_F(SoftwareAreas, SoundsTestTheSchemeKeysOfEveryEvent) {
    File(L"search\\mdr-ding.wav");
    const std::wstring a = kSoundApps;
    Str(HKEY_CURRENT_USER, a + L".Default\\SystemAsterisk\\.Default", L"", L"mdr-ding.wav");
    Str(HKEY_CURRENT_USER, a + L"MyApp\\Start\\Other", L"", Gone(L"other.wav"));
    Str(HKEY_CURRENT_USER, a + L"MyApp\\Deep\\Deeper\\.current", L"", Gone(L"deep.wav"));

    EXPECT_EQ(Run(16, ScanSounds), 1);
    ExpectRecord(kHkcu, a + L"MyApp\\Deep\\Deeper\\.current", L"", Gone(L"deep.wav"), L"Sounds", 0,
                 0);
}

TEST_F(SoftwareAreas, StartupSoftwareReportsCommandsThatStartNothing) {
    const std::wstring app = File(L"My Apps\\app.exe");
    const std::wstring runOnceEx = std::wstring(kRun) + L"OnceEx";
    Str(HKEY_CURRENT_USER, kRun, L"Unquoted", app + L" -minimized -x");
    Str(HKEY_CURRENT_USER, kRun, L"", Gone(L"default.exe")); // the default value is no entry
    // RunOnceEx keeps its commands in subkeys; its own values configure the run.
    Str(HKEY_LOCAL_MACHINE, runOnceEx, L"Title", L"Finishing setup");
    // Reported:
    Str(HKEY_CURRENT_USER, kRun, L"Empty", L"");
    Str(HKEY_LOCAL_MACHINE, kRun, L"Gone", L"mdr-no-such-tool.exe -x");
    Str(HKEY_LOCAL_MACHINE, runOnceEx, L"Leftover", Gone(L"leftover.exe"));

    EXPECT_EQ(Run(17, ScanStartupSoftware), 3);
    ASSERT_EQ(Records().size(), 3u);
    ExpectRecord(kHkcu, kRun, L"Empty", L"", L"Startup software", 1, 1);
    // Walk order: all of HKEY_CURRENT_USER, then HKEY_LOCAL_MACHINE by location.
    EXPECT_EQ(Records()[1].valueName, L"Leftover");
    ExpectRecord(kHklm, kRun, L"Gone", L"mdr-no-such-tool.exe -x", L"Startup software", 1, 1);
    // The row shows language entry 88 for empty data; the record keeps "".
    EXPECT_EQ(view_.Rows()[0].row.columns[3], LangText(Text::EmptyData));
}

// Cancellation: the area gives up at once with -1 and a count of 0.
TEST_F(SoftwareAreas, CancellingEndsTheAreaAtOnce) {
    for (const wchar_t* name : {L"a", L"b", L"c", L"d"}) {
        Str(HKEY_CURRENT_USER, kRun, name, Gone(name));
        Str(HKEY_LOCAL_MACHINE, kRun, name, Gone(name));
    }
    for (const wchar_t* app : {L"A", L"B", L"C"})
        Str(HKEY_CURRENT_USER, kSoundApps + std::wstring(app) + L"\\Event\\.Current", L"",
            Gone(L"x.wav"));
    Str(HKEY_LOCAL_MACHINE, kUninstall + std::wstring(L"One"), L"UninstallString", Gone(L"1.exe"));
    Str(HKEY_LOCAL_MACHINE, kUninstall + std::wstring(L"Two"), L"UninstallString", Gone(L"2.exe"));
    box_->CreateKey(HKEY_LOCAL_MACHINE, std::wstring(kArpCache) + L"\\Three");
    const struct {
        const char* where;
        int item;
        int (*area)();
        int budget;            // items examined before the stop
        size_t stored;         // records stored before it, which stay
        const wchar_t* unseen; // what no item after the stop may show
    } cases[] = {
        {"before the remaining walks", 17, ScanStartupSoftware, 2, 2, L"HKEY_LOCAL_MACHINE"},
        {"deep in a recursive walk", 16, ScanSounds, 2, 0, L"Apps\\C"},
        {"in the first walk, before the cached entries", 11, ScanInstalledSoftware, 1, 1,
         L"ARPCache"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        ClearRecords();
        g_items.clear();
        g_stopped = false;
        g_stopAfter = c.budget;
        EXPECT_EQ(Run(c.item, c.area), -1);
        EXPECT_EQ(AreaErrorCount(), 0);
        EXPECT_EQ(Records().size(), c.stored);
        for (const std::wstring& item : g_items)
            EXPECT_EQ(item.find(c.unseen), std::wstring::npos) << ToUtf8(item);
    }
}

TEST_F(SoftwareAreas, MissingStartingKeysAreSkippedQuietly) {
    for (int (*area)() : {ScanApplicationPaths, ScanDrivers, ScanHelp, ScanFonts,
                          ScanInstalledSoftware, ScanMUICache, ScanObsoleteSoftware, ScanServices,
                          ScanSharedDLLs, ScanSounds, ScanStartupSoftware})
        EXPECT_EQ(Run(2, area), 0);
    EXPECT_TRUE(Records().empty());
    // The sandbox's own SOFTWARE\Classes is the only key any of them may have looked at.
    for (const std::wstring& item : g_items)
        EXPECT_EQ(item, L" HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes");
}

} // namespace
