// The small window shown over its disabled owner while long work runs: lines of text, a bar from
// 0 to 100 and, where the work may stop, a Cancel button. Alt+F4, Esc, Enter and the button only
// ask to cancel; the work reads the request. Closing it gives the owner back, enabled and active.
#pragma once

#include <windows.h>
#include <string>

#include "common/window.h"

namespace mdr {

class ProgressWindow {
  public:
    ProgressWindow() = default;
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;
    ~ProgressWindow() { Close(); }

    // Disables owner and makes the window (its class registered with cursor) centred on it and
    // hidden, without a system menu; false when it could not be made, the owner enabled again.
    bool Open(ModalSpec params, HWND owner, const wchar_t* cursor = IDC_ARROW);
    // A line of text; nullptr when it could not be made.
    HWND AddText(const std::wstring& text, Place place, int id,
                 DWORD style = SS_LEFT | SS_NOPREFIX);
    bool AddBar(Place place, int id, DWORD style = 0);
    // An etched line above the Cancel button, which is the default button.
    bool AddCancel(const std::wstring& caption, Place line, int lineId, Place button, int buttonId);
    // Shows the filled window and brings it forward.
    void Show() const;

    HWND Handle() const { return window_; }
    void SetProgress(int percent) const;
    void SetText(int id, const std::wstring& text) const;
    // True once for each time the user asked to cancel.
    bool TakeCancelRequest();
    void Close();

  private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wp, LPARAM lp);

    HWND owner_ = nullptr;
    HWND window_ = nullptr;
    HWND bar_ = nullptr;
    int cancelId_ = 0;
    bool cancelRequested_ = false;
};

} // namespace mdr
