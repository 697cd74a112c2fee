// The scan-area tree. Check boxes are tree state images 1 (unticked) and 2 (ticked); the root
// never shows one. Each item's parameter is its number (0 root, 1..18 areas).
#include "mdr/ui/area_tree.h"

#include "mdr/core/localization.h"
#include "common/handles.h"
#include "common/trace.h"
#include "common/window.h"
#include "mdr/ui/command_ids.h"
#include "mdr/ui/main_ui.h"
#include "mdr/ui/ui_resources.h"

MDR_TRACE_MODULE(TreeGadgetEx);

namespace mdr {

namespace {

constexpr int kRootIcon = 27;
constexpr int kAreaIcons[3] = {24, 25, 26}; // normal, scanning, errors found

UINT StateImageOf(HTREEITEM item) {
    const UINT state = static_cast<UINT>(SendMessageW(
        Ui().tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_STATEIMAGEMASK));
    return (state & TVIS_STATEIMAGEMASK) >> 12;
}

void SetStateImage(HTREEITEM item, UINT image) {
    TVITEMW tv{};
    tv.mask = TVIF_HANDLE | TVIF_STATE;
    tv.hItem = item;
    tv.stateMask = TVIS_STATEIMAGEMASK;
    tv.state = INDEXTOSTATEIMAGEMASK(image);
    SendMessageW(Ui().tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
}

HTREEITEM ItemHandle(int item) {
    return (item >= 0 && item < kTreeItemCount) ? Ui().treeItems[item] : nullptr;
}

// Saved by StoreAreaItemStates while the check boxes are hidden during a scan.
UINT g_savedStates[kTreeItemCount] = {};

} // namespace

HWND CreateAreaTree(HWND parent) {
    MDR_HERE();
    // TVS_CHECKBOXES comes later (FillAreaTree): given at creation, ticks set before the first
    // paint are lost.
    return AddControl(parent, WC_TREEVIEWW, L"", WS_TABSTOP | TVS_HASLINES | TVS_SHOWSELALWAYS,
                      {0, 0, 100, 100}, kGadgetIdBase + kGadgetAreaTree, WS_EX_CLIENTEDGE,
                      GadgetFont());
}

bool FillAreaTree(const std::array<bool, 18>& ticks) {
    MDR_HERE();
    MainUi& ui = Ui();
    ui.treeImages.reset(ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 4, 0));
    if (!ui.treeImages) return false;
    for (int i = 0; i < 3; ++i)
        ui.treeIconIndex[i] = ImageList_AddIcon(ui.treeImages.get(), TableIcon(kAreaIcons[i]));
    const int rootImage = ImageList_AddIcon(ui.treeImages.get(), TableIcon(kRootIcon));
    TreeView_SetImageList(ui.tree, ui.treeImages.get(), TVSIL_NORMAL);
    // TVS_EX_DOUBLEBUFFER, newer than the floor's headers: Vista's trees draw without flicker,
    // older ones ignore the message.
    constexpr LPARAM kDoubleBuffer = 0x0004;
    SendMessageW(ui.tree, TVM_SETEXTENDEDSTYLE, kDoubleBuffer, kDoubleBuffer);
    SetWindowLongW(ui.tree, GWL_STYLE, GetWindowLongW(ui.tree, GWL_STYLE) | TVS_CHECKBOXES);

    TVINSERTSTRUCTW ins{};
    ins.hParent = TVI_ROOT;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    std::wstring text = LangText(Text::ScanAreasRoot);
    ins.item.pszText = text.data();
    ins.item.iImage = ins.item.iSelectedImage = rootImage;
    ins.item.lParam = 0;
    ui.treeItems[0] = TreeView_InsertItem(ui.tree, &ins);
    if (!ui.treeItems[0]) return false;
    SetStateImage(ui.treeItems[0], 0);
    for (int item = 1; item < kTreeItemCount; ++item) {
        text = LangText(kAreaNames[item - 1]);
        ins.hParent = ui.treeItems[0];
        ins.item.pszText = text.data();
        ins.item.iImage = ins.item.iSelectedImage = ui.treeIconIndex[0];
        ins.item.lParam = item;
        ui.treeItems[item] = TreeView_InsertItem(ui.tree, &ins);
        if (!ui.treeItems[item]) return false;
        SetStateImage(ui.treeItems[item], ticks[item - 1] ? 2 : 1);
    }
    TreeView_Expand(ui.tree, ui.treeItems[0], TVE_EXPAND);
    return true;
}

void SetAllAreaTicks(bool ticked) {
    MDR_HERE();
    for (HTREEITEM item : Ui().treeItems) {
        if (item) SetStateImage(item, ticked ? 2 : 1);
    }
    // The root's box is cleared again when the tree next draws it.
    InvalidateRect(Ui().tree, nullptr, FALSE);
}

std::array<bool, 18> AreaTicks() {
    std::array<bool, 18> ticks{};
    for (int item = 1; item < kTreeItemCount; ++item)
        ticks[item - 1] = IsAreaItemChecked(item);
    return ticks;
}

void KeepRootExpanded() {
    HTREEITEM root = Ui().treeItems[0];
    if (!root || !Ui().tree) return;
    const UINT state = static_cast<UINT>(
        SendMessageW(Ui().tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(root), TVIS_EXPANDED));
    if (!(state & TVIS_EXPANDED)) TreeView_Expand(Ui().tree, root, TVE_EXPAND);
}

bool OnAreaTreeNotify(NMHDR* hdr, LRESULT* result) {
    MDR_HERE();
    switch (hdr->code) {
    case NM_CUSTOMDRAW: {
        auto* cd = reinterpret_cast<NMTVCUSTOMDRAW*>(hdr);
        if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) {
            *result = CDRF_NOTIFYITEMDRAW;
            return true;
        }
        if (cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT && cd->nmcd.lItemlParam == 0) {
            // The root never shows a check box. Only touch it when there is one, so that
            // clearing it does not start another paint.
            HTREEITEM root = reinterpret_cast<HTREEITEM>(cd->nmcd.dwItemSpec);
            if (StateImageOf(root) != 0) SetStateImage(root, 0);
        }
        *result = CDRF_DODEFAULT;
        return true;
    }
    case TVN_ITEMEXPANDINGW:
    case TVN_ITEMEXPANDINGA: {
        auto* nm = reinterpret_cast<NMTREEVIEWW*>(hdr);
        if (nm->itemNew.hItem == Ui().treeItems[0] && (nm->action & TVE_COLLAPSE)) {
            *result = TRUE; // the root stays open
            return true;
        }
        break;
    }
    case NM_RCLICK: {
        if (!Ui().scanning && TreeView_GetSelection(Ui().tree)) {
            POINT pt;
            GetCursorPos(&pt);
            ShowPopupMenu(1, pt);
        }
        *result = TRUE;
        return true;
    }
    default:
        break;
    }
    return false;
}

bool IsAreaItemChecked(int item) {
    HTREEITEM h = ItemHandle(item);
    return h && StateImageOf(h) == 2;
}

void SetAreaItemIcon(int item, AreaIcon icon) {
    HTREEITEM h = ItemHandle(item);
    if (!h) return;
    TVITEMW tv{};
    tv.mask = TVIF_HANDLE | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    tv.hItem = h;
    tv.iImage = tv.iSelectedImage = Ui().treeIconIndex[static_cast<int>(icon)];
    SendMessageW(Ui().tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
}

void SetAreaItemText(int item, const std::wstring& text) {
    HTREEITEM h = ItemHandle(item);
    if (!h) return;
    std::wstring copy = text;
    TVITEMW tv{};
    tv.mask = TVIF_HANDLE | TVIF_TEXT;
    tv.hItem = h;
    tv.pszText = copy.data();
    SendMessageW(Ui().tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
}

void StoreAreaItemStates() {
    for (int i = 0; i < kTreeItemCount; ++i) {
        g_savedStates[i] = Ui().treeItems[i] ? StateImageOf(Ui().treeItems[i]) : 0;
    }
}

void RestoreAreaItemStates() {
    for (int i = 0; i < kTreeItemCount; ++i) {
        if (Ui().treeItems[i]) SetStateImage(Ui().treeItems[i], g_savedStates[i]);
    }
    InvalidateRect(Ui().tree, nullptr, FALSE);
}

void HideAreaCheckboxes() {
    MDR_HERE();
    HWND tree = Ui().tree;
    SetWindowLongW(tree, GWL_STYLE, GetWindowLongW(tree, GWL_STYLE) & ~TVS_CHECKBOXES);
    // The tree made the check-box images itself and leaves them to whoever takes them back.
    UniqueHimagelist checkImages(TreeView_SetImageList(tree, nullptr, TVSIL_STATE));
    InvalidateRect(tree, nullptr, TRUE);
}

void ShowAreaCheckboxes() {
    MDR_HERE();
    HWND tree = Ui().tree;
    SetWindowLongW(tree, GWL_STYLE, GetWindowLongW(tree, GWL_STYLE) | TVS_CHECKBOXES);
    InvalidateRect(tree, nullptr, TRUE);
}

void SelectAreaItem(int item) {
    if (HTREEITEM h = ItemHandle(item)) TreeView_SelectItem(Ui().tree, h);
}

} // namespace mdr
