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

// How a gadget follows its window as the window is resized; what is not named stays where it is.
struct ResizeFollow {
    bool moveDown = false;   // the top edge keeps its distance to the window's bottom edge
    bool growHeight = false; // the bottom edge keeps its distance to the window's bottom edge
    bool moveRight = false;  // the left edge keeps its distance to the window's right edge
    bool growWidth = false;  // the right edge keeps its distance to the window's right edge
};

// What RegisterResize stores: the distances to the window's bottom and right edges, measured
// when registering, of the edges that follow them.
struct ResizeRule {
    ResizeFollow follow;
    int topToBottom = 0;
    int bottomToBottom = 0;
    int leftToRight = 0;
    int rightToRight = 0;
};

// Pure: the rule for a gadget at box inside a window whose inner size is width x height.
ResizeRule MakeResizeRule(int width, int height, const GadgetBox& box, ResizeFollow follow);
// Pure: where the gadget goes when the window's inner size becomes width x height. Sizes never
// go below 0.
GadgetBox ApplyResizeRule(const ResizeRule& rule, int width, int height, const GadgetBox& box);

// Records the gadget's distances to window's edges; returns the record's index.
int RegisterResize(HWND window, HWND gadget, ResizeFollow follow);
// Moves every registered gadget of window that still exists; -1 when nothing was ever
// registered for it, 1 otherwise. Call from the window's thread.
int ResizeLayout(HWND window);

} // namespace mdr
