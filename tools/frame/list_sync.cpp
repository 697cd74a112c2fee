#include "tools/frame/list_sync.h"

#include <unordered_map>
#include <unordered_set>

#include "common/text.h"

namespace mdr {

std::vector<ListSyncStep> PlanListSync(const std::vector<std::wstring>& rowKeys,
                                       const std::vector<std::wstring>& recordKeys) {
    // The target: the first record of each identity, in scan order.
    std::vector<int> target;
    std::unordered_map<std::wstring, int> targetIndex;
    for (int r = 0; r < static_cast<int>(recordKeys.size()); ++r)
        if (targetIndex.emplace(recordKeys[r], static_cast<int>(target.size())).second)
            target.push_back(r);

    // Rows kept: those whose identity is wanted, the first row of it, in an order that agrees
    // with the target (a greedy increasing run; a row out of order is removed and re-inserted).
    std::vector<bool> keep(rowKeys.size(), false);
    std::unordered_set<std::wstring> kept;
    int lastKept = -1;
    for (int row = 0; row < static_cast<int>(rowKeys.size()); ++row) {
        auto it = targetIndex.find(rowKeys[row]);
        if (it == targetIndex.end() || kept.count(rowKeys[row]) || it->second < lastKept) continue;
        kept.insert(rowKeys[row]);
        keep[row] = true;
        lastKept = it->second;
    }

    std::vector<ListSyncStep> steps;
    for (int row = static_cast<int>(rowKeys.size()) - 1; row >= 0; --row)
        if (!keep[row]) steps.push_back({ListSyncStep::Remove, row, -1});
    for (int i = 0; i < static_cast<int>(target.size()); ++i) {
        const bool stays = kept.count(recordKeys[target[i]]) > 0;
        steps.push_back({stays ? ListSyncStep::Keep : ListSyncStep::Insert, i, target[i]});
    }
    return steps;
}

std::wstring IdentityKey(std::initializer_list<std::wstring_view> texts) {
    std::wstring key;
    for (std::wstring_view text : texts) {
        key += ToLower(Trim(text));
        key += L'\x1F'; // a separator no text of a list holds
    }
    return key;
}

} // namespace mdr
