// The wait window and the listing export that runs under it.
#include "tools/frame/wait_window.h"

#include <commctrl.h>
#include <commdlg.h>

#include "common/handles.h"
#include "common/ini.h"
#include "common/text.h"
#include "common/trace.h"
#include "common/window.h"
#include "tools/frame/tool_frame.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {

namespace {

constexpr wchar_t kWaitClass[] = L"VeltraneMendoraToolWait";
constexpr int kWaitTextId = 10;
constexpr int kWaitBarId = 11;

// The save dialog; "" when the user cancelled.
std::wstring AskSaveName(HWND owner, const wchar_t* title) {
    static const wchar_t kFilter[] = L"Text (*.txt)\0*.txt\0All files (*.*)\0*.*\0";
    // The replace question comes after ".txt" has been added, so the dialog does not ask.
    std::wstring file;
    return AskFileName(owner, title, kFilter, true, OFN_PATHMUSTEXIST, file) ? file : L"";
}

} // namespace

WaitWindow::WaitWindow(HWND owner, const std::wstring& title, const std::wstring& text) {
    if (!Open({.className = kWaitClass, .title = title, .clientWidth = 343, .clientHeight = 64},
              owner))
        return;
    AddText(text, {10, 10, 325, 15}, kWaitTextId);
    AddBar({10, 35, 325, 20}, kWaitBarId);
    Show();
}

WaitWindow::WaitWindow(HWND owner, const std::wstring& title, const std::wstring& text,
                       HICON picture) {
    if (!Open({.className = kWaitClass, .title = title, .clientWidth = 333, .clientHeight = 57},
              owner))
        return;
    HWND image = AddControl(Handle(), L"STATIC", L"", SS_ICON, {10, 20, 16, 16}, -1);
    SendMessageW(image, STM_SETICON, reinterpret_cast<WPARAM>(picture), 0);
    AddText(text, {35, 20, 290, 20}, kWaitTextId);
    Show();
}

bool ExportListingCommand(const ListingSource& source, const std::vector<std::wstring>& trailer) {
    const std::wstring chosen = AskSaveName(Frame().Window(), Frame().Identity().saveTitle);
    if (chosen.empty()) return false;
    return WriteListingExport(ExportFileName(chosen), source, trailer);
}

bool WriteListingExport(const std::wstring& file, const ListingSource& source,
                        const std::vector<std::wstring>& trailer) {
    MDR_HERE();
    const ToolFrame& frame = Frame();
    if (source.refuseEmpty && source.count == 0) {
        frame.Message(L"There are no items in the list, exporting cancelled.", kTitleInformation,
                      MB_OK | MB_ICONINFORMATION);
        return false;
    }
    WIN32_FILE_ATTRIBUTE_DATA existing{};
    if (GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &existing) &&
        (existing.nFileSizeLow | existing.nFileSizeHigh) != 0 &&
        frame.Message(L"The file already exists. Would you like to replace it?", kTitleConfirm,
                      MB_YESNO | MB_ICONQUESTION) != IDYES)
        return false;

    WaitWindow wait(frame.Window(), L"Exporting listing...",
                    L"Please wait while the listing is being exported...");
    if (!wait.Opened()) {
        frame.Message(L"Error opening window!", kTitleError, MB_OK | MB_ICONERROR);
        return false;
    }
    SYSTEMTIME now{};
    GetLocalTime(&now);
    // The messages from here on belong to the wait window, which closes after them.
    auto tell = [&](const wchar_t* text, const wchar_t* title, UINT flags) {
        MessageBoxW(wait.Handle(), text, title, flags);
    };
    const bool full = source.status == ExportStatus::Full;
    if (full) frame.SetStatus(ExportProgressText(0.0));
    // Gathered whole, then written to a temporary file that replaces the target in one step: a
    // full disk or a vanished share leaves no half-written listing behind.
    std::string bytes = ExportBytes(ExportHeaderLines(frame.Identity(), now, source.count));
    MessagePump pump;
    for (size_t i = 0; i < source.count; ++i) {
        pump.Drain();
        wait.SetProgress(ExportProgressPosition(i, source.count));
        if (source.status != ExportStatus::None)
            frame.SetStatus(ExportProgressText(ExportPercent(i, source.count)));
        std::vector<std::wstring> lines = source.recordLines(i);
        lines.insert(lines.end(), {L"", ExportSeparator(), L""});
        bytes += ExportBytes(lines);
    }
    if (!trailer.empty()) bytes += ExportBytes(trailer);
    if (!WriteFileReplacing(file, bytes)) {
        tell(L"Could not create the file. It could be blocked by another process.", kTitleError,
             MB_OK | MB_ICONERROR);
        return false;
    }
    if (full) frame.SetStatus(L"The list was exported...");
    tell(L"The list was exported successfully.", L"OK", MB_OK | MB_ICONINFORMATION);
    return true;
}

} // namespace mdr
