#!/usr/bin/env bash
# Runs clang-tidy (settings in .clang-tidy) over the plug-in's sources, for
# the plug-in's own target: 32-bit Windows with the mingw-w64 headers.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
command -v clang-tidy >/dev/null || { echo "lint: clang-tidy is not installed" >&2; exit 1; }
sources=$(ls plugin/*.cpp timing/*.cpp variables/*.cpp settings/*.cpp)
status=0
for file in $sources; do
    clang-tidy --quiet "$file" -- --target=i686-w64-mingw32 -std=c++20 -fno-exceptions -fno-rtti \
        -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -isystem /usr/i686-w64-mingw32/include -I"$root" \
        2>/dev/null || status=1
done
[ $status -eq 0 ] && echo "lint: clang-tidy clean ($(echo $sources | wc -w) files)"
exit $status
