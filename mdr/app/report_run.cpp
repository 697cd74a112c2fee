#include "mdr/app/report_run.h"

#include <windows.h>

#include "common/export_text.h"
#include "common/handles.h"
#include "common/ini.h"
#include "common/text.h"
#include "mdr/core/fix_journal.h"
#include "mdr/core/localization.h"
#include "mdr/core/logging.h"
#include "mdr/core/settings.h"
#include "mdr/scan/detected_errors.h"
#include "mdr/scan/engine_state.h"
#include "mdr/scan/findings_report.h"
#include "mdr/scan/headless_view.h"
#include "mdr/scan/scan_thread.h"
#include "mdr/scan/scan_view.h"
#include "mdr/ui/export_list.h"
#include "mdr/ui/ui_logic.h"
#include "version.h"

namespace mdr {

namespace {

volatile LONG g_reportRunning = 0;

int CountReportItem(const std::wstring&) {
    return g_reportRunning ? 1 : 0;
}

std::wstring ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &size) ? std::wstring(name, size) : std::wstring();
}

std::wstring IsoNow() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    wchar_t text[32];
    swprintf(text, 32, L"%04u-%02u-%02uT%02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
             t.wMinute, t.wSecond);
    return text;
}

std::string ReportBytes(const std::wstring& file, const std::vector<DetectedError>& findings) {
    const std::wstring lower = ToLower(file);
    ReportContext context{ComputerName(),
                          IsoNow(),
                          MDR_VERSION_TEXT,
                          {},
                          {LangText(Text::Unsafe), LangText(Text::Safe)}};
    for (int item = 1; item <= kAreaCount; ++item)
        context.areaNames.push_back(AreaTable()[item - 1].name);
    if (lower.ends_with(L".csv")) return FindingsCsv(findings, context);
    if (lower.ends_with(L".json")) return FindingsJson(findings, context);
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return ToUtf8(ErrorListExportText(ExportLabelsFromLanguage(), ExportDateText(now), findings));
}

} // namespace

std::wstring ReportFileFrom(const std::vector<std::wstring>& arguments, bool& present) {
    present = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (Trim(ToLower(arguments[i])) != L"-report") continue;
        present = true;
        return i + 1 < arguments.size() ? Trim(arguments[i + 1]) : std::wstring();
    }
    return L"";
}

void ReportToConsole(std::wstring_view text) {
    HANDLE out = GetStdHandle(STD_ERROR_HANDLE);
    UniqueHandle console;
    if ((!out || out == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        console.reset(CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
        out = console.get();
    }
    if (!out || out == INVALID_HANDLE_VALUE) return;
    const std::wstring line = std::wstring(text) + L"\r\n";
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(out, &mode)) {
        WriteConsoleW(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    } else {
        const std::string bytes = ToUtf8(line);
        WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
}

int RunReport(const std::wstring& file) {
    Log(L"Report to " + file);
    HeadlessScanView view;
    const auto ticks = ParseScanZones(Settings().ScanZonesState);
    for (int item = 1; item <= kAreaCount; ++item)
        view.SetChecked(item, ticks[item - 1]);
    SetProgressCallback(CountReportItem);
    SetErrorReportCallback(ReportDetectedError);
    SetScanDelay(0);
    SetSkipRemovable(Settings().SkipRemovable);
    ClearRecords();
    SetErrorsFound(0);
    LoadFixJournal(Paths().settingsFolder + kFixJournalFile);
    SetScanView(&view);
    InterlockedExchange(&g_reportRunning, 1);
    ScanThread();
    InterlockedExchange(&g_reportRunning, 0);
    SetScanView(nullptr);
    const std::vector<DetectedError> findings = Records();
    // Written whole through a temporary file: a failure leaves no partial report.
    if (!WriteFileReplacing(file, ReportBytes(file, findings))) {
        ReportToConsole(L"MDR: the report " + file + L" could not be written.");
        return kReportNotWritten;
    }
    Log(L"Report written: " + std::to_wstring(findings.size()) + L" findings");
    return findings.empty() ? kReportNothingFound : kReportFindingsWritten;
}

} // namespace mdr
