// Export of the error list through the real MDR.exe: a scan over planted broken entries, the
// save dialog typed into, the progress window, the file compared byte for byte, the question
// before replacing a file and the message when the file cannot be made.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/text.h"
#include "tests/ui_more/mdr_session.h"
#include "ui/command_ids.h"

namespace mdr::uitest {
namespace {

constexpr wchar_t kDriversKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
constexpr wchar_t kToolbarKey[] = L"SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
constexpr wchar_t kSoundApp[] = L"AppEvents\\Schemes\\Apps\\MdrKExport";
constexpr wchar_t kSoundKey[] = L"AppEvents\\Schemes\\Apps\\MdrKExport\\MdrKEvent\\.Current";
constexpr wchar_t kDriverA[] = L"mdrk.export.drv";
// The registry lets a value name hold a line break; the report must keep its layout.
constexpr wchar_t kDriverB[] = L"mdrk.two\r\nlines.drv";
// A toolbar registered under a class that does not exist: reported without value data.
constexpr wchar_t kToolbarClass[] = L"{6D4B0C1E-0000-4D52-4B00-0000000000E1}";

const std::string kRule(69, '-');

// Time as the report writes it, and the same as seconds for comparisons.
struct Stamp {
    std::wstring text;
    long long seconds = 0;
};

Stamp Now() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    wchar_t buffer[64];
    swprintf(buffer, 64, L"%04d/%02d/%02d at %02d:%02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour,
             t.wMinute, t.wSecond);
    FILETIME ft{};
    SystemTimeToFileTime(&t, &ft);
    const long long ticks = (static_cast<long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return Stamp{buffer, ticks / 10000000};
}

// Seconds of a "yyyy/mm/dd at hh:ii:ss" text, -1 when it is not one.
long long SecondsOf(const std::string& text) {
    SYSTEMTIME t{};
    int y, mo, d, h, mi, s;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%4d/%2d/%2d at %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s,
                    &tail) != 6 ||
        text.size() != 22) {
        return -1;
    }
    t.wYear = static_cast<WORD>(y);
    t.wMonth = static_cast<WORD>(mo);
    t.wDay = static_cast<WORD>(d);
    t.wHour = static_cast<WORD>(h);
    t.wMinute = static_cast<WORD>(mi);
    t.wSecond = static_cast<WORD>(s);
    FILETIME ft{};
    if (!SystemTimeToFileTime(&t, &ft)) return -1;
    return ((static_cast<long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) / 10000000;
}

class ExportTest : public MdrSession {
  protected:
    void SetUp() override {
        MdrSession::SetUp();
        folder_ = MakeTempDir(L"mdrk_export");
        SetString(HKEY_LOCAL_MACHINE, kDriversKey, kDriverA,
                  std::wstring(kMissingFolder) + L"export.drv");
        SetString(HKEY_LOCAL_MACHINE, kDriversKey, kDriverB,
                  std::wstring(kMissingFolder) + L"lines.drv");
        SetString(HKEY_LOCAL_MACHINE, kToolbarKey, kToolbarClass, L"");
        SetString(HKEY_CURRENT_USER, kSoundKey, L"", std::wstring(kMissingFolder) + L"ding.wav");
    }

    void TearDown() override {
        MdrSession::TearDown();
        DeleteValue(HKEY_LOCAL_MACHINE, kDriversKey, kDriverA);
        DeleteValue(HKEY_LOCAL_MACHINE, kDriversKey, kDriverB);
        DeleteValue(HKEY_LOCAL_MACHINE, kToolbarKey, kToolbarClass);
        DeleteTree(HKEY_CURRENT_USER, kSoundApp);
        RemoveTree(folder_);
    }

    // Opens the save dialog through the menu, types name into its file-name box and presses
    // Save.
    void ExportAs(const Gadgets& g, const std::wstring& name) {
        PostCommand(g.main, mdr::kCmdExport);
        HWND dialog = WaitForWindow(pid_, {L"#32770", T(176), true});
        ASSERT_NE(dialog, nullptr) << "no save dialog";
        HWND edit = nullptr;
        ASSERT_TRUE(WaitUntil([&] {
            edit = FindDescendant(dialog, L"Edit", 0x47c); // the file-name box
            if (!edit) edit = FindDescendant(dialog, L"Edit", 0x480);
            if (!edit) {
                if (HWND combo = FindDescendant(dialog, L"ComboBox", 0x47c))
                    edit = FindDescendant(combo, L"Edit");
            }
            return edit != nullptr;
        }));
        Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
        for (wchar_t c : name)
            Send(edit, WM_CHAR, c, 1);
        ASSERT_EQ(GetText(edit), name);
        PressButton(dialog, IDOK);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 10000)) << "dialog stayed";
    }

    // Waits for a message box, checks its title and text entries and presses button.
    void Answer(int titleEntry, int textEntry, int button, DWORD timeoutMs = kDefaultTimeout) {
        auto box = WaitForMessageBox(pid_, timeoutMs);
        ASSERT_TRUE(box.has_value()) << "expected message box with entry " << textEntry;
        EXPECT_EQ(box->title, T(titleEntry));
        EXPECT_EQ(box->text, T(textEntry));
        PressButton(box->window, button);
        WaitUntil([&] { return !IsWindow(box->window); }, 5000);
    }

    std::wstring folder_;
};

TEST_F(ExportTest, WritesTheListedErrorsInTheReportLayout) {
    Gadgets g = Start(L"-scan", {kDriversArea, kIeToolbarsArea, kSoundsArea});
    ASSERT_TRUE(g.main && g.list);
    ASSERT_TRUE(WaitForScanEnd(g)) << Narrow(ReadStatusBarPart(g.status, 0));
    // The prefix has nothing else broken in these areas: the list is the planted entries.
    const ListViewContent listed = ReadListView(g.list);
    ASSERT_EQ(listed.rows.size(), 4u);

    const Stamp before = Now();
    ASSERT_NO_FATAL_FAILURE(ExportAs(g, folder_ + L"errors"));

    // The progress window while the records are written (100 ms each), the main window
    // disabled meanwhile.
    HWND progress = WaitForWindow(pid_, WindowQuery::Titled(T(84)), 5000);
    ASSERT_NE(progress, nullptr) << "no progress window";
    EXPECT_EQ(ClientSize(progress).cx, 343);
    EXPECT_EQ(ClientSize(progress).cy, 64);
    EXPECT_NE(FindDescendantByText(progress, L"Static", T(85)), nullptr);
    HWND bar = FindDescendant(progress, PROGRESS_CLASSW, 251);
    EXPECT_NE(bar, nullptr);
    EXPECT_FALSE(IsEnabled(g.main));
    const RECT main = WindowRect(g.main);
    const RECT box = WindowRect(progress);
    EXPECT_NEAR((box.left + box.right) / 2, (main.left + main.right) / 2, 2) << "centred";
    EXPECT_NEAR((box.top + box.bottom) / 2, (main.top + main.bottom) / 2, 2) << "centred";

    auto done = WaitForMessageBox(pid_, 20000);
    ASSERT_TRUE(done.has_value());
    const Stamp after = Now();
    EXPECT_EQ(done->title, T(92));
    EXPECT_EQ(done->text, T(93));
    EXPECT_EQ(Send(bar, PBM_GETPOS).value_or(-1), 100);
    EXPECT_EQ(ReadStatusBarPart(g.status, 0), T(91));
    PressButton(done->window, IDOK);
    EXPECT_TRUE(WaitForNoWindow(pid_, WindowQuery::Titled(T(84)), 5000));
    EXPECT_TRUE(WaitUntil([&] { return IsEnabled(g.main); }, 5000));
    EXPECT_EQ(ReadStatusBarPart(g.status, 0), T(91)) << "the result stays in the status bar";

    // ".txt" was added to the typed name.
    ASSERT_TRUE(FileExists(folder_ + L"errors.txt"));
    EXPECT_FALSE(FileExists(folder_ + L"errors"));
    const std::string file = ReadFileBytes(folder_ + L"errors.txt");

    // The date line is the only one that depends on the moment; it must lie within the export.
    const std::string datePrefix = "\r\nGenerated on: ";
    const size_t at = file.find(datePrefix);
    ASSERT_NE(at, std::string::npos);
    const std::string date = file.substr(at + datePrefix.size(), 22);
    const long long seconds = SecondsOf(date);
    EXPECT_GE(seconds, before.seconds) << date;
    EXPECT_LE(seconds, after.seconds) << date;

    const std::string missing = "C:\\MdrKMissing\\";
    std::string expected;
    for (const std::string& line : std::vector<std::string>{
             kRule, "MDR Error List Export", "Veltrane Mendora, the registry cleaner by Veltrane",
             "Website: http://www.veltrane.com/mendora/", kRule, "Generated on: " + date, kRule, "",
             "Total detected errors: 4", "",
             // Tree order: drivers, browser toolbars, sounds; values in registry order.
             "Root key: HKEY_LOCAL_MACHINE",
             "Subkey: SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32",
             "Value name: mdrk.export.drv", "Value data: " + missing + "export.drv",
             "Category: Drivers", "Safety: Unsafe", "", kRule, "", "Root key: HKEY_LOCAL_MACHINE",
             "Subkey: SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32",
             "Value name: mdrk.two  lines.drv", "Value data: " + missing + "lines.drv",
             "Category: Drivers", "Safety: Unsafe", "", kRule, "", "Root key: HKEY_LOCAL_MACHINE",
             "Subkey: SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar",
             "Value name: {6D4B0C1E-0000-4D52-4B00-0000000000E1}", "Value data: n/a",
             "Category: IE Toolbars", "Safety: Safe", "", kRule, "", "Root key: HKEY_CURRENT_USER",
             "Subkey: AppEvents\\Schemes\\Apps\\MdrKExport\\MdrKEvent\\.Current",
             "Value name: (Default)", "Value data: " + missing + "ding.wav", "Category: Sounds",
             "Safety: Unsafe", "", kRule, ""}) {
        expected += line + "\r\n";
    }
    EXPECT_EQ(file, expected);

    const std::wstring log = LogText();
    EXPECT_NE(log.find(L"ExportListWindow()"), std::wstring::npos);
    EXPECT_NE(log.find(L"ExportListWindow() -> retn"), std::wstring::npos);
    Exit(g);
}

TEST_F(ExportTest, AsksBeforeReplacingAFileThatHasContent) {
    Gadgets g = Start(L"-scan", {kSoundsArea});
    ASSERT_TRUE(g.main && g.list);
    ASSERT_TRUE(WaitForScanEnd(g)) << Narrow(ReadStatusBarPart(g.status, 0));
    ASSERT_GE(ListViewCount(g.list), 1);

    const std::wstring existing = folder_ + L"existing.txt";
    ASSERT_TRUE(WriteFileBytes(existing, "keep me\r\n"));

    // No: nothing written, no progress window, the main window usable again.
    ASSERT_NO_FATAL_FAILURE(ExportAs(g, folder_ + L"existing"));
    ASSERT_NO_FATAL_FAILURE(Answer(71, 77, IDNO));
    EXPECT_TRUE(WaitForNoWindow(pid_, WindowQuery::Titled(T(84)), 1000));
    EXPECT_EQ(ReadFileBytes(existing), "keep me\r\n");
    EXPECT_TRUE(WaitUntil([&] { return IsEnabled(g.main); }, 5000));

    // Yes: the file is replaced by the report (the typed name already ends in ".TXT").
    ASSERT_NO_FATAL_FAILURE(ExportAs(g, folder_ + L"existing.TXT"));
    ASSERT_NO_FATAL_FAILURE(Answer(71, 77, IDYES));
    ASSERT_NO_FATAL_FAILURE(Answer(92, 93, IDOK, 20000));
    EXPECT_FALSE(FileExists(folder_ + L"existing.TXT.txt"));
    const std::string replaced = ReadFileBytes(existing);
    EXPECT_EQ(replaced.rfind(kRule + "\r\nMDR Error List Export\r\n", 0), 0u) << replaced;
    EXPECT_EQ(replaced.find("keep me"), std::string::npos);

    // An empty file is replaced without a question: the next box is the result.
    const std::wstring empty = folder_ + L"empty.txt";
    ASSERT_TRUE(WriteFileBytes(empty, ""));
    ASSERT_NO_FATAL_FAILURE(ExportAs(g, folder_ + L"empty"));
    ASSERT_NO_FATAL_FAILURE(Answer(92, 93, IDOK, 20000));
    EXPECT_EQ(ReadFileBytes(empty).rfind(kRule + "\r\nMDR Error List Export\r\n", 0), 0u);
    Exit(g);
}

TEST_F(ExportTest, AFileThatCannotBeCreatedIsReportedAndNothingIsClaimed) {
    Gadgets g = Start(L"-scan", {kSoundsArea});
    ASSERT_TRUE(g.main && g.list);
    ASSERT_TRUE(WaitForScanEnd(g)) << Narrow(ReadStatusBarPart(g.status, 0));
    const std::wstring before = ReadStatusBarPart(g.status, 0);

    // A folder holds the name the report would get.
    ASSERT_TRUE(CreateDirectoryW((folder_ + L"blocked.txt").c_str(), nullptr));
    ASSERT_NO_FATAL_FAILURE(ExportAs(g, folder_ + L"blocked"));
    ASSERT_NO_FATAL_FAILURE(Answer(19, 94, IDOK));
    EXPECT_TRUE(WaitForNoWindow(pid_, WindowQuery::Titled(T(84)), 5000));
    EXPECT_TRUE(WaitUntil([&] { return IsEnabled(g.main); }, 5000));
    EXPECT_NE(ReadStatusBarPart(g.status, 0), T(91)) << "no success shown";
    EXPECT_EQ(ReadStatusBarPart(g.status, 0), before);
    Exit(g);
}

} // namespace
} // namespace mdr::uitest
