#!/bin/sh
# Unpacks each compiled help file: every topic of its table of contents must be inside, and no
# link of a page may point at a page that is not.
set -u
dist=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
for chm in "$dist/MDR.chm" "$dist/Plugins/Tools/Ostrel.chm" "$dist/Plugins/Tools/Pellick.chm" \
    "$dist/Plugins/Tools/Quorran.chm" "$dist/Plugins/Tools/Sevrid.chm"; do
    name=$(basename "$chm" .chm)
    out="$work/$name"
    if ! extract_chmLib "$chm" "$out" >/dev/null 2>&1 || [ ! -f "$out/$name.hhc" ]; then
        echo "FAIL $chm: cannot be unpacked or has no table of contents"
        failed=1
        continue
    fi
    topics=$(grep -o 'name="Local" value="[^"]*"' "$out/$name.hhc" | sed 's/.*value="//; s/"$//')
    [ -n "$topics" ] || { echo "FAIL $name: empty table of contents"; failed=1; }
    links=$(cd "$out" && for page in *.htm; do
        grep -o 'href="[^"]*"' "$page" | sed 's/href="//; s/"$//; s/#.*//' | grep -v '^[a-z]*:' |
            grep -v '^$' | sed "s|^|$page -> |"
    done)
    for topic in $topics; do
        [ -f "$out/$topic" ] || { echo "FAIL $name: topic $topic is missing"; failed=1; }
    done
    echo "$links" | while read -r page arrow target; do
        [ -z "$target" ] || [ -f "$out/$target" ] || echo "FAIL $name: $page links to missing $target"
    done | grep . && failed=1
    echo "$name.chm: $(echo "$topics" | wc -l) topics, $(echo "$links" | grep -c .) links"
done
exit $failed
