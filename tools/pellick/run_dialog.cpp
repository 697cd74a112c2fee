// The Run dialog: a program path, typed or browsed for, started in its own folder, hidden when
// the user asks for it.
#include <windows.h>
#include <commdlg.h>

#include "common/text.h"
#include "common/trace.h"
#include "tools/frame/tool_dialog.h"
#include "tools/pellick/pellick_window.h"
#include "tools/pellick/process_list.h"

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
// True when the program started; a start that failed leaves the dialog open, so the path can
// be corrected.
bool Run(HWND dialog) {
    const std::wstring path = Trim(ItemText(dialog, kPath));
    if (path.empty()) {
        MessageBoxW(dialog, L"Please enter a valid path first.", kTitleInformation,
                    MB_OK | MB_ICONINFORMATION);
        return false;
    }
    return RunProgram(path, IsDlgButtonChecked(dialog, kHidden) == BST_CHECKED);
}

} // namespace

void ShowRunDialog(HWND owner) {
    MDR_HERE();
    ToolDialog d(owner, kRunClass, L"Run new program", 379, 118);
    if (!d.Opened()) return;
    HWND w = d.Handle();
    AddLabel(w, L"Full program path: (e.g. C:\\MyProgram.exe)", {5, 10, 370, 25}, kPathLabel);
    HWND path = AddControl(w, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, {5, 40, 340, 20}, kPath,
                           WS_EX_CLIENTEDGE);
    AddCheckBox(w, kHidden, L"Run program as hidden (no windows will be shown on the screen)",
                {5, 70, 370, 15});
    AddBrowseButton(w, kBrowse, {350, 38, 24, 24});
    AddButton(w, kCancel, L"Cancel", {170, 95, 100, 20});
    AddButton(w, kRunButton, L"Run", {275, 95, 100, 20}, BS_DEFPUSHBUTTON);
    d.On(kBrowse, [w] { BrowseForProgram(w, kPath); });
    d.On(
        kRunButton,
        [&] {
            if (Run(w)) d.Close();
        },
        true);
    d.CancelOn(kCancel);
    d.Run(path);
}

} // namespace mdr
