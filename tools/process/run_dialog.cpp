// The Run dialog: a program path, typed or browsed for, started in its own folder, hidden when
// the user asks for it.
#include <windows.h>
#include <commdlg.h>

#include "common/text.h"
#include "common/trace.h"
#include "core/resources.h"
#include "tools/process/pellick_window.h"
#include "tools/process/process_list.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {

namespace {

constexpr wchar_t kRunClass[] = L"VeltraneMendoraPellickRun";
enum Gadget {
    kPathLabel = 50,
    kPath = 51,
    kHidden = 52,
    kBrowse = 53,
    kCancel = 54,
    kRunButton = 55,
};
constexpr int kBrowsePicture = 24; // a folder

struct RunState {
    HWND window = nullptr;
    bool done = false;
};

void Browse(HWND dialog) {
    static const wchar_t kFilter[] =
        L"Executable (*.exe)\0*.exe;*.bat;*.cmd;*.com;*.scr;*.lnk;*.cpl;*.msi;*.reg;*.vbs\0"
        L"All files (*.*)\0*.*\0";
    std::wstring file;
    if (AskFileName(dialog, L"Open executable", kFilter, false,
                    OFN_FILEMUSTEXIST | OFN_NODEREFERENCELINKS, file))
        SetDlgItemTextW(dialog, kPath, file.c_str());
}

void Run(RunState& state) {
    const std::wstring path = Trim(ItemText(state.window, kPath));
    if (path.empty()) {
        MessageBoxW(state.window, L"Please enter a valid path first.", kTitleInformation,
                    MB_OK | MB_ICONINFORMATION);
        return;
    }
    const bool hidden = IsDlgButtonChecked(state.window, kHidden) == BST_CHECKED;
    // A start that failed leaves the dialog open, so the path can be corrected.
    if (RunProgram(path, hidden)) state.done = true;
}

LRESULT CALLBACK RunProc(HWND w, UINT message, WPARAM wp, LPARAM lp) {
    RunState* state = WindowContext<RunState>(w, message, lp);
    switch (message) {
    case WM_COMMAND:
        if (!state || HIWORD(wp) > 1) break;
        try {
            switch (LOWORD(wp)) {
            case kBrowse:
                Browse(w);
                break;
            case kRunButton:
            case IDOK:
                Run(*state);
                break;
            case kCancel:
            case IDCANCEL:
                state->done = true;
                break;
            }
        } catch (...) {
            state->done = true; // nothing may leave the window procedure
        }
        return 0;
    case WM_CLOSE:
        if (state) state->done = true;
        return 0;
    }
    return DefWindowProcW(w, message, wp, lp);
}

} // namespace

void ShowRunDialog(HWND owner) {
    MDR_HERE();
    RegisterWindowClass({.name = kRunClass, .procedure = RunProc});
    RunState state;
    HWND w = CreateModalWindow({.className = kRunClass,
                                .title = L"Run new program",
                                .clientWidth = 379,
                                .clientHeight = 118},
                               owner, &state);
    if (!w) {
        EnableWindow(owner, TRUE);
        MessageBoxW(owner, L"Error opening window!", kTitleError, MB_OK | MB_ICONERROR);
        return;
    }
    state.window = w;
    AddLabel(w, L"Full program path: (e.g. C:\\MyProgram.exe)", {5, 10, 370, 25}, kPathLabel);
    HWND path = AddControl(w, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, {5, 40, 340, 20}, kPath,
                           WS_EX_CLIENTEDGE);
    AddCheckBox(w, kHidden, L"Run program as hidden (no windows will be shown on the screen)",
                {5, 70, 370, 15});
    HWND browse = AddButton(w, kBrowse, L"", {350, 38, 24, 24}, BS_ICON);
    SendMessageW(browse, BM_SETIMAGE, IMAGE_ICON,
                 reinterpret_cast<LPARAM>(AppIcon(kBrowsePicture)));
    AddButton(w, kCancel, L"Cancel", {170, 95, 100, 20});
    AddButton(w, kRunButton, L"Run", {275, 95, 100, 20}, BS_DEFPUSHBUTTON);
    ShowModalWindow(w, path);
    RunModalLoop(w, [&] { return state.done; });
    CloseModal(w, owner);
}

} // namespace mdr
