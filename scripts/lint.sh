#!/usr/bin/env bash
# Runs clang-tidy (settings in .clang-tidy) over the plug-in's sources (the
# folders of cmake/plugin-layers.txt), once for each of the plug-in's
# targets, 32-bit and 64-bit Windows, with the flags each build compiles
# them with (its compile_commands.json), so scripts/build.sh runs first;
# ARCHS="x64" (or "x86") lints one only, as it builds one only.
# Everything clang-tidy says is shown but its count of the warnings it
# suppressed in system headers.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. "$root/scripts/arch.sh"
build=${BUILD_DIR:-$root/build}
command -v clang-tidy >/dev/null || { echo "lint: clang-tidy is not installed" >&2; exit 1; }
layers=$(grep '^[a-z]' cmake/plugin-layers.txt)
sources=$(for layer in $layers; do ls "$root/$layer"/*.cpp 2>/dev/null || true; done)
header_filter="^$root/($(echo $layers | tr ' ' '|'))/"
# One file for one target: what clang-tidy says, but its count of the
# warnings it suppressed. Fails when clang-tidy does.
lint_file() {
    local said status=0
    said=$(clang-tidy --quiet -p "$build/$1" --extra-arg=--target="$(mingw_triple "$1")" \
        --header-filter="$header_filter" "$2" 2>&1) || status=1
    grep -v '^[0-9]* warnings\? generated\.$' <<<"$said" | grep . || true
    return $status
}
export -f lint_file mingw_triple
export build header_filter
status=0
for arch in ${ARCHS:-x86 x64}; do
    database=$build/$arch/compile_commands.json
    [ -f "$database" ] || { echo "lint: $database is missing (run scripts/build.sh)" >&2; exit 1; }
done
# The build's compiler is gcc: clang learns the target from the triple. One
# clang-tidy per core.
for arch in ${ARCHS:-x86 x64}; do
    for file in $sources; do printf '%s %s\n' "$arch" "$file"; done
done | xargs -P "$(nproc)" -n 2 bash -c 'lint_file "$@"' lint || status=1
[ $status -eq 0 ] && echo "lint: clang-tidy clean ($(echo $sources | wc -w) files, x86 and x64)"
exit $status
