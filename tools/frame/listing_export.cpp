#include "tools/frame/listing_export.h"

#include <cmath>
#include <cwchar>

#include "common/text.h"
#include "version.h"

namespace mdr {

const ToolIdentity kOstrel = {L"Ostrel",
                              L"MDR - Startup manager",
                              L"MDR - Ostrel plugin",
                              L"MDR Ostrel Export",
                              L"Total detected entries: ",
                              L"Save startup listing",
                              L"Ostrel.chm",
                              L"Would you like to exit MDR Ostrel?"};
const ToolIdentity kPellick = {L"Pellick",
                               L"MDR - Process manager",
                               L"MDR - Pellick plugin",
                               L"MDR Pellick Export",
                               L"Total detected processes: ",
                               L"Save process listing",
                               L"Pellick.chm",
                               L"Would you like to exit MDR Pellick?"};
const ToolIdentity kQuorran = {L"Quorran",
                               L"MDR - Uninstall manager",
                               L"MDR - Quorran plugin",
                               L"MDR Quorran Export",
                               L"Total detected entries: ",
                               L"Save uninstall listing",
                               L"Quorran.chm",
                               L"Would you like to exit MDR Quorran?"};
const ToolIdentity kSevrid = {L"Sevrid",
                              L"MDR - Services manager",
                              L"MDR - Sevrid plugin",
                              L"MDR Sevrid Export",
                              L"Total detected services: ",
                              L"Save services listing",
                              L"Sevrid.chm",
                              L"Would you like to exit MDR Sevrid?"};

std::vector<std::wstring> ExportHeaderLines(const ToolIdentity& tool, const SYSTEMTIME& localTime,
                                            size_t recordCount) {
    return {ExportSeparator(),
            tool.exportLine,
            std::wstring(L"Veltrane Mendora ") + MDR_VERSION_TEXT,
            std::wstring(L"Website: ") + kMakerWebsite,
            ExportSeparator(),
            L"Generated on: " + ExportDateText(localTime),
            ExportSeparator(),
            L"",
            tool.countLabel + std::to_wstring(recordCount),
            L""};
}

int ExportProgressPosition(size_t index, size_t count) {
    return static_cast<int>(std::lround(ExportPercent(index, count)));
}

std::wstring ExportProgressText(double percent) {
    wchar_t text[48];
    swprintf(text, 48, L"Exporting list... %.2f%%", percent);
    return text;
}

std::string ExportBytes(const std::vector<std::wstring>& lines) {
    std::string bytes;
    for (const std::wstring& line : lines)
        bytes += ToUtf8(line) + "\r\n";
    return bytes;
}

std::wstring ClipboardLine(const std::vector<std::wstring>& columns) {
    std::wstring line;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) line += L"     ";
        line += columns[i];
    }
    return line;
}

std::wstring ClipboardAll(const std::vector<std::vector<std::wstring>>& rows) {
    std::wstring text;
    for (const auto& row : rows)
        text += ClipboardLine(row) + L"\r\n";
    return text;
}

} // namespace mdr
