#!/usr/bin/env bash
# Shows that the release package is reproducible: clones the current commit
# twice, into two folders of different names, runs scripts/package.sh in
# each, and compares the zips, the DLLs in them and the debug files byte for
# byte. Only committed work takes part. Fails on any difference.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
commit=$(git -C "$root" rev-parse HEAD)
for side in first second-copy; do
    git clone -q --no-hardlinks "$root" "$work/$side"
    git -C "$work/$side" checkout -q "$commit"
    BUILD_DIR=$work/$side/out DIST_DIR=$work/$side/dist "$work/$side/scripts/package.sh" >/dev/null
    mkdir -p "$work/$side/unzipped"
    (cd "$work/$side/unzipped" && unzip -q "$work/$side"/dist/*.zip)
done
status=0
for file in $(cd "$work/first/dist" && ls) $(cd "$work/first/unzipped" && ls | sed 's|^|unzipped/|'); do
    case $file in unzipped/*) a=$work/first/$file; b=$work/second-copy/$file ;;
                  *) a=$work/first/dist/$file; b=$work/second-copy/dist/$file ;; esac
    if cmp -s "$a" "$b"; then
        echo "reproducible: $file  $(sha256sum <"$a" | cut -c1-16)"
    else
        echo "reproducible: $file DIFFERS between the two builds"
        status=1
    fi
done
exit $status
