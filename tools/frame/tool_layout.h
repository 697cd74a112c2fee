// What a tool remembers of its window between runs: the placement, the splitter, the main
// list's column widths, order and sort, kept in "<Tool>.ini" in the settings folder MDR uses.
// Reading never fails: what is missing or does not make sense is left at its default.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

#include "common/ini.h"

namespace mdr {

struct ToolLayout {
    bool hasPlacement = false;
    bool maximized = false;
    RECT normal{}; // the restored window's frame
    int splitter = -1;
    std::vector<int> widths; // one per column, or empty
    std::vector<int> order;  // a permutation of the columns, or empty
    int sortColumn = -1;
    bool descending = false;
};

// The layout in ini, for a main list of columns columns.
ToolLayout ReadToolLayout(const IniFile& ini, int columns);
void WriteToolLayout(IniFile& ini, const ToolLayout& layout);

// window moved (and shrunk when larger) so that it lies inside work.
RECT ClampOntoWorkArea(RECT window, RECT work);

// The user's settings folder of MDR, ending in "\" and created when missing.
std::wstring UserSettingsFolder();

} // namespace mdr
