// A splitter gadget: a container that shows two child windows side by side (vertical divider)
// or one above the other (horizontal divider) and lets the user drag the divider between them.
// The children are re-parented into it; their notifications are passed on to its parent.
#pragma once

#include <windows.h>

namespace mdr {

// Creates the splitter at the given place and moves first and second into it. vertical: first
// on the left, second on the right. keepSecond: when the splitter is resized the second pane
// keeps its size (otherwise the first does).
HWND CreateSplitter(HWND parent, int id, bool vertical, HWND first, HWND second, int x, int y,
                    int width, int height, bool keepSecond);

void SetSplitterMinimums(HWND splitter, int minFirst, int minSecond);
// Size of the first pane (the divider's offset); clamped to the minimums.
void SetSplitterPosition(HWND splitter, int position);
int GetSplitterPosition(HWND splitter);

// The divider position (size of the first pane) kept within the two minimum sizes; when both
// cannot be met the first pane's minimum wins.
int ClampSplitterPosition(int position, int total, int barSize, int minFirst, int minSecond);

} // namespace mdr
