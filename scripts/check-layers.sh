#!/bin/sh
# Fails when a source folder includes a header of a folder above it. Layers from the bottom:
# common, core, scan, repair, ui, toolframe, tools, app.
set -eu
cd "$(dirname "$0")/.."
rank() {
    case "$1" in
        common) echo 0 ;; core) echo 1 ;; scan) echo 2 ;; repair) echo 3 ;; ui) echo 4 ;;
        toolframe) echo 5 ;; tools) echo 6 ;; app) echo 7 ;; *) echo "" ;;
    esac
}
bad=0
for dir in common core scan repair ui toolframe tools app; do
    [ -d "$dir" ] || continue
    own=$(rank "$dir")
    for line in $(grep -rHo '#include "[a-z_]*/' "$dir" --include='*.cpp' --include='*.h' | tr -d ' '); do
        file=${line%%:*}
        target=${line#*#include\"}
        target=${target%/}
        other=$(rank "$target")
        if [ -n "$other" ] && [ "$other" -gt "$own" ]; then
            echo "layer: $file includes $target/"
            bad=1
        fi
    done
done
exit $bad
