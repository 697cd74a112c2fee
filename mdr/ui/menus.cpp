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
    Text caption;
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
        std::wstring text =
            MenuItemText(LangText(item.caption), item.shortcut ? item.shortcut : L"");
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
bool AddSubmenu(HMENU parent, UniqueHmenu& sub, Text caption) {
    if (!sub) return false;
    if (!AppendMenuW(parent, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub.get()),
                     LangText(caption).c_str()))
        return false;
    sub.release();
    return true;
}

const ItemSpec kSep{static_cast<int>(kSeparatorId), Text{}, nullptr, kNoIcon};

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
    ok = ok && AddItems(file.get(), {{kCmdStartScan, Text::StartScanItem, L"Ctrl+S", 1},
                                     {kCmdStopScan, Text::StopScanItem, L"Ctrl+W", 2},
                                     kSep,
                                     {kCmdMinimizeToTray, Text::MinimizeToTrayItem, L"Ctrl+T", 3},
                                     kSep,
                                     {kCmdExit, Text::ExitItem, L"Alt+F4", 4}});
    ok = ok && AddItems(select.get(), {{kCmdTickAllAreas, Text::AllAreasItem, nullptr, 5},
                                       {kCmdSelectAll, Text::AllErrorsItem, nullptr, 6},
                                       {kCmdSelectSafe, Text::SafeErrorsItem, nullptr, 7},
                                       {kCmdSelectUnsafe, Text::UnsafeErrorsItem, nullptr, 8}});
    ok = ok && AddItems(deselect.get(), {{kCmdUntickAllAreas, Text::AllAreasItem, nullptr, 9},
                                         {kCmdDeselectAll, Text::AllErrorsItem, nullptr, 6},
                                         {kCmdDeselectSafe, Text::SafeErrorsItem, nullptr, 7},
                                         {kCmdDeselectUnsafe, Text::UnsafeErrorsItem, nullptr, 8}});
    ok = ok && AddSubmenu(edit.get(), select, Text::SelectMenu) &&
         AddSubmenu(edit.get(), deselect, Text::DeselectMenu);
    ok =
        ok && AddItems(edit.get(), {{kCmdInvertSelection, Text::InvertSelectionItem, L"Ctrl+I", 10},
                                    kSep,
                                    {kCmdOpenInRegedit, Text::OpenInRegeditItem, L"Ctrl+O", 11},
                                    kSep,
                                    {kCmdListFilter, Text::FilterItem, L"Ctrl+F", kNoIcon}});
    ok = ok && AddItems(fix.get(), {{kCmdFix, Text::FixItem, L"Ctrl+R", 12},
                                    kSep,
                                    {kCmdBackupManager, Text::BackupManagerItem, L"Ctrl+B", 13},
                                    kSep,
                                    {kCmdFullBackup, Text::FullBackupItem, nullptr, 14},
                                    {kCmdRestorePoint, Text::RestorePointItem, nullptr, 15},
                                    kSep,
                                    {kCmdExport, Text::ExportItem, L"Ctrl+E", 16}});
    ok = ok && AddItems(options.get(), {{kCmdSettings, Text::SettingsItem, nullptr, 17}});
    ok = ok && AddItems(help.get(), {{kCmdHelp, Text::HelpTopicsItem, L"F1", 18},
                                     kSep,
                                     {kCmdWebSite, Text::WebSiteItem, nullptr, 19},
                                     {kCmdAbout, Text::AboutButton, nullptr, 20}});
    ok = ok && AddSubmenu(bar.get(), file, Text::FileMenu) &&
         AddSubmenu(bar.get(), edit, Text::EditMenu) &&
         AddSubmenu(bar.get(), fix, Text::ToolsMenu) &&
         AddSubmenu(bar.get(), options, Text::OptionsMenu) &&
         AddSubmenu(bar.get(), help, Text::HelpMenu);
    // What is not attached yet is destroyed here; what is attached goes with its parent.
    if (!ok || !SetMenu(ui.window, bar.get())) return false;
    ui.menuBar = bar.release();
    EnableMenuCommand(kCmdStopScan, false);

    for (int i = 1; i <= 4; ++i)
        ui.popups[i].reset(CreatePopupMenu());
    ok = ui.popups[1] && ui.popups[2] && ui.popups[3] && ui.popups[4];
    ok = ok &&
         AddItems(ui.popups[1].get(), {{kCmdTreeTickAll, Text::TreeTickAllItem, nullptr, 5},
                                       {kCmdTreeUntickAll, Text::TreeUntickAllItem, nullptr, 9}});
    ok = ok && AddItems(ui.popups[2].get(),
                        {{kCmdListSelectAll, Text::ListSelectAllItem, nullptr, 6},
                         {kCmdListSelectSafe, Text::ListSelectSafeItem, nullptr, 7},
                         {kCmdListSelectUnsafe, Text::ListSelectUnsafeItem, nullptr, 8},
                         kSep,
                         {kCmdListInvert, Text::ListInvertItem, nullptr, 10},
                         {kCmdListDeselectAll, Text::ListDeselectAllItem, nullptr, 9},
                         kSep,
                         {kCmdListAddException, Text::ListAddExceptionItem, nullptr, 21},
                         kSep,
                         {kCmdListFix, Text::ListFixItem, nullptr, 12},
                         {kCmdListOpenInRegedit, Text::ListOpenInRegeditItem, nullptr, 11}});
    ok = ok && AddItems(ui.popups[3].get(), {{kCmdTrayRestore, Text::TrayRestoreItem, nullptr, 22},
                                             {kCmdTrayExit, Text::TrayExitItem, nullptr, 4}});
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
