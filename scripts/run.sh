#!/bin/sh
# Builds MDR and starts it under Wine (prefix $MDR_BUILD/userprefix; the edition and build folder
# come from scripts/edition.sh). On a display it runs until you close it. With no display, it runs
# on Xvfb, saves a screenshot to $MDR_BUILD/screenshot.png after a few seconds
# (MDR_SCREENSHOT_DELAY) and then ends the program.
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
sh "$root/scripts/build.sh"
. "$root/scripts/edition.sh"
build="$MDR_BUILD"
export WINEPREFIX="${WINEPREFIX:-$build/userprefix}" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

if [ -n "${DISPLAY:-}" ]; then
    [ -d "$WINEPREFIX" ] || { "$MDR_WINE" wineboot -i >/dev/null 2>&1; wineserver -w; }
    exec "$MDR_WINE" "$build/dist/MDR.exe" "$@"
fi

. "$root/scripts/xvfb.sh"
xvfb=""
trap 'wineserver -k 2>/dev/null || true; kill $xvfb 2>/dev/null || true' EXIT INT TERM
start_xvfb 77 1280x1024x24
# The Wine server must start with the display in place, so the prefix is made here.
if [ ! -d "$WINEPREFIX" ]; then
    "$MDR_WINE" wineboot -i >/dev/null 2>&1
    wineserver -w
fi
"$MDR_WINE" "$build/dist/MDR.exe" "$@" &
sleep "${MDR_SCREENSHOT_DELAY:-8}"
import -window root "$build/screenshot.png" && echo "Screenshot: $build/screenshot.png"
