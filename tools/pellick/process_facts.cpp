// Pellick's facts about a process: processor share, private memory, parents, tree and command
// line, without any system call.
#include "tools/pellick/process_facts.h"

#include <algorithm>
#include <cwchar>
#include <map>

namespace mdr {

std::wstring CpuText(const CpuSample& before, const CpuSample& now, unsigned processors) {
    if (before.at == 0 || now.at == 0 || now.at <= before.at || now.cpu < before.cpu ||
        processors == 0)
        return L"";
    const double share = static_cast<double>(now.cpu - before.cpu) /
                         (static_cast<double>(now.at - before.at) * processors) * 100.0;
    wchar_t text[16];
    swprintf(text, 16, L"%.1f", std::min(share, 100.0));
    return text;
}

std::wstring PrivateMemoryText(uint64_t bytes) {
    const std::wstring digits = std::to_wstring(bytes / 1024);
    std::wstring text;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) text += L',';
        text += digits[i];
    }
    return text + L" K";
}

std::vector<int> ParentIndexes(const std::vector<Lineage>& processes) {
    std::map<DWORD, int> byPid;
    for (size_t i = 0; i < processes.size(); ++i)
        byPid[processes[i].pid] = static_cast<int>(i);
    std::vector<int> parents(processes.size(), -1);
    for (size_t i = 0; i < processes.size(); ++i) {
        const Lineage& child = processes[i];
        const auto found = byPid.find(child.parentPid);
        if (child.parentPid == child.pid || found == byPid.end()) continue;
        const Lineage& parent = processes[static_cast<size_t>(found->second)];
        if (parent.created != 0 && child.created != 0 && parent.created <= child.created)
            parents[i] = found->second;
    }
    return parents;
}

namespace {

std::vector<std::vector<size_t>> ChildrenOf(const std::vector<int>& parents,
                                            const std::vector<size_t>& order) {
    std::vector<std::vector<size_t>> children(parents.size());
    for (size_t i : order)
        if (parents[i] >= 0) children[static_cast<size_t>(parents[i])].push_back(i);
    return children;
}

} // namespace

std::vector<TreeRow> TreeOrder(const std::vector<int>& parents,
                               const std::vector<size_t>& siblingOrder) {
    const auto children = ChildrenOf(parents, siblingOrder);
    std::vector<TreeRow> rows;
    std::vector<bool> placed(parents.size(), false);
    auto place = [&](size_t root) {
        std::vector<TreeRow> stack{{root, 0}};
        while (!stack.empty()) {
            const TreeRow row = stack.back();
            stack.pop_back();
            if (placed[row.index]) continue;
            placed[row.index] = true;
            rows.push_back(row);
            const auto& kids = children[row.index];
            for (auto it = kids.rbegin(); it != kids.rend(); ++it)
                stack.push_back({*it, row.depth + 1});
        }
    };
    for (size_t i : siblingOrder)
        if (parents[i] < 0) place(i);
    // Parents that name each other (equal start times) have no root; they go to the top level.
    for (size_t i : siblingOrder)
        if (!placed[i]) place(i);
    return rows;
}

std::vector<size_t> TreeChildrenFirst(const std::vector<int>& parents, size_t root) {
    std::vector<size_t> order(parents.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::vector<size_t> top;
    int rootDepth = -1;
    for (const TreeRow& row : TreeOrder(parents, order)) {
        if (row.index == root) {
            rootDepth = row.depth;
        } else if (rootDepth >= 0 && row.depth <= rootDepth) {
            break;
        }
        if (rootDepth >= 0) top.push_back(row.index);
    }
    // Depth first from the root, reversed: every child comes before its parent.
    std::reverse(top.begin(), top.end());
    return top;
}

std::optional<std::wstring> CommandLineAt(uint64_t peb, const PebLayout& layout,
                                          const MemoryReader& read) {
    auto address = [&](uint64_t at) -> std::optional<uint64_t> {
        uint64_t value = 0; // little-endian: a 4-byte address fills the low half
        if (!read(at, &value, layout.pointer)) return std::nullopt;
        return value;
    };
    const auto parameters = address(peb + layout.parameters);
    if (!parameters || *parameters == 0) return std::nullopt;
    const uint64_t counted = *parameters + layout.commandLine;
    USHORT length = 0;
    if (!read(counted, &length, sizeof(length)) || length % 2 != 0) return std::nullopt;
    const auto buffer = address(counted + layout.pointer);
    if (!buffer || (*buffer == 0 && length != 0)) return std::nullopt;
    std::wstring text(length / 2, L'\0');
    if (length != 0 && !read(*buffer, text.data(), length)) return std::nullopt;
    return text;
}

} // namespace mdr
