#include "common/export_text.h"

#include <cwchar>

#include "common/text.h"

namespace mdr {

std::wstring ExportFileName(std::wstring_view chosen) {
    const std::wstring_view tail = chosen.size() >= 4 ? chosen.substr(chosen.size() - 4) : chosen;
    if (Trim(ToLower(tail)) == L".txt") return std::wstring(chosen);
    return std::wstring(chosen) + L".txt";
}

std::wstring ExportDateText(const SYSTEMTIME& t) {
    wchar_t text[40];
    swprintf(text, 40, L"%04u/%02u/%02u at %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
             t.wMinute, t.wSecond);
    return text;
}

std::wstring ExportSeparator() {
    return std::wstring(69, L'-');
}

double ExportPercent(size_t index, size_t count) {
    if (count == 0) return 100.0;
    return static_cast<double>(index + 1) / static_cast<double>(count) * 100.0;
}

} // namespace mdr
