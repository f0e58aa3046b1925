#!/usr/bin/env bash
# Installs what is missing, then configures and builds everything in
# $BUILD_DIR (default: build/). Extra arguments go to `cmake --build`.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-w64-mingw32.cmake" >/dev/null
cmake --build "$build" -j"$(nproc)" "$@"
