// HeadlessScanView: a ScanView kept in memory, for tests and the benchmark. It holds what the
// window would show (tree texts, icons and check states, rows with their colours, check and
// selection state, details text, progress) and a journal of every call in order. Thread-safe:
// the scan thread writes while another thread may read copies.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "mdr/scan/scan_view.h"
#include "common/lock.h"

namespace mdr {

class HeadlessScanView : public ScanView {
  public:
    static constexpr int kTreeItems = 19; // item 0 (top) and the 18 areas

    struct TreeItem {
        std::wstring text;
        AreaIcon icon = AreaIcon::Normal;
        bool checked = false;
    };
    struct Row {
        ResultRow row;
        bool checked = false;
        std::optional<COLORREF> color; // set only by SetRowColor
    };
    struct Notice {
        std::wstring text;
        std::wstring title;
    };

    HeadlessScanView();

    // Setting up a scan: tick items (0..18) as the user would.
    void SetChecked(int item, bool checked);
    void SetAllChecked(bool checked);
    void SetText(int item, const std::wstring& text);
    // Forgets rows, details, progress, notices and the journal; the tree stays.
    void Clear();

    // What the window would show now (copies).
    TreeItem Tree(int item) const;
    bool CheckboxesVisible() const;
    int SelectedTreeItem() const; // -1 when none
    std::vector<Row> Rows() const;
    int SelectedRow() const; // -1 when none
    std::wstring Details() const;
    std::vector<int> ProgressHistory() const; // every SetProgress value in order
    std::vector<Notice> Notices() const;
    std::wstring CurrentItemText() const;
    // One line per call, e.g. "SetAreaIcon 3 Scanning", "SetAreaText 2 Drivers (1)",
    // "SetProgress 50", "AddRow 0", "CheckRow 0".
    std::vector<std::wstring> Journal() const;

    // ScanView
    bool IsAreaChecked(int item) override;
    void SetAreaIcon(int item, AreaIcon icon) override;
    void SetAreaText(int item, const std::wstring& text) override;
    void StoreTreeItems() override;
    void RestoreTreeItems() override;
    void HideTreeCheckboxes() override;
    void ShowTreeCheckboxes() override;
    void SelectTreeItem(int item) override;
    void SetProgress(int percent) override;
    int RowCount() override;
    void AddRow(const ResultRow& row) override;
    void SetRowColor(int row, COLORREF color) override;
    void CheckRow(int row) override;
    void SelectRow(int row) override;
    void ShowDetails(const std::wstring& text) override;
    void ShowInformation(const std::wstring& text, const std::wstring& title) override;
    void SetCurrentItemText(const std::wstring& text) override;

  private:
    static bool ValidItem(int item) { return item >= 0 && item < kTreeItems; }
    void Note(std::wstring line); // caller holds lock_

    mutable Mutex lock_;
    TreeItem tree_[kTreeItems];
    bool savedChecks_[kTreeItems] = {};
    bool checkboxesVisible_ = true;
    int selectedTreeItem_ = -1;
    std::vector<Row> rows_;
    int selectedRow_ = -1;
    std::wstring details_;
    std::vector<int> progress_;
    std::vector<Notice> notices_;
    std::wstring currentItem_;
    std::vector<std::wstring> journal_;
};

const wchar_t* AreaIconName(AreaIcon icon);

} // namespace mdr
