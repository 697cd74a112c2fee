// The report lists of the tools: making them, reading their rows, the clipboard copies, and
// keeping their rows in step with the tool's records by identity, each row with its record's
// id as item data and its record's icon, in the order of the sorted column and narrowed to the
// rows that hold the filter text.
#pragma once

#include <windows.h>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/handles.h"
#include "common/list_order.h"
#include "common/window.h"

namespace mdr {

// A report list with the selection always shown and full-row selection; main lists take
// several selected rows and activate an item on the second click, the others one row.
HWND CreateToolList(HWND parent, int id, Place place, const std::vector<ListColumn>& columns,
                    bool mainList);

int ColumnCount(HWND list);
// Every selected row, top to bottom.
std::vector<int> SelectedRows(HWND list);
void SelectAllRows(HWND list);
std::vector<std::wstring> RowTexts(HWND list, int row);
// The item data of a row (the record id), or -1 without such a row.
int64_t RowId(HWND list, int row);
// The record (anything with an id) whose id the selected row of list carries: found by that id,
// never by the row's index. Null without a selected row or such a record.
template <typename Record>
const Record* SelectedRecord(HWND list, const std::vector<Record>& records) {
    const int64_t id = RowId(list, SelectedRow(list));
    auto it = std::find_if(records.begin(), records.end(),
                           [&](const Record& r) { return static_cast<int64_t>(r.id) == id; });
    return it == records.end() ? nullptr : &*it;
}
// The records whose ids the selected rows carry, in list order (each record once).
template <typename Record>
std::vector<Record> SelectedRecords(HWND list, const std::vector<Record>& records) {
    std::vector<Record> chosen;
    for (int row : SelectedRows(list)) {
        const int64_t id = RowId(list, row);
        auto it = std::find_if(records.begin(), records.end(),
                               [&](const Record& r) { return static_cast<int64_t>(r.id) == id; });
        if (it != records.end()) chosen.push_back(*it);
    }
    return chosen;
}
// Where a context menu of list opens from the keyboard: below the selected row, else the
// list's top-left corner (screen coordinates).
POINT KeyboardMenuPoint(HWND list);

// The selected row's texts joined by five spaces; false (clipboard untouched) without one.
bool CopyRowToClipboard(HWND list, int row);
// Every row's line with CR LF; an empty list puts an empty text on the clipboard.
bool CopyAllToClipboard(HWND list);
// The selected rows, cells split by tabs, one line each with CR LF; false without a selection.
bool CopySelectedRowsToClipboard(HWND list);

// A plain list filled anew (an information panel): one row per line of "label LF value".
void FillInfoList(HWND list, const std::vector<std::wstring>& lines);

// A row as the tool wants it to be.
struct RowContent {
    std::wstring key; // identity (IdentityKey)
    std::vector<std::wstring> texts;
    uint32_t id = 0;
    HICON icon = nullptr; // nullptr: the default row icon
    bool emphasised = false;
    bool dimmed = false; // grey text (a switched-off entry); emphasis wins over it
};

// A list whose rows follow the tool's records. Rows that still match keep their place (so the
// selection and scroll position survive), vanished rows go, new ones are inserted where the
// records put them, and only the texts, icons and ids that changed are written. With a sort
// column set the rows follow its order instead of the records', and with a filter only the
// records holding its text are rows; a kept row keeps its id, selection and focus either way.
class SyncedList {
  public:
    SyncedList() = default;
    // kinds: how each column compares (Text for those not given).
    void Attach(HWND list, HICON defaultIcon, std::vector<ColumnKind> kinds = {});
    HWND Handle() const { return list_; }

    // Brings the rows in step; returns the number of rows written (inserted or changed).
    int Sync(const std::vector<RowContent>& records);
    // Sorts by column (-1: the records' order), shows the header's arrow and rearranges.
    void SetSort(int column, bool descending);
    // A header click: that column ascending, or the other way round when it is already sorted.
    void ToggleSort(int column);
    int SortColumn() const { return sortColumn_; }
    bool SortDescending() const { return descending_; }
    // Rearranges the rows after the filter and the sort (into a tree, say): given the rows in
    // their sorted order, returns each of them once in the order to show. Null: as sorted.
    using Arranger =
        std::function<std::vector<const RowContent*>(const std::vector<const RowContent*>&)>;
    void SetArranger(Arranger arranger);
    // Shows only the records holding text in a cell (ignoring case); "" shows them all.
    void SetFilter(std::wstring_view text);
    const std::wstring& Filter() const { return filter_; }
    size_t ShownCount() const { return rows_.size(); }
    size_t RecordCount() const { return records_.size(); }
    // Whether the row is drawn emphasised (NM_CUSTOMDRAW).
    bool Emphasised(int row) const;
    // Answers the list's NM_CUSTOMDRAW: emphasised rows in colour, dimmed ones grey; true when it
    // handled it.
    bool CustomDraw(LPARAM lParam, LRESULT& result) const;

  private:
    int Show(const std::vector<const RowContent*>& wanted);
    int Arrange();
    bool Reorder(const std::vector<const RowContent*>& wanted);
    int ImageFor(uint32_t id, HICON icon);
    void ReleaseImage(uint32_t id);

    HWND list_ = nullptr;
    UniqueHimagelist images_;
    std::vector<RowContent> rows_;    // the rows as shown
    std::vector<RowContent> records_; // every record of the last Sync, in the tool's order
    std::vector<ColumnKind> kinds_;
    int sortColumn_ = -1;
    bool descending_ = false;
    std::wstring filter_; // lower case
    Arranger arranger_;
    std::map<uint32_t, int> imageOfId_; // image slot of each row's record
    std::vector<int> freeImages_;
};

} // namespace mdr
