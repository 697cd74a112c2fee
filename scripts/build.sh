#!/bin/sh
# Configures and builds the edition this machine can run (scripts/edition.sh) into $MDR_BUILD.
# The install folder is $MDR_BUILD/dist.
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
sh "$root/scripts/deps.sh"
. "$root/scripts/edition.sh"
if [ ! -f "$MDR_BUILD/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$MDR_BUILD" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw$MDR_EDITION.cmake"
fi
cmake --build "$MDR_BUILD" -j "$(nproc)"
