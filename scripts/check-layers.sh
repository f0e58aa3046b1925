#!/usr/bin/env bash
# Checks that the plug-in's folders include each other one way only: a
# source may include headers of its own folder and of the folders listed
# before its own in cmake/plugin-layers.txt, never of a folder after it.
# Prints each offending include and fails when there is one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
layers=($(grep '^[a-z]' cmake/plugin-layers.txt))
status=0
for ((i = 0; i < ${#layers[@]}; i++)); do
    layer=${layers[i]}
    allowed=" ${layers[*]:0:i+1} "
    for file in "$layer"/*; do
        [ -f "$file" ] || continue
        while IFS= read -r target; do
            case $target in
                ../*/*) folder=${target#../}; folder=${folder%%/*} ;;
                */*) echo "check-layers: $file includes \"$target\"; use the path from its folder (../folder/file)"; status=1; continue ;;
                *) continue ;;
            esac
            if [[ $allowed != *" $folder "* ]]; then
                echo "check-layers: $file ($layer) includes $target, from a folder above it"
                status=1
            fi
        done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
    done
done
[ $status -eq 0 ] && echo "check-layers: ${layers[*]}: every include runs downwards"
exit $status
