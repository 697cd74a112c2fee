#include "common/format.h"

#include <algorithm>
#include <charconv>

#include "common/trace.h"

MDR_TRACE_MODULE(Misc);

namespace mdr {

std::wstring FormatByteSize(int64_t size, int decimals) {
    MDR_HERE();
    static constexpr const wchar_t* kUnits[] = {L"B", L"KB", L"MB", L"GB", L"TB", L"PB", L"EB"};

    // The magnitude as unsigned, so that INT64_MIN has one too.
    const uint64_t magnitude =
        size < 0 ? uint64_t{0} - static_cast<uint64_t>(size) : static_cast<uint64_t>(size);
    // The exponent in integers: a logarithm quotient in floating point lands just below the
    // whole number at exact powers (1048576 would read "1024.00 KB").
    int exponent = 0;
    while (exponent < 6 && (magnitude >> (10 * (exponent + 1))) != 0)
        ++exponent;

    std::wstring text = size < 0 ? L"-" : L"";
    if (exponent == 0) {
        text += std::to_wstring(magnitude);
    } else {
        const double scaled =
            static_cast<double>(magnitude) / static_cast<double>(uint64_t{1} << (10 * exponent));
        const int precision = std::clamp(decimals, 0, 20);
        char digits[64];
        const auto result = std::to_chars(digits, digits + sizeof(digits), scaled,
                                          std::chars_format::fixed, precision);
        text.append(digits, result.ptr); // ASCII digits and a point widen one to one
    }
    text += L' ';
    text += kUnits[exponent];
    return text;
}

} // namespace mdr
