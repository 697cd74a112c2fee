// The results list and the details box. Row colours and (during a scan) descriptions are kept
// here by record identifier, so they stay with their rows when rows are removed.
#include "mdr/repair/fix_preview.h"
#include "mdr/ui/results_list.h"

#include <algorithm>
#include <limits>
#include <unordered_map>
#include <vector>

#include "common/list_order.h"
#include "common/text.h"

#include "mdr/core/config.h"
#include "mdr/core/logging.h"
#include "mdr/core/settings.h"
#include "mdr/core/skip_rules.h"
#include "common/trace.h"
#include "common/window.h"
#include "mdr/scan/detected_errors.h"
#include "mdr/ui/command_hooks.h"
#include "mdr/ui/command_ids.h"
#include "mdr/ui/gadget_scan_view.h"
#include "mdr/ui/main_ui.h"
#include "mdr/ui/ui_resources.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {

namespace {

constexpr wchar_t kNoErrorSelected[] = L"No error selected...";
constexpr Text kColumnTitles[kResultColumns] = {Text::RootKeyColumn,  Text::SubkeyLabel,
                                                Text::Value,          Text::DataColumn,
                                                Text::CategoryColumn, Text::ReturnedColumn};

std::unordered_map<uint32_t, COLORREF> g_rowColors;
std::unordered_map<uint32_t, std::wstring> g_descriptions; // rows added by the running scan

constexpr int kFilterHeight = 22;

// A row as the list holds it, for rows the filter leaves out and while the rows are arranged.
struct KeptRow {
    uint32_t id = 0;
    int image = 0;
    bool checked = false;
    std::vector<std::wstring> cells;
};
std::vector<KeptRow> g_filteredOut;
// Every row's texts as it was added (they never change), so arranging reads no cell back.
std::unordered_map<uint32_t, std::vector<std::wstring>> g_cells;
// Each row's place in the order last sorted: a new filter keeps it without sorting again.
std::unordered_map<uint32_t, size_t> g_rank;
bool g_ranked = false;
std::wstring g_filter; // in lower case
int g_sortColumn = -1; // -1: the scan's order
bool g_sortDescending = false;
bool g_arranging = false; // rows come and go: the details wait for the end

HWND List() {
    return Ui().list;
}

int IdOfRecordSafety(uint32_t id, const std::unordered_map<uint32_t, int>& safety) {
    auto it = safety.find(id);
    return it == safety.end() ? -1 : it->second;
}

std::unordered_map<uint32_t, int> SafetyById() {
    std::unordered_map<uint32_t, int> safety;
    for (const DetectedError& e : Records())
        safety.emplace(e.id, e.safety);
    return safety;
}

// Sets each row's check to decide(row, current); decide returns -1 to leave the row alone.
template <typename Decide> void ApplyChecks(Decide decide) {
    const int n = ResultRowCount();
    for (int row = 0; row < n; ++row) {
        const bool current = IsResultRowChecked(row);
        const int wanted = decide(row, current);
        if (wanted >= 0 && (wanted == 1) != current) SetResultRowChecked(row, wanted == 1);
    }
}

void ChangeBySafety(int safety, bool check, const wchar_t* before, const wchar_t* after) {
    MDR_HERE();
    Log(before);
    const auto bySafety = SafetyById();
    ApplyChecks([&](int row, bool) {
        return IdOfRecordSafety(ResultRowId(row), bySafety) == safety ? (check ? 1 : 0) : -1;
    });
    Log(after);
}

const DetectedError* FindRecord(uint32_t id) {
    for (const DetectedError& e : Records()) {
        if (e.id == id) return &e;
    }
    return nullptr;
}

KeptRow ReadRow(int row) {
    KeptRow kept;
    LVITEMW item{};
    item.mask = LVIF_PARAM | LVIF_IMAGE;
    item.iItem = row;
    ListView_GetItem(List(), &item);
    kept.id = static_cast<uint32_t>(item.lParam);
    kept.image = item.iImage;
    kept.checked = IsResultRowChecked(row);
    if (const auto it = g_cells.find(kept.id); it != g_cells.end()) {
        kept.cells = it->second;
    } else {
        for (int c = 0; c < kResultColumns; ++c)
            kept.cells.push_back(CellText(List(), row, c));
    }
    return kept;
}

void InsertRow(const KeptRow& row, bool selected) {
    HWND list = List();
    std::wstring text = row.cells[0];
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM | LVIF_STATE;
    item.iItem = ListView_GetItemCount(list);
    item.pszText = text.data();
    item.iImage = row.image;
    item.lParam = static_cast<LPARAM>(row.id);
    item.stateMask = LVIS_STATEIMAGEMASK | LVIS_SELECTED | LVIS_FOCUSED;
    item.state =
        INDEXTOSTATEIMAGEMASK(row.checked ? 2 : 1) | (selected ? LVIS_SELECTED | LVIS_FOCUSED : 0);
    const int index = ListView_InsertItem(list, &item);
    if (index < 0) return;
    // A list with check boxes inserts every row unticked, whatever the item asked for.
    if (row.checked) ListView_SetCheckState(list, index, TRUE);
    for (int c = 1; c < kResultColumns; ++c) {
        std::wstring cell = row.cells[c];
        ListView_SetItemText(list, index, c, cell.data());
    }
}

bool Arranged() {
    return g_sortColumn < 0 && g_filter.empty() && g_filteredOut.empty();
}

} // namespace

HWND CreateFilterBox(HWND parent) {
    HWND box =
        AddControl(parent, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, {0, 0, 100, kFilterHeight},
                   kGadgetIdBase + kGadgetFilterBox, WS_EX_CLIENTEDGE, GadgetFont());
    // The hint shows while the box is empty (common controls 6).
    const std::wstring cue = LangTextOr(Text::FilterCue, L"Filter the list (Ctrl+F)");
    if (box) SendMessageW(box, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(cue.c_str()));
    return box;
}

void SortResultsBy(int column) {
    if (Ui().scanning || column < 0 || column >= kResultColumns) return;
    g_sortDescending = column == g_sortColumn && !g_sortDescending;
    g_sortColumn = column;
    g_ranked = false;
    ShowSortArrow(List(), column, g_sortDescending);
    ArrangeResultRows();
}

void OnResultFilterChanged() {
    const std::wstring filter = ToLower(WindowText(Ui().filter));
    if (filter == g_filter) return;
    g_filter = filter;
    ArrangeResultRows();
}

void FocusResultFilter() {
    SetFocus(Ui().filter);
    SendMessageW(Ui().filter, EM_SETSEL, 0, -1);
}

void ClearResultFilter() {
    SetWindowTextW(Ui().filter, L""); // its change notice shows every row again
}

void ArrangeResultRows() {
    MDR_HERE();
    if (Ui().scanning || !List()) return;
    if (Arranged()) {
        ShowSelectedDetails();
        RefreshStatusText();
        return;
    }
    std::vector<KeptRow> rows;
    const int shown = ResultRowCount();
    rows.reserve(shown + g_filteredOut.size());
    for (int row = 0; row < shown; ++row)
        rows.push_back(ReadRow(row));
    std::move(g_filteredOut.begin(), g_filteredOut.end(), std::back_inserter(rows));
    g_filteredOut.clear();
    auto rankOf = [](const std::unordered_map<uint32_t, size_t>& ranks, const KeptRow& r) {
        const auto it = ranks.find(r.id);
        return it == ranks.end() ? std::numeric_limits<size_t>::max() : it->second;
    };
    if (!g_ranked) {
        // The scan's order (the record list's), then the sort's.
        const std::unordered_map<uint32_t, size_t> position = RecordPositions();
        std::stable_sort(rows.begin(), rows.end(), [&](const KeptRow& a, const KeptRow& b) {
            return rankOf(position, a) < rankOf(position, b);
        });
        std::vector<size_t> order(rows.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        if (g_sortColumn >= 0) {
            std::vector<const std::vector<std::wstring>*> cells;
            for (const KeptRow& r : rows)
                cells.push_back(&r.cells);
            order = SortedRowOrder(cells, static_cast<size_t>(g_sortColumn), ColumnKind::Text,
                                   g_sortDescending);
        }
        g_rank.clear();
        for (size_t i = 0; i < order.size(); ++i)
            g_rank[rows[order[i]].id] = i;
        g_ranked = true;
    }
    std::sort(rows.begin(), rows.end(), [&](const KeptRow& a, const KeptRow& b) {
        return rankOf(g_rank, a) < rankOf(g_rank, b);
    });
    const int selectedRow = SelectedResultRow();
    const uint32_t selected = selectedRow >= 0 ? ResultRowId(selectedRow) : 0;
    HWND list = List();
    g_arranging = true;
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(list);
    for (KeptRow& row : rows) {
        if (RowMatchesFilter(row.cells, g_filter))
            InsertRow(row, selected != 0 && row.id == selected);
        else
            g_filteredOut.push_back(std::move(row));
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, FALSE);
    g_arranging = false;
    if (const int row = SelectedResultRow(); row >= 0) ListView_EnsureVisible(list, row, FALSE);
    SyncScanViewRowCount();
    ShowSelectedDetails();
    RefreshStatusText();
}

std::wstring ResultFilterStatus() {
    if (g_filter.empty()) return L"";
    const int shown = ResultRowCount();
    const std::wstring text =
        ReplacePlaceholder(LangTextOr(Text::FilterShownStatus, L"$SHOWN$ of $TOTAL$ shown"),
                           L"$SHOWN$", std::to_wstring(shown));
    return ReplacePlaceholder(text, L"$TOTAL$", std::to_wstring(shown + g_filteredOut.size()));
}

void SetAllResultRowColors(COLORREF color) {
    for (const KeptRow& row : g_filteredOut)
        g_rowColors[row.id] = color;
    for (int row = 0, n = ResultRowCount(); row < n; ++row)
        SetResultRowColor(row, color);
}

int ResultRowCount() {
    return List() ? RowCount(List()) : 0;
}

uint32_t ResultRowId(int row) {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!ListView_GetItem(List(), &item)) return 0;
    return static_cast<uint32_t>(item.lParam);
}

std::wstring ResultRowText(int row, int column) {
    return CellText(List(), row, column);
}

bool IsResultRowChecked(int row) {
    return ListView_GetCheckState(List(), row) != 0;
}

void SetResultRowChecked(int row, bool checked) {
    ListView_SetCheckState(List(), row, checked ? TRUE : FALSE);
}

int SelectedResultRow() {
    return List() ? SelectedRow(List()) : -1;
}

void RemoveResultRow(int row) {
    const uint32_t id = ResultRowId(row);
    g_rowColors.erase(id);
    g_descriptions.erase(id);
    g_cells.erase(id);
    ListView_DeleteItem(List(), row);
    SyncScanViewRowCount();
    if (!g_filter.empty()) RefreshStatusText();
}

void ClearResultRows() {
    g_rowColors.clear();
    g_descriptions.clear();
    g_filteredOut.clear();
    g_cells.clear();
    g_ranked = false;
    ListView_DeleteAllItems(List());
    SyncScanViewRowCount();
}

void SetDetailsText(const std::wstring& text) {
    SetWindowTextW(Ui().details, text.c_str());
}

void ShowSelectedDetails() {
    if (g_arranging) return;
    const int row = SelectedResultRow();
    if (row < 0) {
        SetDetailsText(kNoErrorSelected);
        return;
    }
    const uint32_t id = ResultRowId(row);
    if (Ui().scanning) {
        // The scan thread owns the record list now; use the copy that came with the row.
        auto it = g_descriptions.find(id);
        if (it != g_descriptions.end()) SetDetailsText(it->second);
        return;
    }
    // What the fix of this row will delete, counted now: the registry may have changed since.
    if (const DetectedError* e = FindRecord(id)) {
        const std::wstring returned =
            e->fixedBefore.empty()
                ? std::wstring()
                : L"\r\n\r\n" + ReplacePlaceholder(LangText(Text::ReturnedExplained), L"$DATE$",
                                                   e->fixedBefore);
        SetDetailsText(e->description + returned + L"\r\n\r\n" +
                       FixPreviewText(PreviewFix(*e), e->valueName));
    }
}

void SelectAllErrors() {
    Log(L"Selecting all errors");
    ApplyChecks([](int, bool) { return 1; });
    Log(L"Errors selected, returning");
}

void SelectSafeErrors() {
    ChangeBySafety(1, true, L"Selecting all safe errors", L"Safe errors selected, returning");
}

void SelectUnsafeErrors() {
    ChangeBySafety(0, true, L"Selecting all unsafe errors", L"Unsafe errors selected, returning");
}

void DeselectAllErrors() {
    Log(L"Deselecting all errors");
    ApplyChecks([](int, bool) { return 0; });
    Log(L"Errors deselected");
}

void DeselectSafeErrors() {
    ChangeBySafety(1, false, L"Deselecting all safe errors", L"Safe errors deselected");
}

void DeselectUnsafeErrors() {
    ChangeBySafety(0, false, L"Deselecting all unsafe errors", L"Unsafe errors deselected");
}

void InvertSelection() {
    Log(L"Inverting error selection");
    ApplyChecks([](int, bool current) { return current ? 0 : 1; });
    Log(L"Error selection inverted, returning");
}

void OpenSelectedInRegistryEditor() {
    MDR_HERE();
    RegistryJumpHandler jump = GetRegistryJumpHandler();
    if (!jump) return; // the jump is not available in this build
    const int row = SelectedResultRow();
    if (row < 0) {
        ShowInfo(Text::InformationTitle, Text::SelectEntryFirst);
        return;
    }
    std::wstring value = ResultRowText(row, 2);
    if (value == L"(Default)") value.clear();
    const std::wstring key = ResultRowText(row, 0) + L"\\" + ResultRowText(row, 1);
    jump(key, value);
}

void AddSelectedToExceptions() {
    MDR_HERE();
    const int row = SelectedResultRow();
    if (row < 0) {
        ShowInfo(Text::InformationTitle, Text::SelectEntryFirst);
        return;
    }
    const uint32_t id = ResultRowId(row);
    const DetectedError* found = FindRecord(id);
    if (!found) return;
    if (!AskYesNo(Text::ConfirmTitle, Text::AddExceptionQuestion)) return;
    const RootKey root = found->root;
    const std::wstring keyPath = found->keyPath;
    if (InExceptions(root, keyPath)) {
        ShowInfo(Text::InformationTitle, Text::ExceptionExists);
        return;
    }
    if (AddException(root, keyPath) != 1) {
        ShowWarning(Text::WarningTitle, Text::ExceptionNotAdded);
        return;
    }
    ReleaseRecordId(id);
    auto& records = Records();
    records.erase(std::remove_if(records.begin(), records.end(),
                                 [id](const DetectedError& e) { return e.id == id; }),
                  records.end());
    RemoveResultRow(row);
    ShowSelectedDetails();
    if (!SaveExceptions()) ShowWarning(Text::WarningTitle, Text::ExceptionsNotSaved);
}

HWND CreateResultsList(HWND parent) {
    MDR_HERE();
    HWND list = CreateWindowExW(
        WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 0, 0,
        100, 100, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kGadgetIdBase + kGadgetResultsList)),
        GetModuleHandleW(nullptr), nullptr);
    if (!list) return nullptr;
    ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT |
                                                LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP |
                                                LVS_EX_INFOTIP);
    // Column 0 comes with the gadget, columns 1 to 4 when it is configured.
    std::wstring title = LangText(kColumnTitles[0]);
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    col.pszText = title.data();
    col.cx = Settings().ColumnWidth[0];
    col.iSubItem = 0;
    ListView_InsertColumn(list, 0, &col);
    return list;
}

HWND CreateDetailsBox(HWND parent) {
    MDR_HERE();
    return AddControl(parent, L"EDIT", LangText(Text::DetailsHint),
                      WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, {0, 0, 100, 100},
                      kGadgetIdBase + kGadgetDetailsBox, WS_EX_CLIENTEDGE, GadgetFont());
}

void AddResultColumns() {
    MDR_HERE();
    HWND list = List();
    ListView_SetExtendedListViewStyleEx(list, LVS_EX_TWOCLICKACTIVATE, LVS_EX_TWOCLICKACTIVATE);
    for (int c = 1; c < kResultColumns; ++c) {
        std::wstring title = LangText(kColumnTitles[c]);
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        col.pszText = title.data();
        col.cx = Settings().ColumnWidth[c];
        col.iSubItem = c;
        ListView_InsertColumn(list, c, &col);
    }
    Ui().listImages.reset(ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 34, 0));
    for (int i = 0; i < 34; ++i) {
        HICON icon = TableIcon(i);
        if (icon)
            ImageList_AddIcon(Ui().listImages.get(), icon);
        else
            ImageList_Add(Ui().listImages.get(), nullptr, nullptr); // keep the indices aligned
    }
    ListView_SetImageList(list, Ui().listImages.get(), LVSIL_SMALL);
}

void AppendResultRow(const ResultRow& row, const std::wstring& description) {
    HWND list = List();
    g_descriptions[row.id] = description;
    g_cells[row.id].assign(std::begin(row.columns), std::end(row.columns));
    std::wstring text = row.columns[0];
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = ListView_GetItemCount(list);
    item.pszText = text.data();
    item.iImage = row.image;
    item.lParam = static_cast<LPARAM>(row.id);
    const int index = ListView_InsertItem(list, &item);
    if (index < 0) return;
    for (int c = 1; c < kResultColumns; ++c) {
        std::wstring cell = row.columns[c];
        ListView_SetItemText(list, index, c, cell.data());
    }
}

void SetResultRowColor(int row, COLORREF color) {
    if (row < 0 || row >= ResultRowCount()) return;
    g_rowColors[ResultRowId(row)] = color;
    ListView_RedrawItems(List(), row, row);
}

COLORREF ResultRowColor(int row) {
    if (row < 0 || row >= ResultRowCount()) return CLR_NONE;
    auto it = g_rowColors.find(ResultRowId(row));
    return it == g_rowColors.end() ? CLR_NONE : it->second;
}

void CheckResultRow(int row) {
    // LVM_SETITEMSTATE with only the state-image mask keeps the row's other state bits.
    ListView_SetItemState(List(), row, INDEXTOSTATEIMAGEMASK(2), LVIS_STATEIMAGEMASK);
}

void SelectResultRow(int row) {
    ListView_SetItemState(List(), row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

bool OnResultsListNotify(NMHDR* hdr, LRESULT* result) {
    switch (hdr->code) {
    case NM_CUSTOMDRAW: {
        auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(hdr);
        if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) {
            *result = g_rowColors.empty() ? CDRF_DODEFAULT : CDRF_NOTIFYITEMDRAW;
            return true;
        }
        if (cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
            auto it = g_rowColors.find(static_cast<uint32_t>(cd->nmcd.lItemlParam));
            if (it != g_rowColors.end()) {
                cd->clrTextBk = it->second;
                *result = CDRF_NEWFONT;
                return true;
            }
        }
        *result = CDRF_DODEFAULT;
        return true;
    }
    case LVN_GETINFOTIPW: {
        // A row that came back after a fix says what brings it back.
        auto* tip = reinterpret_cast<NMLVGETINFOTIPW*>(hdr);
        const DetectedError* e = Ui().scanning ? nullptr : FindRecord(ResultRowId(tip->iItem));
        if (e && !e->fixedBefore.empty() && tip->pszText && tip->cchTextMax > 0) {
            const std::wstring text =
                ReplacePlaceholder(LangText(Text::ReturnedExplained), L"$DATE$", e->fixedBefore);
            lstrcpynW(tip->pszText, text.c_str(), tip->cchTextMax);
        }
        return false;
    }
    case LVN_COLUMNCLICK:
        SortResultsBy(reinterpret_cast<NMLISTVIEW*>(hdr)->iSubItem);
        return false;
    case LVN_ITEMCHANGED: {
        auto* nm = reinterpret_cast<NMLISTVIEW*>(hdr);
        if ((nm->uChanged & LVIF_STATE) && ((nm->uNewState ^ nm->uOldState) & LVIS_SELECTED))
            ShowSelectedDetails();
        return false;
    }
    case NM_RCLICK:
        if (!Ui().scanning && SelectedResultRow() >= 0) {
            POINT pt;
            GetCursorPos(&pt);
            ShowPopupMenu(2, pt);
        }
        *result = TRUE;
        return true;
    case NM_DBLCLK:
        OpenSelectedInRegistryEditor();
        return false;
    default:
        return false;
    }
}

} // namespace mdr
