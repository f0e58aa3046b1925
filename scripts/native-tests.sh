#!/usr/bin/env bash
# Builds the plug-in's text-processing code (number parsing, clock text,
# tokenizer, option scan, first word) and its table-driven tests with the
# machine's own compiler, under AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs them. Build folder: $NATIVE_BUILD_DIR,
# default native/ inside $BUILD_DIR (default: build/). Set CXX to choose the
# compiler (g++ or clang++). Extra arguments go to ctest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
build=${NATIVE_BUILD_DIR:-${BUILD_DIR:-$root/build}/native}
cmake -S "$root/tests/native" -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure "$@"
