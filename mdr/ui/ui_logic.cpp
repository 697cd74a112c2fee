#include "mdr/ui/ui_logic.h"

#include <algorithm>

#include "common/text.h"
#include "common/trace.h"

MDR_TRACE_MODULE(MDR);

namespace mdr {

namespace {

void AppendUnit(std::wstring& out, int64_t n, std::wstring_view one, std::wstring_view many) {
    out += std::to_wstring(n);
    out += L' ';
    out += (n == 1) ? one : many;
    out += L' ';
}

} // namespace

std::wstring FormatDuration(int64_t elapsed, std::wstring_view hour, std::wstring_view hours,
                            std::wstring_view minute, std::wstring_view minutes,
                            std::wstring_view second, std::wstring_view seconds) {
    const int64_t s = elapsed % 60;
    const int64_t m = (elapsed % 3600) / 60;
    const int64_t h = (elapsed % 216000) / 3600;
    std::wstring text;
    if (h != 0) AppendUnit(text, h, hour, hours);
    if (m != 0) AppendUnit(text, m, minute, minutes);
    AppendUnit(text, s, second, seconds);
    return Trim(text);
}

std::array<int, 4> StatusPartEdges(int width) {
    const int half = width / 2;
    const int third = half / 3;
    return {half, half + third, half + 2 * third, half + 3 * third};
}

std::array<int, 4> InitialStatusPartEdges() {
    return {300, 375, 450, 525};
}

std::array<bool, 18> ParseScanZones(std::wstring_view text) {
    std::array<bool, 18> ticked{};
    const std::vector<std::wstring> fields = Split(text, L',');
    for (size_t i = 0; i < ticked.size() && i < fields.size(); ++i)
        ticked[i] = fields[i] == L"1";
    return ticked;
}

std::wstring FormatScanZones(const std::array<bool, 18>& ticked) {
    std::wstring text;
    for (size_t i = 0; i < ticked.size(); ++i) {
        if (i) text += L',';
        text += ticked[i] ? L'1' : L'0';
    }
    return text;
}

std::wstring MenuItemText(std::wstring_view caption, std::wstring_view shortcut) {
    std::wstring text(caption);
    if (!shortcut.empty()) {
        text += L'\t';
        text += shortcut;
    }
    return text;
}

unsigned NotifyIconDataSize(int osCode) {
    if (osCode >= 70) return 956;
    if (osCode >= 60) return 952;
    if (osCode >= 50) return 936;
    return 152;
}

} // namespace mdr
