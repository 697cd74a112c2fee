#include "tools/frame/tool_dialog.h"

#include <commdlg.h>

#include "common/resources.h"
#include "tools/frame/tool_frame.h"

namespace mdr {

namespace {
constexpr int kFolderPicture = 24;
} // namespace

ToolDialog::ToolDialog(HWND owner, const wchar_t* className, const std::wstring& title, int width,
                       int height)
    : owner_(owner) {
    RegisterWindowClass({.name = className, .procedure = Procedure});
    window_ = CreateModalWindow(
        {.className = className, .title = title, .clientWidth = width, .clientHeight = height},
        owner, this);
    if (!window_) {
        EnableWindow(owner, TRUE);
        MessageBoxW(owner, L"Error opening window!", kTitleError, MB_OK | MB_ICONERROR);
    }
}

ToolDialog::~ToolDialog() {
    if (window_) CloseModal(window_, owner_);
}

void ToolDialog::On(int command, std::function<void()> handler, bool defaultCommand) {
    handlers_[command] = std::move(handler);
    if (defaultCommand) defaultCommand_ = command;
}

void ToolDialog::Run(HWND focus) {
    if (!window_) return;
    ShowModalWindow(window_, focus);
    RunModalLoop(window_, [this] { return done_; });
}

void ToolDialog::OnCommand(int command) {
    if (command == IDOK) command = defaultCommand_;
    if (command == IDCANCEL || command == cancel_) {
        done_ = true;
        return;
    }
    auto it = handlers_.find(command);
    if (it == handlers_.end()) return;
    try {
        it->second();
    } catch (...) {
        done_ = true; // nothing may leave the window procedure
    }
}

LRESULT CALLBACK ToolDialog::Procedure(HWND w, UINT message, WPARAM wp, LPARAM lp) {
    ToolDialog* dialog = WindowContext<ToolDialog>(w, message, lp);
    switch (message) {
    case WM_COMMAND:
        if (!dialog || HIWORD(wp) > 1) break;
        dialog->OnCommand(LOWORD(wp));
        return 0;
    case WM_DRAWITEM:
        if (DrawSeparator(reinterpret_cast<const DRAWITEMSTRUCT*>(lp))) return TRUE;
        break;
    case WM_CLOSE:
        if (dialog) dialog->done_ = true;
        return 0;
    }
    return DefWindowProcW(w, message, wp, lp);
}

HWND AddBrowseButton(HWND dialog, int id, Place place) {
    HWND button = AddButton(dialog, id, L"", place, BS_ICON);
    SendMessageW(button, BM_SETIMAGE, IMAGE_ICON,
                 reinterpret_cast<LPARAM>(AppIcon(kFolderPicture)));
    return button;
}

void BrowseForProgram(HWND dialog, int pathId) {
    static const wchar_t kFilter[] =
        L"Executable (*.exe)\0*.exe;*.bat;*.cmd;*.com;*.scr;*.lnk;*.cpl;*.msi;*.reg;*.vbs\0"
        L"All files (*.*)\0*.*\0";
    std::wstring file;
    if (AskFileName(dialog, L"Open executable", kFilter, false,
                    OFN_FILEMUSTEXIST | OFN_NODEREFERENCELINKS, file))
        SetDlgItemTextW(dialog, pathId, file.c_str());
}

} // namespace mdr
