#include "ui/gadget_scan_view.h"

#include "scan/detected_errors.h"
#include "ui/area_tree.h"
#include "ui/main_ui.h"
#include "ui/results_list.h"

namespace mdr {

namespace {

class GadgetScanView final : public ScanView {
  public:
    bool IsAreaChecked(int item) override {
        bool checked = false;
        RunOnUiThread([&] { checked = IsAreaItemChecked(item); });
        return checked;
    }
    void SetAreaIcon(int item, AreaIcon icon) override {
        RunOnUiThread([&] { SetAreaItemIcon(item, icon); });
    }
    void SetAreaText(int item, const std::wstring& text) override {
        RunOnUiThread([&] { SetAreaItemText(item, text); });
    }
    void StoreTreeItems() override {
        RunOnUiThread([] { StoreAreaItemStates(); });
    }
    void RestoreTreeItems() override {
        RunOnUiThread([] { RestoreAreaItemStates(); });
    }
    void HideTreeCheckboxes() override {
        RunOnUiThread([] { HideAreaCheckboxes(); });
    }
    void ShowTreeCheckboxes() override {
        RunOnUiThread([] { ShowAreaCheckboxes(); });
    }
    void SelectTreeItem(int item) override {
        RunOnUiThread([&] { SelectAreaItem(item); });
    }
    void SetProgress(int percent) override {
        SendMessageW(Ui().progress, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    }
    int RowCount() override {
        int n = 0;
        RunOnUiThread([&] { n = ResultRowCount(); });
        return n;
    }
    void AddRow(const ResultRow& row) override {
        // The record was appended on this thread just before; its description travels with the
        // row so the window never reads the record list while the scan writes it.
        std::wstring description;
        const auto& records = Records();
        for (auto it = records.rbegin(); it != records.rend(); ++it) {
            if (it->id == row.id) {
                description = it->description;
                break;
            }
        }
        RunOnUiThread([&] { AppendResultRow(row, description); });
    }
    void SetRowColor(int row, COLORREF color) override {
        RunOnUiThread([&] { SetResultRowColor(row, color); });
    }
    void CheckRow(int row) override {
        RunOnUiThread([&] { CheckResultRow(row); });
    }
    void SelectRow(int row) override {
        RunOnUiThread([&] { SelectResultRow(row); });
    }
    void ShowDetails(const std::wstring& text) override {
        RunOnUiThread([&] { SetDetailsText(text); });
    }
    void ShowInformation(const std::wstring& text, const std::wstring& title) override {
        RunOnUiThread([&] {
            MessageBoxW(Ui().window, text.c_str(), title.c_str(), MB_OK | MB_ICONINFORMATION);
        });
    }
};

} // namespace

ScanView& MainWindowScanView() {
    static GadgetScanView view;
    return view;
}

} // namespace mdr
