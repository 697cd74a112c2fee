// What the scan engine touches outside itself: the scan-area tree, the progress bar, the results
// list and the details box. The main window supplies the real gadgets; tests and the benchmark
// supply a headless stand-in (HeadlessScanView).
#pragma once

#include <windows.h>
#include <cstdint>
#include <string>

namespace mdr {

enum class AreaIcon { Normal, Scanning, ErrorsFound };

inline constexpr int kResultColumns = 6;

struct ResultRow {
    // Root name, key path, shown value, shown data, category, "Returned after fix (date)".
    std::wstring columns[kResultColumns];
    int image = 0;   // icon-table index (7 safe, 8 unsafe)
    uint32_t id = 0; // record identifier, the row's item data
};

class ScanView {
  public:
    virtual ~ScanView() = default;
    // Scan-area tree: item 0 is the root, 1..18 the areas.
    virtual bool IsAreaChecked(int item) = 0;
    virtual void SetAreaIcon(int item, AreaIcon icon) = 0;
    virtual void SetAreaText(int item, const std::wstring& text) = 0;
    virtual void StoreTreeItems() = 0;
    virtual void RestoreTreeItems() = 0;
    virtual void HideTreeCheckboxes() = 0;
    virtual void ShowTreeCheckboxes() = 0;
    virtual void SelectTreeItem(int item) = 0;
    // Progress bar, 0..100.
    virtual void SetProgress(int percent) = 0;
    // Results list.
    virtual int RowCount() = 0;
    virtual void AddRow(const ResultRow& row) = 0; // appended
    virtual void SetRowColor(int row, COLORREF color) = 0;
    virtual void CheckRow(int row) = 0; // adds the checked bit, keeps other state
    virtual void SelectRow(int row) = 0;
    virtual void ShowDetails(const std::wstring& text) = 0;
    // The notice that no area is selected (a message box in the window).
    virtual void ShowInformation(const std::wstring& text, const std::wstring& title) = 0;
    // The status bar's current-item text, emptied when a scan ends. The main window keeps that
    // text itself (and clears it after the scan), so it need not override this.
    virtual void SetCurrentItemText(const std::wstring& text) { (void)text; }
};

// The view the engine uses; set before a scan starts.
void SetScanView(ScanView* view);
ScanView* GetScanView();

} // namespace mdr
