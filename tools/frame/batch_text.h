// The texts of a command run on several rows at once: the one question before and the one report
// after, which says what was done and what failed and why.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mdr {

// question, a blank line and the names, the first kBatchNamesShown of them and "... and N more".
inline constexpr size_t kBatchNamesShown = 10;
std::wstring BatchQuestion(std::wstring_view question, const std::vector<std::wstring>& names);

struct BatchOutcome {
    std::wstring name;
    std::wstring failure; // why it failed; "" when it was done
};
// "<done> <n> of <all> <noun>." and, when any failed, a blank line, "Failed:" and one
// "<name>: <why>" line each.
std::wstring BatchReport(std::wstring_view done, std::wstring_view noun,
                         const std::vector<BatchOutcome>& outcomes);

} // namespace mdr
