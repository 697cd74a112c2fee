// The optional diagnostic log MDRLog.log: UTF-8, CR LF, one open-append-close per line.
#pragma once

#include <string>
#include <string_view>

namespace mdr {

// Appends a run header ("<<< header >>>" between blank lines), creating the file when missing.
// 1 when written, -1 when the file could not be opened.
int BeginLogFile(const std::wstring& path, std::wstring_view header);

// Appends one dated line ("" writes a blank line). -1 when the file is missing or unopenable:
// it never recreates a deleted log.
int WriteLog(const std::wstring& path, std::wstring_view text);

// Writes to the program's log only when CreateLog is 1 (the usual caller's test, in one place).
void Log(std::wstring_view text);

// The dated line as written to the file, without the line end (pure, for tests).
std::wstring FormatLogLine(std::wstring_view text, int day, int month, int year, int hour,
                           int minute, int second);

} // namespace mdr
