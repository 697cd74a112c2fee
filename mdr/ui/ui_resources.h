// The main window's icons (the 34-entry icon table made at start-up), their greyed forms for
// disabled menu items, and the gadget font.
#pragma once

#include <windows.h>

namespace mdr {

// Icon-table entry 0..33 as a 16x16 icon; nullptr when the program carries no such icon.
HICON TableIcon(int index);
// The same icon faded to grey, for disabled menu items (made on first use, kept).
HICON DisabledTableIcon(int index);
// Font 0 (Arial 9 points), for the scan-area tree and the details box.
HFONT GadgetFont();

} // namespace mdr
