#include "tools/frame/report_list.h"

#include <commctrl.h>

#include <unordered_map>
#include <unordered_set>

#include "common/text.h"

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
    const DWORD selection = mainList ? 0 : LVS_SINGLESEL;
    HWND list =
        AddReportList(parent, id, place, selection | LVS_SHOWSELALWAYS | WS_TABSTOP, columns);
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

std::vector<int> SelectedRows(HWND list) {
    std::vector<int> rows;
    for (int row = -1;;) {
        row = static_cast<int>(
            SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED));
        if (row < 0) return rows;
        rows.push_back(row);
    }
}

void SelectAllRows(HWND list) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    // Row -1: every row.
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
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

bool CopySelectedRowsToClipboard(HWND list) {
    const std::vector<int> rows = SelectedRows(list);
    if (rows.empty()) return false;
    std::wstring text;
    for (int row : rows) {
        const std::vector<std::wstring> cells = RowTexts(list, row);
        for (size_t c = 0; c < cells.size(); ++c)
            text += (c ? L"\t" : L"") + cells[c];
        text += L"\r\n";
    }
    return SetClipboardText(GetParent(list), text);
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

void SyncedList::Attach(HWND list, HICON defaultIcon, std::vector<ColumnKind> kinds) {
    list_ = list;
    kinds_ = std::move(kinds);
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
    records_ = records;
    return Arrange();
}

void SyncedList::SetSort(int column, bool descending) {
    sortColumn_ = column;
    descending_ = descending;
    ShowSortArrow(list_, column, descending);
    Arrange();
}

void SyncedList::ToggleSort(int column) {
    SetSort(column, column == sortColumn_ && !descending_);
}

void SyncedList::SetFilter(std::wstring_view text) {
    filter_ = ToLower(text);
    Arrange();
}

void SyncedList::SetArranger(Arranger arranger) {
    arranger_ = std::move(arranger);
    Arrange();
}

int SyncedList::Arrange() {
    std::vector<const RowContent*> wanted;
    wanted.reserve(records_.size());
    for (const RowContent& record : records_)
        if (RowMatchesFilter(record.texts, filter_)) wanted.push_back(&record);
    if (sortColumn_ < 0) return Show(arranger_ ? arranger_(wanted) : wanted);
    std::vector<const std::vector<std::wstring>*> cells;
    cells.reserve(wanted.size());
    for (const RowContent* record : wanted)
        cells.push_back(&record->texts);
    const size_t column = static_cast<size_t>(sortColumn_);
    const ColumnKind kind = column < kinds_.size() ? kinds_[column] : ColumnKind::Text;
    std::vector<const RowContent*> sorted;
    sorted.reserve(wanted.size());
    for (size_t i : SortedRowOrder(cells, column, kind, descending_))
        sorted.push_back(wanted[i]);
    return Show(arranger_ ? arranger_(sorted) : sorted);
}

namespace {

int CALLBACK CompareRank(LPARAM first, LPARAM second, LPARAM ranks) {
    const auto& rankOf = *reinterpret_cast<const std::unordered_map<uint32_t, size_t>*>(ranks);
    const size_t a = rankOf.at(static_cast<uint32_t>(first));
    const size_t b = rankOf.at(static_cast<uint32_t>(second));
    return a < b ? -1 : a > b ? 1 : 0;
}

} // namespace

// Puts the rows that stay into their new order in place, so that a new sort moves rows
// instead of deleting and writing them anew. True when rows moved.
bool SyncedList::Reorder(const std::vector<const RowContent*>& wanted) {
    std::unordered_map<std::wstring, size_t> rankOfKey;
    for (size_t i = 0; i < wanted.size(); ++i)
        rankOfKey.emplace(wanted[i]->key, i);
    std::unordered_map<uint32_t, size_t> rankOfId;
    bool inOrder = true;
    size_t last = 0;
    for (size_t r = 0; r < rows_.size(); ++r) {
        auto found = rankOfKey.find(rows_[r].key);
        // Rows that go are put last; the sync removes them.
        const size_t rank = found == rankOfKey.end() ? wanted.size() + r : found->second;
        // Rows of one id cannot be told apart by the list's sort: the sync moves them.
        if (!rankOfId.emplace(rows_[r].id, rank).second) return false;
        if (r > 0 && rank < last) inOrder = false;
        last = rank;
    }
    if (inOrder) return false;
    if (!SendMessageW(list_, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&rankOfId),
                      reinterpret_cast<LPARAM>(&CompareRank)))
        return false;
    std::stable_sort(rows_.begin(), rows_.end(), [&](const RowContent& a, const RowContent& b) {
        return rankOfId[a.id] < rankOfId[b.id];
    });
    return true;
}

int SyncedList::Show(const std::vector<const RowContent*>& records) {
    // The selection and focus by identity: a row the sync deletes and inserts again gets them
    // back.
    std::unordered_set<std::wstring> selected;
    for (int row : SelectedRows(list_))
        if (row < static_cast<int>(rows_.size()))
            selected.insert(rows_[static_cast<size_t>(row)].key);
    const int focusedRow = static_cast<int>(
        SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    const std::wstring focused = focusedRow >= 0 && focusedRow < static_cast<int>(rows_.size())
                                     ? rows_[static_cast<size_t>(focusedRow)].key
                                     : std::wstring(L"\x1F\x1F");

    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    const bool moved = Reorder(records);
    std::vector<std::wstring> rowKeys, recordKeys;
    for (const RowContent& row : rows_)
        rowKeys.push_back(row.key);
    for (const RowContent* record : records)
        recordKeys.push_back(record->key);

    int written = 0;
    for (const ListSyncStep& step : PlanListSync(rowKeys, recordKeys)) {
        if (step.kind == ListSyncStep::Remove) {
            ReleaseImage(rows_[static_cast<size_t>(step.row)].id);
            SendMessageW(list_, LVM_DELETEITEM, static_cast<WPARAM>(step.row), 0);
            rows_.erase(rows_.begin() + step.row);
            continue;
        }
        const RowContent& record = *records[static_cast<size_t>(step.record)];
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
        if (row.emphasised != record.emphasised || row.dimmed != record.dimmed) {
            SendMessageW(list_, LVM_REDRAWITEMS, static_cast<WPARAM>(step.row),
                         static_cast<LPARAM>(step.row));
            changed = true;
        }
        row = record;
        written += changed ? 1 : 0;
    }
    if (!selected.empty() || focusedRow >= 0) {
        for (size_t row = 0; row < rows_.size(); ++row) {
            const UINT want = (selected.count(rows_[row].key) ? LVIS_SELECTED : 0) |
                              (rows_[row].key == focused ? LVIS_FOCUSED : 0);
            const UINT has = static_cast<UINT>(
                SendMessageW(list_, LVM_GETITEMSTATE, row, LVIS_SELECTED | LVIS_FOCUSED));
            // A row inserted inside a selected run may come selected (Wine): only the rows
            // selected before are.
            const UINT mask = LVIS_SELECTED | (want & LVIS_FOCUSED);
            if ((has & mask) == want) continue;
            LVITEMW item{};
            item.stateMask = mask;
            item.state = want;
            SendMessageW(list_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
        }
    }
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    if (moved || written > 0 || rowKeys.size() != rows_.size())
        InvalidateRect(list_, nullptr, FALSE);
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
        const size_t row = draw->nmcd.dwItemSpec;
        if (Emphasised(static_cast<int>(row)))
            draw->clrText = kEmphasisColour;
        else if (row < rows_.size() && rows_[row].dimmed)
            draw->clrText = GetSysColor(COLOR_GRAYTEXT);
        result = CDRF_DODEFAULT;
        return true;
    }
    return false;
}

} // namespace mdr
