// The end-to-end fixture of the four tools: the tool runs from a copy of the install folder in
// the test's own folder (so its backups land there), and its main window, list and status bar
// are found once it shows.
#pragma once

#include <optional>
#include <tuple>
#include "tests/support/mdr_fixtures.h"

namespace mdr::driver {
class ToolTest : public MdrTest {
  protected:
    static constexpr wchar_t kConfirm[] = L"Please confirm";
    // program: "Ostrel"; title: the start of its main window's title once it has listed; listId:
    // the control id of its main list.
    ToolTest(const wchar_t* program, const wchar_t* title, int listId = 200)
        : program_(program), title_(title), listId_(listId) {}
    void SetUp() override;
    void TearDown() override;

    // Starts the tool and waits for its window; false when it did not show.
    bool StartTool();
    // The row of list (the main list by default) whose column reads text; -1 when none.
    int RowNamed(const std::wstring& text, HWND list = nullptr, size_t column = 0) const;
    // The main list's row whose first column reads text; an empty row when none.
    ListViewRow RowOf(const std::wstring& text) const;
    // The main list's rows whose first column starts with prefix, in list order.
    std::vector<ListViewRow> RowsStartingWith(std::wstring_view prefix) const;
    bool Select(const std::wstring& text) { return SelectListViewRow(list_, RowNamed(text)); }
    // Posts command to the main window and answers the message boxes it shows, in order, each
    // (title, text, button); then waits until the main window takes input again.
    using Box = std::tuple<const wchar_t*, std::wstring, int>;
    void Command(int command, std::initializer_list<Box> boxes);
    // A click on the main list's header of column (in the list's own column order).
    void ClickHeader(int column) { ClickListHeader(list_, column); }
    // A key pressed in window, as the keyboard would deliver it.
    static void PressKey(HWND window, UINT key) { PostMessageW(window, WM_KEYDOWN, key, 1); }
    static void SetItemText(HWND dialog, int id, const std::wstring& text) {
        Send(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    // The dialog titled title that command opens; null (with a test failure) when none shows.
    HWND OpenDialog(int command, const wchar_t* title);
    // Exports the list through command and its save dialog titled title to temp_\listing.txt,
    // answers the message that says it is done (checking, with statusSays, that the status line
    // says so meanwhile) and returns the file's bytes.
    std::string Export(int command, const wchar_t* title, bool statusSays = false);
    // Imports the tool's one backup (a test failure unless there is exactly one) with regedit.
    void RestoreTheBackup();

    TempFolder temp_;
    std::wstring exe_;
    std::wstring layoutFile_; // the tool's layout in the settings folder, kept as it was
    HWND main_ = nullptr;
    HWND list_ = nullptr; // control listId
    HWND status_ = nullptr;

  private:
    std::optional<std::string> savedLayout_;
    const wchar_t* program_;
    const wchar_t* title_;
    int listId_;
};
} // namespace mdr::driver
