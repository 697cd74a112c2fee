// The real MDR.exe with its main window, driven from outside: a scan over planted broken registry
// entries, stopping a scan, and the window state kept when the session ends.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "mdr/core/localization.h"
#include "common/ini.h"
#include "common/text.h"
#include "common/late_bound.h"
#include "tests/support/edition.h"
#include "tests/support/mdr_fixtures.h"
#include "mdr/ui/command_ids.h"
#include "mdr/ui/main_ui.h"

using namespace mdr::driver;
using mdr::IniFile;
using mdr::kAreaNames;

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
constexpr int kComArea = 1, kDriversArea = 3, kSharedDllsArea = 15, kSoundsArea = 16;

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

// Image index of tree item n (0..18), -1 when the tree cannot be read.
int TreeImage(const Gadgets& g, int item) {
    const std::vector<TreeItem> items = ReadTreeView(g.tree);
    return item < static_cast<int>(items.size()) ? items[item].image : -1;
}

// Rows whose data point into the missing folder (the planted ones).
std::vector<ListViewRow> PlantedRows(const ListViewContent& content) {
    std::vector<ListViewRow> rows;
    for (const ListViewRow& r : content.rows)
        if (std::any_of(r.cells.begin(), r.cells.end(), [](const std::wstring& c) {
                return mdr::FindNoCase(c, kMissingFolder) != std::wstring::npos;
            }))
            rows.push_back(r);
    return rows;
}

class MainWindowTest : public MdrTest {
  protected:
    void SetUp() override {
        MdrTest::SetUp();
        SetString(HKEY_LOCAL_MACHINE, kDriversKey, kDriverValue,
                  std::wstring(kMissingFolder) + kDriverValue);
        for (int i = 1; i <= kSharedDllCount; ++i)
            SetDword(HKEY_LOCAL_MACHINE, kSharedDllsKey, SharedDllName(i), 1);
        SetString(HKEY_CURRENT_USER, kSoundKey, L"", std::wstring(kMissingFolder) + L"ding.wav");
    }
    void CleanUp() override {
        DeleteValue(HKEY_LOCAL_MACHINE, kDriversKey, kDriverValue);
        for (int i = 1; i <= kSharedDllCount; ++i)
            DeleteValue(HKEY_LOCAL_MACHINE, kSharedDllsKey, SharedDllName(i));
        DeleteTree(HKEY_CURRENT_USER, kSoundsParent);
    }

    Gadgets Start(const std::wstring& arguments, const ConfigValues& config = Defaults()) {
        return MdrTest::Start(arguments, config, false);
    }
};

// Run on the edition's Windows floor (as Wine reports it), where the fallbacks of what the floor
// lacks run.
TEST_F(MainWindowTest, ScanFromTheCommandLineListsThePlantedEntriesOnTheFloor) {
    const TempFolder temp;
    const WineVersion floor(L"MDR.exe", mdr::test::kWineFloor, temp / L"trace.txt");
    Gadgets g = Start(L"-scan");
    ASSERT_TRUE(g.main && g.list && g.tree && g.status);
    ASSERT_TRUE(WaitUntil([&] { return ScanFinished(g); }, 60000))
        << "status: " << Narrow(ReadStatusBarPart(g.status, 0));
    EXPECT_TRUE(IsWindowVisible(g.main));

    const ListViewContent content = ReadListView(g.list);
    const auto planted = PlantedRows(content);
    ASSERT_EQ(planted.size(), static_cast<size_t>(kSharedDllCount + 2));
    const std::string trace = ReadFileBytes(temp / L"trace.txt");
    for (const char* line : {"MDR.exe: GetTickCount64: fallback", "SetThreadErrorMode: fallback"})
        EXPECT_NE(trace.find(line), std::string::npos) << trace;
    // Tree order: drivers, shared DLLs, sounds.
    const ListViewRow& driver = planted[0];
    EXPECT_EQ(driver.cells, (std::vector<std::wstring>{
                                L"HKEY_LOCAL_MACHINE", kDriversKey, kDriverValue,
                                std::wstring(kMissingFolder) + kDriverValue, L"Drivers", L""}));
    EXPECT_FALSE(driver.checked) << "unsafe rows are not pre-checked with SelectItems 0";
    EXPECT_TRUE(planted[1].checked) << "safe rows are pre-checked";
    const ListViewRow& sound = planted.back();
    EXPECT_EQ(sound.cells, (std::vector<std::wstring>{L"HKEY_CURRENT_USER", kSoundKey, L"(Default)",
                                                      std::wstring(kMissingFolder) + L"ding.wav",
                                                      L"Sounds", L""}));
    EXPECT_FALSE(sound.checked);

    // The first error is selected and its description shown; the planted driver's says what
    // its fix deletes.
    EXPECT_TRUE(content.rows[0].selected);
    EXPECT_NE(GetText(g.details), T(Text::DetailsHint));
    const auto driverRow =
        std::find_if(content.rows.begin(), content.rows.end(),
                     [](const ListViewRow& r) { return r.cells[2] == kDriverValue; });
    ASSERT_TRUE(SelectListViewRow(g.list, static_cast<int>(driverRow - content.rows.begin())));
    EXPECT_TRUE(WaitUntil([&] {
        return GetText(g.details).ends_with(L"\r\n\r\nFixing this row deletes the value " +
                                            std::wstring(kDriverValue) +
                                            L".\r\nThe backup gives it back exactly.");
    })) << Narrow(GetText(g.details));

    // Tree labels carry the counts of their rows; the status bar the total.
    const std::vector<TreeItem> items = ReadTreeView(g.tree);
    ASSERT_EQ(items.size(), 19u);
    const auto sharedRows =
        std::count_if(content.rows.begin(), content.rows.end(),
                      [](const ListViewRow& r) { return r.cells[4] == L"Shared DLLs"; });
    EXPECT_EQ(items[kSharedDllsArea].text,
              T(kAreaNames[kSharedDllsArea - 1]) + L" (" + std::to_wstring(sharedRows) + L")");
    EXPECT_EQ(ReadStatusBarPart(g.status, 2), Fill(T(Text::ErrorsStatus), L"$ERRRORSDETECTED$",
                                                   std::to_wstring(content.rows.size())));

    // HighlightEntry 1: rows 0, 2, 4 ... are drawn in EntryColor, the others plainly.
    for (size_t row = 0; row < content.rows.size(); ++row) {
        const auto color = Send(g.main, mdr::kMsgQueryRowColor, row);
        ASSERT_TRUE(color.has_value());
        EXPECT_EQ(static_cast<COLORREF>(*color), row % 2 == 0 ? kEntryColor : CLR_NONE)
            << "row " << row;
    }

    Exit(g);

    // The unattended report of the same machine: no window at any time, the same findings.
    TempFolder reports;
    for (const wchar_t* name : {L"r.csv", L"r.json", L"r.txt"}) {
        Process report = StartMdr(L"-report \"" + reports / name + L"\"");
        DWORD code = 99;
        while (!report.WaitExit(20, &code))
            ASSERT_TRUE(TopLevelWindows(report.Pid(), WindowQuery{L"", L"", false}).empty());
        EXPECT_EQ(code, 1u) << "findings written";
        const std::string bytes = ReadFileBytes(reports / name);
        for (const std::wstring& key : {std::wstring(kDriverValue), std::wstring(L"shared1.dll")})
            EXPECT_NE(bytes.find(Narrow(key)), std::string::npos) << Narrow(key);
        if (std::wstring(name) == L"r.csv") {
            EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), content.rows.size() + 1);
        }
        if (std::wstring(name) == L"r.json") {
            EXPECT_TRUE(bytes.starts_with("{\"computer\": "));
        }
    }
    EXPECT_EQ(reports.CountEntries(), 3) << "no partial file left";
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

    // Declining lets the scan go on: it keeps counting items.
    PostCommand(g.main, mdr::kCmdStopScan);
    Answer(Text::ConfirmTitle, Text::StopScanQuestion, IDNO);
    const std::wstring counted = ReadStatusBarPart(g.status, 1);
    EXPECT_TRUE(WaitUntil([&] { return ReadStatusBarPart(g.status, 1) != counted; }, 20000))
        << "the scan did not go on after No";
    EXPECT_TRUE(Scanning(g));

    // Accepting stops it; the delay from the answer to the end is printed as a figure.
    PostCommand(g.main, mdr::kBtnStop);
    auto box = WaitForMessageBox(pid_);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, T(Text::StopScanQuestion));
    PressButton(box->window, IDYES);
    // Closing a window takes Wine up to 2 s without a window manager: time from its going.
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box->window); }, 5000));
    const ULONGLONG answered = mdr::TickCount64();
    ASSERT_TRUE(WaitUntil([&] { return !Scanning(g); }, 10000));
    std::printf("[ figure ] scan ended %llu ms after the stop was confirmed\n",
                mdr::TickCount64() - answered);
    ASSERT_TRUE(WaitUntil([&] { return ScanCancelled(g); }, 5000))
        << Narrow(ReadStatusBarPart(g.status, 0));

    const std::vector<TreeItem> after = ReadTreeView(g.tree);
    ASSERT_EQ(after.size(), 19u);
    // Areas never reached keep the normal icon (that of an unticked area) and their plain
    // names; the stopped area shows its icon by what it stored.
    const int normal = after[2].image;
    for (int item : {kDriversArea, kSharedDllsArea, kSoundsArea}) {
        EXPECT_EQ(after[item].image, normal) << "area " << item;
        EXPECT_EQ(after[item].text, T(kAreaNames[item - 1])) << "area " << item;
    }
    const bool comStored = after[kComArea].text != T(kAreaNames[kComArea - 1]);
    EXPECT_EQ(after[kComArea].image != normal, comStored);
    for (int item = 0; item <= 18; ++item) {
        const bool ticked = item == kComArea || item == kDriversArea || item == kSharedDllsArea ||
                            item == kSoundsArea;
        EXPECT_EQ(after[item].stateImage, item == 0 ? 0 : ticked ? 2 : 1) << "area " << item;
    }
    EXPECT_EQ(Send(g.progress, PBM_GETPOS).value_or(-1), 0);
    EXPECT_TRUE(ButtonEnabled(g, mdr::kBtnScan));
    EXPECT_NE(LogText().find(L"Scan was cancelled by user"), std::wstring::npos);
    Exit(g);
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

} // namespace
