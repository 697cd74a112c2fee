// The order and filter of the report lists, shared by MDR's results list and the tools: cells
// compared by what they mean (numbers, sizes and dates by value, text as Explorer sorts it) and
// rows matched against a filter text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mdr {

// What a column shows. Number: a count with an optional suffix and thousands separated by
// commas ("1234", "  812", "56K", "7%", "12,345 K"); Size: "9.50 MB" (units B to EB, powers of
// 1024, a note in brackets after it ignored); Date: "2009/05/17" or "17/05/2009".
enum class ColumnKind { Text, Number, Size, Date };

// Text as Explorer sorts it: digits as numbers where the system can (CompareStringEx with
// SORT_DIGITSASNUMBERS), else lstrcmpiW; case is ignored. <0, 0 or >0.
int CompareListText(std::wstring_view a, std::wstring_view b);
// Two cells of a column of that kind. A cell that holds no value of its kind ("Not available",
// "") comes after every one that does; two such cells compare as text.
int CompareCells(ColumnKind kind, std::wstring_view a, std::wstring_view b);

// The order to show rows in: indexes into rows sorted by column (stable; equal cells keep
// their order), descending when asked, cells without a value last either way.
std::vector<size_t> SortedRowOrder(const std::vector<const std::vector<std::wstring>*>& rows,
                                   size_t column, ColumnKind kind, bool descending);

// Whether any of texts holds filter, ignoring case; an empty filter matches every row.
// lowerFilter is the filter already in lower case (ToLower).
bool RowMatchesFilter(const std::vector<std::wstring>& texts, std::wstring_view lowerFilter);

} // namespace mdr
