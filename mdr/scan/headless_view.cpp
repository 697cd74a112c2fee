#include "mdr/scan/headless_view.h"

#include "common/trace.h"

MDR_TRACE_MODULE(ScanEngine);

namespace mdr {

const wchar_t* AreaIconName(AreaIcon icon) {
    switch (icon) {
    case AreaIcon::Normal:
        return L"Normal";
    case AreaIcon::Scanning:
        return L"Scanning";
    case AreaIcon::ErrorsFound:
        return L"ErrorsFound";
    }
    return L"?";
}

HeadlessScanView::HeadlessScanView() = default;

void HeadlessScanView::Note(std::wstring line) {
    journal_.push_back(std::move(line));
}

void HeadlessScanView::SetChecked(int item, bool checked) {
    std::lock_guard<Mutex> guard(lock_);
    if (ValidItem(item)) tree_[item].checked = checked;
}

void HeadlessScanView::SetAllChecked(bool checked) {
    std::lock_guard<Mutex> guard(lock_);
    for (TreeItem& t : tree_)
        t.checked = checked;
}

void HeadlessScanView::SetText(int item, const std::wstring& text) {
    std::lock_guard<Mutex> guard(lock_);
    if (ValidItem(item)) tree_[item].text = text;
}

void HeadlessScanView::Clear() {
    std::lock_guard<Mutex> guard(lock_);
    rows_.clear();
    selectedRow_ = -1;
    details_.clear();
    progress_.clear();
    notices_.clear();
    currentItem_.clear();
    journal_.clear();
}

HeadlessScanView::TreeItem HeadlessScanView::Tree(int item) const {
    std::lock_guard<Mutex> guard(lock_);
    return ValidItem(item) ? tree_[item] : TreeItem{};
}

bool HeadlessScanView::CheckboxesVisible() const {
    std::lock_guard<Mutex> guard(lock_);
    return checkboxesVisible_;
}

int HeadlessScanView::SelectedTreeItem() const {
    std::lock_guard<Mutex> guard(lock_);
    return selectedTreeItem_;
}

std::vector<HeadlessScanView::Row> HeadlessScanView::Rows() const {
    std::lock_guard<Mutex> guard(lock_);
    return rows_;
}

int HeadlessScanView::SelectedRow() const {
    std::lock_guard<Mutex> guard(lock_);
    return selectedRow_;
}

std::wstring HeadlessScanView::Details() const {
    std::lock_guard<Mutex> guard(lock_);
    return details_;
}

std::vector<int> HeadlessScanView::ProgressHistory() const {
    std::lock_guard<Mutex> guard(lock_);
    return progress_;
}

std::vector<HeadlessScanView::Notice> HeadlessScanView::Notices() const {
    std::lock_guard<Mutex> guard(lock_);
    return notices_;
}

std::wstring HeadlessScanView::CurrentItemText() const {
    std::lock_guard<Mutex> guard(lock_);
    return currentItem_;
}

std::vector<std::wstring> HeadlessScanView::Journal() const {
    std::lock_guard<Mutex> guard(lock_);
    return journal_;
}

bool HeadlessScanView::IsAreaChecked(int item) {
    std::lock_guard<Mutex> guard(lock_);
    return ValidItem(item) && tree_[item].checked;
}

void HeadlessScanView::SetAreaIcon(int item, AreaIcon icon) {
    std::lock_guard<Mutex> guard(lock_);
    if (ValidItem(item)) tree_[item].icon = icon;
    Note(L"SetAreaIcon " + std::to_wstring(item) + L" " + AreaIconName(icon));
}

void HeadlessScanView::SetAreaText(int item, const std::wstring& text) {
    std::lock_guard<Mutex> guard(lock_);
    if (ValidItem(item)) tree_[item].text = text;
    Note(L"SetAreaText " + std::to_wstring(item) + L" " + text);
}

void HeadlessScanView::StoreTreeItems() {
    std::lock_guard<Mutex> guard(lock_);
    for (int i = 0; i < kTreeItems; ++i)
        savedChecks_[i] = tree_[i].checked;
    Note(L"StoreTreeItems");
}

void HeadlessScanView::RestoreTreeItems() {
    std::lock_guard<Mutex> guard(lock_);
    for (int i = 0; i < kTreeItems; ++i)
        tree_[i].checked = savedChecks_[i];
    Note(L"RestoreTreeItems");
}

void HeadlessScanView::HideTreeCheckboxes() {
    std::lock_guard<Mutex> guard(lock_);
    // The real tree loses its check images with the state image list; only the stored states
    // bring them back.
    checkboxesVisible_ = false;
    for (TreeItem& t : tree_)
        t.checked = false;
    Note(L"HideTreeCheckboxes");
}

void HeadlessScanView::ShowTreeCheckboxes() {
    std::lock_guard<Mutex> guard(lock_);
    checkboxesVisible_ = true;
    Note(L"ShowTreeCheckboxes");
}

void HeadlessScanView::SelectTreeItem(int item) {
    std::lock_guard<Mutex> guard(lock_);
    if (ValidItem(item)) selectedTreeItem_ = item;
    Note(L"SelectTreeItem " + std::to_wstring(item));
}

void HeadlessScanView::SetProgress(int percent) {
    std::lock_guard<Mutex> guard(lock_);
    progress_.push_back(percent);
    Note(L"SetProgress " + std::to_wstring(percent));
}

int HeadlessScanView::RowCount() {
    std::lock_guard<Mutex> guard(lock_);
    return static_cast<int>(rows_.size());
}

void HeadlessScanView::AddRow(const ResultRow& row) {
    std::lock_guard<Mutex> guard(lock_);
    rows_.push_back(Row{row, false, std::nullopt});
    Note(L"AddRow " + std::to_wstring(rows_.size() - 1));
}

void HeadlessScanView::SetRowColor(int row, COLORREF color) {
    std::lock_guard<Mutex> guard(lock_);
    if (row >= 0 && row < static_cast<int>(rows_.size())) rows_[row].color = color;
    Note(L"SetRowColor " + std::to_wstring(row));
}

void HeadlessScanView::CheckRow(int row) {
    std::lock_guard<Mutex> guard(lock_);
    if (row >= 0 && row < static_cast<int>(rows_.size())) rows_[row].checked = true;
    Note(L"CheckRow " + std::to_wstring(row));
}

void HeadlessScanView::SelectRow(int row) {
    std::lock_guard<Mutex> guard(lock_);
    if (row >= 0 && row < static_cast<int>(rows_.size())) selectedRow_ = row;
    Note(L"SelectRow " + std::to_wstring(row));
}

void HeadlessScanView::ShowDetails(const std::wstring& text) {
    std::lock_guard<Mutex> guard(lock_);
    details_ = text;
    Note(L"ShowDetails");
}

void HeadlessScanView::ShowInformation(const std::wstring& text, const std::wstring& title) {
    std::lock_guard<Mutex> guard(lock_);
    notices_.push_back(Notice{text, title});
    Note(L"ShowInformation " + text);
}

void HeadlessScanView::SetCurrentItemText(const std::wstring& text) {
    std::lock_guard<Mutex> guard(lock_);
    currentItem_ = text;
    Note(L"SetCurrentItemText " + text);
}

} // namespace mdr
