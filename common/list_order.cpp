#include "common/list_order.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <optional>

#include "common/late_bound.h"
#include "common/text.h"

namespace mdr {

namespace {

using CompareStringExFn = int(WINAPI*)(LPCWSTR, DWORD, LPCWCH, int, LPCWCH, int, LPNLSVERSIONINFO,
                                       LPVOID, LPARAM);

// Windows 7 and later (where CompareStringEx takes digits as numbers); older systems compare
// without.
const LateBound<CompareStringExFn> g_naturalCompare(L"kernel32.dll", "CompareStringEx", kWindows7);

constexpr DWORD kSortDigitsAsNumbers = 0x00000008; // SORT_DIGITSASNUMBERS (Windows 7)

// A decimal number at the start of text after blanks: "12", "9.5"; its end in end.
std::optional<double> LeadingNumber(std::wstring_view text, size_t& end) {
    size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t'))
        ++i;
    double value = 0;
    bool digits = false;
    // A thousands separator stands between groups of three digits ("12,345 K").
    auto separatorAt = [&](size_t j) {
        return j + 3 < text.size() && text[j] == L',' && iswdigit(text[j + 1]) &&
               iswdigit(text[j + 2]) && iswdigit(text[j + 3]) &&
               (j + 4 == text.size() || !iswdigit(text[j + 4]));
    };
    for (; i < text.size() && iswdigit(text[i]); ++i, digits = true) {
        value = value * 10 + (text[i] - L'0');
        if (separatorAt(i + 1)) ++i;
    }
    if (i + 1 < text.size() && text[i] == L'.' && iswdigit(text[i + 1])) {
        double scale = 0.1;
        for (++i; i < text.size() && iswdigit(text[i]); ++i, scale /= 10)
            value += (text[i] - L'0') * scale;
    }
    end = i;
    if (!digits) return std::nullopt;
    return value;
}

std::optional<double> NumberValue(std::wstring_view text) {
    size_t end = 0;
    auto value = LeadingNumber(text, end);
    // A suffix of letters or "%" belongs to the number ("56K", "7%"); other text does not.
    for (; value && end < text.size(); ++end)
        if (!iswalpha(text[end]) && text[end] != L'%' && text[end] != L' ') return std::nullopt;
    return value;
}

std::optional<double> SizeValue(std::wstring_view text) {
    static constexpr std::wstring_view kUnits[] = {L"B", L"KB", L"MB", L"GB", L"TB", L"PB", L"EB"};
    size_t end = 0;
    auto value = LeadingNumber(text, end);
    if (!value) return std::nullopt;
    // A note in brackets after the unit ("2.00 MB (registry)") says where the size came from.
    const std::wstring unit = Trim(text.substr(end, text.find(L'(', end) - end));
    for (size_t u = 0; u < std::size(kUnits); ++u) {
        if (_wcsicmp(unit.c_str(), std::wstring(kUnits[u]).c_str()) != 0) continue;
        for (size_t k = 0; k < u; ++k)
            *value *= 1024;
        return value;
    }
    return std::nullopt;
}

// yyyymmdd of "yyyy/mm/dd" or "dd/mm/yyyy".
std::optional<double> DateValue(std::wstring_view text) {
    const std::wstring trimmed = Trim(text);
    int a = 0, b = 0, c = 0, length = 0;
    if (swscanf(trimmed.c_str(), L"%d/%d/%d%n", &a, &b, &c, &length) != 3 ||
        length != static_cast<int>(trimmed.size()))
        return std::nullopt;
    const bool yearFirst = trimmed.find(L'/') == 4;
    const int year = yearFirst ? a : c, day = yearFirst ? c : a;
    return year * 10000.0 + b * 100.0 + day;
}

std::optional<double> ValueOf(ColumnKind kind, std::wstring_view text) {
    switch (kind) {
    case ColumnKind::Number:
        return NumberValue(text);
    case ColumnKind::Size:
        return SizeValue(text);
    case ColumnKind::Date:
        return DateValue(text);
    case ColumnKind::Text:
        break;
    }
    return std::nullopt;
}

} // namespace

int CompareListText(std::wstring_view a, std::wstring_view b) {
    const int sizeA = static_cast<int>(a.size()), sizeB = static_cast<int>(b.size());
    if (CompareStringExFn compare = g_naturalCompare.get()) {
        const int result = compare(nullptr, NORM_IGNORECASE | kSortDigitsAsNumbers, a.data(), sizeA,
                                   b.data(), sizeB, nullptr, nullptr, 0);
        if (result != 0) return result - CSTR_EQUAL;
    }
    return lstrcmpiW(std::wstring(a).c_str(), std::wstring(b).c_str());
}

int CompareCells(ColumnKind kind, std::wstring_view a, std::wstring_view b) {
    if (kind != ColumnKind::Text) {
        const auto va = ValueOf(kind, a), vb = ValueOf(kind, b);
        if (va && vb) return *va < *vb ? -1 : *va > *vb ? 1 : 0;
        if (va || vb) return va ? -1 : 1;
    }
    return CompareListText(a, b);
}

std::vector<size_t> SortedRowOrder(const std::vector<const std::vector<std::wstring>*>& rows,
                                   size_t column, ColumnKind kind, bool descending) {
    // Each cell's value is worked out once, not once per comparison.
    struct Key {
        std::optional<double> value;
        std::wstring_view text;
    };
    std::vector<Key> keys;
    keys.reserve(rows.size());
    for (const auto* row : rows) {
        std::wstring_view text = column < row->size() ? std::wstring_view((*row)[column]) : L"";
        keys.push_back({kind == ColumnKind::Text ? std::nullopt : ValueOf(kind, text), text});
    }
    std::vector<size_t> order(rows.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) {
        const Key &a = keys[x], &b = keys[y];
        if (kind != ColumnKind::Text && a.value.has_value() != b.value.has_value())
            return a.value.has_value(); // cells without a value last, either way
        int result = a.value && b.value ? (*a.value < *b.value   ? -1
                                           : *a.value > *b.value ? 1
                                                                 : 0)
                                        : CompareListText(a.text, b.text);
        return descending ? result > 0 : result < 0;
    });
    return order;
}

bool RowMatchesFilter(const std::vector<std::wstring>& texts, std::wstring_view lowerFilter) {
    if (lowerFilter.empty()) return true;
    for (const std::wstring& text : texts)
        if (ToLower(text).find(lowerFilter) != std::wstring::npos) return true;
    return false;
}

} // namespace mdr
