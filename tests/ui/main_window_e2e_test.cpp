// The real MDR.exe with its main window, driven from outside: scans over planted broken
// registry entries, stopping, the unfixed-errors question, selection commands, exceptions, the
// notification area, "-warnordie" and the window state kept across a restart.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/localization.h"
#include "common/ini.h"
#include "common/text.h"
#include "tests/driver/mdr_fixtures.h"
#include "ui/command_ids.h"
#include "ui/main_ui.h"
#include "ui/ui_logic.h"

using namespace mdr::driver;
using mdr::IniFile;

namespace {

constexpr wchar_t kMainTitle[] = L"Veltrane Registry Cleaner";
constexpr COLORREF kEntryColor = RGB(250, 200, 40);

// Planted broken entries: every path below points into a folder that does not exist.
constexpr wchar_t kMissingFolder[] = L"C:\\MdrUiTestMissing\\";
constexpr wchar_t kSharedDllsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
constexpr wchar_t kDriversKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
constexpr wchar_t kDriverValue[] = L"mdruitest.drv";
constexpr wchar_t kSoundsParent[] = L"AppEvents\\Schemes\\Apps\\MdrUiTest";
constexpr wchar_t kSoundKey[] = L"AppEvents\\Schemes\\Apps\\MdrUiTest\\MdrEvent\\.Current";
constexpr int kSharedDllCount = 4;

// Tree items of the areas the planted entries fall into.
constexpr int kComArea = 1;
constexpr int kDriversArea = 3;
constexpr int kSharedDllsArea = 15;
constexpr int kSoundsArea = 16;
constexpr int kIeToolbarsArea = 10;

std::wstring SharedDllName(int i) {
    return std::wstring(kMissingFolder) + L"shared" + std::to_wstring(i) + L".dll";
}

// Config.ini of these tests: highlighting on, the areas of the planted entries ticked.
ConfigValues Defaults() {
    ConfigValues v;
    v.highlight = 1;
    v.color = kEntryColor;
    v.zones = Zones({kDriversArea, kSharedDllsArea, kSoundsArea});
    return v;
}

// ---- Registry planting ------------------------------------------------------------------------

void PlantBrokenEntries() {
    SetString(HKEY_LOCAL_MACHINE, kDriversKey, kDriverValue,
              std::wstring(kMissingFolder) + kDriverValue);
    for (int i = 1; i <= kSharedDllCount; ++i)
        SetDword(HKEY_LOCAL_MACHINE, kSharedDllsKey, SharedDllName(i), 1);
    SetString(HKEY_CURRENT_USER, kSoundKey, L"", std::wstring(kMissingFolder) + L"ding.wav");
}

void RemoveBrokenEntries() {
    DeleteValue(HKEY_LOCAL_MACHINE, kDriversKey, kDriverValue);
    for (int i = 1; i <= kSharedDllCount; ++i)
        DeleteValue(HKEY_LOCAL_MACHINE, kSharedDllsKey, SharedDllName(i));
    RegDeleteTreeW(HKEY_CURRENT_USER, kSoundsParent);
}

// ---- The running program's gadgets ------------------------------------------------------------

// Image index of tree item n (0..18), -1 when the tree cannot be read.
int TreeImage(const Gadgets& g, int item) {
    const std::vector<TreeItem> items = ReadTreeView(g.tree);
    return item < static_cast<int>(items.size()) ? items[item].image : -1;
}

// Rows whose data point into the missing folder (the planted ones), with their positions.
std::vector<std::pair<int, ListViewRow>> PlantedRows(const ListViewContent& content) {
    std::vector<std::pair<int, ListViewRow>> rows;
    for (size_t i = 0; i < content.rows.size(); ++i) {
        const ListViewRow& r = content.rows[i];
        const bool planted = std::any_of(r.cells.begin(), r.cells.end(), [](const auto& c) {
            return mdr::FindNoCase(c, kMissingFolder) != std::wstring::npos;
        });
        if (planted) rows.emplace_back(static_cast<int>(i), r);
    }
    return rows;
}

// A mouse drag on a splitter's bar along y = 60. The real cursor goes along too: the splitter
// captures the mouse, and the pointer's own position would otherwise reach it.
void DragSplitter(HWND splitter, int fromX, int toX) {
    POINT from{fromX, 60};
    POINT to{toX, 60};
    ClientToScreen(splitter, &from);
    ClientToScreen(splitter, &to);
    // The pointer's own motion reaches the window a little later: let it arrive first.
    SetCursorPos(from.x, from.y);
    Sleep(150);
    Send(splitter, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(fromX, 60));
    SetCursorPos(to.x, to.y);
    Sleep(150);
    Send(splitter, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(toX, 60));
    Send(splitter, WM_LBUTTONUP, 0, MAKELPARAM(toX, 60));
}

class MainWindowTest : public MdrTest {
  protected:
    void SetUp() override {
        MdrTest::SetUp();
        PlantBrokenEntries();
    }
    void CleanUp() override { RemoveBrokenEntries(); }

    // Starts MDR with the given Config.ini and waits for its main window (visible or not).
    Gadgets Start(const std::wstring& arguments, const ConfigValues& config = Defaults()) {
        WriteConfig(config);
        Process& p = LaunchMdr(arguments);
        pid_ = p.Pid();
        process_ = &p;
        HWND main = WaitForWindow(
            pid_, {.className = mdr::kMainWindowClass, .title = L"", .visibleOnly = false});
        EXPECT_NE(main, nullptr) << "no main window";
        Gadgets g;
        // The window exists before its gadgets: wait for the last of them.
        const bool complete = main && WaitUntil([&] {
                                  g = FindGadgets(main);
                                  return g.list && g.tree && g.status && g.toolbar && g.progress &&
                                         g.details && g.treeSplitter;
                              });
        EXPECT_TRUE(complete) << "gadgets missing";
        return g;
    }

    // Answers the next message box, checking its title and text entries.
    void Answer(int titleEntry, int textEntry, int button) {
        auto box = WaitForMessageBox(pid_);
        ASSERT_TRUE(box.has_value()) << "expected a message box with entry " << textEntry;
        EXPECT_EQ(box->title, T(titleEntry));
        EXPECT_EQ(box->text, T(textEntry));
        PressButton(box->window, button);
        WaitUntil([&] { return !IsWindow(box->window); }, 5000);
    }

    void ExitByMenu(const Gadgets& g) {
        PostCommand(g.main, mdr::kCmdExit);
        Answer(71, 216, IDYES);
        EXPECT_TRUE(process_->WaitExit(10000));
    }
};

// ---- Tests ------------------------------------------------------------------------------------

TEST_F(MainWindowTest, ScanFromTheCommandLineListsThePlantedEntries) {
    Gadgets g = Start(L"-scan");
    ASSERT_TRUE(g.main && g.list && g.tree && g.status);
    ASSERT_TRUE(WaitUntil([&] { return ScanFinished(g); }, 60000))
        << "status: " << Narrow(ReadStatusBarPart(g.status, 0));
    EXPECT_TRUE(IsWindowVisible(g.main));

    const ListViewContent content = ReadListView(g.list);
    ASSERT_EQ(content.columnTitles.size(), 5u);
    EXPECT_EQ(content.columnTitles[0], T(212));
    EXPECT_EQ(content.columnTitles[1], T(49));
    EXPECT_EQ(content.columnTitles[2], T(133));
    EXPECT_EQ(content.columnTitles[3], T(213));
    EXPECT_EQ(content.columnTitles[4], T(214));
    EXPECT_EQ(content.columnWidths, (std::vector<int>{150, 260, 100, 200, 110}));

    const auto planted = PlantedRows(content);
    ASSERT_EQ(planted.size(), static_cast<size_t>(kSharedDllCount + 2));
    // Tree order: drivers, shared DLLs, sounds.
    const ListViewRow& driver = planted[0].second;
    EXPECT_EQ(driver.cells,
              (std::vector<std::wstring>{L"HKEY_LOCAL_MACHINE", kDriversKey, kDriverValue,
                                         std::wstring(kMissingFolder) + kDriverValue, L"Drivers"}));
    EXPECT_EQ(driver.image, 8);
    EXPECT_FALSE(driver.checked) << "unsafe rows are not pre-checked with SelectItems 0";
    for (int i = 1; i <= kSharedDllCount; ++i) {
        const ListViewRow& shared = planted[i].second;
        EXPECT_EQ(shared.cells[0], L"HKEY_LOCAL_MACHINE");
        EXPECT_EQ(shared.cells[1], kSharedDllsKey);
        EXPECT_EQ(shared.cells[4], L"Shared DLLs");
        EXPECT_EQ(shared.image, 7);
        EXPECT_TRUE(shared.checked);
    }
    const ListViewRow& sound = planted.back().second;
    EXPECT_EQ(sound.cells,
              (std::vector<std::wstring>{L"HKEY_CURRENT_USER", kSoundKey, L"(Default)",
                                         std::wstring(kMissingFolder) + L"ding.wav", L"Sounds"}));
    EXPECT_EQ(sound.image, 8);
    EXPECT_FALSE(sound.checked);

    // The first error is selected and its description shown.
    EXPECT_TRUE(content.rows[0].selected);
    EXPECT_NE(GetText(g.details), T(140));
    EXPECT_FALSE(GetText(g.details).empty());

    // Tree labels carry the counts of their rows; status fields the totals.
    const std::vector<TreeItem> items = ReadTreeView(g.tree);
    ASSERT_EQ(items.size(), 19u);
    EXPECT_EQ(items[0].text, T(0));
    EXPECT_EQ(items[0].stateImage, 0) << "the root has no check box";
    EXPECT_TRUE(items[0].expanded);
    for (int item = 1; item <= 18; ++item) {
        const bool ticked = item == kDriversArea || item == kSharedDllsArea || item == kSoundsArea;
        EXPECT_EQ(items[item].checked, ticked) << "area " << item;
        EXPECT_EQ(items[item].stateImage, ticked ? 2 : 1) << "area " << item;
    }
    auto rowsOf = [&](const std::wstring& category) {
        return std::count_if(content.rows.begin(), content.rows.end(),
                             [&](const ListViewRow& r) { return r.cells[4] == category; });
    };
    EXPECT_EQ(items[kDriversArea].text,
              T(kDriversArea) + L" (" + std::to_wstring(rowsOf(L"Drivers")) + L")");
    EXPECT_EQ(items[kSharedDllsArea].text,
              T(kSharedDllsArea) + L" (" + std::to_wstring(rowsOf(L"Shared DLLs")) + L")");
    EXPECT_EQ(items[kSoundsArea].text,
              T(kSoundsArea) + L" (" + std::to_wstring(rowsOf(L"Sounds")) + L")");
    EXPECT_EQ(items[1].text, T(1));
    EXPECT_NE(items[kDriversArea].image, items[1].image) << "areas with errors change icon";

    EXPECT_EQ(StatusBarParts(g.status), 4);
    EXPECT_EQ(ReadStatusBarPart(g.status, 2),
              mdr::ReplacePlaceholder(T(135), L"$ERRRORSDETECTED$",
                                      std::to_wstring(content.rows.size())));
    const std::wstring items1 = ReadStatusBarPart(g.status, 1);
    EXPECT_NE(items1, mdr::ReplacePlaceholder(T(134), L"$ITEMSSCANNED$", L"0"));
    EXPECT_EQ(ReadStatusBarPart(g.status, 3),
              mdr::ReplacePlaceholder(T(106), L"$ERRORSFIXED$", L"0"));
    EXPECT_EQ(Send(g.progress, PBM_GETPOS).value_or(-1), 0);

    // HighlightEntry 1: rows 0, 2, 4 ... are drawn in EntryColor, the others plainly.
    for (size_t row = 0; row < content.rows.size(); ++row) {
        const auto color = Send(g.main, mdr::kMsgQueryRowColor, row);
        ASSERT_TRUE(color.has_value());
        EXPECT_EQ(static_cast<COLORREF>(*color), row % 2 == 0 ? kEntryColor : CLR_NONE)
            << "row " << row;
    }

    const std::wstring log = LogText();
    for (const wchar_t* line :
         {L"Starting to scan the registry", L"Disabling controls", L"Controls disabled",
          L"-> Entering event loop", L"Scan thread returned...", L"Scan finished successfully",
          L"Controls enabled", L"-> Entering main loop..."}) {
        EXPECT_NE(log.find(line), std::wstring::npos) << Narrow(line);
    }
    // Toolbar labels; the stop button and the commands of other modules may be disabled, the
    // rest is enabled once the scan is over.
    const std::pair<int, int> labels[] = {{mdr::kBtnScan, 195},          {mdr::kBtnStop, 196},
                                          {mdr::kBtnBackupManager, 197}, {mdr::kBtnFix, 198},
                                          {mdr::kBtnSettings, 200},      {mdr::kBtnHelp, 201},
                                          {mdr::kBtnAbout, 202},         {mdr::kBtnExit, 193}};
    for (const auto& [id, entry] : labels) {
        RemoteBuffer text(g.toolbar, 512);
        Send(g.toolbar, TB_GETBUTTONTEXTW, static_cast<WPARAM>(id), text.Address());
        EXPECT_EQ(text.ReadString(0, 255), T(entry)) << "button " << id;
    }
    EXPECT_TRUE(ButtonEnabled(g, mdr::kBtnScan));
    EXPECT_FALSE(ButtonEnabled(g, mdr::kBtnStop));
    EXPECT_TRUE(ButtonEnabled(g, mdr::kBtnHelp));
    EXPECT_TRUE(ButtonEnabled(g, mdr::kBtnExit));
    ExitByMenu(g);
}

TEST_F(MainWindowTest, StopAsksFirstAndLeavesTheTreeAndProgressBarAsTheyWere) {
    ConfigValues config = Defaults();
    config.scanMode = 20; // slow enough to stop halfway through the COM classes
    config.zones = Zones({kComArea, kDriversArea, kSharedDllsArea, kSoundsArea});
    Gadgets g = Start(L"-scan", config);
    ASSERT_TRUE(g.main && g.list && g.tree && g.status);
    ASSERT_TRUE(WaitUntil([&] { return Scanning(g); }, 20000));
    // Controls during the scan: only stop (and minimize) work.
    EXPECT_FALSE(ButtonEnabled(g, mdr::kBtnScan));
    EXPECT_FALSE(ButtonEnabled(g, mdr::kBtnExit));
    ASSERT_TRUE(
        WaitUntil([&] { return TreeImage(g, kComArea) != TreeImage(g, kDriversArea); }, 20000))
        << "the COM area never started";
    EXPECT_FALSE(GetWindowLongW(g.tree, GWL_STYLE) & TVS_CHECKBOXES)
        << "check boxes are hidden during a scan";

    // Declining lets the scan go on.
    PostCommand(g.main, mdr::kCmdStopScan);
    Answer(71, 143, IDNO);
    Sleep(300);
    EXPECT_TRUE(Scanning(g));

    // Accepting stops it; the delay from the answer to the end is printed as a figure.
    PostCommand(g.main, mdr::kBtnStop);
    auto box = WaitForMessageBox(pid_);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, T(143));
    PressButton(box->window, IDYES);
    // Closing a top-level window takes Wine up to 2 s without a window manager; the figure
    // that matters runs from the moment the question is gone.
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box->window); }, 5000));
    const ULONGLONG answered = GetTickCount64();
    ASSERT_TRUE(WaitUntil([&] { return !Scanning(g); }, 10000));
    std::printf("[ figure ] scan ended %llu ms after the stop was confirmed\n",
                GetTickCount64() - answered);
    ASSERT_TRUE(WaitUntil([&] { return ScanCancelled(g); }, 5000))
        << Narrow(ReadStatusBarPart(g.status, 0));

    const std::vector<TreeItem> after = ReadTreeView(g.tree);
    ASSERT_EQ(after.size(), 19u);
    // Areas never reached keep the normal icon (that of an unticked area) and their plain
    // names; the stopped area shows its icon by what it stored.
    const int normal = after[2].image;
    for (int item : {kDriversArea, kSharedDllsArea, kSoundsArea}) {
        EXPECT_EQ(after[item].image, normal) << "area " << item;
        EXPECT_EQ(after[item].text, T(item)) << "area " << item;
    }
    const bool comStored = after[kComArea].text != T(kComArea);
    EXPECT_EQ(after[kComArea].image != normal, comStored);
    for (int item = 1; item <= 18; ++item) {
        const bool ticked = item == kComArea || item == kDriversArea || item == kSharedDllsArea ||
                            item == kSoundsArea;
        EXPECT_EQ(after[item].stateImage, ticked ? 2 : 1) << "area " << item;
    }
    EXPECT_EQ(after[0].stateImage, 0);
    EXPECT_EQ(Send(g.progress, PBM_GETPOS).value_or(-1), 0);
    EXPECT_TRUE(ButtonEnabled(g, mdr::kBtnScan));
    EXPECT_NE(LogText().find(L"Scan was cancelled by user"), std::wstring::npos);
    ExitByMenu(g);
}

TEST_F(MainWindowTest, ExitFromTheNotificationMenuDuringAScanStopsAndSaves) {
    ConfigValues config = Defaults();
    config.scanMode = 10;
    config.zones = Zones({kComArea});
    config.windowGroup = false;
    Gadgets g = Start(L"-scan", config);
    ASSERT_TRUE(g.main && g.list && g.tree && g.status);
    ASSERT_TRUE(WaitUntil([&] { return Scanning(g); }, 20000));
    PostCommand(g.main, mdr::kCmdTrayExit);
    Answer(71, 216, IDYES);
    ASSERT_TRUE(process_->WaitExit(10000));
    const IniFile ini = LoadIni(ConfigPath());
    for (const wchar_t* key : {L"MainWinX", L"MainWinWidth", L"ColumnWidth4", L"SplitterWidth"})
        EXPECT_TRUE(ini.HasKey(L"MDRWindow", key)) << Narrow(key);
    const std::wstring log = LogText();
    EXPECT_NE(log.find(L"Scan thread returned, we are quitting..."), std::wstring::npos);
    EXPECT_EQ(log.find(L"Scan was cancelled by user"), std::wstring::npos);
}

TEST_F(MainWindowTest, SecondScanWithUnfixedRowsAsksFirst) {
    Gadgets g = Start(L"-scan");
    ASSERT_TRUE(g.main && g.list && g.tree && g.status);
    ASSERT_TRUE(WaitUntil([&] { return ScanFinished(g); }, 60000));
    const int rows = ListViewCount(g.list);
    ASSERT_GT(rows, 0);

    PostCommand(g.main, mdr::kCmdStartScan);
    Answer(137, 138, IDNO);
    EXPECT_EQ(ListViewCount(g.list), rows);
    EXPECT_FALSE(Scanning(g));
    EXPECT_NE(LogText().find(L"User cancelled scanning"), std::wstring::npos);

    PostCommand(g.main, mdr::kBtnScan);
    Answer(137, 138, IDYES);
    ASSERT_TRUE(WaitUntil([&] { return ScanFinished(g) && ListViewCount(g.list) == rows; }, 60000));
    EXPECT_NE(LogText().find(L"User continued scanning"), std::wstring::npos);
    ExitByMenu(g);
}

TEST_F(MainWindowTest, SelectionCommandsFollowSafety) {
    Gadgets g = Start(L"-scan");
    ASSERT_TRUE(g.main && g.list && g.tree && g.status);
    ASSERT_TRUE(WaitUntil([&] { return ScanFinished(g); }, 60000));

    auto checks = [&] {
        std::vector<std::pair<bool, bool>> out; // {safe, checked}
        for (const ListViewRow& r : ReadListView(g.list).rows)
            out.emplace_back(r.image == 7, r.checked);
        return out;
    };
    auto expectAll = [&](auto rule, const char* what) {
        const auto rows = checks();
        ASSERT_FALSE(rows.empty());
        for (size_t i = 0; i < rows.size(); ++i)
            EXPECT_EQ(rows[i].second, rule(rows[i].first, i)) << what << ", row " << i;
    };
    // Sent, not posted: each command has run when the call returns.
    auto run = [&](int id) { ASSERT_TRUE(Send(g.main, WM_COMMAND, id, 0, 10000).has_value()); };

    run(mdr::kCmdDeselectAll);
    expectAll([](bool, size_t) { return false; }, "deselect all");
    run(mdr::kCmdSelectUnsafe);
    expectAll([](bool safe, size_t) { return !safe; }, "select unsafe");
    run(mdr::kCmdListSelectSafe);
    expectAll([](bool, size_t) { return true; }, "select safe");
    run(mdr::kCmdDeselectUnsafe);
    expectAll([](bool safe, size_t) { return safe; }, "deselect unsafe");
    run(mdr::kCmdInvertSelection);
    expectAll([](bool safe, size_t) { return !safe; }, "invert");
    run(mdr::kCmdDeselectSafe);
    expectAll([](bool safe, size_t) { return !safe; }, "deselect safe (none checked)");
    run(mdr::kCmdListSelectAll);
    expectAll([](bool, size_t) { return true; }, "select all");
    run(mdr::kCmdListInvert);
    expectAll([](bool, size_t) { return false; }, "invert all");

    // Ctrl+W while idle does nothing: the stop item is disabled and no question comes.
    PostCommand(g.main, mdr::kCmdStopScan);
    EXPECT_FALSE(WaitForMessageBox(pid_, 500).has_value());

    // Tick and untick every area from the tree's pop-up commands; the root keeps no box.
    run(mdr::kCmdTreeUntickAll);
    for (const TreeItem& item : ReadTreeView(g.tree)) {
        if (item.level == 1) {
            EXPECT_FALSE(item.checked) << Narrow(item.text);
        }
    }
    run(mdr::kCmdTickAllAreas);
    const std::vector<TreeItem> items = ReadTreeView(g.tree);
    for (int item = 1; item <= 18; ++item)
        EXPECT_TRUE(items[item].checked) << item;
    EXPECT_TRUE(WaitUntil([&] { return ReadTreeView(g.tree)[0].stateImage == 0; }, 3000));

    const std::wstring log = LogText();
    for (const wchar_t* line :
         {L"Deselecting all errors", L"Errors deselected", L"Selecting all unsafe errors",
          L"Unsafe errors selected, returning", L"Selecting all safe errors",
          L"Safe errors selected, returning", L"Deselecting all unsafe errors",
          L"Unsafe errors deselected", L"Inverting error selection",
          L"Error selection inverted, returning", L"Deselecting all safe errors",
          L"Safe errors deselected", L"Selecting all errors", L"Errors selected, returning"}) {
        EXPECT_NE(log.find(line), std::wstring::npos) << Narrow(line);
    }
    ExitByMenu(g);
}

TEST_F(MainWindowTest, AddToExceptionsDropsTheRowAndRewritesConfig) {
    Gadgets g = Start(L"-scan");
    ASSERT_TRUE(g.main && g.list && g.tree && g.status);
    ASSERT_TRUE(WaitUntil([&] { return ScanFinished(g); }, 60000));
    auto planted = PlantedRows(ReadListView(g.list));
    ASSERT_EQ(planted.size(), static_cast<size_t>(kSharedDllCount + 2));
    const int rows = ListViewCount(g.list);

    // The first shared-DLL row: declining changes nothing.
    ASSERT_TRUE(SelectListViewRow(g.list, planted[1].first));
    PostCommand(g.main, mdr::kCmdListAddException);
    Answer(71, 220, IDNO);
    EXPECT_EQ(ListViewCount(g.list), rows);

    PostCommand(g.main, mdr::kCmdListAddException);
    Answer(71, 220, IDYES);
    ASSERT_TRUE(WaitUntil([&] { return ListViewCount(g.list) == rows - 1; }, 5000));
    planted = PlantedRows(ReadListView(g.list));
    EXPECT_EQ(planted.size(), static_cast<size_t>(kSharedDllCount + 1));
    const IniFile ini = LoadIni(ConfigPath());
    const std::wstring key = std::wstring(L"HKEY_LOCAL_MACHINE\\") + kSharedDllsKey;
    EXPECT_EQ(ini.Keys(L"MDRExceptions"), std::vector<std::wstring>{key});
    EXPECT_EQ(ini.GetString(L"MDRExceptions", key), L"Exception0");
    EXPECT_TRUE(ini.HasKey(L"MDRConfig", L"ScanMode")) << "the other groups stay";

    // Another row of the same key is already covered: the notice, and the row stays.
    ASSERT_TRUE(SelectListViewRow(g.list, planted[1].first));
    PostCommand(g.main, mdr::kCmdListAddException);
    Answer(71, 220, IDYES);
    Answer(21, 223, IDOK);
    EXPECT_EQ(ListViewCount(g.list), rows - 1);

    // A new scan skips the key's errors.
    PostCommand(g.main, mdr::kCmdStartScan);
    Answer(137, 138, IDYES);
    ASSERT_TRUE(WaitUntil([&] { return ScanFinished(g); }, 60000));
    planted = PlantedRows(ReadListView(g.list));
    EXPECT_EQ(planted.size(), 2u) << "only the driver and the sound are left";
    ExitByMenu(g);
}

TEST_F(MainWindowTest, MinimizedStartGoesToTheNotificationArea) {
    Gadgets g = Start(L"-minimized");
    ASSERT_TRUE(g.main && g.list && g.tree && g.status);
    Sleep(500);
    EXPECT_FALSE(IsWindowVisible(g.main));
    // Restoring works only when the icon was added.
    PostCommand(g.main, mdr::kCmdTrayRestore);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(g.main) != FALSE; }, 5000));
    const RECT rc = WindowRect(g.main);
    EXPECT_EQ(rc.left, 40);
    EXPECT_EQ(rc.top, 30);
    EXPECT_EQ(ClientSize(g.main).cx, 760);
    EXPECT_EQ(ClientSize(g.main).cy, 520);

    // Ctrl+T hides it again; the notification menu's restore brings it back.
    PostCommand(g.main, mdr::kCmdMinimizeToTray);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(g.main); }, 5000));
    PostMessageW(g.main, mdr::kMsgTrayIcon, 0, WM_LBUTTONDBLCLK); // the icon's double click
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(g.main) != FALSE; }, 5000));

    // The close request asks; No keeps the program.
    PostClose(g.main);
    Answer(71, 216, IDNO);
    Sleep(300);
    EXPECT_TRUE(process_->Running());
    ExitByMenu(g);
}

TEST_F(MainWindowTest, WarnOrDieWithNothingFoundQuitsAndSavesTheWindowGroup) {
    ConfigValues config = Defaults();
    config.zones = Zones({kIeToolbarsArea});
    config.windowGroup = false;
    ASSERT_TRUE(Start(L"-scan -minimized -warnordie", config).main);
    ASSERT_TRUE(process_->WaitExit(30000)) << "it should end by itself";
    const IniFile ini = LoadIni(ConfigPath());
    for (const wchar_t* key :
         {L"MainWinX", L"MainWinY", L"MainWinWidth", L"MainWinHeight", L"MainWinState",
          L"ColumnWidth0", L"ColumnWidth1", L"ColumnWidth2", L"ColumnWidth3", L"ColumnWidth4",
          L"SplitterWidth", L"ScanZonesState"})
        EXPECT_TRUE(ini.HasKey(L"MDRWindow", key)) << Narrow(key);
    EXPECT_EQ(ini.GetString(L"MDRWindow", L"ScanZonesState"), Zones({kIeToolbarsArea}));
}

TEST_F(MainWindowTest, WarnOrDieWithFindingsStaysInTheNotificationArea) {
    Gadgets g = Start(L"-minimized -scan -warnordie");
    ASSERT_TRUE(g.main && g.list && g.tree && g.status);
    ASSERT_TRUE(WaitUntil([&] { return ScanFinished(g); }, 60000));
    Sleep(500);
    EXPECT_TRUE(process_->Running());
    EXPECT_FALSE(IsWindowVisible(g.main));
    EXPECT_GE(ListViewCount(g.list), kSharedDllCount + 2);
    PostCommand(g.main, mdr::kCmdTrayRestore);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(g.main) != FALSE; }, 5000));
    ExitByMenu(g);
}

TEST_F(MainWindowTest, SplitterColumnsAndTicksSurviveARestart) {
    Gadgets g = Start(L"");
    ASSERT_TRUE(g.main && g.list && g.tree && g.status);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(g.main) != FALSE; }, 5000));
    EXPECT_EQ(WindowRect(g.tree).right - WindowRect(g.tree).left, 200);

    // Drag the tree's divider from 200 to 260, below its minimum (190), and back to 260.
    DragSplitter(g.treeSplitter, 203, 263);
    EXPECT_EQ(WindowRect(g.tree).right - WindowRect(g.tree).left, 260);
    DragSplitter(g.treeSplitter, 263, 20);
    EXPECT_EQ(WindowRect(g.tree).right - WindowRect(g.tree).left, 190);
    DragSplitter(g.treeSplitter, 193, 263);

    Send(g.list, LVM_SETCOLUMNWIDTH, 1, 321);
    Send(g.list, LVM_SETCOLUMNWIDTH, 4, 77);
    const std::vector<TreeItem> items = ReadTreeView(g.tree);
    ASSERT_EQ(items.size(), 19u);
    SetTreeCheck(g.tree, items[kSharedDllsArea].handle, false);
    SetTreeCheck(g.tree, items[1].handle, true);
    ExitByMenu(g);

    const IniFile ini = LoadIni(ConfigPath());
    EXPECT_EQ(ini.GetString(L"MDRWindow", L"SplitterWidth"), L"260");
    EXPECT_EQ(ini.GetString(L"MDRWindow", L"ColumnWidth1"), L"321");
    EXPECT_EQ(ini.GetString(L"MDRWindow", L"ColumnWidth4"), L"77");
    EXPECT_EQ(ini.GetString(L"MDRWindow", L"ScanZonesState"),
              Zones({1, kDriversArea, kSoundsArea}));
    EXPECT_EQ(ini.GetString(L"MDRWindow", L"MainWinWidth"), L"760");
    EXPECT_EQ(ini.GetString(L"MDRWindow", L"MainWinHeight"), L"520");

    // Start again from what was saved.
    Process& second = LaunchMdr(L"");
    pid_ = second.Pid();
    process_ = &second;
    HWND main = WaitForWindow(pid_, {.className = mdr::kMainWindowClass, .title = L""});
    ASSERT_NE(main, nullptr);
    g = FindGadgets(main);
    EXPECT_EQ(WindowRect(g.tree).right - WindowRect(g.tree).left, 260);
    const ListViewContent content = ReadListView(g.list);
    ASSERT_EQ(content.columnWidths.size(), 5u);
    EXPECT_EQ(content.columnWidths[1], 321);
    EXPECT_EQ(content.columnWidths[4], 77);
    const std::vector<TreeItem> again = ReadTreeView(g.tree);
    ASSERT_EQ(again.size(), 19u);
    for (int item = 1; item <= 18; ++item) {
        const bool ticked = item == 1 || item == kDriversArea || item == kSoundsArea;
        EXPECT_EQ(again[item].checked, ticked) << "area " << item;
    }
    ExitByMenu(g);
}

TEST_F(MainWindowTest, EndingTheSessionKeepsTheWindowState) {
    Gadgets g = Start(L"");
    ASSERT_TRUE(g.main && g.list && g.tree && g.status);
    Send(g.list, LVM_SETCOLUMNWIDTH, 4, 88);
    // Windows ends the process right after WM_ENDSESSION; the state must be on disk by then.
    ASSERT_TRUE(Send(g.main, WM_ENDSESSION, TRUE, 0).has_value());
    const IniFile ini = LoadIni(ConfigPath());
    EXPECT_EQ(ini.GetString(L"MDRWindow", L"ColumnWidth4"), L"88");
    EXPECT_EQ(ini.GetString(L"MDRWindow", L"MainWinWidth"), L"760");
}

// A benchmark more than a check: thousands of rows arrive while the window is asked to answer
// and to change its size. Prints the slowest answers; checks only that every row arrived.
TEST_F(MainWindowTest, StaysResponsiveWhileAScanAddsThousandsOfRows) {
    constexpr int kRows = 3000;
    auto name = [](int i) {
        return std::wstring(kMissingFolder) + L"bulk\\lib" + std::to_wstring(i) + L".dll";
    };
    for (int i = 0; i < kRows; ++i)
        SetDword(HKEY_LOCAL_MACHINE, kSharedDllsKey, name(i), 1);
    struct Cleanup {
        std::function<void()> f;
        ~Cleanup() { f(); }
    } cleanup{[&] {
        for (int i = 0; i < kRows; ++i)
            DeleteValue(HKEY_LOCAL_MACHINE, kSharedDllsKey, name(i));
    }};

    ConfigValues config = Defaults();
    config.zones = Zones({kSharedDllsArea});
    config.createLog = 0;
    Gadgets g = Start(L"-scan", config);
    ASSERT_TRUE(g.main && g.list && g.tree && g.status);
    ASSERT_TRUE(WaitUntil([&] { return Scanning(g) || ScanFinished(g); }, 20000));
    const ULONGLONG started = GetTickCount64();
    ULONGLONG slowestPing = 0;
    ULONGLONG slowestResize = 0;
    int samples = 0;
    bool grow = true;
    while (Scanning(g) && GetTickCount64() - started < 120000) {
        ULONGLONG t = GetTickCount64();
        ASSERT_TRUE(Send(g.main, WM_NULL, 0, 0, 10000).has_value()) << "the window hung";
        slowestPing = std::max(slowestPing, GetTickCount64() - t);
        t = GetTickCount64();
        SetWindowPos(g.main, nullptr, 0, 0, grow ? 900 : 780, grow ? 640 : 580,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        slowestResize = std::max(slowestResize, GetTickCount64() - t);
        grow = !grow;
        ++samples;
        Sleep(20);
    }
    ASSERT_TRUE(WaitUntil([&] { return ScanFinished(g); }, 60000));
    std::printf("[ figure ] %d rows in %llu ms; over %d samples the slowest answer took %llu ms "
                "and the slowest resize %llu ms\n",
                ListViewCount(g.list), GetTickCount64() - started, samples, slowestPing,
                slowestResize);
    // The same resizes once the scan is over, for comparison.
    ULONGLONG slowestIdleResize = 0;
    for (int i = 0; i < 10; ++i) {
        const ULONGLONG t = GetTickCount64();
        SetWindowPos(g.main, nullptr, 0, 0, grow ? 900 : 780, grow ? 640 : 580,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        slowestIdleResize = std::max(slowestIdleResize, GetTickCount64() - t);
        grow = !grow;
    }
    std::printf("[ figure ] the slowest of 10 resizes after the scan took %llu ms\n",
                slowestIdleResize);
    EXPECT_GE(ListViewCount(g.list), kRows + kSharedDllCount);
    EXPECT_EQ(ReadStatusBarPart(g.status, 2),
              mdr::ReplacePlaceholder(T(135), L"$ERRRORSDETECTED$",
                                      std::to_wstring(ListViewCount(g.list))));
    ExitByMenu(g);
}

} // namespace
