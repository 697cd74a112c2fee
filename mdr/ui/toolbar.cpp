// The toolbar: 16x16 icons with a text label under each, tooltips, and the tools button, a
// whole-button drop-down that exists only when tools were found.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "common/handles.h"
#include "common/trace.h"
#include "common/window.h"
#include "mdr/ui/command_ids.h"
#include "mdr/ui/main_ui.h"
#include "mdr/ui/tools_menu.h"
#include "mdr/ui/ui_resources.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {

namespace {

struct ButtonSpec {
    int id;
    int icon;
    Text label;
    Text tooltip;
};

constexpr ButtonSpec kButtons[] = {
    {kBtnScan, 1, Text::ScanButton, Text::ScanTip},
    {kBtnStop, 2, Text::StopButton, Text::StopTip},
    {kBtnBackupManager, 13, Text::BackupsButton, Text::BackupsTip},
    {kBtnFix, 12, Text::FixButton, Text::FixTip},
    {kBtnTools, 23, Text::ToolsButton, Text::ToolsTip},
    {kBtnSettings, 17, Text::SettingsButton, Text::SettingsTip},
    {kBtnHelp, 18, Text::HelpButton, Text::HelpTip},
    {kBtnAbout, 20, Text::AboutButton, Text::AboutTip},
    {kBtnExit, 4, Text::TrayExitItem, Text::ExitTip},
};

const ButtonSpec* SpecOf(int id) {
    for (const ButtonSpec& b : kButtons) {
        if (b.id == id) return &b;
    }
    return nullptr;
}

TBBUTTON Button(int id) {
    TBBUTTON b{};
    const ButtonSpec* button = SpecOf(id);
    b.iBitmap = button ? button->icon : 0;
    b.idCommand = id;
    b.fsState = TBSTATE_ENABLED;
    b.fsStyle = BTNS_BUTTON;
    b.iString = 0; // the blank placeholder; the real label is set afterwards
    return b;
}

TBBUTTON Separator() {
    TBBUTTON b{};
    b.fsStyle = BTNS_SEP;
    return b;
}

std::wstring g_tooltip; // the text handed to the tooltip must outlive the notification

} // namespace

bool BuildToolbar() {
    MDR_HERE();
    MainUi& ui = Ui();
    HWND tb = CreateWindowExW(
        0, TOOLBARCLASSNAMEW, L"",
        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_TOP, 0, 0,
        0, 0, ui.window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kToolbarControlId)),
        GetModuleHandleW(nullptr), nullptr);
    if (!tb) return false;
    ui.toolbar = tb;
    SendMessageW(tb, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(tb, TB_SETBITMAPSIZE, 0, MAKELPARAM(16, 16));
    ui.toolbarImages.reset(ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 34, 0));
    for (int i = 0; i < 34; ++i) {
        HICON icon = TableIcon(i);
        if (icon)
            ImageList_AddIcon(ui.toolbarImages.get(), icon);
        else
            ImageList_Add(ui.toolbarImages.get(), nullptr, nullptr);
    }
    SendMessageW(tb, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(ui.toolbarImages.get()));
    // One long blank string in the pool makes every button reserve a text row; the labels
    // replace it per button.
    static const wchar_t kPlaceholder[] = L"                                        \0";
    SendMessageW(tb, TB_ADDSTRINGW, 0, reinterpret_cast<LPARAM>(kPlaceholder));

    ui.hasToolsButton = !ToolMenu().empty();
    std::vector<TBBUTTON> buttons = {
        Separator(), Button(kBtnScan), Button(kBtnStop), Separator(), Button(kBtnBackupManager),
        Separator(), Button(kBtnFix),  Separator()};
    if (ui.hasToolsButton) {
        TBBUTTON tools = Button(kBtnTools);
        tools.fsStyle = BTNS_WHOLEDROPDOWN;
        buttons.push_back(tools);
        buttons.push_back(Separator());
        SendMessageW(tb, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
    }
    for (int id : {kBtnSettings})
        buttons.push_back(Button(id));
    buttons.push_back(Separator());
    for (int id : {kBtnHelp, kBtnAbout, kBtnExit})
        buttons.push_back(Button(id));
    if (!SendMessageW(tb, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data())))
        return false;
    for (const ButtonSpec& b : kButtons) {
        if (b.id == kBtnTools && !ui.hasToolsButton) continue;
        SetToolbarCaption(tb, b.id, LangText(b.label));
    }
    SendMessageW(tb, TB_AUTOSIZE, 0, 0);
    EnableToolbarButton(kBtnStop, false);
    return true;
}

void EnableToolbarButton(int id, bool enable) {
    if (Ui().toolbar)
        SendMessageW(Ui().toolbar, TB_ENABLEBUTTON, static_cast<WPARAM>(id), MAKELPARAM(enable, 0));
}

bool OnToolbarNotify(NMHDR* hdr, LRESULT* result) {
    MDR_HERE();
    if (hdr->code == TTN_GETDISPINFOW) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(hdr);
        const ButtonSpec* button = SpecOf(static_cast<int>(hdr->idFrom));
        if (!button) return false;
        g_tooltip = LangText(button->tooltip);
        info->lpszText = g_tooltip.data();
        info->hinst = nullptr;
        *result = 0;
        return true;
    }
    if (hdr->hwndFrom == Ui().toolbar && hdr->code == TBN_DROPDOWN) {
        auto* nm = reinterpret_cast<NMTOOLBARW*>(hdr);
        if (nm->iItem == kBtnTools && !ToolMenu().empty()) {
            RECT rc{};
            SendMessageW(Ui().toolbar, TB_GETRECT, static_cast<WPARAM>(kBtnTools),
                         reinterpret_cast<LPARAM>(&rc));
            MapWindowPoints(Ui().toolbar, HWND_DESKTOP, reinterpret_cast<POINT*>(&rc), 2);
            ShowPopupMenu(4, POINT{rc.left, rc.bottom});
        }
        *result = TBDDRET_DEFAULT;
        return true;
    }
    return false;
}

} // namespace mdr
