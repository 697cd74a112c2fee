// Keeps gadgets anchored to their window's edges as the window is resized: each registered
// gadget remembers its distances to the right and bottom edges and gets them back on
// ResizeLayout. Shared by MDR and the tools.
#pragma once

#include <windows.h>

namespace mdr {

// A gadget's position and size in its parent's client coordinates.
struct GadgetBox {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
};

// What RegisterResize stores: a flag of 0 means that side follows the window, and the distance
// beside it is measured when registering (a: top to bottom edge, b: bottom to bottom edge,
// c: left to right edge, d: right to right edge).
struct ResizeRule {
    int topFixed = 1;
    int heightFixed = 1;
    int leftFixed = 1;
    int widthFixed = 1;
    int a = 0;
    int b = 0;
    int c = 0;
    int d = 0;
};

// Pure: the rule for a gadget at box inside a window whose inner size is width x height.
ResizeRule MakeResizeRule(int width, int height, const GadgetBox& box, int topFixed,
                          int heightFixed, int leftFixed, int widthFixed);
// Pure: where the gadget goes when the window's inner size becomes width x height. Sizes never
// go below 0.
GadgetBox ApplyResizeRule(const ResizeRule& rule, int width, int height, const GadgetBox& box);

// Records the gadget's distances to window's edges; returns the record's index.
int RegisterResize(HWND window, HWND gadget, int topFixed, int heightFixed, int leftFixed,
                   int widthFixed);
// Moves every registered gadget of window that still exists; -1 when nothing was ever
// registered for it, 1 otherwise. Call from the window's thread.
int ResizeLayout(HWND window);

} // namespace mdr
