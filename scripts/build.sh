#!/bin/sh
# Configures and builds into ${MDR_BUILD:-build}. The install folder is build/dist.
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${MDR_BUILD:-$root/build}"
sh "$root/scripts/deps.sh"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build" -j "$(nproc)"
