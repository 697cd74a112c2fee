#!/bin/sh
# Configures and builds the edition this machine can run (scripts/edition.sh) into $MDR_BUILD,
# after the other edition's install folder (in $MDR_OTHER_BUILD), which the installer carries too.
# The install folder is $MDR_BUILD/dist.
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
sh "$root/scripts/deps.sh"
. "$root/scripts/edition.sh"
# configure <edition> <folder> [cmake options...]; each time, so that a target added to the
# sources since is known before it is asked for by name.
configure() {
    edition=$1 folder=$2
    shift 2
    mkdir -p "$folder"
    cmake -S "$root" -B "$folder" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw$edition.cmake" "$@" >"$folder/configure.log" ||
        { cat "$folder/configure.log"; exit 1; }
}
configure "$MDR_OTHER_EDITION" "$MDR_OTHER_BUILD"
# MDR_OTHER_ALL=1 builds all of it, its tests too, so that both editions keep compiling.
if [ "${MDR_OTHER_ALL:-}" = 1 ]; then other_target=all; else other_target=mdr_dist; fi
cmake --build "$MDR_OTHER_BUILD" -j "$(nproc)" --target "$other_target"
configure "$MDR_EDITION" "$MDR_BUILD" "-DMDR_OTHER_BUILD=$MDR_OTHER_BUILD"
cmake --build "$MDR_BUILD" -j "$(nproc)"
