// The software and system scan areas run against a sandboxed registry and real files: what each
// area must report (field by field) and what it must leave alone.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/localization.h"
#include "core/settings.h"
#include "core/skip_rules.h"
#include "common/handles.h"
#include "common/text.h"
#include "scan/areas.h"
#include "scan/detected_errors.h"
#include "scan/engine_state.h"
#include "scan/scan_thread.h"
#include "scan/headless_view.h"
#include "tests/scan/scan_test_env.h"
#include "tests/support/registry_sandbox.h"
#include "tests/support/test_files.h"

using namespace mdr;
using mdr::test::g_items;
using mdr::test::g_stopAfter;
using mdr::test::g_stopped;

namespace {

constexpr wchar_t kAppPaths[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr wchar_t kDrivers32[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
constexpr wchar_t kHelp[] = L"SOFTWARE\\Microsoft\\Windows\\Help";
constexpr wchar_t kHtmlHelp[] = L"SOFTWARE\\Microsoft\\Windows\\HTML Help";
constexpr wchar_t kFonts[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
constexpr wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kArpCache[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache";
constexpr wchar_t kMuiCache[] = L"Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache";
constexpr wchar_t kServices[] = L"System\\CurrentControlSet\\Services";
constexpr wchar_t kSharedDlls[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
constexpr wchar_t kSoundApps[] = L"AppEvents\\Schemes\\Apps";
constexpr wchar_t kCurrentVersion[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\";

std::vector<std::wstring> g_startupSearchFolders;

struct Expected {
    RootKey root;
    std::wstring keyPath;
    std::wstring valueName;
    std::wstring valueData;
    std::wstring category;
    int safety;
    int entryType;
    int text; // language entry of the description
    const wchar_t* placeholder;
    std::wstring shown; // what replaces the placeholder (in quotes)
};

class SoftwareAreas : public test::AreaTest {
  protected:
    static void SetUpTestSuite() {
        AreaTest::SetUpTestSuite();
        g_startupSearchFolders = ScanEnginePaths().searchFolders;
    }

    void SetUp() override {
        AreaTest::SetUp();
        MakeDir(L"search");
        MakeDir(L"My Apps");
        MakeDir(L"App");
        SetEnvironmentVariableW(L"MDR_AREA_DIR", dir_.substr(0, dir_.size() - 1).c_str());
        SetSearchFolders({dir_ + L"search\\"});
        Settings().SelectItems = 3;
    }

    void TearDown() override {
        SetSearchFolders(g_startupSearchFolders);
        SetEnvironmentVariableW(L"MDR_AREA_DIR", nullptr);
        AreaTest::TearDown();
    }

    void MakeDir(const std::wstring& relative) {
        CreateDirectoryW((dir_ + relative).c_str(), nullptr);
    }
    std::wstring File(const std::wstring& relative) { return box_->MakeFile(relative); }
    std::wstring Missing(const std::wstring& relative) { return Gone(relative); }

    void ExpectRecord(const Expected& e) {
        SCOPED_TRACE(testing::Message()
                     << "key " << ToUtf8(e.keyPath) << ", value " << ToUtf8(e.valueName));
        const DetectedError* r = Find(e.keyPath, e.valueName);
        ASSERT_NE(r, nullptr) << "not reported";
        EXPECT_EQ(r->root, e.root);
        EXPECT_EQ(r->valueData, e.valueData);
        EXPECT_EQ(r->category, e.category);
        EXPECT_EQ(r->safety, e.safety);
        EXPECT_EQ(r->entryType, e.entryType);
        EXPECT_EQ(r->areaIndex, CurrentArea() - 1);
        const std::wstring quoted = L"\"" + e.shown + L"\"";
        EXPECT_NE(r->description.find(quoted), std::wstring::npos)
            << "entry " << e.text << " should carry " << ToUtf8(e.placeholder);
        EXPECT_GT(r->description.size(), quoted.size());
    }
};

// Value names of a key in the registry's enumeration order (through the redirected roots).
std::vector<std::wstring> ValueOrder(HKEY root, const std::wstring& key) {
    std::vector<std::wstring> names;
    UniqueHkey k;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, k.put()) != ERROR_SUCCESS) {
        return names;
    }
    wchar_t name[512];
    for (DWORD i = 0;; ++i) {
        DWORD len = 512;
        if (RegEnumValueW(k.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        names.emplace_back(name, len);
    }
    return names;
}

// ---------------------------------------------------------------------------------------------

TEST_F(SoftwareAreas, ApplicationPathsReportKeysOfMissingPrograms) {
    const std::wstring app = File(L"App\\app.exe");
    const std::wstring base = kAppPaths;
    Str(HKEY_LOCAL_MACHINE, base + L"\\present.exe", L"", app);
    Str(HKEY_LOCAL_MACHINE, base + L"\\present.exe", L"Path", dir_ + L"App");
    Str(HKEY_LOCAL_MACHINE, base + L"\\quoted.exe", L"", L"\"" + app + L"\" /x");
    Str(HKEY_LOCAL_MACHINE, base + L"\\expand.exe", L"", L"%MDR_AREA_DIR%\\App\\app.exe",
        REG_EXPAND_SZ);
    Str(HKEY_LOCAL_MACHINE, base + L"\\folder.exe", L"", dir_ + L"App");
    Str(HKEY_LOCAL_MACHINE, base + L"\\empty.exe", L"", L"");
    Str(HKEY_LOCAL_MACHINE, base + L"\\blank.exe", L"", L"   ");
    Str(HKEY_LOCAL_MACHINE, base + L"\\nodefault.exe", L"Path", Missing(L""));
    Str(HKEY_LOCAL_MACHINE, base + L"\\blocked.exe", L"", Missing(L"blocked.exe"));
    box_->SetDword(HKEY_LOCAL_MACHINE, base + L"\\blocked.exe", L"BlockOnTSNonInstallMode", 1);
    // Reported:
    Str(HKEY_LOCAL_MACHINE, base + L"\\missing.exe", L"", Missing(L"missing.exe"));
    Str(HKEY_LOCAL_MACHINE, base + L"\\unblocked.exe", L"", Missing(L"unblocked.exe"));
    box_->SetDword(HKEY_LOCAL_MACHINE, base + L"\\unblocked.exe", L"BlockOnTSNonInstallMode", 0);
    Str(HKEY_LOCAL_MACHINE, base + L"\\expandgone.exe", L"", L"%MDR_AREA_DIR%\\gone\\x.exe",
        REG_EXPAND_SZ);

    EXPECT_EQ(Run(2, ScanApplicationPaths), 3);
    ASSERT_EQ(Records().size(), 3u);
    const std::wstring gone = Missing(L"missing.exe");
    ExpectRecord({kHklm, base + L"\\missing.exe", L"", gone, L"Application paths", 1, 0, 232,
                  L"$APPLICATIONPATH$", gone});
    ExpectRecord({kHklm, base + L"\\unblocked.exe", L"", Missing(L"unblocked.exe"),
                  L"Application paths", 1, 0, 232, L"$APPLICATIONPATH$",
                  Missing(L"unblocked.exe")});
    ExpectRecord({kHklm, base + L"\\expandgone.exe", L"", dir_ + L"gone\\x.exe",
                  L"Application paths", 1, 0, 232, L"$APPLICATIONPATH$", dir_ + L"gone\\x.exe"});

    // The results row shows the key entry's value as "(Default)"; the record keeps "".
    ASSERT_EQ(view_.Rows().size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const ResultRow row = view_.Rows()[i].row;
        const DetectedError& r = Records()[i];
        EXPECT_EQ(row.columns[0], L"HKEY_LOCAL_MACHINE");
        EXPECT_EQ(row.columns[1], r.keyPath);
        EXPECT_EQ(row.columns[2], L"(Default)");
        EXPECT_EQ(row.columns[3], r.valueData);
        EXPECT_EQ(row.columns[4], L"Application paths");
        EXPECT_EQ(row.image, 7);
        EXPECT_EQ(row.id, r.id);
    }
    EXPECT_EQ(AreaTable()[1].errorsFound, 3);
}

TEST_F(SoftwareAreas, InstalledSoftwareReportsEntriesThatLostTheirFiles) {
    const std::wstring app = File(L"App\\app.exe");
    const std::wstring uninstaller = File(L"My Apps\\uninst.exe");
    File(L"App\\app.ico");
    const std::wstring u = std::wstring(kUninstall) + L"\\";
    auto entry = [&](const std::wstring& name,
                     std::vector<std::pair<std::wstring, std::wstring>> values) {
        box_->CreateKey(HKEY_LOCAL_MACHINE, u + name);
        for (const auto& [value, data] : values)
            Str(HKEY_LOCAL_MACHINE, u + name, value, data);
    };
    // Left alone:
    entry(L"Good", {{L"DisplayName", L"Good"},
                    {L"DisplayIcon", app + L",0"},
                    {L"InstallLocation", dir_ + L"App"},
                    {L"UninstallString", L"\"" + uninstaller + L"\" /uninstall"}});
    entry(L"Unquoted", {{L"UninstallString", uninstaller + L" /S /log=x"}});
    entry(L"Expand", {});
    Str(HKEY_LOCAL_MACHINE, u + L"Expand", L"UninstallString", L"%MDR_AREA_DIR%\\App\\app.exe",
        REG_EXPAND_SZ);
    entry(L"Msi", {{L"UninstallString", Missing(L"setup.exe")}});
    box_->SetDword(HKEY_LOCAL_MACHINE, u + L"Msi", L"WindowsInstaller", 1);
    entry(L"RunDll", {{L"UninstallString", L"RunDll32.exe " + Missing(L"x.dll") + L",Remove"}});
    entry(L"IconInLocation", {{L"DisplayIcon", L"app.ico"}, {L"InstallLocation", dir_ + L"App"}});
    entry(L"LowerCase", {{L"displayicon", Missing(L"a.ico")}, {L"installlocation", Missing(L"")}});
    entry(L"Empty", {{L"DisplayIcon", L""}, {L"InstallLocation", L""}, {L"UninstallString", L""}});
    // A stale icon or folder does not condemn an entry whose uninstaller is still there.
    entry(L"StaleIcon", {{L"DisplayIcon", Missing(L"old.ico")},
                         {L"InstallLocation", Missing(L"")},
                         {L"UninstallString", L"\"" + uninstaller + L"\""}});
    // Reported:
    entry(L"Msi0", {{L"UninstallString", Missing(L"setup.exe") + L" /remove"}});
    box_->SetDword(HKEY_LOCAL_MACHINE, u + L"Msi0", L"WindowsInstaller", 0);
    entry(L"IconGone",
          {{L"DisplayName", L"Icon gone"}, {L"DisplayIcon", Missing(L"app.exe") + L",-2"}});
    entry(L"LocationGone", {{L"InstallLocation", Missing(L"Folder")}});
    entry(L"TwoBroken", {{L"DisplayIcon", Missing(L"two.ico")},
                         {L"UninstallString", L"\"" + Missing(L"two.exe") + L"\" /x"}});

    EXPECT_EQ(Run(11, ScanInstalledSoftware), 4);
    ASSERT_EQ(Records().size(), 4u);
    ExpectRecord({kHklm, u + L"Msi0", L"UninstallString", Missing(L"setup.exe") + L" /remove",
                  L"Installed software", 1, 0, 233, L"$FILEPATH$",
                  Missing(L"setup.exe") + L" /remove"});
    ExpectRecord({kHklm, u + L"IconGone", L"DisplayIcon", Missing(L"app.exe") + L",-2",
                  L"Installed software", 1, 0, 249, L"$FILEPATH$", Missing(L"app.exe") + L",-2"});
    ExpectRecord({kHklm, u + L"LocationGone", L"InstallLocation", Missing(L"Folder"),
                  L"Installed software", 1, 0, 250, L"$PATH$", Missing(L"Folder")});
    // One error per entry: the broken value that the registry lists first.
    std::wstring first;
    for (const std::wstring& name : ValueOrder(HKEY_LOCAL_MACHINE, u + L"TwoBroken")) {
        if (name == L"DisplayIcon" || name == L"UninstallString") {
            first = name;
            break;
        }
    }
    if (first == L"DisplayIcon") {
        ExpectRecord({kHklm, u + L"TwoBroken", L"DisplayIcon", Missing(L"two.ico"),
                      L"Installed software", 1, 0, 249, L"$FILEPATH$", Missing(L"two.ico")});
    } else {
        ExpectRecord({kHklm, u + L"TwoBroken", L"UninstallString",
                      L"\"" + Missing(L"two.exe") + L"\" /x", L"Installed software", 1, 0, 233,
                      L"$FILEPATH$", L"\"" + Missing(L"two.exe") + L"\" /x"});
    }
}

TEST_F(SoftwareAreas, ServicesReportMissingImagePaths) {
    const std::wstring svc = File(L"My Apps\\svc.exe");
    const std::wstring windows = ScanEnginePaths().windowsFolder;
    ASSERT_NE(GetFileAttributesW((windows + L"system32\\drivers\\mountmgr.sys").c_str()),
              INVALID_FILE_ATTRIBUTES);
    const std::wstring s = std::wstring(kServices) + L"\\";
    Str(HKEY_LOCAL_MACHINE, s + L"Quoted", L"ImagePath", L"\"" + svc + L"\" -service");
    Str(HKEY_LOCAL_MACHINE, s + L"Unquoted", L"ImagePath", svc + L" -k netsvcs");
    Str(HKEY_LOCAL_MACHINE, s + L"Expand", L"ImagePath",
        L"%SystemRoot%\\System32\\drivers\\mountmgr.sys", REG_EXPAND_SZ);
    Str(HKEY_LOCAL_MACHINE, s + L"SystemRoot", L"ImagePath",
        L"\\SYSTEMROOT\\System32\\drivers\\mountmgr.sys");
    Str(HKEY_LOCAL_MACHINE, s + L"NtPath", L"ImagePath", L"\\??\\" + svc);
    // The search folders here lack the windows folder: Windows itself resolves a relative
    // driver path against the windows folder, so must the area.
    Str(HKEY_LOCAL_MACHINE, s + L"Relative", L"ImagePath", L"system32\\DRIVERS\\mountmgr.sys");
    Str(HKEY_LOCAL_MACHINE, s + L"NoImage", L"Start", L"3");
    Str(HKEY_LOCAL_MACHINE, s + L"EmptyImage", L"ImagePath", L"");
    // Reported:
    Str(HKEY_LOCAL_MACHINE, s + L"Gone", L"ImagePath", L"\"" + Missing(L"svc.exe") + L"\" -run");
    Str(HKEY_LOCAL_MACHINE, s + L"GoneDriver", L"ImagePath", L"system32\\drivers\\mdr-gone.sys");

    EXPECT_EQ(Run(14, ScanServices), 2);
    ASSERT_EQ(Records().size(), 2u);
    ExpectRecord({kHklm, s + L"Gone", L"ImagePath", L"\"" + Missing(L"svc.exe") + L"\" -run",
                  L"Services", 0, 0, 254, L"$FILEPATH$", L"\"" + Missing(L"svc.exe") + L"\" -run"});
    ExpectRecord({kHklm, s + L"GoneDriver", L"ImagePath", L"system32\\drivers\\mdr-gone.sys",
                  L"Services", 0, 0, 254, L"$FILEPATH$", L"system32\\drivers\\mdr-gone.sys"});
    EXPECT_EQ(view_.Rows()[0].row.image, 8);
}

TEST_F(SoftwareAreas, SoundsTestTheSchemeKeysOfEveryEvent) {
    File(L"search\\mdr-ding.wav");
    File(L"App\\sound.wav");
    const std::wstring a = std::wstring(kSoundApps) + L"\\";
    Str(HKEY_CURRENT_USER, a + L".Default", L"", L"Windows"); // the application's display name
    Str(HKEY_CURRENT_USER, a + L".Default\\SystemAsterisk", L"", L"Asterisk");
    Str(HKEY_CURRENT_USER, a + L".Default\\SystemAsterisk\\.Current", L"", L"");
    Str(HKEY_CURRENT_USER, a + L".Default\\SystemAsterisk\\.Default", L"", L"mdr-ding.wav");
    Str(HKEY_CURRENT_USER, a + L"MyApp", L"", L"My App");
    Str(HKEY_CURRENT_USER, a + L"MyApp\\Start\\.Current", L"", L"%MDR_AREA_DIR%\\App\\sound.wav",
        REG_EXPAND_SZ);
    Str(HKEY_CURRENT_USER, a + L"MyApp\\Start\\.Modified", L"", Missing(L"mod.wav"));
    Str(HKEY_CURRENT_USER, a + L"MyApp\\Start\\Other", L"", Missing(L"other.wav"));
    // Reported:
    Str(HKEY_CURRENT_USER, a + L".Default\\SystemHand\\.Current", L"", Missing(L"hand.wav"));
    Str(HKEY_CURRENT_USER, a + L"MyApp\\Start\\.DEFAULT", L"", L"mdr-gone.wav");
    Str(HKEY_CURRENT_USER, a + L"MyApp\\Deep\\Deeper\\.current", L"", Missing(L"deep.wav"));

    EXPECT_EQ(Run(16, ScanSounds), 3);
    ASSERT_EQ(Records().size(), 3u);
    ExpectRecord({kHkcu, a + L".Default\\SystemHand\\.Current", L"", Missing(L"hand.wav"),
                  L"Sounds", 0, 0, 256, L"$FILEPATH$", Missing(L"hand.wav")});
    ExpectRecord({kHkcu, a + L"MyApp\\Start\\.DEFAULT", L"", L"mdr-gone.wav", L"Sounds", 0, 0, 256,
                  L"$FILEPATH$", L"mdr-gone.wav"});
    ExpectRecord({kHkcu, a + L"MyApp\\Deep\\Deeper\\.current", L"", Missing(L"deep.wav"), L"Sounds",
                  0, 0, 256, L"$FILEPATH$", Missing(L"deep.wav")});
}

TEST_F(SoftwareAreas, StartupSoftwareReportsCommandsThatStartNothing) {
    const std::wstring app = File(L"My Apps\\app.exe");
    File(L"search\\tool.exe");
    const std::wstring run = kCurrentVersion + std::wstring(L"Run");
    const std::wstring runOnceEx = kCurrentVersion + std::wstring(L"RunOnceEx");
    Str(HKEY_CURRENT_USER, run, L"Quoted", L"\"" + app + L"\" /tray");
    Str(HKEY_CURRENT_USER, run, L"Unquoted", app + L" -minimized -x");
    Str(HKEY_CURRENT_USER, run, L"Bare", L"tool.exe /background");
    Str(HKEY_CURRENT_USER, run, L"Expand", L"%MDR_AREA_DIR%\\My Apps\\app.exe", REG_EXPAND_SZ);
    Str(HKEY_CURRENT_USER, run, L"Folder", dir_ + L"My Apps");
    Str(HKEY_CURRENT_USER, run, L"", Missing(L"default.exe")); // the default value is no entry
    // RunOnceEx keeps its commands in subkeys; its own values configure the run.
    Str(HKEY_LOCAL_MACHINE, runOnceEx, L"Title", L"Finishing setup");
    box_->SetDword(HKEY_LOCAL_MACHINE, runOnceEx, L"Flags", 0x80);
    // Reported:
    Str(HKEY_CURRENT_USER, run, L"Gone", L"\"" + Missing(L"gone.exe") + L"\" /min");
    Str(HKEY_CURRENT_USER, run, L"Empty", L"");
    Str(HKEY_LOCAL_MACHINE, kCurrentVersion + std::wstring(L"Policies\\Explorer\\Run"), L"1",
        Missing(L"policy.exe"));
    Str(HKEY_LOCAL_MACHINE, run, L"Gone", L"mdr-no-such-tool.exe -x");
    Str(HKEY_LOCAL_MACHINE, runOnceEx, L"Leftover", Missing(L"leftover.exe"));

    EXPECT_EQ(Run(17, ScanStartupSoftware), 5);
    ASSERT_EQ(Records().size(), 5u);
    ExpectRecord({kHkcu, run, L"Gone", L"\"" + Missing(L"gone.exe") + L"\" /min",
                  L"Startup software", 1, 1, 257, L"$FILEPATH$",
                  L"\"" + Missing(L"gone.exe") + L"\" /min"});
    ExpectRecord({kHkcu, run, L"Empty", L"", L"Startup software", 1, 1, 257, L"$FILEPATH$", L""});
    // Records come in walk order: all of HKEY_CURRENT_USER, then HKEY_LOCAL_MACHINE by location.
    EXPECT_EQ(Records()[2].keyPath, kCurrentVersion + std::wstring(L"Policies\\Explorer\\Run"));
    ExpectRecord({kHklm, kCurrentVersion + std::wstring(L"Policies\\Explorer\\Run"), L"1",
                  Missing(L"policy.exe"), L"Startup software", 1, 1, 257, L"$FILEPATH$",
                  Missing(L"policy.exe")});
    EXPECT_EQ(Records()[3].valueName, L"Leftover");
    EXPECT_EQ(Records()[4].root, kHklm);
    EXPECT_EQ(Records()[4].valueData, L"mdr-no-such-tool.exe -x");
    // The row shows language entry 88 for empty data; the record keeps "".
    bool emptyRowSeen = false;
    for (const HeadlessScanView::Row& shown : view_.Rows()) {
        const ResultRow& row = shown.row;
        if (row.columns[2] != L"Empty") continue;
        emptyRowSeen = true;
        EXPECT_EQ(row.columns[3], LangText(88));
    }
    EXPECT_TRUE(emptyRowSeen);
}

// ---------------------------------------------------------------------------------------------
// Cancellation: the area gives up at once with -1 and a count of 0.

TEST_F(SoftwareAreas, CancellingEndsTheAreaAtOnce) {
    const std::wstring run = kCurrentVersion + std::wstring(L"Run");
    for (const wchar_t* name : {L"a", L"b", L"c", L"d"}) {
        Str(HKEY_CURRENT_USER, run, name, Missing(name));
        Str(HKEY_LOCAL_MACHINE, run, name, Missing(name));
    }
    for (const wchar_t* app : {L"A", L"B", L"C"}) {
        Str(HKEY_CURRENT_USER, std::wstring(kSoundApps) + L"\\" + app + L"\\Event\\.Current", L"",
            Missing(L"x.wav"));
    }
    const std::wstring u = std::wstring(kUninstall) + L"\\";
    Str(HKEY_LOCAL_MACHINE, u + L"One", L"UninstallString", Missing(L"1.exe"));
    Str(HKEY_LOCAL_MACHINE, u + L"Two", L"UninstallString", Missing(L"2.exe"));
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
                          ScanSharedDLLs, ScanSounds, ScanStartupSoftware}) {
        EXPECT_EQ(Run(2, area), 0);
    }
    EXPECT_TRUE(Records().empty());
    // The sandbox's own SOFTWARE\Classes is the only key any of them may have looked at.
    for (const std::wstring& item : g_items)
        EXPECT_EQ(item, L" HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes");
}

} // namespace
