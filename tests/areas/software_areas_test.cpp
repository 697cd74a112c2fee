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
#include "tests/support/registry_sandbox.h"

using namespace mdr;

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

// Progress callback: records every examined item; answers "stop" once the budget is spent.
std::vector<std::wstring> g_items;
int g_itemBudget = -1; // -1 = never stop
int RecordProgress(const std::wstring& item) {
    g_items.push_back(item);
    return g_itemBudget < 0 || static_cast<int>(g_items.size()) <= g_itemBudget ? 1 : 0;
}

std::wstring WindowsPathOf(const char* unixPath) {
    std::wstring path = L"Z:" + FromUtf8(unixPath);
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    if (path.back() != L'\\') path += L'\\';
    return path;
}

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

class SoftwareAreas : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        InitScanEnginePaths();
        g_startupSearchFolders = ScanEnginePaths().searchFolders;
        const char* dist = std::getenv("MDR_DIST_DIR");
        ASSERT_NE(dist, nullptr);
        ASSERT_EQ(LoadLanguage(WindowsPathOf(dist), L"Localization\\English.ini"), 1);
    }

    void SetUp() override {
        sandbox_ = std::make_unique<test::RegistrySandbox>(L"SoftwareAreas");
        dir_ = sandbox_->Folder();
        MakeDir(L"search");
        MakeDir(L"My Apps");
        MakeDir(L"App");
        SetEnvironmentVariableW(L"MDR_AREA_DIR", dir_.substr(0, dir_.size() - 1).c_str());
        SetSearchFolders({dir_ + L"search\\"});
        SetRemovableRoots({});
        SetSkipRemovable(1);
        SetScanDelay(0);
        Settings().CreateLog = 0;
        Settings().SelectItems = 3;
        Settings().HighlightEntry = 0;
        SkipMap().clear();
        Exceptions().clear();
        SetScanView(&view_);
        SetErrorReportCallback(ReportDetectedError);
        SetProgressCallback(RecordProgress);
        ClearRecords();
        SetErrorsFound(0);
        for (int i = 0; i < kAreaCount; ++i)
            AreaTable()[i].errorsFound = 0;
        g_items.clear();
        g_itemBudget = -1;
    }

    void TearDown() override {
        ClearRecords();
        SetErrorsFound(0);
        SetScanView(nullptr);
        SetProgressCallback(nullptr);
        SetErrorReportCallback(nullptr);
        SetSearchFolders(g_startupSearchFolders);
        SetEnvironmentVariableW(L"MDR_AREA_DIR", nullptr);
        sandbox_.reset();
    }

    void MakeDir(const std::wstring& relative) {
        CreateDirectoryW((dir_ + relative).c_str(), nullptr);
    }
    std::wstring File(const std::wstring& relative) { return sandbox_->MakeFile(relative); }
    std::wstring Missing(const std::wstring& relative) { return dir_ + L"gone\\" + relative; }

    void Str(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& data,
             DWORD type = REG_SZ) {
        sandbox_->SetString(root, key, name, data, type);
    }

    // Runs one area as the scan thread would, with its tree item as the current area.
    int Run(int item, int (*area)()) {
        SetCurrentArea(item);
        AreaErrorCount() = 12345; // the area must start from 0
        return area();
    }

    const DetectedError* Find(const std::wstring& keyPath, const std::wstring& valueName = L"") {
        for (const DetectedError& r : Records()) {
            if (r.keyPath == keyPath && r.valueName == valueName) return &r;
        }
        return nullptr;
    }

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
        EXPECT_EQ(r->description, ReplacePlaceholder(LangText(e.text), e.placeholder, quoted));
        EXPECT_NE(r->description.find(quoted), std::wstring::npos)
            << "entry " << e.text << " should carry " << ToUtf8(e.placeholder);
        EXPECT_GT(r->description.size(), quoted.size());
    }

    std::unique_ptr<test::RegistrySandbox> sandbox_;
    std::wstring dir_;
    HeadlessScanView view_;
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
    sandbox_->SetDword(HKEY_LOCAL_MACHINE, base + L"\\blocked.exe", L"BlockOnTSNonInstallMode", 1);
    // Reported:
    Str(HKEY_LOCAL_MACHINE, base + L"\\missing.exe", L"", Missing(L"missing.exe"));
    Str(HKEY_LOCAL_MACHINE, base + L"\\unblocked.exe", L"", Missing(L"unblocked.exe"));
    sandbox_->SetDword(HKEY_LOCAL_MACHINE, base + L"\\unblocked.exe", L"BlockOnTSNonInstallMode",
                       0);
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

TEST_F(SoftwareAreas, DriversFindBareNamesThroughTheSearchFolders) {
    File(L"search\\mdrcodec.acm");
    const std::wstring full = File(L"App\\wave.drv");
    Str(HKEY_LOCAL_MACHINE, kDrivers32, L"msacm.present", L"mdrcodec.acm");
    Str(HKEY_LOCAL_MACHINE, kDrivers32, L"wave", full);
    Str(HKEY_LOCAL_MACHINE, kDrivers32, L"msacm.expand", L"%MDR_AREA_DIR%\\App\\wave.drv",
        REG_EXPAND_SZ);
    Str(HKEY_LOCAL_MACHINE, kDrivers32, L"midi", L"");
    Str(HKEY_LOCAL_MACHINE, kDrivers32, L"", L"gone-default.drv"); // the default value is no driver
    Str(HKEY_LOCAL_MACHINE, kDrivers32, L"msacm.gone", L"mdrgone.acm");
    Str(HKEY_LOCAL_MACHINE, kDrivers32, L"vidc.gone", Missing(L"codec.dll"));

    EXPECT_EQ(Run(3, ScanDrivers), 2);
    ASSERT_EQ(Records().size(), 2u);
    ExpectRecord({kHklm, kDrivers32, L"msacm.gone", L"mdrgone.acm", L"Drivers", 0, 1, 233,
                  L"$FILEPATH$", L"mdrgone.acm"});
    ExpectRecord({kHklm, kDrivers32, L"vidc.gone", Missing(L"codec.dll"), L"Drivers", 0, 1, 233,
                  L"$FILEPATH$", Missing(L"codec.dll")});
    ASSERT_EQ(view_.Rows().size(), 2u);
    EXPECT_EQ(view_.Rows()[0].row.image, 8);
    EXPECT_EQ(view_.Rows()[0].row.columns[2], Records()[0].valueName);
}

TEST_F(SoftwareAreas, DriversInTheSystemFolderPassWithThePathAsSearchFolders) {
    SetSearchFolders(g_startupSearchFolders);
    ASSERT_NE(GetFileAttributesW((ScanEnginePaths().systemFolder + L"msacm32.dll").c_str()),
              INVALID_FILE_ATTRIBUTES);
    Str(HKEY_LOCAL_MACHINE, kDrivers32, L"wavemapper", L"msacm32.dll");
    Str(HKEY_LOCAL_MACHINE, kDrivers32, L"msacm.gone", L"mdr-no-such-codec.acm");
    EXPECT_EQ(Run(3, ScanDrivers), 1);
    ASSERT_EQ(Records().size(), 1u);
    EXPECT_EQ(Records()[0].valueName, L"msacm.gone");
}

TEST_F(SoftwareAreas, HelpFilesAreLookedUpInTheirFolderAndTheSearchFolders) {
    File(L"App\\app.hlp");
    File(L"App\\app.chm");
    File(L"search\\shared.hlp");
    Str(HKEY_LOCAL_MACHINE, kHelp, L"app.hlp", dir_ + L"App"); // no trailing "\"
    Str(HKEY_LOCAL_MACHINE, kHelp, L"shared.hlp", Missing(L""));
    Str(HKEY_LOCAL_MACHINE, kHtmlHelp, L"app.chm", dir_ + L"App\\");
    // Reported:
    Str(HKEY_LOCAL_MACHINE, kHelp, L"gone.hlp", dir_ + L"App\\\\");
    Str(HKEY_LOCAL_MACHINE, kHtmlHelp, L"gone.chm", dir_ + L"App");

    EXPECT_EQ(Run(4, ScanHelp), 2);
    ASSERT_EQ(Records().size(), 2u);
    // The help key is walked before the HTML help key.
    EXPECT_EQ(Records()[0].keyPath, kHelp);
    ExpectRecord({kHklm, kHelp, L"gone.hlp", dir_ + L"App\\gone.hlp", L"Help files", 1, 1, 236,
                  L"$FILEPATH$", dir_ + L"App\\gone.hlp"});
    ExpectRecord({kHklm, kHtmlHelp, L"gone.chm", dir_ + L"App\\gone.chm", L"Help files", 1, 1, 236,
                  L"$FILEPATH$", dir_ + L"App\\gone.chm"});
}

TEST_F(SoftwareAreas, FontsAreLookedUpInTheFontsFolderOrAtTheirFullPath) {
    const std::wstring fonts = ScanEnginePaths().fontsFolder;
    ASSERT_FALSE(fonts.empty());
    ASSERT_NE(GetFileAttributesW(fonts.c_str()), INVALID_FILE_ATTRIBUTES);
    const std::wstring fontName = L"mdr-areas-" + std::to_wstring(GetCurrentProcessId()) + L".ttf";
    {
        UniqueFile f(CreateFileW((fonts + fontName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(f);
    }
    ScopeExit removeFont([&] { DeleteFileW((fonts + fontName).c_str()); });
    const std::wstring ownFont = File(L"App\\own.ttf");
    Str(HKEY_LOCAL_MACHINE, kFonts, L"Areas Test (TrueType)", fontName);
    Str(HKEY_LOCAL_MACHINE, kFonts, L"Own Folder (TrueType)", ownFont);
    Str(HKEY_LOCAL_MACHINE, kFonts, L"Empty (TrueType)", L"");
    // Reported:
    Str(HKEY_LOCAL_MACHINE, kFonts, L"Gone (TrueType)", L"mdr-gone-font.ttf");
    Str(HKEY_LOCAL_MACHINE, kFonts, L"Gone Own (TrueType)", Missing(L"own.ttf"));
    // A name that exists only outside the fonts folder does not count.
    File(L"search\\elsewhere.ttf");
    Str(HKEY_LOCAL_MACHINE, kFonts, L"Elsewhere (TrueType)", L"elsewhere.ttf");

    EXPECT_EQ(Run(6, ScanFonts), 3);
    ExpectRecord({kHklm, kFonts, L"Elsewhere (TrueType)", L"elsewhere.ttf", L"Fonts", 1, 1, 235,
                  L"$FILEPATH$", L"elsewhere.ttf"});
    ExpectRecord({kHklm, kFonts, L"Gone (TrueType)", L"mdr-gone-font.ttf", L"Fonts", 1, 1, 235,
                  L"$FILEPATH$", L"mdr-gone-font.ttf"});
    ExpectRecord({kHklm, kFonts, L"Gone Own (TrueType)", Missing(L"own.ttf"), L"Fonts", 1, 1, 235,
                  L"$FILEPATH$", Missing(L"own.ttf")});
    EXPECT_EQ(Find(kFonts, L"Areas Test (TrueType)"), nullptr);
    EXPECT_EQ(Find(kFonts, L"Own Folder (TrueType)"), nullptr);
    EXPECT_EQ(Find(kFonts, L"Empty (TrueType)"), nullptr);
}

TEST_F(SoftwareAreas, InstalledSoftwareReportsEntriesThatLostTheirFiles) {
    const std::wstring app = File(L"App\\app.exe");
    const std::wstring uninstaller = File(L"My Apps\\uninst.exe");
    File(L"App\\app.ico");
    const std::wstring u = std::wstring(kUninstall) + L"\\";
    auto entry = [&](const std::wstring& name,
                     std::vector<std::pair<std::wstring, std::wstring>> values) {
        sandbox_->CreateKey(HKEY_LOCAL_MACHINE, u + name);
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
    sandbox_->SetDword(HKEY_LOCAL_MACHINE, u + L"Msi", L"WindowsInstaller", 1);
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
    sandbox_->SetDword(HKEY_LOCAL_MACHINE, u + L"Msi0", L"WindowsInstaller", 0);
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

TEST_F(SoftwareAreas, InstalledSoftwareReportsCachedEntriesWithoutAnUninstallEntry) {
    const std::wstring u = std::wstring(kUninstall) + L"\\";
    const std::wstring c = std::wstring(kArpCache) + L"\\";
    Str(HKEY_LOCAL_MACHINE, u + L"Kept App", L"DisplayName", L"Kept");
    sandbox_->SetBinary(HKEY_LOCAL_MACHINE, c + L"Kept App", L"SlowInfoCache", "\0\0\0\0", 4);
    sandbox_->CreateKey(HKEY_LOCAL_MACHINE, c + L"KEPT APP2");
    Str(HKEY_LOCAL_MACHINE, u + L"kept app2", L"DisplayName", L"Kept 2");
    sandbox_->CreateKey(HKEY_LOCAL_MACHINE, c + L"Removed App");

    EXPECT_EQ(Run(11, ScanInstalledSoftware), 1);
    ASSERT_EQ(Records().size(), 1u);
    ExpectRecord({kHklm, c + L"Removed App", L"", L"", L"Installed software", 1, 0, 251, L"$ENTRY$",
                  L"Removed App"});
}

TEST_F(SoftwareAreas, MuiCacheReportsProgramsThatAreGone) {
    const std::wstring app = File(L"App\\app.exe");
    Str(HKEY_CURRENT_USER, kMuiCache, app, L"My App");
    Str(HKEY_CURRENT_USER, kMuiCache, L"@" + Missing(L"shell.dll") + L",-100", L"Resource");
    sandbox_->SetBinary(HKEY_CURRENT_USER, kMuiCache, L"LangID", "\x09\x04", 2);
    Str(HKEY_CURRENT_USER, kMuiCache, Missing(L"old.exe"), L"Old App");
    sandbox_->SetDword(HKEY_CURRENT_USER, kMuiCache, Missing(L"num.exe"), 7);

    EXPECT_EQ(Run(12, ScanMUICache), 2);
    ASSERT_EQ(Records().size(), 2u);
    ExpectRecord({kHkcu, kMuiCache, Missing(L"old.exe"), L"Old App", L"MUI Cache", 1, 1, 252,
                  L"$FILEPATH$", Missing(L"old.exe")});
    ExpectRecord({kHkcu, kMuiCache, Missing(L"num.exe"), L"7", L"MUI Cache", 1, 1, 252,
                  L"$FILEPATH$", Missing(L"num.exe")});
    EXPECT_EQ(view_.Rows()[0].row.columns[0], L"HKEY_CURRENT_USER");
}

TEST_F(SoftwareAreas, ObsoleteSoftwareReportsVendorKeysWithoutAnyValue) {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        for (const wchar_t* kept :
             {L"SOFTWARE\\Classes\\Empty", L"SOFTWARE\\Microsoft", L"SOFTWARE\\Policies",
              L"SOFTWARE\\printers", L"SOFTWARE\\Windows 3.1 Migration Status\\x"}) {
            sandbox_->CreateKey(root, kept);
        }
    }
    Str(HKEY_CURRENT_USER, L"SOFTWARE\\Vendor A", L"Setting", L"1");
    sandbox_->SetDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Vendor B\\App\\1.0\\Deep", L"", 0);
    sandbox_->CreateKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Vendor B\\Other");
    // Reported:
    sandbox_->CreateKey(HKEY_CURRENT_USER, L"SOFTWARE\\Old Vendor\\App\\Settings");
    sandbox_->CreateKey(HKEY_CURRENT_USER, L"SOFTWARE\\Old Vendor\\Tool");
    sandbox_->CreateKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Gone Corp");

    EXPECT_EQ(Run(13, ScanObsoleteSoftware), 2);
    ASSERT_EQ(Records().size(), 2u);
    // HKEY_CURRENT_USER is walked first.
    EXPECT_EQ(Records()[0].root, kHkcu);
    ExpectRecord({kHkcu, L"SOFTWARE\\Old Vendor", L"", L"", L"Obsolete software", 1, 0, 253,
                  L"$ENTRY$", L"SOFTWARE\\Old Vendor"});
    ExpectRecord({kHklm, L"SOFTWARE\\Gone Corp", L"", L"", L"Obsolete software", 1, 0, 253,
                  L"$ENTRY$", L"SOFTWARE\\Gone Corp"});
}

TEST_F(SoftwareAreas, ObsoleteSoftwareNeverCallsAnUnreadableKeyEmpty) {
    // A protected subkey holds a value that cannot be counted; a protected vendor key cannot be
    // looked into at all. Neither is known to be empty.
    Str(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Guarded\\Secret", L"Licence", L"x");
    Str(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Locked\\Inner", L"Licence", L"x");
    sandbox_->CreateKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Empty Vendor\\Sub");
    sandbox_->DenyRead(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Guarded\\Secret");
    sandbox_->DenyRead(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Locked");
    EXPECT_EQ(Run(13, ScanObsoleteSoftware), 1);
    ASSERT_EQ(Records().size(), 1u);
    EXPECT_EQ(Records()[0].keyPath, L"SOFTWARE\\Empty Vendor");
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

TEST_F(SoftwareAreas, SharedDllsReportFilesThatAreGone) {
    const std::wstring dll = File(L"App\\shared.dll");
    sandbox_->SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, dll, 3);
    sandbox_->SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, dir_ + L"App", 1); // a folder
    sandbox_->SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, Missing(L"old.dll"), 2);
    sandbox_->SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, Missing(L"max.ocx"), 0xFFFFFFFF);

    EXPECT_EQ(Run(15, ScanSharedDLLs), 2);
    ASSERT_EQ(Records().size(), 2u);
    ExpectRecord({kHklm, kSharedDlls, Missing(L"old.dll"), L"2", L"Shared DLLs", 1, 1, 255,
                  L"$FILEPATH$", Missing(L"old.dll")});
    ExpectRecord({kHklm, kSharedDlls, Missing(L"max.ocx"), L"-1", L"Shared DLLs", 1, 1, 255,
                  L"$FILEPATH$", Missing(L"max.ocx")});
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

// The sixteen start-up locations in walk order.
std::vector<std::pair<RootKey, std::wstring>> StartupLocations() {
    std::vector<std::pair<RootKey, std::wstring>> list;
    for (RootKey root : {kHkcu, kHklm}) {
        for (const wchar_t* tail :
             {L"Policies\\Explorer\\Run", L"RunServicesOnce", L"RunServices", L"RunOnceEx",
              L"RunOnce\\Setup", L"RunOnce", L"RunEx", L"Run"}) {
            list.emplace_back(root, kCurrentVersion + std::wstring(tail));
        }
    }
    return list;
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
    sandbox_->SetDword(HKEY_LOCAL_MACHINE, runOnceEx, L"Flags", 0x80);
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

TEST_F(SoftwareAreas, StartupSoftwareWalksItsSixteenLocationsInOrder) {
    const auto locations = StartupLocations();
    for (const auto& [root, key] : locations) {
        Str(ToHkey(root), key, L"entry", Missing(L"x.exe"));
    }
    EXPECT_EQ(Run(17, ScanStartupSoftware), 16);
    ASSERT_EQ(g_items.size(), 16u);
    for (size_t i = 0; i < locations.size(); ++i) {
        EXPECT_EQ(g_items[i], L" " + RootKeyName(locations[i].first) + L"\\" + locations[i].second +
                                  L"\\entry");
        EXPECT_EQ(Records()[i].keyPath, locations[i].second);
    }
}

// ---------------------------------------------------------------------------------------------
// Cancellation: the area gives up at once with -1 and a count of 0.

TEST_F(SoftwareAreas, CancellingStopsTheAreaBeforeItsRemainingWalks) {
    const std::wstring run = kCurrentVersion + std::wstring(L"Run");
    for (const wchar_t* name : {L"a", L"b", L"c", L"d"}) {
        Str(HKEY_CURRENT_USER, run, name, Missing(name));
        Str(HKEY_LOCAL_MACHINE, run, name, Missing(name));
    }
    g_itemBudget = 2;
    EXPECT_EQ(Run(17, ScanStartupSoftware), -1);
    EXPECT_EQ(AreaErrorCount(), 0);
    EXPECT_EQ(Records().size(), 2u); // what was stored before the stop stays
    for (const std::wstring& item : g_items) {
        EXPECT_EQ(item.find(L"HKEY_LOCAL_MACHINE"), std::wstring::npos) << ToUtf8(item);
    }
}

TEST_F(SoftwareAreas, CancellingDeepInARecursiveWalkEndsTheArea) {
    const std::wstring a = std::wstring(kSoundApps) + L"\\";
    for (const wchar_t* app : {L"A", L"B", L"C"}) {
        Str(HKEY_CURRENT_USER, a + app + L"\\Event\\.Current", L"", Missing(L"x.wav"));
    }
    g_itemBudget = 2; // A and A\Event; A\Event\.Current asks to stop
    EXPECT_EQ(Run(16, ScanSounds), -1);
    EXPECT_EQ(AreaErrorCount(), 0);
    EXPECT_TRUE(Records().empty());
}

TEST_F(SoftwareAreas, CancellingInTheFirstWalkSkipsTheCachedEntries) {
    const std::wstring u = std::wstring(kUninstall) + L"\\";
    Str(HKEY_LOCAL_MACHINE, u + L"One", L"UninstallString", Missing(L"1.exe"));
    Str(HKEY_LOCAL_MACHINE, u + L"Two", L"UninstallString", Missing(L"2.exe"));
    sandbox_->CreateKey(HKEY_LOCAL_MACHINE, std::wstring(kArpCache) + L"\\Three");
    g_itemBudget = 1;
    EXPECT_EQ(Run(11, ScanInstalledSoftware), -1);
    EXPECT_EQ(AreaErrorCount(), 0);
    ASSERT_EQ(Records().size(), 1u);
    EXPECT_EQ(Records()[0].keyPath, u + L"One");
    for (const std::wstring& item : g_items) {
        EXPECT_EQ(item.find(L"ARPCache"), std::wstring::npos) << ToUtf8(item);
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
