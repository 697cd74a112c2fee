#!/bin/sh
# What ships from the install folder, as the installer's lines or as the portable zip.
#   package.sh nsh <dist32> <dist64> <out.nsh>   File lines of each edition, shortcut and
#                                                uninstall lines for mdr.nsi
#   package.sh zip <dist> <out.zip>              the portable archive of one edition
# Only the shipped kinds of files are taken: never Backup\ or anything a run left behind.
set -eu
mode=$1
# The shipped files of an install folder, relative to it, one per line.
shipped_files() {
    (
        cd "$1"
        for required in MDR.exe MDRSkipMap.dat Localization/English.ini; do
            [ -f "$required" ] || { echo "package.sh: $1/$required is missing" >&2; exit 1; }
        done
        ls -d MDR.exe MDRSkipMap.dat MDR.chm Localization/*.ini Plugins/*.ini \
            Plugins/Tools/*.exe Plugins/Tools/*.chm 2>/dev/null || true
    )
}
# The File lines of one edition, under the macro InstallFiles<edition>.
install_macro() {
    dist=$(cd "$2" && pwd)
    files=$(shipped_files "$dist")
    echo "!macro InstallFiles$1"
    for dir in "" Localization Plugins Plugins/Tools; do
        echo "$files" | grep -q "^${dir:+$dir/}[^/]*$" || continue
        win=$(echo "$dir" | tr / '\\')
        echo "  SetOutPath \"\$INSTDIR${win:+\\$win}\""
        echo "$files" | grep "^${dir:+$dir/}[^/]*$" | sed "s|.*|  File \"$dist/&\"|"
    done
    echo "!macroend"
}
case $mode in
nsh)
    [ $# -eq 4 ] || { echo "usage: package.sh nsh <dist32> <dist64> <out.nsh>" >&2; exit 2; }
    out=$4
    # Both editions ship the same names; the uninstaller removes every name either one has.
    files=$( (shipped_files "$2" && shipped_files "$3") | sort -u)
    tmp="$out.tmp"
    {
        echo "; Generated from the install folders: what the installer copies and the uninstaller removes."
        install_macro 32 "$2"
        install_macro 64 "$3"
        echo "!macro ToolShortcuts"
        for exe in $(echo "$files" | grep '^Plugins/Tools/.*\.exe$'); do
            name=$(basename "$exe" .exe)
            echo "  CreateShortCut \"\$SMPROGRAMS\\Veltrane Mendora\\$name.lnk\" \"\$INSTDIR\\Plugins\\Tools\\$name.exe\""
        done
        echo "!macroend"
        echo "!macro RemoveFiles"
        echo "$files" | tr / '\\' | sed 's|.*|  Delete "$INSTDIR\\&"|'
        for exe in $(echo "$files" | grep '^Plugins/Tools/.*\.exe$'); do
            echo "  Delete \"\$SMPROGRAMS\\Veltrane Mendora\\$(basename "$exe" .exe).lnk\""
        done
        echo "!macroend"
    } > "$tmp"
    mv "$tmp" "$out"
    ;;
zip)
    dist=$(cd "$2" && pwd)
    out=$3
    files=$(shipped_files "$dist")
    rm -f "$out"
    # shellcheck disable=SC2086
    (cd "$dist" && zip -q -X "$out" $files)
    ;;
*)
    echo "usage: package.sh nsh <dist32> <dist64> <out.nsh> | zip <dist> <out.zip>" >&2
    exit 2
    ;;
esac
