// The installer under Wine: a silent install puts the files, the Start-menu shortcuts and the
// uninstall entry in place, and MDR starts and scans from the installed folder without reporting
// its own install; a re-install and a silent uninstall keep the user's backups and remove all
// else.
#include <shlobj.h>
#include <algorithm>
#include <array>
#include <optional>
#include "tests/support/mdr_fixtures.h"
#include "tools/quorran/uninstall_entries.h"

namespace {
using namespace mdr::driver;

const wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VeltraneMendora";
// The uninstall entry of each edition lives in its own registry view.
const REGSAM kView = sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;

// CSIDL_PROGRAM_FILES + "Veltrane\\" (vendor) + "Veltrane Mendora\\", or the Start-menu folder.
std::wstring Folder(int csidl, const wchar_t* below) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, 0, path);
    return std::wstring(path) + L"\\" + below;
}
const std::wstring kVendorDir = Folder(CSIDL_PROGRAM_FILES, L"Veltrane\\");
const std::wstring kInstallDir = kVendorDir + L"Veltrane Mendora\\";
const std::wstring kMenuDir = Folder(CSIDL_COMMON_PROGRAMS, L"Veltrane Mendora\\");

// What ships and its Start-menu entries.
std::vector<std::wstring> Shipped() {
    std::vector<std::wstring> files = {L"MDR.exe",
                                       L"MDRSkipMap.dat",
                                       L"MDR.chm",
                                       L"Uninstall.exe",
                                       L"Localization\\English.ini",
                                       kMenuDir + L"Veltrane Mendora.lnk"};
    for (const std::wstring tool : {L"Ostrel", L"Pellick", L"Quorran", L"Sevrid"}) {
        files.push_back(L"Plugins\\" + tool + L".ini");
        files.push_back(L"Plugins\\Tools\\" + tool + L".chm");
        files.push_back(L"Plugins\\Tools\\" + tool + L".exe");
        files.push_back(kMenuDir + tool + L".lnk");
    }
    return files;
}
std::wstring PathOf(const std::wstring& file) {
    return file.find(L':') == std::wstring::npos ? kInstallDir + file : file;
}

mdr::UniqueHkey OpenEntry() {
    mdr::UniqueHkey key;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ | kView, key.put());
    return key;
}
// The value's data when it has the type asked for (RRF_RT_*), else nothing.
template <typename T> std::optional<T> EntryValue(const wchar_t* name, DWORD type) {
    T data{};
    DWORD size = sizeof(data);
    const mdr::UniqueHkey key = OpenEntry();
    if (!key || RegGetValueW(key.get(), nullptr, name, type, nullptr, &data, &size)) return {};
    return data;
}
std::wstring EntryText(const wchar_t* name) {
    const auto text = EntryValue<std::array<wchar_t, 1024>>(name, RRF_RT_REG_SZ);
    return text ? text->data() : L"<missing>";
}

// The installer that ships has 32-bit code of its own. Where the tests run the 64-bit edition the
// machine may run no 32-bit code at all, so its twin with 64-bit code is run instead: the same
// script and files, taking the same path as the shipped one does on 64-bit Windows.
const wchar_t* const kSetup =
    sizeof(void*) == 8 ? L"installer\\MDR-Setup-amd64.exe" : L"MDR-Setup-1.0.0.exe";

// Where an earlier version was installed by hand.
const std::wstring kElsewhere = Folder(CSIDL_PROGRAM_FILES, L"Elsewhere\\Mendora\\");

class InstallTest : public MdrTest {
  protected:
    void RunSetup() {
        Process& setup = Launch(BuildDir() + kSetup, L"/S");
        DWORD code = 1;
        ASSERT_TRUE(setup.WaitExit(120000, &code)) << "the silent install did not end";
        EXPECT_EQ(code, 0u);
    }
    // Whatever a failed run left: the folders, the shortcuts and the entry.
    void CleanUp() override {
        RemoveTree(kInstallDir);
        RemoveTree(kElsewhere);
        RemoveDirectoryW(Folder(CSIDL_PROGRAM_FILES, L"Elsewhere").c_str());
        RemoveDirectoryW(kVendorDir.c_str());
        RemoveTree(kMenuDir);
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, kView, 0);
    }
};

TEST_F(InstallTest, SilentInstallRunsAndUninstallKeepsOnlyTheBackups) {
    ASSERT_FALSE(FolderExists(kInstallDir)) << "an earlier install is in the way";
    RunSetup();
    for (const std::wstring& file : Shipped())
        EXPECT_TRUE(FileExists(PathOf(file))) << Narrow(PathOf(file));

    const std::wstring dir = kInstallDir;
    EXPECT_EQ(EntryText(L"DisplayName"), L"Veltrane Mendora");
    EXPECT_EQ(EntryText(L"Publisher"), L"Veltrane");
    EXPECT_EQ(EntryText(L"DisplayVersion"), L"1.0.0");
    EXPECT_EQ(EntryText(L"DisplayIcon"), dir + L"MDR.exe");
    EXPECT_EQ(EntryText(L"InstallLocation"), dir.substr(0, dir.size() - 1));
    EXPECT_EQ(EntryText(L"UninstallString"), L"\"" + dir + L"Uninstall.exe\"");
    const DWORD kilobytes = EntryValue<DWORD>(L"EstimatedSize", RRF_RT_REG_DWORD).value_or(0);
    EXPECT_GT(kilobytes, 1000u) << "the programs alone take megabytes";
    // Quorran lists the entry, its uninstaller there.
    const auto entries = mdr::ReadUninstallEntries({}, [] {});
    const auto ours = std::find_if(entries.begin(), entries.end(), [](const auto& e) {
        return e.keyPath.ends_with(L"\\VeltraneMendora");
    });
    ASSERT_NE(ours, entries.end());
    EXPECT_EQ(ours->name + L"|" + ours->company + L"|" + ours->version,
              L"Veltrane Mendora|Veltrane|1.0.0");
    EXPECT_FALSE(ours->programMissing);

    // MDR runs from the installed folder, and its scan of installed software finds our own
    // entry healthy.
    WriteConfig(Ticking({11}));
    const Gadgets g = StartMain(L"-scan", dir);
    ASSERT_TRUE(g.main);
    ASSERT_TRUE(WaitForScanEnd(g));
    for (const ListViewRow& row : ReadListView(g.list).rows)
        EXPECT_EQ(row.cells[1].find(L"VeltraneMendora"), std::wstring::npos)
            << Narrow(row.cells[1]);
    Exit(g);

    // An upgrade keeps a backup; so does the uninstall, which removes everything else.
    const std::wstring planted = dir + L"Backup\\MDR_01_02_26_(030405).reg";
    ASSERT_TRUE(
        WriteFileBytes(planted, Utf16LeWithBom(L"Windows Registry Editor Version 5.00\r\n")));
    RunSetup();
    EXPECT_TRUE(FileExists(planted));
    EXPECT_TRUE(FileExists(dir + L"MDR.exe"));

    ASSERT_TRUE(Launch(dir + L"Uninstall.exe", L"/S").WaitExit(30000));
    // The uninstaller works on from a copy of itself: wait for its last step.
    EXPECT_TRUE(
        WaitUntil([&] { return !OpenEntry() && !FileExists(dir + L"Uninstall.exe"); }, 60000));
    EXPECT_TRUE(FileExists(planted));
    for (const std::wstring& file : Shipped())
        EXPECT_FALSE(FileExists(PathOf(file))) << Narrow(PathOf(file));
    for (const std::wstring& folder : {kMenuDir, dir + L"Plugins", dir + L"Localization"})
        EXPECT_FALSE(FolderExists(folder)) << Narrow(folder);
}

// On a Windows older than the floor the installer refuses and installs nothing.
TEST_F(InstallTest, AWindowsOlderThanTheFloorIsRefused) {
    const std::wstring setup = kSetup;
    const WineVersion older(setup.substr(setup.find_last_of(L'\\') + 1), L"win2k");
    DWORD code = 0;
    ASSERT_TRUE(Launch(BuildDir() + kSetup, L"/S").WaitExit(60000, &code));
    EXPECT_EQ(code, 2u) << "not aborted";
    EXPECT_FALSE(FolderExists(kInstallDir));
}

// An upgrade goes where the earlier version is, not beside it into the default folder.
TEST_F(InstallTest, AnUpgradeGoesWhereTheEarlierVersionWent) {
    const std::wstring location = kElsewhere.substr(0, kElsewhere.size() - 1);
    SetString(HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation", location); // kView's view
    RunSetup();
    EXPECT_TRUE(FileExists(kElsewhere + L"Plugins\\Tools\\Sevrid.exe"));
    EXPECT_FALSE(FolderExists(kInstallDir));
    EXPECT_EQ(EntryText(L"UninstallString"), L"\"" + kElsewhere + L"Uninstall.exe\"");
}
} // namespace
