// Process-wide objects made once at start-up and kept until the process ends: fonts 0 and 1 and
// the 34-entry icon table (res/resource_ids.h: IDI_TABLE_BASE + index).
#pragma once

#include <windows.h>
#include <commctrl.h>

namespace mdr {

// Font 0 (Arial 9 points) and font 1 (Arial 8 points); nullptr for other numbers.
HFONT AppFont(int number);
// Icon-table entry 0..33 (16x16); nullptr outside the table.
HICON AppIcon(int index);
// The same icons in an image list, image index = icon index.
HIMAGELIST AppIconList();

// Start-up: fonts and icon table; false when any of them could not be made.
bool CreateAppResources();
// End of the process: fonts, icons and the image list.
void ReleaseAppResources();

} // namespace mdr
