// A splitter gadget: a container that shows two child windows side by side (vertical divider)
// or one above the other (horizontal divider) and lets the user drag the divider between them.
// The children are re-parented into it; their notifications are passed on to its parent.
#pragma once

#include <windows.h>

#include "common/window.h"

namespace mdr {

enum class SplitterPanes {
    SideBySide, // first on the left, second on the right, a vertical divider between them
    Stacked,    // first above second
};
// Which pane keeps its size when the splitter itself is resized; the other takes the change.
// FirstFixed: the first pane keeps its size and there is no divider to drag (a bar above a list).
enum class SplitterKeeps { FirstSize, SecondSize, FirstFixed };

// Creates the splitter at place and moves first and second into it.
HWND CreateSplitter(HWND parent, int id, SplitterPanes panes, HWND first, HWND second, Place place,
                    SplitterKeeps keeps);

void SetSplitterMinimums(HWND splitter, int minFirst, int minSecond);
// Size of the first pane (the divider's offset); clamped to the minimums.
void SetSplitterPosition(HWND splitter, int position);
int GetSplitterPosition(HWND splitter);

// The divider position (size of the first pane) kept within the two minimum sizes; when both
// cannot be met the first pane's minimum wins.
int ClampSplitterPosition(int position, int total, int barSize, int minFirst, int minSecond);

} // namespace mdr
