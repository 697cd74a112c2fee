// A modal dialog of the tools: owned by the main window (disabled while it is open), its
// buttons bound to handlers by command number, Enter running the default button's handler and
// Esc, the close box and the Cancel button ending it. Handlers run outside any exception path
// of the window procedure.
#pragma once

#include <windows.h>
#include <functional>
#include <map>
#include <string>

#include "common/window.h"

namespace mdr {

class ToolDialog {
  public:
    // Opens the dialog hidden, centred on owner. When it cannot be made, "Error opening window!"
    // is shown, the owner is enabled again and Opened() is false.
    ToolDialog(HWND owner, const wchar_t* className, const std::wstring& title, int width,
               int height);
    ~ToolDialog();
    ToolDialog(const ToolDialog&) = delete;
    ToolDialog& operator=(const ToolDialog&) = delete;

    bool Opened() const { return window_ != nullptr; }
    HWND Handle() const { return window_; }
    // Runs handler for the command; defaultCommand also runs it for Enter.
    void On(int command, std::function<void()> handler, bool defaultCommand = false);
    // The command that ends the dialog without doing anything (besides IDCANCEL and the close box).
    void CancelOn(int command) { cancel_ = command; }
    // Shows the filled dialog with the focus on focus and handles it until Close.
    void Run(HWND focus);
    void Close() { done_ = true; }

  private:
    static LRESULT CALLBACK Procedure(HWND w, UINT message, WPARAM wp, LPARAM lp);
    void OnCommand(int command);

    HWND owner_;
    HWND window_ = nullptr;
    std::map<int, std::function<void()>> handlers_;
    int defaultCommand_ = -1;
    int cancel_ = -1;
    bool done_ = false;
};

// The browse button of a dialog: a small button showing a folder.
HWND AddBrowseButton(HWND dialog, int id, Place place);
// The "Open executable" dialog for a program (a shortcut stays the file picked); the file
// chosen replaces the text of the dialog's item pathId.
void BrowseForProgram(HWND dialog, int pathId);

} // namespace mdr
