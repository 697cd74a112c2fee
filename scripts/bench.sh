#!/bin/sh
# Builds MDRBench and runs it under Wine in a throwaway prefix inside the build folder
# (the same prefix the tests use: do not run it while that folder's tests run).
# Arguments go to MDRBench, for example: scripts/bench.sh --classes 2000 --interfaces 4000
# "scripts/bench.sh --startup [--runs N]" times MDR.exe's start-up with 0 to 100,000 exceptions
# and with a 100,000-key language file instead. The tools' refreshes: "--ostrel" with 1,000 Run
# values and 100 startup-folder shortcuts, "--sevrid" with 300 extra services, "--quorran" with
# 2,000 uninstall entries over every place it reads, one in five with an install folder of 300
# files, and a refresh with nothing changed, "--pellick" with 100
# extra processes and the idle tool's processor use at each refresh speed. "--lists" sorts and
# filters a tool's list of 2,000 rows.
# The scan's reference: "scripts/bench.sh --record-reference" keeps this engine's calls and findings
# in $MDR_BUILD/bench/scan-reference.calls; every later scan run replays them as the fixed floor of
# that engine and checks that its own findings are identical. Record it before changing the engine.
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
sh "$root/scripts/deps.sh"
. "$root/scripts/edition.sh"
build="$MDR_BUILD"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw$MDR_EDITION.cmake"
fi
program=MDRBench
targets="mdr_bench mdr_data"
if [ "${1:-}" = "--startup" ]; then
    shift
    program=MDRStartupBench
    targets="mdr_startup_bench mdr_exe mdr_data"
elif [ "${1:-}" = "--ostrel" ]; then
    shift
    program=MDROstrelBench
    targets="mdr_ostrel_bench"
elif [ "${1:-}" = "--sevrid" ]; then
    shift
    program=MDRSevridBench
    targets="mdr_sevrid_bench"
elif [ "${1:-}" = "--quorran" ]; then
    shift
    program=MDRQuorranBench
    targets="mdr_quorran_bench"
elif [ "${1:-}" = "--lists" ]; then
    shift
    program=MDRListsBench
    targets="mdr_lists_bench"
elif [ "${1:-}" = "--pellick" ]; then
    shift
    program=MDRPellickBench
    targets="mdr_pellick_bench"
fi
reference="$build/bench/scan-reference.calls"
if [ "$program" = MDRBench ]; then
    # The Windows program sees the build folder through drive Z:.
    if [ "${1:-}" = "--record-reference" ]; then
        shift
        set -- --save-reference "Z:$reference" "$@"
    elif [ -f "$reference" ]; then
        set -- --reference "Z:$reference" "$@"
    fi
fi
cmake --build "$build" --target $targets -j 2
sh "$root/scripts/test-env.sh" up "$build"
trap 'sh "$root/scripts/test-env.sh" down "$build" >/dev/null' EXIT INT TERM
. "$build/testenv/env"
"$MDR_WINE" "$build/bench/$program.exe" "$@"
