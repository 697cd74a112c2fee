#include "tools/frame/batch_text.h"

#include <algorithm>

namespace mdr {

std::wstring BatchQuestion(std::wstring_view question, const std::vector<std::wstring>& names) {
    std::wstring text(question);
    text += L"\r\n";
    for (size_t i = 0; i < std::min(names.size(), kBatchNamesShown); ++i)
        text += L"\r\n" + names[i];
    if (names.size() > kBatchNamesShown)
        text += L"\r\n... and " + std::to_wstring(names.size() - kBatchNamesShown) + L" more";
    return text;
}

std::wstring BatchReport(std::wstring_view done, std::wstring_view noun,
                         const std::vector<BatchOutcome>& outcomes) {
    const auto succeeded = std::count_if(outcomes.begin(), outcomes.end(),
                                         [](const BatchOutcome& o) { return o.failure.empty(); });
    std::wstring text = std::wstring(done) + L" " + std::to_wstring(succeeded) + L" of " +
                        std::to_wstring(outcomes.size()) + L" " + std::wstring(noun) + L".";
    if (succeeded == static_cast<long>(outcomes.size())) return text;
    text += L"\r\n\r\nFailed:";
    for (const BatchOutcome& outcome : outcomes)
        if (!outcome.failure.empty()) text += L"\r\n" + outcome.name + L": " + outcome.failure;
    return text;
}

} // namespace mdr
