// The fix as the main window's command, over the main window's results list, tree and status bar.
#include "mdr/ui/fix_command.h"

#include <exception>

#include "common/text.h"
#include "common/trace.h"
#include "mdr/core/localization.h"
#include "mdr/core/logging.h"
#include "mdr/repair/fix_errors.h"
#include "mdr/repair/message_box.h"
#include "mdr/ui/area_tree.h"
#include "mdr/ui/command_hooks.h"
#include "mdr/ui/main_ui.h"
#include "mdr/ui/main_window.h"
#include "mdr/ui/results_list.h"

MDR_TRACE_MODULE(BackupEngine);

namespace mdr {
namespace {

// Text::FixUnexpectedError; this English text stands in for language files written before it.
constexpr wchar_t kUnexpectedErrorText[] =
    L"Fixing stopped because of an unexpected error. The errors still listed were not fixed.";

class MainWindowView final : public FixView {
  public:
    HWND Window() override { return MainWindowHandle(); }
    int RowCount() override { return ResultRowCount(); }
    uint32_t RowId(int row) override { return ResultRowId(row); }
    bool IsRowChecked(int row) override { return IsResultRowChecked(row); }
    void RemoveRow(int row) override { RemoveResultRow(row); }
    void SetAreaLabel(int item, const std::wstring& text, bool normalIcon) override {
        SetAreaItemText(item, text);
        if (normalIcon) SetAreaItemIcon(item, AreaIcon::Normal);
    }
    void RefreshDetails() override { ShowSelectedDetails(); }
    void SetStatusText(const std::wstring& text) override { ::mdr::SetStatusText(0, text); }
    // Field 3 counts the errors fixed since the list was filled; a scan starts it at 0 again.
    void AddFixedErrors(uint64_t fixed) override { SetErrorsFixedCount(Ui().fixedCount + fixed); }
};

void OnFixCommand() {
    MDR_HERE();
    // The window procedure that runs this must never see an exception.
    try {
        if (Ui().scanning) return;
        FixErrorsWindow();
    } catch (const std::exception& e) {
        Log(L"Fixing stopped by an unexpected error: " + FromUtf8(e.what()));
        ShowMessage(LangTextOr(Text::FixUnexpectedError, kUnexpectedErrorText),
                    LangText(Text::ErrorTitle), MB_OK | MB_ICONERROR);
    } catch (...) {
        Log(L"Fixing stopped by an unexpected error");
        ShowMessage(LangTextOr(Text::FixUnexpectedError, kUnexpectedErrorText),
                    LangText(Text::ErrorTitle), MB_OK | MB_ICONERROR);
    }
}

} // namespace

FixView& MainWindowFixView() {
    static MainWindowView view;
    return view;
}

void RegisterFixCommand() {
    SetCommandHandler(HookedCommand::Fix, OnFixCommand);
}

int FixErrorsWindow() {
    return FixErrorsWindow(MainWindowFixView());
}

} // namespace mdr
