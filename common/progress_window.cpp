// The progress window: one window procedure for every such window, its controls from the kit.
#include "common/progress_window.h"

#include <commctrl.h>

namespace mdr {

LRESULT CALLBACK ProgressWindow::Procedure(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    ProgressWindow* self = WindowContext<ProgressWindow>(window, message, lp);
    switch (message) {
    case WM_CLOSE: // Alt+F4: the work decides when the window goes
        if (self) self->cancelRequested_ = true;
        return 0;
    case WM_COMMAND:
        // The button, Esc (IDCANCEL) and Enter (the default button) all mean Cancel.
        if (self && self->cancelId_ != 0 && HIWORD(wp) <= 1 &&
            (LOWORD(wp) == self->cancelId_ || LOWORD(wp) == IDCANCEL)) {
            self->cancelRequested_ = true;
            return 0;
        }
        break;
    case DM_GETDEFID:
        if (self && self->cancelId_ != 0) return MAKELRESULT(self->cancelId_, DC_HASDEFID);
        break;
    case WM_DRAWITEM:
        if (DrawSeparator(reinterpret_cast<const DRAWITEMSTRUCT*>(lp))) return TRUE;
        break;
    }
    return DefWindowProcW(window, message, wp, lp);
}

bool ProgressWindow::Open(ModalSpec params, HWND owner, const wchar_t* cursor) {
    Close();
    owner_ = owner;
    params.style &= ~WS_SYSMENU;
    if (RegisterWindowClass({params.className, Procedure, 0, cursor}))
        window_ = CreateModalWindow(params, owner, this);
    if (!window_) Close();
    return window_ != nullptr;
}

HWND ProgressWindow::AddText(const std::wstring& text, Place place, int id, DWORD style) {
    return AddLabel(window_, text, place, id, style);
}

bool ProgressWindow::AddBar(Place place, int id, DWORD style) {
    bar_ = AddProgressBar(window_, id, place, style);
    return bar_ != nullptr;
}

bool ProgressWindow::AddCancel(const std::wstring& caption, Place line, int lineId, Place button,
                               int buttonId) {
    cancelId_ = buttonId;
    return AddSeparator(window_, line, lineId) &&
           AddButton(window_, buttonId, caption, button, BS_DEFPUSHBUTTON);
}

void ProgressWindow::Show() const {
    ShowModalWindow(window_);
}

void ProgressWindow::SetProgress(int percent) const {
    if (bar_) SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

void ProgressWindow::SetText(int id, const std::wstring& text) const {
    if (window_) SetDlgItemTextW(window_, id, text.c_str());
}

bool ProgressWindow::TakeCancelRequest() {
    const bool requested = cancelRequested_;
    cancelRequested_ = false;
    return requested;
}

void ProgressWindow::Close() {
    if (owner_ || window_) CloseModal(window_, owner_);
    owner_ = window_ = bar_ = nullptr;
    cancelId_ = 0;
    cancelRequested_ = false;
}

} // namespace mdr
