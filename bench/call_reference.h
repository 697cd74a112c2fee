// A recorded scan kept on disk as the fixed reference of later benchmark runs: its registry and
// file calls (replayed as the reference floor) and what that scan found (to check that a changed
// engine still examines the same items and finds the same errors, in the same order).
#pragma once

#include <string>
#include <vector>

#include "bench/call_replay.h"
#include "bench/synthetic_machine.h"

namespace mdr::bench {

struct ScanOutcome {
    unsigned long long items = 0;
    unsigned long long itemsHash = 0; // of every examined item's text, in order
    std::vector<int> areaErrors;      // by tree item - 1
    std::vector<std::wstring> findings;
};

struct Reference {
    MachineSize size;
    std::wstring tag; // "MDRBench-<process id>", in the planted names and paths
    ScanOutcome outcome;
    Recording calls;
};

// The planted names carry the recording process's id; a text with it replaced by a fixed word
// compares across runs.
std::wstring WithoutTag(std::wstring_view text, std::wstring_view tag);

bool SaveReference(const std::wstring& path, const Reference& reference);
// Loads a reference and rewrites its calls for this run's tag; false with a reason otherwise.
bool LoadReference(const std::wstring& path, const std::wstring& tag, Reference& reference,
                   std::string& why);
// Whether two runs were made on the same synthetic machine.
bool SameMachine(const MachineSize& a, const MachineSize& b);

} // namespace mdr::bench
