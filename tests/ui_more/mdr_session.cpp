#include "tests/ui_more/mdr_session.h"

#include <commctrl.h>

#include <array>

#include "app/localization.h"
#include "common/text.h"
#include "ui/command_ids.h"
#include "ui/ui_logic.h"

namespace mdr::uitest {

namespace {

std::wstring ConfigPath() {
    return SettingsDir() + L"Config.ini";
}
std::wstring LogPath() {
    return SettingsDir() + L"MDRLog.log";
}

void WriteConfig(std::initializer_list<int> areas) {
    std::array<bool, 18> ticks{};
    for (int area : areas)
        ticks[area - 1] = true;
    const std::wstring text =
        L"[MDRConfig]\r\nScanMode=0\r\nSelectItems=0\r\nBeforeFixing=0\r\nDeleteBackups=1\r\n"
        L"CreateLog=1\r\nSkipRemovable=1\r\nHighlightEntry=0\r\nEntryColor=16315117\r\n"
        L"CurrentLanguage=Localization\\English.ini\r\n\r\n[MDRWindow]\r\nMainWinX=40\r\n"
        L"MainWinY=30\r\nMainWinWidth=760\r\nMainWinHeight=520\r\nMainWinState=0\r\n"
        L"ColumnWidth0=150\r\nColumnWidth1=260\r\nColumnWidth2=100\r\nColumnWidth3=200\r\n"
        L"ColumnWidth4=110\r\nSplitterWidth=200\r\nScanZonesState=" +
        mdr::FormatScanZones(ticks) + L"\r\n\r\n[MDRExceptions]\r\n";
    ASSERT_TRUE(WriteFileBytes(ConfigPath(), mdr::ToUtf8(text)));
}

// The status text of a finished scan: entry 151 with a short duration.
bool ShowsScanFinished(const std::wstring& shown) {
    for (int seconds = 0; seconds < 600; ++seconds) {
        const std::wstring took =
            mdr::FormatDuration(seconds, T(144), T(145), T(146), T(147), T(148), T(149));
        if (shown == mdr::ReplacePlaceholder(T(151), L"$TIMESTRING$", took)) return true;
    }
    return false;
}

} // namespace

const std::wstring& T(int n) {
    return mdr::LangText(n);
}

std::string Narrow(const std::wstring& s) {
    return mdr::ToUtf8(s);
}

void SetString(HKEY root, const std::wstring& key, const std::wstring& name,
               const std::wstring& data) {
    HKEY k = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr),
        ERROR_SUCCESS)
        << Narrow(key);
    const LONG rc = RegSetValueExW(k, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(data.c_str()),
                                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
    ASSERT_EQ(rc, ERROR_SUCCESS) << Narrow(name);
}

void DeleteValue(HKEY root, const std::wstring& key, const std::wstring& name) {
    HKEY k = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_SET_VALUE, &k) == ERROR_SUCCESS) {
        RegDeleteValueW(k, name.c_str());
        RegCloseKey(k);
    }
}

void DeleteTree(HKEY root, const std::wstring& key) {
    RegDeleteTreeW(root, key.c_str());
    RegDeleteKeyW(root, key.c_str());
}

void MdrSession::SetUpTestSuite() {
    ASSERT_EQ(mdr::LoadLanguage(DistDir(), L"Localization\\English.ini"), 1);
}

void MdrSession::SetUp() {
    // The settings folder chain, as MDR makes it.
    const std::wstring folder = SettingsDir();
    for (size_t i = folder.find(L'\\'); i != std::wstring::npos; i = folder.find(L'\\', i + 1))
        CreateDirectoryW(folder.substr(0, i + 1).c_str(), nullptr);
    hadConfig_ = FileExists(ConfigPath());
    if (hadConfig_) savedConfig_ = ReadFileBytes(ConfigPath());
    DeleteFileW(LogPath().c_str());
}

void MdrSession::TearDown() {
    DriverTest::TearDown();
    if (hadConfig_)
        WriteFileBytes(ConfigPath(), savedConfig_);
    else
        DeleteFileW(ConfigPath().c_str());
    DeleteFileW(LogPath().c_str());
}

Gadgets MdrSession::Start(const std::wstring& arguments, std::initializer_list<int> areas) {
    WriteConfig(areas);
    Process& p = LaunchMdr(arguments);
    pid_ = p.Pid();
    process_ = &p;
    Gadgets g;
    g.main = WaitForWindow(pid_, WindowQuery::OfClass(mdr::kMainWindowClass));
    EXPECT_NE(g.main, nullptr) << "no main window";
    if (!g.main) return g;
    g.list = FindDescendant(g.main, WC_LISTVIEWW);
    g.status = FindDescendant(g.main, STATUSCLASSNAMEW);
    g.toolbar = FindDescendant(g.main, TOOLBARCLASSNAMEW);
    EXPECT_TRUE(g.list && g.status && g.toolbar);
    return g;
}

bool MdrSession::WaitForScanEnd(const Gadgets& g) {
    return WaitUntil(
        [&] {
            const bool stopEnabled =
                Send(g.toolbar, TB_ISBUTTONENABLED, mdr::kBtnStop).value_or(1) != 0;
            return !stopEnabled && ShowsScanFinished(ReadStatusBarPart(g.status, 0));
        },
        60000);
}

void MdrSession::Exit(const Gadgets& g) {
    PostCommand(g.main, mdr::kCmdExit);
    auto box = WaitForMessageBox(pid_);
    ASSERT_TRUE(box.has_value()) << "no exit question";
    EXPECT_EQ(box->text, T(216));
    PressButton(box->window, IDYES);
    EXPECT_TRUE(process_->WaitExit(10000));
}

} // namespace mdr::uitest
