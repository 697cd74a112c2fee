// The end-to-end fixture of the four tools: the tool runs from a copy of the install folder in
// the test's own folder (so its backups land there), and its main window, list and status bar
// are found once it shows.
#pragma once

#include "tests/support/mdr_fixtures.h"

namespace mdr::driver {

class ToolTest : public MdrTest {
  protected:
    // program: "Ostrel"; title: the start of its main window's title once it has listed.
    ToolTest(const wchar_t* program, const wchar_t* title) : program_(program), title_(title) {}
    void SetUp() override;

    // Starts the tool and waits for its window; false when it did not show.
    bool StartTool();
    // The row of list (the main list by default) whose first column reads text; -1 when none.
    int RowNamed(const std::wstring& text, HWND list = nullptr) const;
    // The row's texts, or none.
    std::vector<std::wstring> CellsOf(const std::wstring& text, HWND list = nullptr) const;
    // A key pressed in window, as the keyboard would deliver it.
    static void PressKey(HWND window, UINT key) { PostMessageW(window, WM_KEYDOWN, key, 1); }

    TempFolder temp_;
    std::wstring exe_;
    HWND main_ = nullptr;
    HWND list_ = nullptr; // control 200
    HWND status_ = nullptr;

  private:
    const wchar_t* program_;
    const wchar_t* title_;
};

} // namespace mdr::driver
