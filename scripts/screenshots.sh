#!/bin/sh
# Takes the screenshots of the five programs: each is started on its own under Xvfb, in a
# throwaway prefix, and its main window is captured once it has listed.
#   sh scripts/screenshots.sh            English, into docs/screenshots/ (the README's pictures)
#   sh scripts/screenshots.sh Deutsch    German, into $MDR_BUILD/screenshots-Deutsch/, to check
#                                        that no text is cut off
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
language="${1:-English}"
sh "$root/scripts/build.sh" >/dev/null
. "$root/scripts/edition.sh"
dist="$MDR_BUILD/dist"
out="$root/docs/screenshots"
[ "$language" = English ] || out="$MDR_BUILD/screenshots-$language"
mkdir -p "$out"

work="$(mktemp -d)"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
. "$root/scripts/xvfb.sh"
xvfb=""
trap 'wineserver -k 2>/dev/null || true; kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT INT TERM
start_xvfb 91 1024x768x24
"$MDR_WINE" wineboot -i >/dev/null 2>&1
wineserver -w

# Settings as a returning user has them: no first-run backup question, the chosen language.
settings="$WINEPREFIX/drive_c/users/$(id -un)/Application Data/Veltrane/Veltrane Mendora"
mkdir -p "$settings"
printf '[MDRConfig]\r\nCurrentLanguage=Localization\\%s.ini\r\n' "$language" >"$settings/Config.ini"

# Waits up to 60 s for a top-level window whose title starts with $1 and prints its id.
window_titled() {
    i=0
    while [ $i -lt 600 ]; do
        id=$(xwininfo -root -children 2>/dev/null |
            awk -v t="\"$1" 'index($0, t) { print $1; exit }')
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
        i=$((i + 1))
    done
    echo "no window titled \"$1\"" >&2
    return 1
}

# shoot <exe> <title start> <file> [keep]: the window once its title says it has listed; the
# program is ended unless "keep" is given ($id is then its window).
shoot() {
    "$MDR_WINE" "$dist/$1" >/dev/null 2>&1 &
    id=$(window_titled "$2")
    sleep 1 # the last paint after the title changed
    import -window "$id" "$out/$3"
    echo "$out/$3"
    [ "${4:-}" = keep ] || stop
}

stop() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
}

shoot MDR.exe "Veltrane Registry Cleaner" mdr.png
# In German, MDR's own windows too, where longer texts may not fit: Settings, About and the backup
# manager, opened by a click on their toolbar buttons (x positions on the German toolbar).
if [ "$language" = Deutsch ]; then
    for window in settings:405 about:507 backups:167; do
        shoot MDR.exe "Veltrane Registry Cleaner" mdr.png keep
        xdotool mousemove --window "$id" "${window#*:}" 40 click 1
        sleep 2 # the window opening
        import -window root "$out/mdr-${window%:*}.png"
        echo "$out/mdr-${window%:*}.png"
        stop
    done
fi
shoot Plugins/Tools/Ostrel.exe "MDR - Startup manager (" ostrel.png
shoot Plugins/Tools/Pellick.exe "MDR - Process manager (" pellick.png
shoot Plugins/Tools/Quorran.exe "MDR - Uninstall manager (" quorran.png
shoot Plugins/Tools/Sevrid.exe "MDR - Services manager (" sevrid.png
