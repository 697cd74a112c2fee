#!/bin/sh
# What ships from the install folder, as the installer's lines or as the portable zip.
#   package.sh nsh <dist> <out.nsh>   File, shortcut and uninstall lines for mdr.nsi
#   package.sh zip <dist> <out.zip>   the portable archive
# Only the shipped kinds of files are taken: never Backup\ or anything a run left behind.
set -eu
mode=$1
dist=$(cd "$2" && pwd)
out=$3
cd "$dist"
files=$(ls -d MDR.exe MDRSkipMap.dat MDR.chm Localization/*.ini Plugins/*.ini \
    Plugins/Tools/*.exe Plugins/Tools/*.chm 2>/dev/null || true)
for required in MDR.exe MDRSkipMap.dat Localization/English.ini; do
    [ -f "$required" ] || { echo "package.sh: $dist/$required is missing" >&2; exit 1; }
done
case $mode in
nsh)
    tmp="$out.tmp"
    {
        echo "; Generated from the install folder: what the installer copies and the uninstaller removes."
        echo "!macro InstallFiles"
        for dir in "" Localization Plugins Plugins/Tools; do
            echo "$files" | grep -q "^${dir:+$dir/}[^/]*$" || continue
            win=$(echo "$dir" | tr / '\\')
            echo "  SetOutPath \"\$INSTDIR${win:+\\$win}\""
            echo "$files" | grep "^${dir:+$dir/}[^/]*$" | sed "s|.*|  File \"$dist/&\"|"
        done
        echo "!macroend"
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
    rm -f "$out"
    # shellcheck disable=SC2086
    zip -q -X "$out" $files
    ;;
*)
    echo "usage: package.sh nsh|zip <dist> <out>" >&2
    exit 2
    ;;
esac
