// The text rules that MDR's error-list export and the tools' listing exports share: the file
// name, the date line, the separator and the progress of the record loop.
#pragma once

#include <windows.h>
#include <string>
#include <string_view>

namespace mdr {

// The name the save dialog returned, completed with ".txt" unless its last four characters,
// lower-cased and trimmed, already are ".txt".
std::wstring ExportFileName(std::wstring_view chosen);
// "yyyy/mm/dd at hh:ii:ss".
std::wstring ExportDateText(const SYSTEMTIME& localTime);
// The separator line: 69 hyphen-minus characters.
std::wstring ExportSeparator();
// Progress after record index (from 0) of count, in percent before rounding.
double ExportPercent(size_t index, size_t count);

} // namespace mdr
