// Runs SetRestorePoint once in its own process, so that the srclient.dll beside it is the one
// loaded. Usage: restore_point_probe <mode> <report file> <language file> <log file>
// The report (UTF-8) holds "result <n>" and one "box <flags>|<title>|<text>" line per message
// box that would have been shown.
#include <windows.h>
#include <shellapi.h>
#include <filesystem>
#include <fstream>
#include <string>

#include "mdr/core/localization.h"
#include "mdr/core/logging.h"
#include "mdr/core/settings.h"
#include "common/text.h"
#include "mdr/repair/message_box.h"
#include "mdr/repair/restore_point.h"

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc != 5) return 2;
    const int mode = _wtoi(argv[1]);
    const std::wstring reportPath = argv[2];
    const std::wstring languagePath = argv[3];
    mdr::Paths().logFile = argv[4];
    LocalFree(argv);

    if (mdr::BeginLogFile(mdr::Paths().logFile, L"restore point probe") != 1) return 3;
    mdr::Settings().CreateLog = 1;
    if (mdr::LoadLanguage(L"", languagePath) != 1) return 4;

    std::wstring report;
    mdr::SetMessagePresenter(
        [&report](std::wstring_view text, std::wstring_view title, UINT flags) {
            report += L"box " + std::to_wstring(flags) + L"|" + std::wstring(title) + L"|" +
                      std::wstring(text) + L"\n";
            return IDOK;
        });
    const int result = mdr::SetRestorePoint(mode);
    report += L"result " + std::to_wstring(result) + L"\n";

    std::ofstream out(std::filesystem::path(reportPath), std::ios::binary);
    out << mdr::ToUtf8(report);
    return out ? 0 : 5;
}
