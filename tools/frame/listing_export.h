// The text export of a tool's listing: the file name rule, the header block, the progress of
// the record loop, and the clipboard lines of the report lists. The dialogs and the wait window
// that drive it live with the frame's windows.
#pragma once

#include <windows.h>
#include <string>
#include <string_view>
#include <vector>

#include "common/export_text.h"

namespace mdr {

// What differs between the four tools' exports.
struct ToolIdentity {
    const wchar_t* program;    // "Ostrel"
    const wchar_t* title;      // main window title before the first refresh
    const wchar_t* aboutLine;  // "MDR - Ostrel plugin"
    const wchar_t* exportLine; // "MDR Ostrel Export"
    const wchar_t* countLabel; // "Total detected entries: "
    const wchar_t* saveTitle;  // "Save startup listing"
    const wchar_t* helpFile;   // "Ostrel.chm"
    const wchar_t* exitQuestion;
};
extern const ToolIdentity kOstrel;
extern const ToolIdentity kPellick;
extern const ToolIdentity kQuorran;
extern const ToolIdentity kSevrid;

inline constexpr wchar_t kMakerWebsite[] = L"https://www.veltrane.example/mendora";

// The header lines, from the first separator to the empty line after the count.
std::vector<std::wstring> ExportHeaderLines(const ToolIdentity& tool, const SYSTEMTIME& localTime,
                                            size_t recordCount);
// The progress bar's position: ExportPercent rounded to the nearest integer.
int ExportProgressPosition(size_t index, size_t count);
// "Exporting list... 33.33%".
std::wstring ExportProgressText(double percent);
// The lines as the file holds them: UTF-8 without a mark, each ending in CR LF.
std::string ExportBytes(const std::vector<std::wstring>& lines);

// A row's column texts joined by five spaces, without a line break.
std::wstring ClipboardLine(const std::vector<std::wstring>& columns);
// Every row's line, each followed by CR LF ("" for no rows).
std::wstring ClipboardAll(const std::vector<std::vector<std::wstring>>& rows);

} // namespace mdr
