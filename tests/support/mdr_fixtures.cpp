#include "tests/support/mdr_fixtures.h"
#include <commctrl.h>
#include <algorithm>
#include <cwctype>
#include "mdr/core/localization.h"
#include "common/text.h"
#include "mdr/ui/command_ids.h"

namespace mdr::driver {
void CreateSettingsDir() {
    const std::wstring folder = SettingsDir();
    for (size_t i = folder.find(L'\\'); i != std::wstring::npos; i = folder.find(L'\\', i + 1))
        CreateDirectoryW(folder.substr(0, i + 1).c_str(), nullptr);
}

std::wstring ConfigPath() {
    return SettingsDir() + L"Config.ini";
}
std::wstring LogPath() {
    return SettingsDir() + L"MDRLog.log";
}
std::wstring LogText() {
    return mdr::FromUtf8(ReadFileBytes(LogPath()));
}
IniFile LoadIni(const std::wstring& path) {
    IniFile ini;
    EXPECT_EQ(ini.Load(path), mdr::FileState::Ok) << "cannot read " << Narrow(path);
    return ini;
}

const std::wstring& T(Text text) {
    return mdr::LangText(text);
}
std::string Narrow(const std::wstring& s) {
    return mdr::ToUtf8(s);
}

std::wstring Fill(const std::wstring& text, const std::wstring& placeholder,
                  const std::wstring& value) {
    std::wstring out = text;
    const size_t at = out.find(placeholder);
    if (at != std::wstring::npos) out.replace(at, placeholder.size(), value);
    return out;
}

std::wstring Zones(std::initializer_list<int> items) {
    std::wstring text;
    for (int item = 1; item <= 18; ++item)
        text += std::wstring(item > 1 ? L"," : L"") +
                (std::find(items.begin(), items.end(), item) != items.end() ? L'1' : L'0');
    return text;
}

std::wstring ConfigText(const ConfigValues& v) {
    std::wstring text =
        L"[MDRConfig]\r\nScanMode=" + std::to_wstring(v.scanMode) + L"\r\nSelectItems=" +
        std::to_wstring(v.selectItems) + L"\r\nBeforeFixing=" + std::to_wstring(v.beforeFixing) +
        L"\r\nDeleteBackups=" + std::to_wstring(v.deleteBackups) + L"\r\nCreateLog=" +
        std::to_wstring(v.createLog) + L"\r\nSkipRemovable=" + std::to_wstring(v.skipRemovable) +
        L"\r\nHighlightEntry=" + std::to_wstring(v.highlight) + L"\r\nEntryColor=" +
        std::to_wstring(v.color) + L"\r\nCurrentLanguage=" + v.language +
        L"\r\n\r\n[MDRWindow]\r\n";
    if (v.windowGroup)
        text += L"MainWinX=" + std::to_wstring(v.windowX) + L"\r\nMainWinY=" +
                std::to_wstring(v.windowY) +
                L"\r\nMainWinWidth=760\r\nMainWinHeight=520\r\nMainWinState=0\r\n";
    if (v.windowGroup && v.columns)
        text += L"ColumnWidth0=150\r\nColumnWidth1=260\r\nColumnWidth2=100\r\n"
                L"ColumnWidth3=200\r\nColumnWidth4=110\r\nSplitterWidth=" +
                std::to_wstring(v.splitterWidth) + L"\r\n";
    text += L"ScanZonesState=" + v.zones + L"\r\n\r\n[MDRExceptions]\r\n";
    for (size_t i = 0; i < v.exceptions.size(); ++i)
        text += v.exceptions[i] + L"=Exception" + std::to_wstring(i) + L"\r\n";
    return text;
}

ConfigValues Ticking(std::initializer_list<int> areas) {
    ConfigValues v;
    v.zones = Zones(areas);
    return v;
}

void WriteConfig(const ConfigValues& v) {
    ASSERT_TRUE(WriteFileBytes(ConfigPath(), mdr::ToUtf8(ConfigText(v))));
}

int RowOf(const ListViewContent& list, const std::wstring& key, const std::wstring& value,
          const std::wstring& root) {
    for (size_t i = 0; i < list.rows.size(); ++i) {
        const auto& c = list.rows[i].cells;
        if (c.size() >= 3 && (root.empty() || c[0] == root) && mdr::EqualsNoCase(c[1], key) &&
            c[2] == value)
            return static_cast<int>(i);
    }
    return -1;
}

Gadgets FindGadgets(HWND main) {
    Gadgets g;
    g.main = main;
    g.list = FindDescendant(main, WC_LISTVIEWW);
    g.tree = FindDescendant(main, WC_TREEVIEWW);
    g.status = FindDescendant(main, STATUSCLASSNAMEW);
    g.toolbar = FindDescendant(main, TOOLBARCLASSNAMEW);
    g.progress = FindDescendant(main, PROGRESS_CLASSW);
    g.details = FindDescendant(main, L"Edit", mdr::kGadgetIdBase + mdr::kGadgetDetailsBox);
    g.treeSplitter = FindDescendant(main, L"", mdr::kGadgetIdBase + mdr::kGadgetTreeSplitter);
    return g;
}

bool ButtonEnabled(const Gadgets& g, int id) {
    return Send(g.toolbar, TB_ISBUTTONENABLED, static_cast<WPARAM>(id)).value_or(0) != 0;
}
bool Scanning(const Gadgets& g) {
    return ButtonEnabled(g, mdr::kBtnStop);
}
// Text of pattern with "$TIMESTRING$" filled by some duration.
static bool MatchesTimeText(const std::wstring& shown, const std::wstring& pattern) {
    const size_t at = pattern.find(L"$TIMESTRING$");
    if (at == std::wstring::npos) return shown == pattern;
    const std::wstring before = pattern.substr(0, at), after = pattern.substr(at + 12);
    return shown.size() > before.size() + after.size() && shown.starts_with(before) &&
           shown.ends_with(after) && iswdigit(shown[before.size()]);
}
bool ScanFinished(const Gadgets& g) {
    return !Scanning(g) &&
           MatchesTimeText(ReadStatusBarPart(g.status, 0), T(Text::ScanFinishedStatus));
}
bool ScanCancelled(const Gadgets& g) {
    return !Scanning(g) &&
           MatchesTimeText(ReadStatusBarPart(g.status, 0), T(Text::ScanCancelledStatus));
}

void MdrTest::SetUpTestSuite() {
    ASSERT_EQ(mdr::LoadLanguage(DistDir(), L"Localization\\English.ini"), 1);
}

void MdrTest::SetUp() {
    CreateSettingsDir();
    hadConfig_ = FileExists(ConfigPath());
    if (hadConfig_) savedConfig_ = ReadFileBytes(ConfigPath());
    DeleteFileW(LogPath().c_str());
    DeleteFileW((SettingsDir() + L"FixJournal.txt").c_str()); // no test sees another's fixes
}

void MdrTest::TearDown() {
    DriverTest::TearDown();
    CleanUp();
    for (const std::wstring& folder : copies_)
        RemoveTree(folder);
    copies_.clear();
    if (hadConfig_)
        WriteFileBytes(ConfigPath(), savedConfig_);
    else
        DeleteFileW(ConfigPath().c_str());
    DeleteFileW(LogPath().c_str());
    DeleteFileW((SettingsDir() + L"FixJournal.txt").c_str());
}

Gadgets MdrTest::StartMain(const std::wstring& arguments, const std::wstring& distDir,
                           bool visible) {
    Process& p = LaunchMdr(arguments, distDir);
    pid_ = p.Pid();
    process_ = &p;
    HWND main = WaitForWindow(
        pid_, {.className = mdr::kMainWindowClass, .title = L"", .visibleOnly = visible});
    EXPECT_NE(main, nullptr) << "no main window";
    if (!main) return {};
    Gadgets g;
    // The window exists before its gadgets: wait for the last of them.
    EXPECT_TRUE(WaitUntil([&] {
        g = FindGadgets(main);
        return g.list && g.tree && g.status && g.toolbar && g.progress && g.details &&
               g.treeSplitter;
    })) << "gadgets missing";
    return g;
}

Gadgets MdrTest::Start(const std::wstring& arguments, const ConfigValues& config, bool visible) {
    WriteConfig(config);
    return StartMain(arguments, L"", visible);
}

void MdrTest::Answer(Text title, Text text, int button) {
    AnswerText(T(title), T(text), button);
}

void MdrTest::AnswerText(const std::wstring& title, const std::wstring& text, int button,
                         HWND owner, DWORD timeoutMs) {
    auto box = WaitForMessageBox(pid_, timeoutMs);
    ASSERT_TRUE(box.has_value()) << "no message box; expected " << Narrow(text);
    // A box is found as soon as it exists; its words follow while it initialises.
    EXPECT_TRUE(WaitUntil([&] {
        box = ReadMessageBox(box->window);
        return !box->text.empty();
    })) << "the message box stayed empty";
    EXPECT_EQ(box->title, title.empty() ? box->title : title); // "" leaves it unchecked
    EXPECT_EQ(box->text, text.empty() ? box->text : text);
    if (owner) {
        EXPECT_EQ(GetWindow(box->window, GW_OWNER), owner);
        EXPECT_FALSE(IsWindowEnabled(owner)) << "the window behind the box takes clicks";
    }
    ASSERT_TRUE(PressButton(box->window, button));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box->window); })) << "the box stayed";
}

void MdrTest::Exit(const Gadgets& g) {
    PostCommand(g.main, mdr::kCmdExit);
    Answer(Text::ConfirmTitle, Text::ExitQuestion, IDYES);
    EXPECT_TRUE(process_->WaitExit(10000)) << "MDR did not end";
}

bool MdrTest::WaitForScanEnd(const Gadgets& g) {
    return WaitUntil([&] { return ScanFinished(g); }, 60000);
}

std::wstring MdrTest::CopyOfInstall() {
    std::wstring folder = MakeTempDir(L"mdr_install");
    copies_.push_back(folder);
    EXPECT_TRUE(CopyTree(DistDir(), folder));
    return folder;
}
} // namespace mdr::driver
