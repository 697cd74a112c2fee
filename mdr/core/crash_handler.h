// The crash handler: catches any unhandled fault of any thread, shows the six-line report in the
// "Veltrane Mendora Error Log" window (message box when that cannot open) and ends the process
// with the fault's code as exit code.
#pragma once

#include <windows.h>
#include <string>
#include <string_view>

namespace mdr {

// Gadget numbers of the crash window (its own numbering).
constexpr int kCrashTextId = 1;
constexpr int kCrashReportId = 2;
constexpr int kCrashCopyId = 3;
constexpr int kCrashQuitId = 4;
constexpr wchar_t kCrashWindowTitle[] = L"Veltrane Mendora Error Log";

// The description of an exception code ("Unknown error code" for codes not in the table).
std::wstring FaultDescription(DWORD exceptionCode);

// The six report lines, each ended by CR LF. module may be empty (no point recorded). Pure.
std::wstring FormatCrashReport(DWORD exceptionCode, const SYSTEMTIME& when,
                               std::wstring_view versionText, int osCode, std::wstring_view module,
                               int line);

// The text above the report, naming the support address.
std::wstring CrashIntroText();

// The code reported (and the exit code) when the C++ runtime terminates the program, for
// example on an exception nobody caught.
constexpr DWORD kCppTerminationCode = 0xE0000003;

// Installs the handler for every thread of the process (SetUnhandledExceptionFilter), and for
// C++ termination (std::set_terminate).
void InstallCrashHandler();

} // namespace mdr
