// The scan thread: runs the selected areas in tree order through the ScanView, with the area
// table, the current area and cancellation.
#pragma once

#include <string>

namespace mdr {

constexpr int kAreaCount = 18;

struct AreaEntry {
    std::wstring name; // its language text, kAreaNames (texts.h)
    int errorsFound = 0;
};

AreaEntry* AreaTable(); // kAreaCount entries, index 0..17 for tree items 1..18
int CurrentArea();      // 1..18 while an area runs
void SetCurrentArea(int item);

// Area procedures' shared error counter (raised by check procedures).
int& AreaErrorCount();

// 1 every selected area ran; 0 nothing selected or cancelled. Works through GetScanView().
int ScanThread();
// Thread entry for CreateThread / _beginthreadex.
unsigned __stdcall ScanThreadEntry(void*);

// The scan thread's tree steps, each logged and done through the view; each returns 1.
// ResetAreaTree: every area icon normal and its plain name from the area table.
int ResetAreaTree();
int StoreTreeItems();
int RestoreTreeItems();

// Progress after `done` of `selected` areas: done / selected * 100 rounded to the nearest whole
// number, ties to even.
int ProgressPercent(int done, int selected);

} // namespace mdr
