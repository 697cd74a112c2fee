// The menu bar and pop-up menus 1 to 4. Item icons come from the icon table and are drawn by
// the window on request (HBMMENU_CALLBACK), so they keep their alpha edges and grey out with
// their items.
#include <windows.h>

#include <string>

#include "common/handles.h"
#include "common/trace.h"
#include "common/window.h"
#include "mdr/ui/command_ids.h"
#include "mdr/ui/main_ui.h"
#include "mdr/ui/tools_menu.h"
#include "mdr/ui/ui_logic.h"
#include "mdr/ui/ui_resources.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {

namespace {

constexpr UINT kSeparatorId = 0xFFFF;
constexpr int kNoIcon = -1;

struct ItemSpec {
    int id; // kSeparatorId for a separator
    int caption;
    const wchar_t* shortcut;
    int icon;
};

bool AddItem(HMENU menu, const ItemSpec& item) {
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof(mii);
    if (item.id == static_cast<int>(kSeparatorId)) {
        mii.fMask = MIIM_FTYPE | MIIM_ID;
        mii.fType = MFT_SEPARATOR;
        mii.wID = kSeparatorId;
    } else {
        std::wstring text = MenuItemText(Text(item.caption), item.shortcut ? item.shortcut : L"");
        mii.fMask = MIIM_ID | MIIM_STRING | MIIM_DATA | (item.icon >= 0 ? MIIM_BITMAP : 0);
        mii.wID = static_cast<UINT>(item.id);
        mii.dwTypeData = text.data();
        mii.dwItemData = static_cast<ULONG_PTR>(item.icon);
        if (item.icon >= 0) mii.hbmpItem = HBMMENU_CALLBACK;
        return InsertMenuItemW(menu, GetMenuItemCount(menu), TRUE, &mii) != FALSE;
    }
    return InsertMenuItemW(menu, GetMenuItemCount(menu), TRUE, &mii) != FALSE;
}

bool AddItems(HMENU menu, std::initializer_list<ItemSpec> items) {
    for (const ItemSpec& item : items) {
        if (!AddItem(menu, item)) return false;
    }
    return true;
}

// On success the parent owns sub.
bool AddSubmenu(HMENU parent, UniqueHmenu& sub, int caption) {
    if (!sub) return false;
    if (!AppendMenuW(parent, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub.get()),
                     Text(caption).c_str()))
        return false;
    sub.release();
    return true;
}

const ItemSpec kSep{static_cast<int>(kSeparatorId), 0, nullptr, kNoIcon};

} // namespace

bool BuildMenus() {
    MDR_HERE();
    MainUi& ui = Ui();
    UniqueHmenu bar(CreateMenu());
    UniqueHmenu file(CreatePopupMenu());
    UniqueHmenu edit(CreatePopupMenu());
    UniqueHmenu select(CreatePopupMenu());
    UniqueHmenu deselect(CreatePopupMenu());
    UniqueHmenu fix(CreatePopupMenu());
    UniqueHmenu options(CreatePopupMenu());
    UniqueHmenu help(CreatePopupMenu());
    bool ok = bar && file && edit && select && deselect && fix && options && help;
    ok = ok && AddItems(file.get(), {{kCmdStartScan, 158, L"Ctrl+S", 1},
                                     {kCmdStopScan, 159, L"Ctrl+W", 2},
                                     kSep,
                                     {kCmdMinimizeToTray, 160, L"Ctrl+T", 3},
                                     kSep,
                                     {kCmdExit, 161, L"Alt+F4", 4}});
    ok = ok && AddItems(select.get(), {{kCmdTickAllAreas, 164, nullptr, 5},
                                       {kCmdSelectAll, 165, nullptr, 6},
                                       {kCmdSelectSafe, 166, nullptr, 7},
                                       {kCmdSelectUnsafe, 167, nullptr, 8}});
    ok = ok && AddItems(deselect.get(), {{kCmdUntickAllAreas, 164, nullptr, 9},
                                         {kCmdDeselectAll, 165, nullptr, 6},
                                         {kCmdDeselectSafe, 166, nullptr, 7},
                                         {kCmdDeselectUnsafe, 167, nullptr, 8}});
    ok = ok && AddSubmenu(edit.get(), select, 163) && AddSubmenu(edit.get(), deselect, 168);
    ok = ok && AddItems(edit.get(), {{kCmdInvertSelection, 169, L"Ctrl+I", 10},
                                     kSep,
                                     {kCmdOpenInRegedit, 170, L"Ctrl+O", 11}});
    ok = ok && AddItems(fix.get(), {{kCmdFix, 172, L"Ctrl+R", 12},
                                    kSep,
                                    {kCmdBackupManager, 173, L"Ctrl+B", 13},
                                    kSep,
                                    {kCmdFullBackup, 174, nullptr, 14},
                                    {kCmdRestorePoint, 175, nullptr, 15},
                                    kSep,
                                    {kCmdExport, 176, L"Ctrl+E", 16}});
    ok = ok && AddItems(options.get(), {{kCmdSettings, 178, nullptr, 17}});
    ok = ok && AddItems(help.get(), {{kCmdHelp, 180, L"F1", 18},
                                     kSep,
                                     {kCmdWebSite, 181, nullptr, 19},
                                     {kCmdAbout, 202, nullptr, 20}});
    ok = ok && AddSubmenu(bar.get(), file, 157) && AddSubmenu(bar.get(), edit, 162) &&
         AddSubmenu(bar.get(), fix, 171) && AddSubmenu(bar.get(), options, 177) &&
         AddSubmenu(bar.get(), help, 179);
    // What is not attached yet is destroyed here; what is attached goes with its parent.
    if (!ok || !SetMenu(ui.window, bar.get())) return false;
    ui.menuBar = bar.release();
    EnableMenuCommand(kCmdStopScan, false);

    for (int i = 1; i <= 4; ++i)
        ui.popups[i].reset(CreatePopupMenu());
    ok = ui.popups[1] && ui.popups[2] && ui.popups[3] && ui.popups[4];
    ok = ok && AddItems(ui.popups[1].get(),
                        {{kCmdTreeTickAll, 182, nullptr, 5}, {kCmdTreeUntickAll, 183, nullptr, 9}});
    ok = ok && AddItems(ui.popups[2].get(), {{kCmdListSelectAll, 184, nullptr, 6},
                                             {kCmdListSelectSafe, 185, nullptr, 7},
                                             {kCmdListSelectUnsafe, 186, nullptr, 8},
                                             kSep,
                                             {kCmdListInvert, 187, nullptr, 10},
                                             {kCmdListDeselectAll, 188, nullptr, 9},
                                             kSep,
                                             {kCmdListAddException, 189, nullptr, 21},
                                             kSep,
                                             {kCmdListFix, 190, nullptr, 12},
                                             {kCmdListOpenInRegedit, 191, nullptr, 11}});
    ok = ok && AddItems(ui.popups[3].get(),
                        {{kCmdTrayRestore, 192, nullptr, 22}, {kCmdTrayExit, 193, nullptr, 4}});
    for (const ToolMenuEntry& tool : ToolMenu()) {
        if (!ok) break;
        ok = AppendMenuW(ui.popups[4].get(), MF_STRING, static_cast<UINT_PTR>(tool.id),
                         tool.caption.c_str()) != FALSE;
    }
    return ok;
}

void EnableMenuCommand(int id, bool enable) {
    const UINT flags = MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED);
    MainUi& ui = Ui();
    if (id <= kLastMenuBarId) {
        if (ui.menuBar) EnableMenuItem(ui.menuBar, static_cast<UINT>(id), flags);
        return;
    }
    for (int i = 1; i <= 4; ++i) {
        if (ui.popups[i]) EnableMenuItem(ui.popups[i].get(), static_cast<UINT>(id), flags);
    }
}

bool OnDrawMenuItem(const DRAWITEMSTRUCT* dis) {
    const int picture = static_cast<int>(dis->itemData);
    return DrawMenuPicture(dis, TableIcon(picture),
                           [picture] { return DisabledTableIcon(picture); });
}

} // namespace mdr
