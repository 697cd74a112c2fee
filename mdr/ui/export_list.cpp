// Export of the error list: report text, save dialog, progress window and the write loop.
#include "mdr/ui/export_list.h"

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "mdr/core/localization.h"
#include "mdr/core/logging.h"
#include "mdr/core/product.h"
#include "mdr/core/program_end.h"
#include "common/handles.h"
#include "common/ini.h"
#include "common/progress_window.h"
#include "common/text.h"
#include "common/trace.h"
#include "common/window.h"
#include "mdr/ui/main_ui.h"
#include "mdr/ui/main_window.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {

namespace {

constexpr wchar_t kCrLf[] = L"\r\n";
constexpr wchar_t kProductLine[] = L"Veltrane Mendora, the registry cleaner by Veltrane";

constexpr wchar_t kProgressClass[] = L"VeltraneMendoraExportProgress";
constexpr int kProgressWidth = 343;
constexpr int kProgressHeight = 64;
constexpr int kProgressLabelId = 250;
constexpr int kProgressBarId = 251;
constexpr DWORD kPauseAfterRecordMs = 100;

// A record field on one line of the report: a line break inside a key or value name (the
// registry allows them) would otherwise break the record's block apart.
std::wstring OneLine(std::wstring_view field) {
    std::wstring out(field);
    for (wchar_t& c : out) {
        if (c == L'\r' || c == L'\n' || c == L'\0') c = L' ';
    }
    return out;
}

void AddLine(std::wstring& text, std::wstring_view line) {
    text += line;
    text += kCrLf;
}

// ---- Progress window -------------------------------------------------------------------------

// Disables owner and shows the progress window over it; false when it could not be made.
bool OpenProgressWindow(ProgressWindow& progress, HWND owner) {
    MDR_HERE();
    const bool made = progress.Open({.className = kProgressClass,
                                     .title = LangText(Text::ExportProgressTitle),
                                     .clientWidth = kProgressWidth,
                                     .clientHeight = kProgressHeight,
                                     .exStyle = 0},
                                    owner) &&
                      progress.AddText(LangText(Text::ExportProgressText), {10, 10, 325, 15},
                                       kProgressLabelId, 0) &&
                      progress.AddBar({10, 35, 325, 20}, kProgressBarId);
    if (made) progress.Show();
    return made;
}

// ---- File ------------------------------------------------------------------------------------

bool WriteText(HANDLE file, std::wstring_view text) {
    const std::string bytes = ToUtf8(text);
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20));
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

std::wstring NowText() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return ExportDateText(t);
}

int MessageTo(HWND owner, Text title, Text text, UINT flags) {
    return MessageBoxW(owner, LangText(text).c_str(), LangText(title).c_str(), flags);
}

// Writes the report under the open progress window; a file that cannot be created or written is
// reported to the user.
void WriteReport(const std::wstring& path, const std::vector<DetectedError>& records,
                 std::wstring_view generatedOn, const ProgressWindow& progress) {
    MDR_HERE();
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        MessageTo(progress.Handle(), Text::ErrorTitle, Text::ExportFileFailed,
                  MB_OK | MB_ICONERROR);
        return;
    }
    const ExportLabels labels = ExportLabelsFromLanguage();
    const std::wstring& statusLabel = LangText(Text::ExportingStatus);
    SetStatusText(0, statusLabel + L" 0%");
    bool written = WriteText(file.get(), ExportHeaderText(labels, generatedOn, records.size()));
    MessagePump pump;
    for (size_t i = 0; written && i < records.size(); ++i) {
        MDR_HERE();
        pump.Drain();
        const double percent = ExportPercent(i, records.size());
        SetStatusText(0, ExportProgressText(statusLabel, percent));
        progress.SetProgress(static_cast<int>(std::lround(percent)));
        written = WriteText(file.get(), ExportRecordText(labels, records[i]));
        pump.Pause(kPauseAfterRecordMs);
    }
    const bool closed = CloseHandle(file.release()) != 0;
    if (!written || !closed) {
        // A report cut short must not pass for the whole list.
        DeleteFileW(path.c_str());
        Log(L"Error list export failed while writing " + path);
        SetStatusText(0, LangText(Text::ExportFileFailed));
        MessageTo(progress.Handle(), Text::ErrorTitle, Text::ExportFileFailed,
                  MB_OK | MB_ICONERROR);
        return;
    }
    SetStatusText(0, LangText(Text::ExportDoneStatus));
    MessageTo(progress.Handle(), Text::ExportDoneTitle, Text::ExportDoneText,
              MB_OK | MB_ICONINFORMATION);
}

} // namespace

// ---- Report text -----------------------------------------------------------------------------

ExportLabels ExportLabelsFromLanguage() {
    ExportLabels l;
    l.root = LangText(Text::RootKeyLabel);
    l.key = LangText(Text::SubkeyLabel);
    l.valueName = LangText(Text::ValueNameLabel);
    l.valueData = LangText(Text::ValueDataLabel);
    l.category = LangText(Text::CategoryLabel);
    l.safety = LangText(Text::SafetyLabel);
    l.safe = LangText(Text::Safe);
    l.unsafe = LangText(Text::Unsafe);
    l.totalErrors = LangText(Text::ExportTotalErrors);
    l.returned = LangText(Text::ReturnedColumn);
    return l;
}

std::wstring ExportHeaderText(const ExportLabels& labels, std::wstring_view generatedOn,
                              size_t recordCount) {
    std::wstring text;
    AddLine(text, ExportSeparator());
    AddLine(text, L"MDR Error List Export");
    AddLine(text, kProductLine);
    AddLine(text, std::wstring(L"Website: ") + kMakerWebAddress);
    AddLine(text, ExportSeparator());
    AddLine(text, L"Generated on: " + std::wstring(generatedOn));
    AddLine(text, ExportSeparator());
    AddLine(text, L"");
    AddLine(text, ReplacePlaceholder(labels.totalErrors, L"$TOTALDETECTEDERRORS$",
                                     std::to_wstring(recordCount)));
    AddLine(text, L"");
    return text;
}

std::wstring ExportRecordText(const ExportLabels& labels, const DetectedError& record) {
    std::wstring text;
    AddLine(text, labels.root + L" " + RootKeyName(record.root));
    AddLine(text, labels.key + L" " + OneLine(record.keyPath));
    AddLine(text, labels.valueName + L" " +
                      (record.valueName.empty() ? L"(Default)" : OneLine(record.valueName)));
    AddLine(text, labels.valueData + L" " +
                      (record.valueData.empty() ? L"n/a" : OneLine(record.valueData)));
    AddLine(text, labels.category + L" " + OneLine(record.category));
    AddLine(text, labels.safety + L" " + (record.safety == 1 ? labels.safe : labels.unsafe));
    // Only an entry that came back after a fix says so; the others keep their nine lines.
    if (!record.fixedBefore.empty()) AddLine(text, labels.returned + L": " + record.fixedBefore);
    AddLine(text, L"");
    AddLine(text, ExportSeparator());
    AddLine(text, L"");
    return text;
}

std::wstring ErrorListExportText(const ExportLabels& labels, std::wstring_view generatedOn,
                                 const std::vector<DetectedError>& records) {
    std::wstring text = ExportHeaderText(labels, generatedOn, records.size());
    for (const DetectedError& record : records)
        text += ExportRecordText(labels, record);
    return text;
}

std::wstring ExportProgressText(std::wstring_view label, double percent) {
    wchar_t buffer[32];
    swprintf(buffer, 32, L"%.2f", percent);
    return std::wstring(label) + L" " + buffer + L"%";
}

// ---- Dialog ----------------------------------------------------------------------------------

int ExportListWindow(const std::wstring& path) {
    MDR_HERE();
    Log(L"ExportListWindow()");
    if (FileSizeOf(path) > 0 && !AskYesNo(Text::ConfirmTitle, Text::FileReplaceQuestion)) return 0;

    // The list as it stands now: the header's count and the blocks that follow stay equal.
    const std::vector<DetectedError> records = Records();
    const std::wstring generatedOn = NowText();
    HWND main = MainWindowHandle();
    ProgressWindow progress;
    if (!OpenProgressWindow(progress, main)) {
        MessageTo(main, Text::ErrorTitle, Text::WindowOpenFailed, MB_OK | MB_ICONERROR);
        EndProgram(1);
    }
    WriteReport(path, records, generatedOn, progress);
    progress.Close();
    Log(L"ExportListWindow() -> retn");
    return 1;
}

void ExportErrorListCommand() {
    MDR_HERE();
    try {
        if (Records().empty()) return;
        using namespace std::string_literals; // the filter's pairs are separated by NULs
        const std::wstring filter =
            L"Text (*.txt)\0*.txt\0"s + LangText(Text::AllFilesFilter) + L" (*.*)\0*.*\0"s;
        // The question about replacing comes after ".txt" has been added, so the dialog does not
        // ask.
        std::wstring file;
        if (!AskFileName(MainWindowHandle(), LangText(Text::ExportItem).c_str(), filter.c_str(),
                         true, OFN_PATHMUSTEXIST, file))
            return;
        ExportListWindow(ExportFileName(file));
    } catch (...) {
        // Nothing may leave the window procedure this runs under.
        Log(L"Error list export stopped by an unexpected error");
    }
}

} // namespace mdr
