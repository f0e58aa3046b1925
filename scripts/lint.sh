#!/usr/bin/env bash
# Runs clang-tidy (settings in .clang-tidy) over the plug-in's sources (the
# folders of cmake/plugin-layers.txt), once
# for each of the plug-in's targets: 32-bit and 64-bit Windows with the
# mingw-w64 headers. Needs the generated version header of each build, so
# scripts/build.sh runs first. Everything clang-tidy says is shown but its
# count of the warnings it suppressed in system headers.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${BUILD_DIR:-$root/build}
command -v clang-tidy >/dev/null || { echo "lint: clang-tidy is not installed" >&2; exit 1; }
layers=$(grep '^[a-z]' cmake/plugin-layers.txt)
sources=$(for layer in $layers; do ls "$layer"/*.cpp 2>/dev/null || true; done)
header_filter="^$root/($(echo $layers | tr ' ' '|'))/"
status=0
for target in i686-w64-mingw32:x86 x86_64-w64-mingw32:x64; do
    triple=${target%%:*}
    arch=${target##*:}
    generated=$build/$arch/generated
    [ -f "$generated/version.h" ] || { echo "lint: $generated/version.h is missing (run scripts/build.sh)" >&2; exit 1; }
    for file in $sources; do
        said=$(clang-tidy --quiet --header-filter="$header_filter" "$file" -- --target="$triple" -std=c++20 -fno-exceptions -fno-rtti \
            -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -isystem "/usr/$triple/include" \
            -I"$root" -I"$generated" 2>&1) || status=1
        grep -v '^[0-9]* warnings\? generated\.$' <<<"$said" | grep . || true
    done
done
[ $status -eq 0 ] && echo "lint: clang-tidy clean ($(echo $sources | wc -w) files, x86 and x64)"
exit $status
