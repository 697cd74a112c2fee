#include "tools/frame/report_list.h"

#include <commctrl.h>

#include "tools/frame/list_sync.h"
#include "tools/frame/listing_export.h"

namespace mdr {

namespace {

// The colour of rows whose file is missing: a dark red that reads on white and on the
// selection's highlight alike.
constexpr COLORREF kEmphasisColour = RGB(192, 0, 0);

void SetCell(HWND list, int row, int column, const std::wstring& text) {
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void InsertRow(HWND list, int row, const std::vector<std::wstring>& texts, LPARAM data, int image) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM | (image >= 0 ? LVIF_IMAGE : 0);
    item.iItem = row;
    item.pszText = const_cast<wchar_t*>(texts.empty() ? L"" : texts[0].c_str());
    item.lParam = data;
    item.iImage = image;
    const int at =
        static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    for (size_t c = 1; c < texts.size(); ++c)
        SetCell(list, at, static_cast<int>(c), texts[c]);
}

} // namespace

HWND CreateToolList(HWND parent, int id, Place place, const std::vector<ListColumn>& columns,
                    bool mainList) {
    HWND list =
        AddReportList(parent, id, place, LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP, columns);
    if (!list) return nullptr;
    DWORD extended = LVS_EX_FULLROWSELECT;
    if (mainList) extended |= LVS_EX_TWOCLICKACTIVATE;
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    InvalidateRect(list, nullptr, TRUE);
    return list;
}

int ColumnCount(HWND list) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    return header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

std::vector<std::wstring> RowTexts(HWND list, int row) {
    std::vector<std::wstring> texts;
    const int columns = ColumnCount(list);
    for (int c = 0; c < columns; ++c)
        texts.push_back(CellText(list, row, c));
    return texts;
}

int64_t RowId(HWND list, int row) {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (row < 0 || !SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return -1;
    return static_cast<int64_t>(item.lParam);
}

POINT KeyboardMenuPoint(HWND list) {
    POINT at{0, 0};
    const int row = SelectedRow(list);
    RECT rc{};
    rc.left = LVIR_LABEL;
    if (row >= 0 && SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                                 reinterpret_cast<LPARAM>(&rc)))
        at = {rc.left, rc.bottom};
    ClientToScreen(list, &at);
    return at;
}

bool CopyRowToClipboard(HWND list, int row) {
    if (row < 0 || row >= RowCount(list)) return false;
    return SetClipboardText(GetParent(list), ClipboardLine(RowTexts(list, row)));
}

bool CopyAllToClipboard(HWND list) {
    std::vector<std::vector<std::wstring>> rows;
    for (int row = 0, count = RowCount(list); row < count; ++row)
        rows.push_back(RowTexts(list, row));
    return SetClipboardText(GetParent(list), ClipboardAll(rows));
}

void FillInfoList(HWND list, const std::vector<std::wstring>& lines) {
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    int row = 0;
    for (const std::wstring& line : lines) {
        const size_t split = line.find(L'\n');
        InsertRow(
            list, row++,
            {line.substr(0, split), split == std::wstring::npos ? L"" : line.substr(split + 1)}, 0,
            -1);
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

void SyncedList::Attach(HWND list, HICON defaultIcon) {
    list_ = list;
    images_.reset(ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 16, 16));
    if (images_) {
        if (defaultIcon)
            ImageList_AddIcon(images_.get(), defaultIcon);
        else
            ImageList_SetImageCount(images_.get(), 1);
        // The list shares the image list: it stays ours and goes when we do.
        SetWindowLongPtrW(list, GWL_STYLE,
                          GetWindowLongPtrW(list, GWL_STYLE) | LVS_SHAREIMAGELISTS);
        SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images_.get()));
    }
}

int SyncedList::ImageFor(uint32_t id, HICON icon) {
    if (!icon || !images_) return 0;
    int slot;
    if (!freeImages_.empty()) {
        slot = freeImages_.back();
        freeImages_.pop_back();
        ImageList_ReplaceIcon(images_.get(), slot, icon);
    } else {
        slot = ImageList_AddIcon(images_.get(), icon);
        if (slot < 0) return 0;
    }
    imageOfId_[id] = slot;
    return slot;
}

void SyncedList::ReleaseImage(uint32_t id) {
    auto it = imageOfId_.find(id);
    if (it == imageOfId_.end()) return;
    freeImages_.push_back(it->second);
    imageOfId_.erase(it);
}

int SyncedList::Sync(const std::vector<RowContent>& records) {
    std::vector<std::wstring> rowKeys, recordKeys;
    for (const RowContent& row : rows_)
        rowKeys.push_back(row.key);
    for (const RowContent& record : records)
        recordKeys.push_back(record.key);

    int written = 0;
    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    for (const ListSyncStep& step : PlanListSync(rowKeys, recordKeys)) {
        if (step.kind == ListSyncStep::Remove) {
            ReleaseImage(rows_[static_cast<size_t>(step.row)].id);
            SendMessageW(list_, LVM_DELETEITEM, static_cast<WPARAM>(step.row), 0);
            rows_.erase(rows_.begin() + step.row);
            continue;
        }
        const RowContent& record = records[static_cast<size_t>(step.record)];
        if (step.kind == ListSyncStep::Insert) {
            InsertRow(list_, step.row, record.texts, static_cast<LPARAM>(record.id),
                      ImageFor(record.id, record.icon));
            rows_.insert(rows_.begin() + step.row, record);
            ++written;
            continue;
        }
        RowContent& row = rows_[static_cast<size_t>(step.row)];
        bool changed = false;
        for (size_t c = 0; c < record.texts.size(); ++c) {
            if (c < row.texts.size() && row.texts[c] == record.texts[c]) continue;
            SetCell(list_, step.row, static_cast<int>(c), record.texts[c]);
            changed = true;
        }
        if (row.id != record.id || row.icon != record.icon) {
            // Another record (or a new picture) behind the same identity: its id and icon.
            ReleaseImage(row.id);
            LVITEMW item{};
            item.mask = LVIF_PARAM | LVIF_IMAGE;
            item.iItem = step.row;
            item.lParam = static_cast<LPARAM>(record.id);
            item.iImage = ImageFor(record.id, record.icon);
            SendMessageW(list_, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
            changed = true;
        }
        if (row.emphasised != record.emphasised) {
            SendMessageW(list_, LVM_REDRAWITEMS, static_cast<WPARAM>(step.row),
                         static_cast<LPARAM>(step.row));
            changed = true;
        }
        row = record;
        written += changed ? 1 : 0;
    }
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    if (written > 0 || rowKeys.size() != rows_.size()) InvalidateRect(list_, nullptr, FALSE);
    return written;
}

bool SyncedList::Emphasised(int row) const {
    return row >= 0 && row < static_cast<int>(rows_.size()) &&
           rows_[static_cast<size_t>(row)].emphasised;
}

bool SyncedList::CustomDraw(LPARAM lParam, LRESULT& result) const {
    auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(lParam);
    if (draw->nmcd.hdr.hwndFrom != list_) return false;
    if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) {
        result = CDRF_NOTIFYITEMDRAW;
        return true;
    }
    if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        if (Emphasised(static_cast<int>(draw->nmcd.dwItemSpec))) draw->clrText = kEmphasisColour;
        result = CDRF_DODEFAULT;
        return true;
    }
    return false;
}

} // namespace mdr
