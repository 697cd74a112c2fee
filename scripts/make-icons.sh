#!/bin/sh
# Builds the program's 16x16 icon table (and the 32+16 program icon) from the
# public-domain Tango icon theme installed by Debian's tango-icon-theme package.
# Usage: make-icons.sh OUTPUT_DIR
set -eu
out="$1"
tango=/usr/share/icons/Tango
mkdir -p "$out"
# index  source (relative to the theme's size folder)
map='
0 categories/applications-system
1 actions/media-playback-start
2 actions/media-playback-stop
3 actions/go-bottom
4 actions/system-log-out
5 actions/list-add
6 actions/edit-select-all
7 emblems/emblem-favorite
8 status/dialog-warning
9 actions/list-remove
10 actions/view-refresh
11 apps/accessories-text-editor
12 apps/system-software-update
13 devices/drive-harddisk
14 actions/document-save-as
15 actions/edit-undo
16 actions/document-save
17 categories/preferences-system
18 apps/help-browser
19 apps/internet-web-browser
20 status/dialog-information
21 emblems/emblem-readonly
22 actions/view-fullscreen
23 apps/utilities-terminal
24 places/folder
25 status/folder-visiting
26 status/dialog-error
27 devices/computer
28 devices/drive-removable-media
29 categories/preferences-desktop
30 actions/edit-find
31 emblems/emblem-system
32 apps/preferences-desktop-theme
33 actions/edit-clear
'
echo "$map" | while read -r idx src; do
    [ -n "$idx" ] || continue
    png="$tango/16x16/$src.png"
    [ -f "$png" ] || { echo "missing icon source $png" >&2; exit 1; }
    icotool -c -o "$out/icon$idx.ico" "$png"
done
# The program icon: 16 and 32 pixel images of the same picture.
icotool -c -o "$out/app.ico" "$tango/16x16/categories/applications-system.png" \
    "$tango/32x32/categories/applications-system.png"
