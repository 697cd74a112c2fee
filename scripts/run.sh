#!/bin/sh
# Builds MDR and starts it under Wine. With no display, it runs on Xvfb and saves a
# screenshot to build/screenshot.png after a few seconds.
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${MDR_BUILD:-$root/build}"
MDR_BUILD="$build" sh "$root/scripts/build.sh"
export WINEPREFIX="${WINEPREFIX:-$build/userprefix}" WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
if [ -n "${DISPLAY:-}" ]; then
    exec wine "$build/dist/MDR.exe" "$@"
fi
n=77
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wineserver -k 2>/dev/null || true' EXIT INT TERM
export DISPLAY=":$n"
sleep 1
wine "$build/dist/MDR.exe" "$@" &
mdr=$!
sleep "${MDR_SCREENSHOT_DELAY:-6}"
import -window root "$build/screenshot.png" && echo "Screenshot: $build/screenshot.png"
wait $mdr || true
