// The findings of a scan as a file an administrator collects from many machines: CSV (RFC 4180,
// UTF-8 with BOM, one row per finding, the last field the date of an earlier fix when the finding
// came back after it) or JSON (one object: computer, date, version, the counts
// per area and the findings). The texts only; writing the file is the caller's.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "mdr/scan/detected_errors.h"

namespace mdr {

struct ReportContext {
    std::wstring computer;
    std::wstring date;                   // ISO 8601, "2026-12-07T18:20:00"
    std::wstring version;                // "1.0.0.1"
    std::vector<std::wstring> areaNames; // the 18 areas in tree order
    std::vector<std::wstring> safety;    // the words for unsafe (0) and safe (1)
};

// One CSV field: quoted when it holds a comma, a quote, CR or LF (a quote doubled).
std::wstring CsvField(std::wstring_view text);
// A JSON string with its quotes: quote, backslash and control characters escaped, and a lone
// surrogate written as \uXXXX so the file stays valid UTF-8.
std::wstring JsonString(std::wstring_view text);

// The whole file as UTF-8 bytes: CSV with its BOM and header line, rows ending in CR LF.
std::string FindingsCsv(const std::vector<DetectedError>& findings, const ReportContext& context);
std::string FindingsJson(const std::vector<DetectedError>& findings, const ReportContext& context);

} // namespace mdr
