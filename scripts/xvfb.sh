#!/bin/sh
# Sourced by run.sh and screenshots.sh: start_xvfb <first display number> <WxHxD> starts Xvfb on
# the first free display from that number, exports DISPLAY, sets $xvfb to its process id and
# waits (up to 5 s) until it takes connections. The caller ends it (kill $xvfb) in its own trap.
start_xvfb() {
    n=$1
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 "$2" -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    export DISPLAY=":$n"
    i=0
    while [ ! -e "/tmp/.X11-unix/X$n" ] && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
}
