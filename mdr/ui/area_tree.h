// The scan-area tree (gadget 3): the root item and the eighteen areas with their check boxes,
// icons and counts. Runs on the window's thread; the scan reaches it through the scan view.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <array>
#include <string>

#include "mdr/scan/scan_view.h"

namespace mdr {

HWND CreateAreaTree(HWND parent);
// The image list, the check-box style (added now, before any item exists) and the 19 items,
// ticked from ticks (areas 1..18).
bool FillAreaTree(const std::array<bool, 18>& ticks);

// Ticks or unticks every item, the root's hidden check state included.
void SetAllAreaTicks(bool ticked);
std::array<bool, 18> AreaTicks();
void KeepRootExpanded();
bool OnAreaTreeNotify(NMHDR* hdr, LRESULT* result);

// Item 0..18 operations behind the scan view.
bool IsAreaItemChecked(int item);
void SetAreaItemIcon(int item, AreaIcon icon);
void SetAreaItemText(int item, const std::wstring& text);
void StoreAreaItemStates();
void RestoreAreaItemStates();
void HideAreaCheckboxes();
void ShowAreaCheckboxes();
void SelectAreaItem(int item);

} // namespace mdr
