#include "tools/frame/tool_layout.h"

#include <shlobj.h>

#include <algorithm>

#include "common/text.h"

namespace mdr {

namespace {

constexpr wchar_t kGroup[] = L"Layout";
constexpr int kMostPixels = 100000; // past any screen: a value beyond is not ours

// Comma-separated whole numbers; empty when any part is not one or lies outside low..high.
std::vector<int> Numbers(const std::wstring& text, int low, int high) {
    std::vector<int> numbers;
    size_t from = 0;
    while (!text.empty() && from <= text.size()) {
        const size_t comma = std::min(text.find(L',', from), text.size());
        const std::wstring part = Trim(std::wstring_view(text).substr(from, comma - from));
        wchar_t* end = nullptr;
        const long value = wcstol(part.c_str(), &end, 10);
        if (part.empty() || *end != L'\0' || value < low || value > high) return {};
        numbers.push_back(static_cast<int>(value));
        from = comma + 1;
    }
    return numbers;
}

std::wstring Joined(const std::vector<int>& numbers) {
    std::wstring text;
    for (size_t i = 0; i < numbers.size(); ++i)
        text += (i ? L"," : L"") + std::to_wstring(numbers[i]);
    return text;
}

} // namespace

ToolLayout ReadToolLayout(const IniFile& ini, int columns) {
    ToolLayout layout;
    const auto place = Numbers(ini.GetString(kGroup, L"Placement"), -kMostPixels, kMostPixels);
    if (place.size() == 5 && place[0] >= 0 && place[0] <= 1 && place[3] > place[1] &&
        place[4] > place[2]) {
        layout.hasPlacement = true;
        layout.maximized = place[0] == 1;
        layout.normal = {place[1], place[2], place[3], place[4]};
    }
    const auto splitter = Numbers(ini.GetString(kGroup, L"Splitter"), 0, kMostPixels);
    if (splitter.size() == 1) layout.splitter = splitter[0];
    if (auto widths = Numbers(ini.GetString(kGroup, L"Widths"), 0, kMostPixels);
        static_cast<int>(widths.size()) == columns)
        layout.widths = widths;
    auto order = Numbers(ini.GetString(kGroup, L"Order"), 0, columns - 1);
    auto sorted = order;
    std::sort(sorted.begin(), sorted.end());
    if (static_cast<int>(order.size()) == columns &&
        std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end())
        layout.order = order;
    const auto sort = Numbers(ini.GetString(kGroup, L"Sort"), -1, columns - 1);
    if (sort.size() == 2 && sort[1] >= 0 && sort[1] <= 1) {
        layout.sortColumn = sort[0];
        layout.descending = sort[0] >= 0 && sort[1] == 1;
    }
    return layout;
}

void WriteToolLayout(IniFile& ini, const ToolLayout& layout) {
    if (layout.hasPlacement)
        ini.Set(kGroup, L"Placement",
                Joined({layout.maximized ? 1 : 0, static_cast<int>(layout.normal.left),
                        static_cast<int>(layout.normal.top), static_cast<int>(layout.normal.right),
                        static_cast<int>(layout.normal.bottom)}));
    if (layout.splitter >= 0) ini.SetInt(kGroup, L"Splitter", layout.splitter);
    ini.Set(kGroup, L"Widths", Joined(layout.widths));
    ini.Set(kGroup, L"Order", Joined(layout.order));
    ini.Set(kGroup, L"Sort", Joined({layout.sortColumn, layout.descending ? 1 : 0}));
}

RECT ClampOntoWorkArea(RECT window, RECT work) {
    const LONG width = std::min(window.right - window.left, work.right - work.left);
    const LONG height = std::min(window.bottom - window.top, work.bottom - work.top);
    const LONG left = std::clamp(window.left, work.left, work.right - width);
    const LONG top = std::clamp(window.top, work.top, work.bottom - height);
    return {left, top, left + width, top + height};
}

std::wstring UserSettingsFolder() {
    // The profile's "Application Data" by name, as MDR builds it, so both use one folder.
    wchar_t profile[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, 0, profile))) return L"";
    std::wstring folder = profile;
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    folder += L"Application Data\\Veltrane\\Veltrane Mendora\\";
    SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    return folder;
}

} // namespace mdr
