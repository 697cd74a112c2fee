#!/bin/sh
# test-env.sh up|down BUILD_DIR
# up: a fresh Wine prefix of the build's edition (32 or 64 bit, from scripts/edition.sh) under the
#     build tree, a persistent wineserver for it, and Xvfb when no display is set.
# down: ends exactly what up started.
set -eu
action="$1"
build="$(cd "$2" && pwd)"
state="$build/testenv"
prefix="$build/wineprefix"

case "$action" in
up)
    sh "$0" down "$build" >/dev/null 2>&1 || true
    rm -rf "$prefix" "$state"
    mkdir -p "$state"
    display="${DISPLAY:-}"
    if [ -z "$display" ]; then
        n=90
        while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
        # setsid so that ctest does not wait on the server's output.
        setsid Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$state/xvfb.log" 2>&1 </dev/null &
        echo $! >"$state/xvfb.pid"
        display=":$n"
        i=0
        while [ ! -e "/tmp/.X11-unix/X$n" ] && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
    fi
    root="$(cd "$(dirname "$0")/.." && pwd)"
    . "$root/scripts/edition.sh"
    cat >"$state/env" <<ENV
export WINEPREFIX="$prefix"
export WINEARCH=$WINEARCH
export MDR_WINE=$MDR_WINE
export WINELOADER=$MDR_WINE
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export DISPLAY="$display"
ENV
    . "$state/env"
    setsid wineserver -p </dev/null >/dev/null 2>&1 &
    "$MDR_WINE" wineboot -i >"$state/wineboot.log" 2>&1 </dev/null
    # A real 64-bit Windows holds the 32-bit common controls beside the 64-bit ones, so that a
    # program whose manifest names the wrong architecture fails to start. A prefix made where no
    # 32-bit code runs lacks them: add them from Wine's 32-bit library files.
    sxs="$prefix/drive_c/windows/winsxs"
    comctl32=/usr/lib/i386-linux-gnu/wine/i386-windows/comctl32.dll
    if [ "$WINEARCH" = win64 ] && [ -f "$comctl32" ]; then
        for amd64 in "$sxs"/amd64_microsoft.windows.common-controls_*; do
            [ -d "$amd64" ] || continue
            name="$(basename "$amd64")"
            x86="x86_${name#amd64_}"
            [ -d "$sxs/$x86" ] && continue
            mkdir -p "$sxs/$x86"
            cp "$comctl32" "$sxs/$x86/comctl32.dll"
            sed 's/processorArchitecture="amd64"/processorArchitecture="x86"/' \
                "$sxs/manifests/$name.manifest" >"$sxs/manifests/$x86.manifest"
            echo "Added the 32-bit common controls: $x86"
        done
    fi
    # Make sure first-boot work is finished before the first test.
    "$MDR_WINE" cmd /c exit 0 >/dev/null 2>&1 </dev/null || true
    # A first boot can leave two service managers behind (a client that found the first one busy
    # starts another), and services created through one are unknown to the other. Start the
    # prefix once more, cleanly, with one.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    setsid wineserver -p </dev/null >/dev/null 2>&1 &
    "$MDR_WINE" cmd /c exit 0 >/dev/null 2>&1 </dev/null || true
    echo "Wine prefix ready: $prefix (DISPLAY=$display)"
    ;;
down)
    if [ -f "$state/env" ]; then
        . "$state/env"
        wineserver -k >/dev/null 2>&1 || true
        wineserver -w >/dev/null 2>&1 || true
    fi
    if [ -f "$state/xvfb.pid" ]; then
        kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
        rm -f "$state/xvfb.pid"
    fi
    echo "Test environment stopped"
    ;;
*)
    echo "usage: $0 up|down BUILD_DIR" >&2
    exit 2
    ;;
esac
