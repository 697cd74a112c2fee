// The Settings window and the tools menu of the real MDR.exe, driven from outside: values shown
// and saved, their effect on scans (pre-selection, highlighting, removable drives, scan delay),
// exceptions across a restart, .mdr export and import through the common file dialogs, the
// language notice, a Config.ini that cannot be written, and tools started from Plugins\.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/localization.h"
#include "app/tools.h"
#include "common/ini.h"
#include "common/text.h"
#include "tests/driver/mdr_fixtures.h"
#include "tests/support/wine_drive.h"
#include "ui/command_ids.h"
#include "ui/settings_window.h"
#include "ui/ui_logic.h"

using namespace mdr::driver;
using namespace mdr::settings_controls;
using mdr::IniFile;
using mdr::test::DefineWineDrive;
using mdr::test::UnixPathOf;

namespace {

constexpr COLORREF kEntryColor = RGB(250, 200, 40);
constexpr COLORREF kDefaultEntryColor = RGB(237, 242, 248);

// Planted broken entries: every path below points into a folder that does not exist.
constexpr wchar_t kMissingFolder[] = L"C:\\MdrSettingsTestMissing\\";
constexpr wchar_t kSharedDllsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
constexpr wchar_t kSoundsParent[] = L"AppEvents\\Schemes\\Apps\\MdrSettingsTest";
constexpr wchar_t kSoundKey[] = L"AppEvents\\Schemes\\Apps\\MdrSettingsTest\\MdrEvent\\.Current";
constexpr wchar_t kMuiCacheKey[] = L"Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache";
constexpr int kSharedDllCount = 4;
constexpr int kMuiItems = 1500;

constexpr int kMuiCacheArea = 12;
constexpr int kSharedDllsArea = 15;
constexpr int kSoundsArea = 16;

enum RootIndex : int { kRootHkcr, kRootHkcu, kRootHklm, kRootHku, kRootHkcc };

// Config.ini of these tests: the areas of the planted entries ticked, no column widths.
ConfigValues Defaults() {
    ConfigValues v;
    v.color = kEntryColor;
    v.windowX = 20;
    v.windowY = 20;
    v.columns = false;
    v.zones = Zones({kSharedDllsArea, kSoundsArea});
    return v;
}

// ---- Registry planting ------------------------------------------------------------------------

std::wstring SharedDllName(int i) {
    return std::wstring(kMissingFolder) + L"shared" + std::to_wstring(i) + L".dll";
}

void PlantBrokenEntries() {
    for (int i = 1; i <= kSharedDllCount; ++i)
        SetDword(HKEY_LOCAL_MACHINE, kSharedDllsKey, SharedDllName(i), 1);
    SetString(HKEY_CURRENT_USER, kSoundKey, L"", std::wstring(kMissingFolder) + L"ding.wav");
}
void RemoveBrokenEntries() {
    for (int i = 1; i <= kSharedDllCount; ++i)
        DeleteValue(HKEY_LOCAL_MACHINE, kSharedDllsKey, SharedDllName(i));
    RegDeleteTreeW(HKEY_CURRENT_USER, kSoundsParent);
}

// ---- The running program ----------------------------------------------------------------------

// Rows with a cell containing text.
std::vector<int> RowsWith(const ListViewContent& content, const std::wstring& text) {
    std::vector<int> rows;
    for (size_t i = 0; i < content.rows.size(); ++i) {
        const auto& cells = content.rows[i].cells;
        if (std::any_of(cells.begin(), cells.end(), [&](const std::wstring& c) {
                return mdr::FindNoCase(c, text) != std::wstring::npos;
            }))
            rows.push_back(static_cast<int>(i));
    }
    return rows;
}

// The colour on screen in the middle of a rectangle of window (client coordinates).
COLORREF PixelAt(HWND window, POINT client) {
    ClientToScreen(window, &client);
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, client.x, client.y);
    ReleaseDC(nullptr, screen);
    return c;
}

// The background of a results row, sampled near the right end of its visible part (past the
// text of the last visible column).
COLORREF RowBackground(const Gadgets& g, int row) {
    RemoteBuffer buffer(g.list, sizeof(RECT));
    RECT rc{};
    rc.left = LVIR_BOUNDS;
    buffer.Write(&rc, sizeof(rc));
    Send(g.list, LVM_GETITEMRECT, static_cast<WPARAM>(row), buffer.Address());
    buffer.Read(&rc, sizeof(rc));
    const LONG visible = ClientSize(g.list).cx;
    return PixelAt(g.list, {std::min(rc.right, visible) - 4, (rc.top + rc.bottom) / 2});
}

// Deselects every row of a list view of another process.
bool DeselectAllRows(HWND list) {
    RemoteBuffer buffer(list, sizeof(LVITEMW));
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = 0;
    buffer.Write(&item, sizeof(item));
    return Send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), buffer.Address()).value_or(0);
}

// The caption of tab index of a tab control of another process.
std::wstring TabCaption(HWND tabs, int index) {
    RemoteBuffer buffer(tabs, sizeof(TCITEMW) + 256 * sizeof(wchar_t));
    TCITEMW item{};
    item.mask = TCIF_TEXT | TCIF_IMAGE;
    item.pszText = reinterpret_cast<LPWSTR>(buffer.Address(sizeof(TCITEMW)));
    item.cchTextMax = 256;
    buffer.Write(&item, sizeof(item));
    Send(tabs, TCM_GETITEMW, static_cast<WPARAM>(index), buffer.Address());
    buffer.Read(&item, sizeof(item));
    return buffer.ReadString(sizeof(TCITEMW), 256) + L"|" + std::to_wstring(item.iImage);
}

class SettingsTest : public MdrTest {
  protected:
    void SetUp() override {
        MdrTest::SetUp();
        PlantBrokenEntries();
        temp_ = MakeTempDir(L"MdrSettings");
        ASSERT_FALSE(temp_.empty());
    }
    void CleanUp() override {
        RemoveBrokenEntries();
        RemoveTree(temp_);
    }

    Gadgets Start(const std::wstring& arguments, const ConfigValues& config,
                  const std::wstring& distDir = L"") {
        WriteConfig(config);
        return StartMain(arguments, distDir);
    }

    void WaitScanFinished(const Gadgets& g) {
        ASSERT_TRUE(WaitUntil([&] { return ScanFinished(g); }, 120000))
            << Narrow(ReadStatusBarPart(g.status, 0));
    }

    // Scan button; answers the question about unfixed rows when it comes. Returns the time
    // from the press to the finished status line, in milliseconds.
    ULONGLONG Rescan(const Gadgets& g) {
        const bool hadRows = ListViewCount(g.list) > 0;
        ULONGLONG pressed = GetTickCount64();
        PostCommand(g.main, mdr::kBtnScan);
        if (hadRows) {
            Answer(137, 138, IDYES);
            pressed = GetTickCount64();
        }
        // The status line changes only when the new scan has ended.
        EXPECT_TRUE(
            WaitUntil([&] { return ButtonEnabled(g, mdr::kBtnStop) || ScanFinished(g); }, 20000));
        WaitUntil([&] { return ScanFinished(g); }, 120000);
        EXPECT_TRUE(ScanFinished(g));
        return GetTickCount64() - pressed;
    }

    HWND OpenSettings(const Gadgets& g) {
        PostCommand(g.main, mdr::kCmdSettings);
        HWND dialog = WaitForWindow(pid_, WindowQuery::OfClass(mdr::kSettingsWindowClass));
        EXPECT_NE(dialog, nullptr) << "no settings window";
        return dialog;
    }

    static HWND Ctl(HWND dialog, int id) { return FindDescendant(dialog, L"", id); }

    // Shows tab page (0..2) as a click on its tab would.
    static void ShowTab(HWND dialog, int page, int anyControlOnPage) {
        Send(Ctl(dialog, kTabs), TCM_SETCURFOCUS, static_cast<WPARAM>(page));
        EXPECT_TRUE(
            WaitUntil([&] { return IsWindowVisible(Ctl(dialog, anyControlOnPage)) != 0; }, 3000))
            << "page " << page;
    }

    static int Selection(HWND dialog, int id) {
        return static_cast<int>(Send(Ctl(dialog, id), CB_GETCURSEL).value_or(-2));
    }
    static void Choose(HWND dialog, int id, int index) {
        Send(Ctl(dialog, id), CB_SETCURSEL, static_cast<WPARAM>(index));
    }
    static bool Ticked(HWND dialog, int id) {
        return Send(Ctl(dialog, id), BM_GETCHECK).value_or(0) == BST_CHECKED;
    }
    static void Click(HWND dialog, int id) {
        HWND button = Ctl(dialog, id);
        ASSERT_NE(button, nullptr) << id;
        PostMessageW(button, BM_CLICK, 0, 0);
    }
    // Clicks a check box and waits until its state has turned.
    static void Toggle(HWND dialog, int id) {
        const bool before = Ticked(dialog, id);
        Click(dialog, id);
        EXPECT_TRUE(WaitUntil([&] { return Ticked(dialog, id) != before; }, 3000)) << id;
    }
    static void Type(HWND edit, const std::wstring& text) {
        ASSERT_NE(edit, nullptr);
        // WM_SETTEXT carries its string across processes.
        Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }

    // Answers the next message box after checking its title and text entries.
    void Answer(int titleEntry, int textEntry, int button) {
        AnswerText(titleEntry, T(textEntry), button);
    }
    void AnswerText(int titleEntry, const std::wstring& text, int button, bool* hadIcon = nullptr) {
        auto box = WaitForMessageBox(pid_);
        ASSERT_TRUE(box.has_value()) << "expected a message box: " << Narrow(text);
        EXPECT_EQ(box->title, T(titleEntry));
        EXPECT_EQ(box->text, text);
        if (hadIcon) *hadIcon = box->hasIcon;
        PressButton(box->window, button);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box->window); }, 5000));
    }
    void ExpectNoMessageBox(DWORD ms = 700) {
        Sleep(ms);
        const std::vector<HWND> boxes = TopLevelWindows(pid_, WindowQuery::OfClass(L"#32770"));
        EXPECT_TRUE(boxes.empty()) << "unexpected: " << Narrow(ReadMessageBox(boxes[0]).text);
    }

    void PressOk(HWND dialog) { Click(dialog, kOk); }
    void ExpectClosed(HWND dialog, const Gadgets& g) {
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 5000)) << "dialog still open";
        EXPECT_TRUE(WaitUntil([&] { return IsEnabled(g.main); }, 3000));
    }

    // Types a file name into the common file dialog titled title and confirms it.
    void UseFileDialog(int titleEntry, const std::wstring& path) {
        HWND dialog = WaitForWindow(pid_, WindowQuery{L"#32770", T(titleEntry), true});
        ASSERT_NE(dialog, nullptr) << "no file dialog " << Narrow(T(titleEntry));
        HWND edit = FileNameEdit(dialog);
        ASSERT_NE(edit, nullptr) << "no file name box";
        Type(edit, path);
        PressButton(dialog, IDOK);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 5000)) << "dialog stayed";
    }
    static HWND FileNameEdit(HWND dialog) {
        // The name box: an edit of its own (edt1) or the edit inside a combo box (cmb13).
        for (int id : {0x480, 0x47c}) {
            HWND control = FindDescendant(dialog, L"", id);
            if (!control) continue;
            if (mdr::EqualsNoCase(ClassOf(control), L"Edit")) return control;
            if (HWND inner = FindDescendant(control, L"Edit")) return inner;
        }
        return FindDescendant(dialog, L"Edit");
    }

    void ExitByMenu(const Gadgets& g) {
        PostCommand(g.main, mdr::kCmdExit);
        Answer(71, 216, IDYES);
        EXPECT_TRUE(process_->WaitExit(10000));
    }

    std::wstring temp_;
};

// ---- Tests ------------------------------------------------------------------------------------

TEST_F(SettingsTest, OpensWithTheStoredValuesAndCancelKeepsEverything) {
    ConfigValues config = Defaults();
    config.scanMode = 1;
    config.selectItems = 2;
    config.beforeFixing = 3;
    config.deleteBackups = 0;
    config.skipRemovable = 0;
    config.exceptions = {L"HKEY_LOCAL_MACHINE\\Software\\MdrSettingsA",
                         L"HKEY_CURRENT_USER\\Software\\MdrSettingsB\\*"};
    Gadgets g = Start(L"", config);
    ASSERT_TRUE(g.main);
    const std::string configBefore = ReadFileBytes(ConfigPath());

    HWND dialog = OpenSettings(g);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(GetText(dialog), T(30));
    const SIZE inner = ClientSize(dialog);
    EXPECT_EQ(inner.cx, 451);
    EXPECT_EQ(inner.cy, 338);
    EXPECT_FALSE(IsEnabled(g.main)) << "the main window waits while the dialog is open";
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), g.main);

    // Three pages with their captions and icons, the first one showing.
    HWND tabs = Ctl(dialog, kTabs);
    ASSERT_EQ(Send(tabs, TCM_GETITEMCOUNT).value_or(0), 3);
    EXPECT_EQ(TabCaption(tabs, 0), T(34) + L"|29");
    EXPECT_EQ(TabCaption(tabs, 1), T(263) + L"|30");
    EXPECT_EQ(TabCaption(tabs, 2), T(45) + L"|31");
    EXPECT_TRUE(IsWindowVisible(Ctl(dialog, kScanMode)));
    EXPECT_FALSE(IsWindowVisible(Ctl(dialog, kLanguages)));
    EXPECT_EQ(GetText(Ctl(dialog, kOk)), T(33));
    EXPECT_EQ(GetText(Ctl(dialog, kCancel)), T(32));

    // Page 1.
    EXPECT_EQ(Selection(dialog, kScanMode), 1);
    EXPECT_EQ(Selection(dialog, kSelectItems), 2);
    EXPECT_EQ(Selection(dialog, kBeforeFixing), 3);
    EXPECT_EQ(Send(Ctl(dialog, kScanMode), CB_GETCOUNT).value_or(0), 2);
    EXPECT_EQ(Send(Ctl(dialog, kSelectItems), CB_GETCOUNT).value_or(0), 4);
    EXPECT_EQ(Send(Ctl(dialog, kBeforeFixing), CB_GETCOUNT).value_or(0), 6);
    EXPECT_FALSE(Ticked(dialog, kDeleteBackups));
    EXPECT_TRUE(Ticked(dialog, kCreateLog));
    EXPECT_FALSE(Ticked(dialog, kSkipRemovable));
    EXPECT_EQ(GetText(Ctl(dialog, kSkipRemovable)), T(40));

    // Page 2: highlighting off, so the colour buttons wait for the tick.
    ShowTab(dialog, 1, kLanguages);
    EXPECT_FALSE(Ticked(dialog, kHighlight));
    EXPECT_FALSE(IsEnabled(Ctl(dialog, kChooseColor)));
    EXPECT_FALSE(IsEnabled(Ctl(dialog, kResetColor)));
    Toggle(dialog, kHighlight);
    EXPECT_TRUE(WaitUntil([&] { return IsEnabled(Ctl(dialog, kChooseColor)); }, 2000));
    EXPECT_TRUE(IsEnabled(Ctl(dialog, kResetColor)));
    Toggle(dialog, kHighlight);
    EXPECT_TRUE(WaitUntil([&] { return !IsEnabled(Ctl(dialog, kChooseColor)); }, 2000));
    EXPECT_FALSE(IsEnabled(Ctl(dialog, kResetColor)));
    const ListViewContent languages = ReadListView(Ctl(dialog, kLanguages));
    EXPECT_EQ(languages.columnTitles, (std::vector<std::wstring>{T(43), T(44)}));
    EXPECT_EQ(languages.columnWidths, (std::vector<int>{210, 205}));
    ASSERT_EQ(languages.rows.size(), 1u);
    EXPECT_EQ(languages.rows[0].cells, (std::vector<std::wstring>{L"English", L"Veltrane"}));
    EXPECT_TRUE(languages.rows[0].selected);

    // Page 3: the saved exceptions.
    ShowTab(dialog, 2, kExceptionList);
    HWND list = Ctl(dialog, kExceptionList);
    ListViewContent rows = ReadListView(list);
    EXPECT_EQ(rows.columnTitles, (std::vector<std::wstring>{T(46), T(47)}));
    EXPECT_EQ(rows.columnWidths, (std::vector<int>{160, 255}));
    ASSERT_EQ(rows.rows.size(), 2u);
    EXPECT_EQ(rows.rows[0].cells,
              (std::vector<std::wstring>{L"HKEY_LOCAL_MACHINE", L"Software\\MdrSettingsA"}));
    EXPECT_EQ(rows.rows[1].cells,
              (std::vector<std::wstring>{L"HKEY_CURRENT_USER", L"Software\\MdrSettingsB\\*"}));
    EXPECT_EQ(Selection(dialog, kNewRoot), 0);
    EXPECT_EQ(Send(Ctl(dialog, kNewRoot), CB_GETCOUNT).value_or(0), 5);

    // Removing asks first; without a selected row there is nothing to remove.
    ASSERT_TRUE(SelectListViewRow(list, 0));
    Click(dialog, kRemove);
    Answer(71, 72, IDNO);
    EXPECT_EQ(ListViewCount(list), 2);
    Click(dialog, kRemove);
    Answer(71, 72, IDYES);
    EXPECT_EQ(ListViewCount(list), 1);
    Click(dialog, kRemove);
    Answer(21, 73, IDOK);
    EXPECT_EQ(ListViewCount(list), 1);

    // Cancel: nothing saved, nothing applied.
    Click(dialog, kCancel);
    ExpectClosed(dialog, g);
    EXPECT_EQ(ReadFileBytes(ConfigPath()), configBefore);
    const std::wstring log = LogText();
    const size_t opened = log.find(L"SettingsWindow()");
    EXPECT_NE(opened, std::wstring::npos);
    EXPECT_NE(log.find(L"SettingsWindow() -> retn", opened), std::wstring::npos);

    // The removed exception is still there; the window's close box cancels as well.
    dialog = OpenSettings(g);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(ListViewCount(Ctl(dialog, kExceptionList)), 2);
    PostClose(dialog);
    ExpectClosed(dialog, g);
    EXPECT_EQ(ReadFileBytes(ConfigPath()), configBefore);
    ExitByMenu(g);
}

TEST_F(SettingsTest, OkSavesTheValuesAndTheResultsListFollowsThem) {
    ConfigValues config = Defaults();
    config.selectItems = 0; // safe errors only
    config.highlight = 0;
    Gadgets g = Start(L"-scan", config);
    ASSERT_TRUE(g.main);
    WaitScanFinished(g);
    ListViewContent before = ReadListView(g.list);
    ASSERT_GE(before.rows.size(), 5u);
    const std::vector<int> soundRows = RowsWith(before, kSoundKey);
    ASSERT_EQ(soundRows.size(), 1u);
    EXPECT_FALSE(before.rows[soundRows[0]].checked) << "unsafe rows wait for SelectItems 2";
    const COLORREF plain = RowBackground(g, 2);
    EXPECT_NE(plain, kEntryColor);

    HWND dialog = OpenSettings(g);
    ASSERT_TRUE(dialog);
    Choose(dialog, kSelectItems, 2);
    Choose(dialog, kBeforeFixing, 5);
    Toggle(dialog, kDeleteBackups);
    ShowTab(dialog, 1, kLanguages);
    Toggle(dialog, kHighlight);
    ASSERT_TRUE(WaitUntil([&] { return IsEnabled(Ctl(dialog, kChooseColor)); }, 2000));

    // The colour chooser starts from the swatch's colour; the chosen colour replaces it.
    Click(dialog, kChooseColor);
    HWND chooser = WaitForWindow(pid_, WindowQuery::OfClass(L"#32770"));
    ASSERT_NE(chooser, nullptr) << "no colour dialog";
    const COLORREF chosen = RGB(40, 160, 90);
    Type(FindDescendant(chooser, L"", 706), std::to_wstring(GetRValue(chosen)));
    Type(FindDescendant(chooser, L"", 707), std::to_wstring(GetGValue(chosen)));
    Type(FindDescendant(chooser, L"", 708), std::to_wstring(GetBValue(chosen)));
    PressButton(chooser, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(chooser); }, 5000));
    HWND swatch = Ctl(dialog, kSwatch);
    const SIZE swatchSize = ClientSize(swatch);
    const POINT middle{swatchSize.cx / 2, swatchSize.cy / 2};
    EXPECT_TRUE(WaitUntil([&] { return PixelAt(swatch, middle) == chosen; }, 3000))
        << std::hex << PixelAt(swatch, middle);

    // Reset gives the default colour; choose again to end on a colour of our own.
    Click(dialog, kResetColor);
    EXPECT_TRUE(WaitUntil([&] { return PixelAt(swatch, middle) == kDefaultEntryColor; }, 3000))
        << std::hex << PixelAt(swatch, middle);
    Click(dialog, kChooseColor);
    chooser = WaitForWindow(pid_, WindowQuery::OfClass(L"#32770"));
    ASSERT_NE(chooser, nullptr);
    Type(FindDescendant(chooser, L"", 706), std::to_wstring(GetRValue(chosen)));
    Type(FindDescendant(chooser, L"", 707), std::to_wstring(GetGValue(chosen)));
    Type(FindDescendant(chooser, L"", 708), std::to_wstring(GetBValue(chosen)));
    PressButton(chooser, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(chooser); }, 5000));

    PressOk(dialog);
    ExpectClosed(dialog, g);
    ExpectNoMessageBox(); // same language: no notice

    const IniFile ini = LoadIni(ConfigPath());
    EXPECT_EQ(ini.GetString(L"MDRConfig", L"ScanMode"), L"0");
    EXPECT_EQ(ini.GetString(L"MDRConfig", L"SelectItems"), L"2");
    EXPECT_EQ(ini.GetString(L"MDRConfig", L"BeforeFixing"), L"5");
    EXPECT_EQ(ini.GetString(L"MDRConfig", L"DeleteBackups"), L"0");
    EXPECT_EQ(ini.GetString(L"MDRConfig", L"CreateLog"), L"1");
    EXPECT_EQ(ini.GetString(L"MDRConfig", L"SkipRemovable"), L"1");
    EXPECT_EQ(ini.GetString(L"MDRConfig", L"HighlightEntry"), L"1");
    EXPECT_EQ(ini.GetString(L"MDRConfig", L"EntryColor"), std::to_wstring(chosen));
    EXPECT_EQ(ini.GetString(L"MDRConfig", L"CurrentLanguage"), L"Localization\\English.ini");
    EXPECT_TRUE(ini.HasGroup(L"MDRExceptions"));
    EXPECT_TRUE(ini.Keys(L"MDRExceptions").empty());
    // The window group is written at exit only.
    EXPECT_EQ(ini.GetString(L"MDRWindow", L"MainWinWidth"), L"760");

    // Every existing row takes the colour at once, not only alternate ones.
    for (int row = 1; row <= 3; ++row)
        EXPECT_EQ(RowBackground(g, row), chosen) << "row " << row;

    // The next scan pre-selects every row and colours rows 0, 2, 4 ...
    Rescan(g);
    const ListViewContent after = ReadListView(g.list);
    ASSERT_EQ(after.rows.size(), before.rows.size());
    for (size_t i = 0; i < after.rows.size(); ++i)
        EXPECT_TRUE(after.rows[i].checked) << "row " << i;
    EXPECT_EQ(RowBackground(g, 2), chosen);
    EXPECT_EQ(RowBackground(g, 3), plain);

    // Switching highlighting off gives every row its plain background back.
    dialog = OpenSettings(g);
    ASSERT_TRUE(dialog);
    ShowTab(dialog, 1, kLanguages);
    Toggle(dialog, kHighlight);
    PressOk(dialog);
    ExpectClosed(dialog, g);
    for (int row = 1; row <= 3; ++row)
        EXPECT_EQ(RowBackground(g, row), plain) << "row " << row;
    EXPECT_EQ(LoadIni(ConfigPath()).GetString(L"MDRConfig", L"HighlightEntry"), L"0");
    ExitByMenu(g);
}

TEST_F(SettingsTest, RemovableDrivesAndScanSpeedReachTheScan) {
    // A CD-ROM drive, known to MDR from its start, and an entry naming a file missing on it.
    wchar_t letter = 0;
    for (wchar_t c = L'D'; c <= L'Y' && !letter; ++c) {
        const wchar_t root[] = {c, L':', L'\\', 0};
        if (GetDriveTypeW(root) == DRIVE_NO_ROOT_DIR) letter = c;
    }
    ASSERT_NE(letter, 0);
    const std::wstring media = temp_ + L"cdrom";
    ASSERT_TRUE(CreateDirectoryW(media.c_str(), nullptr));
    const std::string unixMedia = UnixPathOf(media);
    ASSERT_FALSE(unixMedia.empty());
    ASSERT_TRUE(DefineWineDrive(letter, DRIVE_CDROM, unixMedia));
    const std::wstring cdFile = std::wstring(1, letter) + L":\\MdrSettingsGone\\cd.dll";
    SetDword(HKEY_LOCAL_MACHINE, kSharedDllsKey, cdFile, 1);

    // Items that cost the scan next to nothing: MUI cache entries it skips by name.
    const bool hadMuiCache = KeyExists(HKEY_CURRENT_USER, kMuiCacheKey);
    auto muiName = [](int i) { return L"@mdrsettings" + std::to_wstring(i); };
    for (int i = 0; i < kMuiItems; ++i)
        SetString(HKEY_CURRENT_USER, kMuiCacheKey, muiName(i), L"x");
    struct Cleanup {
        std::function<void()> run;
        ~Cleanup() { run(); }
    } cleanup{[&] {
        DeleteValue(HKEY_LOCAL_MACHINE, kSharedDllsKey, cdFile);
        if (hadMuiCache) {
            for (int i = 0; i < kMuiItems; ++i)
                DeleteValue(HKEY_CURRENT_USER, kMuiCacheKey, muiName(i));
        } else {
            RegDeleteTreeW(HKEY_CURRENT_USER, kMuiCacheKey);
        }
        DefineWineDrive(letter, DRIVE_NO_ROOT_DIR, "");
    }};

    ConfigValues config = Defaults();
    config.scanMode = 0;
    config.skipRemovable = 1;
    config.zones = Zones({kMuiCacheArea, kSharedDllsArea});
    Gadgets g = Start(L"", config);
    ASSERT_TRUE(g.main);
    const ULONGLONG fast = Rescan(g);
    EXPECT_TRUE(RowsWith(ReadListView(g.list), cdFile).empty())
        << "a file on a CD-ROM drive is excused";

    HWND dialog = OpenSettings(g);
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(Ticked(dialog, kSkipRemovable));
    Toggle(dialog, kSkipRemovable);
    Choose(dialog, kScanMode, 1);
    PressOk(dialog);
    ExpectClosed(dialog, g);
    const IniFile ini = LoadIni(ConfigPath());
    EXPECT_EQ(ini.GetString(L"MDRConfig", L"SkipRemovable"), L"0");
    EXPECT_EQ(ini.GetString(L"MDRConfig", L"ScanMode"), L"1");

    const ULONGLONG gentle = Rescan(g);
    EXPECT_EQ(RowsWith(ReadListView(g.list), cdFile).size(), 1u)
        << "without the flag the missing file is reported";
    std::printf("[ figure ] %d MUI cache items: %llu ms at scan speed 0, %llu ms at 1\n", kMuiItems,
                fast, gentle);
    // One millisecond of pause per item is a floor no machine can beat.
    EXPECT_GE(gentle, static_cast<ULONGLONG>(kMuiItems));
    EXPECT_GT(gentle, fast);
    ExitByMenu(g);
}

TEST_F(SettingsTest, AnExceptionAddedInTheDialogHoldsAcrossARestart) {
    ConfigValues config = Defaults();
    config.zones = Zones({kSoundsArea});
    Gadgets g = Start(L"-scan", config);
    ASSERT_TRUE(g.main);
    WaitScanFinished(g);
    ASSERT_EQ(RowsWith(ReadListView(g.list), kSoundKey).size(), 1u);

    HWND dialog = OpenSettings(g);
    ASSERT_TRUE(dialog);
    ShowTab(dialog, 2, kExceptionList);
    HWND list = Ctl(dialog, kExceptionList);
    HWND edit = Ctl(dialog, kNewSubkey);
    Choose(dialog, kNewRoot, kRootHkcu);

    Type(edit, L"   ");
    Click(dialog, kAdd);
    Answer(21, 70, IDOK);
    EXPECT_EQ(ListViewCount(list), 0);

    // A trailing backslash is dropped and the box emptied.
    Type(edit, std::wstring(kSoundKey) + L"\\");
    Click(dialog, kAdd);
    ASSERT_TRUE(WaitUntil([&] { return ListViewCount(list) == 1; }, 3000));
    EXPECT_EQ(ReadListView(list).rows[0].cells,
              (std::vector<std::wstring>{L"HKEY_CURRENT_USER", kSoundKey}));
    EXPECT_EQ(GetText(edit), L"");

    // The same key in other letters or with blanks around it is refused ...
    Type(edit, L"  " + mdr::ToUpper(kSoundKey) + L"\\ ");
    Click(dialog, kAdd);
    Answer(21, 69, IDOK);
    Type(edit, L" " + mdr::ToLower(kSoundKey) + L" ");
    Click(dialog, kAdd);
    Answer(21, 69, IDOK);
    EXPECT_EQ(ListViewCount(list), 1);
    // ... under another root it is a different key.
    Choose(dialog, kNewRoot, kRootHklm);
    Type(edit, kSoundKey);
    Click(dialog, kAdd);
    ASSERT_TRUE(WaitUntil([&] { return ListViewCount(list) == 2; }, 3000));

    // Export looks at the saved list, which is still empty.
    Click(dialog, kExport);
    Answer(21, 80, IDOK);

    PressOk(dialog);
    ExpectClosed(dialog, g);
    const IniFile ini = LoadIni(ConfigPath());
    const std::wstring cuKey = std::wstring(L"HKEY_CURRENT_USER\\") + kSoundKey;
    const std::wstring lmKey = std::wstring(L"HKEY_LOCAL_MACHINE\\") + kSoundKey;
    EXPECT_EQ(ini.Keys(L"MDRExceptions"), (std::vector<std::wstring>{cuKey, lmKey}));
    EXPECT_EQ(ini.GetString(L"MDRExceptions", cuKey), L"Exception0");
    EXPECT_EQ(ini.GetString(L"MDRExceptions", lmKey), L"Exception1");

    // In effect at once ...
    Rescan(g);
    EXPECT_TRUE(RowsWith(ReadListView(g.list), kSoundKey).empty());
    ExitByMenu(g);

    // ... and after a restart.
    g = StartMain(L"-scan");
    ASSERT_TRUE(g.main);
    WaitScanFinished(g);
    EXPECT_TRUE(RowsWith(ReadListView(g.list), kSoundKey).empty());
    dialog = OpenSettings(g);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(ListViewCount(Ctl(dialog, kExceptionList)), 2);
    Click(dialog, kCancel);
    ExpectClosed(dialog, g);
    ExitByMenu(g);
}

TEST_F(SettingsTest, ExportAndImportThroughTheFileDialogs) {
    ConfigValues config = Defaults();
    config.exceptions = {L"HKEY_LOCAL_MACHINE\\Software\\MdrSettingsSaved1",
                         L"HKEY_CURRENT_USER\\Software\\MdrSettingsSaved2\\*"};
    Gadgets g = Start(L"", config);
    ASSERT_TRUE(g.main);
    HWND dialog = OpenSettings(g);
    ASSERT_TRUE(dialog);
    ShowTab(dialog, 2, kExceptionList);
    HWND list = Ctl(dialog, kExceptionList);
    Choose(dialog, kNewRoot, kRootHku);
    Type(Ctl(dialog, kNewSubkey), L".DEFAULT\\Software\\MdrSettingsNew");
    Click(dialog, kAdd);
    ASSERT_TRUE(WaitUntil([&] { return ListViewCount(list) == 3; }, 3000));

    // A name without extension gets ".mdr"; the file holds the dialog's rows in order.
    Click(dialog, kExport);
    UseFileDialog(74, temp_ + L"list");
    Answer(21, 78, IDOK);
    const std::wstring exported = temp_ + L"list.mdr";
    ASSERT_TRUE(FileExists(exported));
    const std::string bytes = ReadFileBytes(exported);
    EXPECT_EQ(bytes,
              "[EX_0]\r\nMainKey=HKEY_LOCAL_MACHINE\r\nSubKey=Software\\MdrSettingsSaved1\r\n"
              "\r\n[EX_1]\r\nMainKey=HKEY_CURRENT_USER\r\nSubKey=Software\\MdrSettingsSaved2\\*"
              "\r\n\r\n[EX_2]\r\nMainKey=HKEY_USERS\r\nSubKey=.DEFAULT\\Software\\MdrSettingsNew"
              "\r\n");

    // An existing file is replaced only after asking; an upper-case extension is kept.
    ASSERT_TRUE(WriteFileBytes(temp_ + L"OLD.MDR", "keep me"));
    Click(dialog, kExport);
    UseFileDialog(74, temp_ + L"OLD.MDR");
    Answer(71, 77, IDNO);
    ExpectNoMessageBox(300);
    EXPECT_EQ(ReadFileBytes(temp_ + L"OLD.MDR"), "keep me");
    Click(dialog, kExport);
    UseFileDialog(74, temp_ + L"OLD.MDR");
    Answer(71, 77, IDYES);
    Answer(21, 78, IDOK);
    EXPECT_EQ(ReadFileBytes(temp_ + L"OLD.MDR"), bytes);
    EXPECT_FALSE(FileExists(temp_ + L"OLD.MDR.mdr"));

    // Import: saved exceptions are skipped silently, rows of this dialog come again, entries
    // with a root name not written exactly are left out, trailing backslashes go.
    const std::wstring incoming = temp_ + L"incoming.mdr";
    ASSERT_TRUE(WriteFileBytes(
        incoming, "[EX_0]\r\nMainKey=HKEY_LOCAL_MACHINE\r\nSubKey=software\\mdrsettingssaved1\r\n"
                  "[EX_1]\r\nMainKey=HKEY_USERS\r\nSubKey=.DEFAULT\\Software\\MdrSettingsNew\r\n"
                  "[EX_2]\r\nMainKey=hkey_current_user\r\nSubKey=Software\\Lower\r\n"
                  "[EX_3]\r\nMainKey=HKEY_CLASSES_ROOT\r\nSubKey=CLSID\\{MdrSettings}\\\r\n"
                  "[EX_4]\r\nMainKey=HKEY_CURRENT_USER\r\nSubKey=Software\\MdrSettingsSaved2\\Sub"
                  "\r\n"));
    Click(dialog, kImport);
    UseFileDialog(81, incoming);
    Answer(21, 82, IDOK);
    const ListViewContent rows = ReadListView(list);
    std::vector<std::vector<std::wstring>> cells;
    for (const ListViewRow& r : rows.rows)
        cells.push_back(r.cells);
    EXPECT_EQ(cells, (std::vector<std::vector<std::wstring>>{
                         {L"HKEY_LOCAL_MACHINE", L"Software\\MdrSettingsSaved1"},
                         {L"HKEY_CURRENT_USER", L"Software\\MdrSettingsSaved2\\*"},
                         {L"HKEY_USERS", L".DEFAULT\\Software\\MdrSettingsNew"},
                         {L"HKEY_USERS", L".DEFAULT\\Software\\MdrSettingsNew"},
                         {L"HKEY_CLASSES_ROOT", L"CLSID\\{MdrSettings}"}}));

    // A file that cannot be read.
    Click(dialog, kImport);
    UseFileDialog(81, temp_ + L"missing.mdr");
    Answer(19, 83, IDOK);
    EXPECT_EQ(ListViewCount(list), 5);

    // OK keeps one entry per key.
    PressOk(dialog);
    ExpectClosed(dialog, g);
    const IniFile ini = LoadIni(ConfigPath());
    EXPECT_EQ(ini.Keys(L"MDRExceptions"),
              (std::vector<std::wstring>{L"HKEY_LOCAL_MACHINE\\Software\\MdrSettingsSaved1",
                                         L"HKEY_CURRENT_USER\\Software\\MdrSettingsSaved2\\*",
                                         L"HKEY_USERS\\.DEFAULT\\Software\\MdrSettingsNew",
                                         L"HKEY_CLASSES_ROOT\\CLSID\\{MdrSettings}"}));
    EXPECT_EQ(ini.GetString(L"MDRExceptions", L"HKEY_CLASSES_ROOT\\CLSID\\{MdrSettings}"),
              L"Exception3");
    ExitByMenu(g);
}

TEST_F(SettingsTest, OkWithoutALanguageSavesNothing) {
    Gadgets g = Start(L"", Defaults());
    ASSERT_TRUE(g.main);
    const std::string configBefore = ReadFileBytes(ConfigPath());
    HWND dialog = OpenSettings(g);
    ASSERT_TRUE(dialog);
    Choose(dialog, kSelectItems, 3);
    ShowTab(dialog, 1, kLanguages);
    HWND languages = Ctl(dialog, kLanguages);
    ASSERT_TRUE(DeselectAllRows(languages));
    ASSERT_FALSE(ReadListView(languages).rows.at(0).selected);

    PressOk(dialog);
    Answer(21, 68, IDOK);
    EXPECT_TRUE(IsWindow(dialog)) << "the dialog stays open";
    EXPECT_EQ(ReadFileBytes(ConfigPath()), configBefore);

    ASSERT_TRUE(SelectListViewRow(languages, 0));
    PressOk(dialog);
    ExpectClosed(dialog, g);
    ExpectNoMessageBox();
    EXPECT_EQ(LoadIni(ConfigPath()).GetString(L"MDRConfig", L"SelectItems"), L"3");
    ExitByMenu(g);
}

TEST_F(SettingsTest, ALanguageChangeShowsItsNotice) {
    const std::wstring dist = CopyOfInstall();
    std::string english = ReadFileBytes(dist + L"Localization\\English.ini");
    const size_t name = english.find("Name=English");
    ASSERT_NE(name, std::string::npos);
    english.replace(name, 12, "Name=Zeta test");
    const size_t author = english.find("Author=Veltrane");
    ASSERT_NE(author, std::string::npos);
    english.replace(author, 15, "Author=Tester");
    ASSERT_TRUE(WriteFileBytes(dist + L"Localization\\Zeta.ini", english));

    Gadgets g = Start(L"", Defaults(), dist);
    ASSERT_TRUE(g.main);
    HWND dialog = OpenSettings(g);
    ASSERT_TRUE(dialog);
    ShowTab(dialog, 1, kLanguages);
    HWND languages = Ctl(dialog, kLanguages);
    const ListViewContent rows = ReadListView(languages);
    ASSERT_EQ(rows.rows.size(), 2u);
    int zeta = -1;
    for (int i = 0; i < 2; ++i) {
        if (rows.rows[i].cells[0] == L"Zeta test") {
            zeta = i;
            EXPECT_EQ(rows.rows[i].cells[1], L"Tester");
            EXPECT_FALSE(rows.rows[i].selected);
        } else {
            EXPECT_EQ(rows.rows[i].cells[0], L"English");
            EXPECT_TRUE(rows.rows[i].selected);
        }
    }
    ASSERT_GE(zeta, 0);
    ASSERT_TRUE(SelectListViewRow(languages, zeta));
    PressOk(dialog);
    Answer(21, 66, IDOK);
    ExpectClosed(dialog, g);
    EXPECT_EQ(LoadIni(ConfigPath()).GetString(L"MDRConfig", L"CurrentLanguage"),
              L"Localization\\Zeta.ini");
    ExitByMenu(g);
}

TEST_F(SettingsTest, SettingsThatCannotBeSavedStayInEffectUntilTheEnd) {
    ConfigValues config = Defaults();
    config.highlight = 0;
    Gadgets g = Start(L"-scan", config);
    ASSERT_TRUE(g.main);
    WaitScanFinished(g);
    ASSERT_EQ(RowsWith(ReadListView(g.list), kSoundKey).size(), 1u);
    const COLORREF plain = RowBackground(g, 2);
    const std::string configBefore = ReadFileBytes(ConfigPath());

    HWND dialog = OpenSettings(g);
    ASSERT_TRUE(dialog);
    ShowTab(dialog, 1, kLanguages);
    Toggle(dialog, kHighlight);
    ShowTab(dialog, 2, kExceptionList);
    Choose(dialog, kNewRoot, kRootHkcu);
    Type(Ctl(dialog, kNewSubkey), kSoundKey);
    Click(dialog, kAdd);
    ASSERT_TRUE(WaitUntil([&] { return ListViewCount(Ctl(dialog, kExceptionList)) == 1; }, 3000));

    // Another program holds Config.ini open without sharing.
    HANDLE lock =
        CreateFileW(ConfigPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    PressOk(dialog);
    bool icon = false;
    AnswerText(23, T(67), IDOK, &icon);
    EXPECT_TRUE(icon);
    EXPECT_TRUE(IsWindow(dialog)) << "the dialog stays open after a failed save";
    Click(dialog, kCancel);
    ExpectClosed(dialog, g);
    CloseHandle(lock);
    EXPECT_EQ(ReadFileBytes(ConfigPath()), configBefore);

    // Highlighting applies; the exception list in use is the saved one.
    for (int row = 1; row <= 3; ++row)
        EXPECT_EQ(RowBackground(g, row), kEntryColor) << "row " << row;
    Rescan(g);
    EXPECT_EQ(RowsWith(ReadListView(g.list), kSoundKey).size(), 1u);
    EXPECT_EQ(RowBackground(g, 2), kEntryColor);
    EXPECT_EQ(RowBackground(g, 3), plain);

    ExitByMenu(g);
    const IniFile ini = LoadIni(ConfigPath());
    EXPECT_EQ(ini.GetString(L"MDRConfig", L"HighlightEntry"), L"0");
    EXPECT_TRUE(ini.Keys(L"MDRExceptions").empty());
}

// ---- Tools ------------------------------------------------------------------------------------

TEST_F(SettingsTest, ToolsFromPluginsStartInListingOrderOrComplain) {
    const std::wstring dist = CopyOfInstall();
    const std::wstring plugins = dist + L"Plugins\\";
    // Only the two descriptions of this test.
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW((plugins + L"*.ini").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do
            DeleteFileW((plugins + found.cFileName).c_str());
        while (FindNextFileW(find, &found));
        FindClose(find);
    }
    ASSERT_TRUE(
        WriteFileBytes(plugins + L"probe.ini",
                       "[MDRTool]\r\nMenuName=Probe tool\r\nExecutablePath=Probe\\probe.exe\r\n"));
    ASSERT_TRUE(WriteFileBytes(plugins + L"absent.ini",
                               "[MDRTool]\r\nExecutablePath=Gone\\absent.exe\r\n"));
    ASSERT_TRUE(CreateDirectoryW((plugins + L"Probe").c_str(), nullptr));
    const std::wstring probe = plugins + L"Probe\\probe.exe";
    ASSERT_TRUE(CopyFileW((BuildDir() + L"tests\\tool_probe.exe").c_str(), probe.c_str(), FALSE));
    const std::wstring marker = probe + L".ran";

    // Ids follow the folder's listing.
    mdr::DiscoverTools(dist);
    ASSERT_EQ(mdr::Tools().size(), 2u);
    int probeId = 0;
    int absentId = 0;
    for (const mdr::ToolInfo& tool : mdr::Tools())
        (tool.menuName == L"Probe tool" ? probeId : absentId) = tool.menuId;
    ASSERT_EQ(probeId + absentId, 200 + 201);

    Gadgets g = Start(L"", Defaults(), dist);
    ASSERT_TRUE(g.main);
    EXPECT_TRUE(ButtonEnabled(g, mdr::kBtnTools));

    // The tool runs as a process of its own, in its own folder.
    PostCommand(g.main, probeId);
    ASSERT_TRUE(WaitUntil([&] { return FileExists(marker); }, 15000)) << "the tool did not run";
    std::wstring folder;
    WaitUntil([&] {
        const std::string bytes = ReadFileBytes(marker);
        folder.assign(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
        return !folder.empty();
    });
    EXPECT_TRUE(mdr::EqualsNoCase(folder + L"\\", plugins + L"Probe\\") ||
                mdr::EqualsNoCase(folder, plugins + L"Probe\\"))
        << Narrow(folder);
    ExpectNoMessageBox(300);

    // A description whose executable is missing, and a tool deleted after start-up.
    bool icon = false;
    PostCommand(g.main, absentId);
    AnswerText(23, mdr::MissingToolText(T(224), plugins + L"Gone\\absent.exe"), IDOK, &icon);
    EXPECT_TRUE(icon);
    EXPECT_NE(T(224).find(L"$PLUGINFILE$"), std::wstring::npos);
    ASSERT_TRUE(WaitUntil([&] { return DeleteFileW(probe.c_str()) != 0; }, 5000));
    PostCommand(g.main, probeId);
    AnswerText(23, L"The tool program \"" + probe + L"\" was not found.", IDOK);
    ExitByMenu(g);
}

} // namespace
