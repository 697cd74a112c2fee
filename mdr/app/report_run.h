// MDR.exe -report <file>: the start-up checks, a scan of the saved areas with the saved
// exceptions and no window at all, the findings written to file (CSV, JSON or the export text,
// by its extension), then the end. It never fixes anything.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mdr {

// The exit codes of a report run, for scripts.
enum ReportExit : int {
    kReportNothingFound = 0,    // the file lists no finding
    kReportFindingsWritten = 1, // the file lists the findings
    kReportUsage = 2,           // "-report" without a file
    kReportRefused = 3,         // a start-up check refused (the reason on standard error)
    kReportNotWritten = 4,      // the file could not be written (no partial file is left)
};

// The file after "-report" in the arguments; empty when there is none. present tells whether
// "-report" was given at all.
std::wstring ReportFileFrom(const std::vector<std::wstring>& arguments, bool& present);

// Writes text to standard error, or to the console of the program that started this one.
void ReportToConsole(std::wstring_view text);

// Scans and writes the report; returns its ReportExit.
int RunReport(const std::wstring& file);

} // namespace mdr
