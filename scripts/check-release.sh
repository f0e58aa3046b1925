#!/usr/bin/env bash
# Checks the release package of the current commit:
#  - reproducible: clones the commit twice, into two folders of different
#    names, runs scripts/package.sh in each, and compares the zips, the DLLs
#    in them and the debug files byte for byte;
#  - working: each stripped DLL of the zip, beside the stand-in shell of its
#    architecture (from $BUILD_DIR/<arch>, which scripts/build.sh makes),
#    loads and answers "lapwatch /??" with its version line, where this
#    machine runs that architecture's Wine;
#  - consistent: tests/scripts/version_test.sh finds one version in
#    CMakeLists.txt, the documents, the tests and the DLLs' resources.
# Only committed work takes part. Fails on any difference or failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/arch.sh"
build=${BUILD_DIR:-$root/build}
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
# Every place that states the version agrees, the zip's DLLs included.
"$work/first/tests/scripts/version_test.sh" "$work/first" "$work/first/unzipped"/Lapwatch-*.dll || status=1
zipname=$(cd "$work/first/dist" && ls Lapwatch-*.zip)
version=${zipname#Lapwatch-}
version=${version%.zip}
for arch in x86 x64; do
    if ! reason=$(wine_probe "$arch"); then
        echo "release: $reason, so the stripped Lapwatch-$arch.dll is not tried"
        continue
    fi
    bin=$build/$arch/wine/release-smoke/bin
    rm -rf "$bin" && mkdir -p "$bin"
    cp "$build/$arch/bin/TakeCmd.dll" "$build/$arch/bin/lapshell.exe" "$work/first/unzipped/Lapwatch-$arch.dll" "$bin/"
    said=$(cd "$bin" && "$root/scripts/wine-run.sh" --arch "$arch" "$build/$arch/wine/release-smoke/prefix" \
        lapshell.exe -c "lapwatch /??" | tr -d '\r')
    if grep -qx $'\t\t\t\tLapwatch  '"$version ($arch)" <<<"$said"; then
        echo "release: the stripped Lapwatch-$arch.dll loads and answers /??"
    else
        echo "release: the stripped Lapwatch-$arch.dll did not answer /?? as expected:"
        echo "$said"
        status=1
    fi
done
exit $status
