#!/bin/sh
# Installs the Debian packages the build and the tests need, only when some are missing.
set -eu
packages="cmake make g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64-win32 \
binutils-mingw-w64-x86-64 googletest icoutils tango-icon-theme \
wine wine32:i386 wine64 python3 xvfb xauth x11-utils xdotool imagemagick clang-format \
fp-utils libchm-bin nsis zip 7zip"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends $missing
