#!/usr/bin/env bash
# Builds the project and prints the benchmark table (under Wine, behind a
# pseudo-terminal so that the plug-in has a console).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" --target lapwatch_bench >/dev/null
build=${BUILD_DIR:-$root/build}
cd "$build/bin"
"$root/scripts/wine-run.sh" "$build/wine/bench" "$build/bin/lapwatch_bench.exe" | grep -v '^\s*$' | grep '^|'
