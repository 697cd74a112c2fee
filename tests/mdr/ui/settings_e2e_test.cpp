// The Settings window of the real MDR.exe, driven from outside: an exception typed into its
// third page holds at once and across a restart (the window's pure logic and the tools menu
// are the settings unit tests').
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/ini.h"
#include "common/text.h"
#include "tests/support/mdr_fixtures.h"
#include "mdr/ui/command_ids.h"
#include "mdr/ui/settings_window.h"

using namespace mdr::driver;
using namespace mdr::settings_controls;
using mdr::IniFile;

namespace {

constexpr wchar_t kSoundsParent[] = L"AppEvents\\Schemes\\Apps\\MdrSettingsTest";
constexpr wchar_t kSoundKey[] = L"AppEvents\\Schemes\\Apps\\MdrSettingsTest\\MdrEvent\\.Current";
constexpr int kSoundsArea = 16;
enum RootIndex : int { kRootHkcr, kRootHkcu, kRootHklm };

class SettingsTest : public MdrTest {
  protected:
    void SetUp() override {
        MdrTest::SetUp();
        SetString(HKEY_CURRENT_USER, kSoundKey, L"", L"C:\\MdrSettingsTestMissing\\ding.wav");
    }
    void CleanUp() override { DeleteTree(HKEY_CURRENT_USER, kSoundsParent); }

    // Rows showing the planted sound.
    int SoundRows(const Gadgets& g) {
        int n = 0;
        for (const ListViewRow& row : ReadListView(g.list).rows)
            n += row.cells.size() > 1 && mdr::EqualsNoCase(row.cells[1], kSoundKey);
        return n;
    }

    HWND OpenSettings(const Gadgets& g) {
        PostCommand(g.main, mdr::kCmdSettings);
        HWND dialog = WaitForWindow(pid_, WindowQuery::OfClass(mdr::kSettingsWindowClass));
        EXPECT_NE(dialog, nullptr) << "no settings window";
        return dialog;
    }
    static HWND Ctl(HWND dialog, int id) { return FindDescendant(dialog, L"", id); }
    static void Click(HWND dialog, int id) { PostMessageW(Ctl(dialog, id), BM_CLICK, 0, 0); }
    // WM_SETTEXT carries its string across processes.
    static void Type(HWND edit, const std::wstring& text) {
        Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    void ExpectClosed(HWND dialog, const Gadgets& g) {
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); })) << "dialog still open";
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(g.main); }));
    }
};

TEST_F(SettingsTest, AnExceptionAddedInTheDialogHoldsAcrossARestart) {
    Gadgets g = Start(L"-scan", Ticking({kSoundsArea}));
    ASSERT_TRUE(g.main);
    ASSERT_TRUE(WaitForScanEnd(g));
    ASSERT_EQ(SoundRows(g), 1);

    HWND dialog = OpenSettings(g);
    ASSERT_TRUE(dialog);
    Send(Ctl(dialog, kTabs), TCM_SETCURFOCUS, 2);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(Ctl(dialog, kExceptionList)) != 0; }));
    HWND list = Ctl(dialog, kExceptionList);
    HWND edit = Ctl(dialog, kNewSubkey);
    Send(Ctl(dialog, kNewRoot), CB_SETCURSEL, kRootHkcu);

    // A trailing backslash is dropped and the box emptied.
    Type(edit, std::wstring(kSoundKey) + L"\\");
    Click(dialog, kAdd);
    ASSERT_TRUE(WaitUntil([&] { return ListViewCount(list) == 1; }));
    EXPECT_EQ(ReadListView(list).rows[0].cells,
              (std::vector<std::wstring>{L"HKEY_CURRENT_USER", kSoundKey}));
    EXPECT_EQ(GetText(edit), L"");
    // The same key in other letters is refused; under another root it is a different key.
    Type(edit, L" " + mdr::ToLower(kSoundKey) + L" ");
    Click(dialog, kAdd);
    Answer(Text::InformationTitle, Text::ExceptionRowExists, IDOK);
    Send(Ctl(dialog, kNewRoot), CB_SETCURSEL, kRootHklm);
    Type(edit, kSoundKey);
    Click(dialog, kAdd);
    ASSERT_TRUE(WaitUntil([&] { return ListViewCount(list) == 2; }));

    Click(dialog, kOk);
    ExpectClosed(dialog, g);
    const IniFile ini = LoadIni(ConfigPath());
    const std::wstring cuKey = std::wstring(L"HKEY_CURRENT_USER\\") + kSoundKey;
    const std::wstring lmKey = std::wstring(L"HKEY_LOCAL_MACHINE\\") + kSoundKey;
    EXPECT_EQ(ini.Keys(L"MDRExceptions"), (std::vector<std::wstring>{cuKey, lmKey}));

    // In effect at once ...
    PostCommand(g.main, mdr::kBtnScan);
    Answer(Text::UnfixedErrorsTitle, Text::UnfixedErrorsQuestion, IDYES);
    ASSERT_TRUE(WaitUntil([&] { return Scanning(g) || SoundRows(g) == 0; }));
    ASSERT_TRUE(WaitForScanEnd(g));
    EXPECT_EQ(SoundRows(g), 0);
    Exit(g);

    // ... and after a restart.
    g = StartMain(L"-scan");
    ASSERT_TRUE(g.main);
    ASSERT_TRUE(WaitForScanEnd(g));
    EXPECT_EQ(SoundRows(g), 0);
    dialog = OpenSettings(g);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(ListViewCount(Ctl(dialog, kExceptionList)), 2);

    // German, picked from the language list, is MDR's language from the next start.
    HWND languages = Ctl(dialog, kLanguages);
    const std::vector<ListViewRow> rows = ReadListView(languages).rows;
    const auto german = std::find_if(rows.begin(), rows.end(),
                                     [](const ListViewRow& r) { return r.cells[0] == L"Deutsch"; });
    ASSERT_NE(german, rows.end());
    ASSERT_TRUE(SelectListViewRow(languages, static_cast<int>(german - rows.begin())));
    Click(dialog, kOk);
    Answer(Text::InformationTitle, Text::LanguageAtNextStart, IDOK);
    ExpectClosed(dialog, g);
    Exit(g);
    EXPECT_EQ(LoadIni(ConfigPath()).GetString(L"MDRConfig", L"CurrentLanguage", L""),
              L"Localization\\Deutsch.ini");
    g = StartMain(L"");
    ASSERT_TRUE(g.main);
    EXPECT_TRUE(WaitUntil([&] { return ReadStatusBarPart(g.status, 0) == L"Bereit"; }));
    PostCommand(g.main, mdr::kCmdExit);
    AnswerText(L"Bitte best\u00e4tigen", L"Veltrane Mendora beenden?", IDYES);
    EXPECT_TRUE(process_->WaitExit(10000)) << "MDR did not end";
}

} // namespace
