// A synthetic machine for the benchmark: every location the eighteen scan areas walk, filled to
// the size of a real installation, with a few percent of entries broken (files or classes gone).
#pragma once

#include <array>
#include <string>

#include "bench/bench_sandbox.h"

namespace mdr::bench {

struct MachineSize {
    int classes = 10000;
    int interfaces = 20000;
    int uninstall = 500;
    int services = 600;
    int vendors = 3000;
    int mru = 150;        // recent documents; the dialog lists scale with it
    int startup = 30;     // values over the Run keys
    int extensions = 400; // per-user file-type records
    double brokenPercent = 3.0;
    unsigned seed = 20240601;
};

struct MachineStats {
    // Errors the areas should find, by tree item - 1.
    std::array<int, 18> broken{};
    int files = 0;
    int foreignFiles = 0;
    int fileFailures = 0;
};

// Plants the machine below the sandbox's redirected roots; recentFolder and fontsFolder are the
// scan engine's (links and fonts are planted there and removed by the sandbox).
MachineStats BuildMachine(BenchSandbox& box, const MachineSize& size,
                          const std::wstring& recentFolder, const std::wstring& fontsFolder);

} // namespace mdr::bench
