#!/bin/sh
# Builds everything and runs every test under Wine in a throwaway prefix (build/wineprefix).
# Extra arguments go to ctest, for example: scripts/test.sh -R scan
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${MDR_BUILD:-$root/build}"
MDR_BUILD="$build" sh "$root/scripts/build.sh"
cd "$build"
ctest --output-on-failure "$@"
