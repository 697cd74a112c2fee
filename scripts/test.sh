#!/bin/sh
# Builds everything and runs every test under Wine in a throwaway prefix ($MDR_BUILD/wineprefix),
# for the edition this machine can run (scripts/edition.sh).
# Extra arguments go to ctest, for example: scripts/test.sh -R scan
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
sh "$root/scripts/build.sh"
. "$root/scripts/edition.sh"
cd "$MDR_BUILD"
ctest --output-on-failure -j2 "$@"
