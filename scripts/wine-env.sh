#!/bin/sh
# Runs a Windows program in the test prefix set up by test-env.sh (the emulator of every test).
set -eu
build="${MDR_BUILD_DIR:?MDR_BUILD_DIR not set}"
. "$build/testenv/env"
exec "$MDR_WINE" "$@"
