// Export of the error list: the save dialog behind the main window's Export command, the text
// report (UTF-8 without BOM, CR LF) written record by record under a small progress window, and
// the pure text steps of that report.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/export_text.h"
#include "mdr/scan/detected_errors.h"

namespace mdr {

// The labels a report is written with, from the language file.
struct ExportLabels {
    std::wstring root;        // Text::RootKeyLabel
    std::wstring key;         // Text::SubkeyLabel
    std::wstring valueName;   // Text::ValueNameLabel
    std::wstring valueData;   // Text::ValueDataLabel
    std::wstring category;    // Text::CategoryLabel
    std::wstring safety;      // Text::SafetyLabel
    std::wstring safe;        // Text::Safe
    std::wstring unsafe;      // Text::Unsafe
    std::wstring totalErrors; // Text::ExportTotalErrors, holding "$TOTALDETECTEDERRORS$"
    std::wstring returned;    // Text::ReturnedColumn
};
ExportLabels ExportLabelsFromLanguage();

// The ten header lines and one record's nine lines, each line ended by CR LF. A field holding
// line breaks has them turned into spaces, so every record keeps its nine lines.
std::wstring ExportHeaderText(const ExportLabels& labels, std::wstring_view generatedOn,
                              size_t recordCount);
std::wstring ExportRecordText(const ExportLabels& labels, const DetectedError& record);
// The whole report: header, then every record in list order.
std::wstring ErrorListExportText(const ExportLabels& labels, std::wstring_view generatedOn,
                                 const std::vector<DetectedError>& records);

// The status-bar text for a progress in percent ("<label> 12.50%").
std::wstring ExportProgressText(std::wstring_view label, double percent);

// Writes the record list to path (already completed with ".txt"), asking first when a non-empty
// file is there. 0 when the user declined to overwrite, 1 otherwise (also after an error the
// user was shown).
int ExportListWindow(const std::wstring& path);

// The main window's Export command: the save dialog, then ExportListWindow. Does nothing while
// the record list is empty.
void ExportErrorListCommand();

} // namespace mdr
