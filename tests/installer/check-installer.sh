#!/bin/sh
# The installer that ships, looked into without running it: its own code is 32-bit, so that it
# starts on every Windows, and it carries every shipped file of both editions byte for byte.
#   check-installer.sh <MDR-Setup.exe> <dist32> <dist64>
set -u
setup=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
# The machine field of the PE header: 014c is i386.
pe=$(od -An -tu4 -j60 -N4 "$setup" | tr -d ' ')
machine=$(od -An -tx2 -j$((pe + 4)) -N2 "$setup" | tr -d ' ')
[ "$machine" = 014c ] || { echo "FAIL the installer's code is not 32-bit x86 ($machine)"; failed=1; }
# Files of the same name are kept apart (-aou), and compared by content.
7zz x -y -aou -bd -o"$work/out" "$setup" >/dev/null 2>&1
(cd "$work/out" && find . -type f -exec md5sum {} +) | cut -d' ' -f1 | sort -u >"$work/inside"
for dist in "$2" "$3"; do
    count=0
    for file in $(cd "$dist" && ls MDR.exe MDRSkipMap.dat MDR.chm Localization/*.ini Plugins/*.ini \
        Plugins/Tools/*.exe Plugins/Tools/*.chm); do
        sum=$(md5sum "$dist/$file" | cut -d' ' -f1)
        grep -qx "$sum" "$work/inside" || { echo "FAIL $dist/$file is not in the installer"; failed=1; }
        count=$((count + 1))
    done
    echo "$dist: $count files inside"
done
exit $failed
