#!/usr/bin/env bash
# Builds the project and prints the benchmark table (under Wine, behind a
# pseudo-terminal so that the plug-in has a console).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-w64-mingw32.cmake" >/dev/null
cmake --build "$build" -j"$(nproc)" --target lapwatch_bench >/dev/null
cd "$build/bin"
"$root/scripts/wine-run.sh" "$build/wine/bench" "$build/bin/lapwatch_bench.exe" | grep -v '^\s*$' | grep '^|'
