// What Pellick shows about a process beside its path, as pure functions over numbers and
// memory readers: its share of the processor between two samples, its private memory, which
// listed process is its parent (never a younger one that took over the parent's id), the tree
// the parents make, and its command line as its own memory holds it.
#pragma once

#include <windows.h>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace mdr {

// A process's kernel + user time and when it was read, both in 100 ns units; at 0: no sample.
struct CpuSample {
    uint64_t cpu = 0;
    uint64_t at = 0;
};
// The share of the whole machine between two samples in percent with one decimal ("12.5"); ""
// when either sample is missing or a clock went back.
std::wstring CpuText(const CpuSample& before, const CpuSample& now, unsigned processors);

// The private memory in whole KB with thousands separated ("12,345 K").
std::wstring PrivateMemoryText(uint64_t bytes);

// What ties a process to the one that started it.
struct Lineage {
    DWORD pid = 0;
    DWORD parentPid = 0;
    uint64_t created = 0; // FILETIME, UTC; 0 when unknown
};
// For each process, the index of its parent among them, -1 for none: the one whose id is the
// recorded parent id and that started no later than it. A process that took over the id of an
// ended parent started after the child, so it is not its parent.
std::vector<int> ParentIndexes(const std::vector<Lineage>& processes);

struct TreeRow {
    size_t index;
    int depth; // 0 at the top level
};
// The rows of the tree view: every process once, each followed by its children, depth first.
// Processes without a parent among them are at the top level. siblingOrder: every index once, in
// the order siblings are to be shown.
std::vector<TreeRow> TreeOrder(const std::vector<int>& parents,
                               const std::vector<size_t>& siblingOrder);
// The process at root and every descendant, children before their parents (root last).
std::vector<size_t> TreeChildrenFirst(const std::vector<int>& parents, size_t root);

// Where a process's command line lies in its memory: the process parameters' address in its
// environment block, the command line (a counted string) in them, and the size of an address.
struct PebLayout {
    size_t parameters;
    size_t commandLine;
    size_t pointer;
};
inline constexpr PebLayout kPeb32{0x10, 0x40, 4};
inline constexpr PebLayout kPeb64{0x20, 0x70, 8};
// Reads size bytes at address of the other process into into; false when it cannot.
using MemoryReader = std::function<bool(uint64_t address, void* into, size_t size)>;
// The command line of the process whose environment block is at peb; nothing when any read
// fails or the counted string is malformed.
std::optional<std::wstring> CommandLineAt(uint64_t peb, const PebLayout& layout,
                                          const MemoryReader& read);

} // namespace mdr
