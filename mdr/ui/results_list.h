// The results list (gadget 0) and the details box (gadget 1): one row per detected error, whose
// check box means "fix this" and whose item data is the record's identifier. The operations run
// on the window's thread; fixing and export use them to walk and remove rows.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <cstdint>
#include <string>

#include "mdr/scan/scan_view.h"

namespace mdr {

int ResultRowCount();
uint32_t ResultRowId(int row);
std::wstring ResultRowText(int row, int column);
bool IsResultRowChecked(int row);
void SetResultRowChecked(int row, bool checked);
// The selected row, or -1.
int SelectedResultRow();
// Removes the row together with its colour; the record itself is the caller's business.
void RemoveResultRow(int row);
// Empties the list (before a scan).
void ClearResultRows();

// Order and filter. A header click sorts by that column, a second one reverses it; the filter
// box shows only the rows with its text in any column, the others kept with their ticks and put
// back when the filter changes. Both wait while a scan fills the list (its rows are counted by
// position) and apply when it ends, so every command sees only the rows shown.
HWND CreateFilterBox(HWND parent);
void SortResultsBy(int column);
void OnResultFilterChanged();
void FocusResultFilter();
void ClearResultFilter();
// Puts every row, shown or filtered out, into the sort's order and the filter's selection.
void ArrangeResultRows();
// "12 of 140 shown" while a filter is set, else "".
std::wstring ResultFilterStatus();
// Every row's colour, shown or filtered out.
void SetAllResultRowColors(COLORREF color);

// The details box.
void SetDetailsText(const std::wstring& text);
// The selected row's description, "No error selected..." without a selected row.
void ShowSelectedDetails();

// The selection operations of the Edit menu and the list's pop-up menu.
void SelectAllErrors();
void SelectSafeErrors();
void SelectUnsafeErrors();
void DeselectAllErrors();
void DeselectSafeErrors();
void DeselectUnsafeErrors();
void InvertSelection();

// Opens the selected row's key and value in the registry editor (information box without a
// selected row).
void OpenSelectedInRegistryEditor();

// Adds the selected row's key to the user's exceptions after asking, and drops the row.
void AddSelectedToExceptions();

// Window side.
HWND CreateResultsList(HWND parent);
HWND CreateDetailsBox(HWND parent);
void AddResultColumns();
bool OnResultsListNotify(NMHDR* hdr, LRESULT* result);
// Behind the scan view: description and safety travel with the row so the window never reads
// the record list while the scan thread is appending to it.
void AppendResultRow(const ResultRow& row, const std::wstring& description);
void SetResultRowColor(int row, COLORREF color);
// The colour a row is drawn with; CLR_NONE for the list's own background.
COLORREF ResultRowColor(int row);
void CheckResultRow(int row);
void SelectResultRow(int row);

} // namespace mdr
