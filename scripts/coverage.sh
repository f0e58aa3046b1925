#!/usr/bin/env bash
# Measures how much of the plug-in's own code the Wine suite runs: builds a
# copy with gcc's --coverage for the architecture this machine runs (x86
# where it runs 32-bit programs, else x64; ARCH=x64 to choose), runs the
# plug-in tests and the end-to-end tests under Wine, and prints line and
# branch coverage of the plug-in's folders (cmake/plugin-layers.txt) with
# gcovr: not the tests, not the stand-in shell. Fails below the floors:
LINE_FLOOR=95
BRANCH_FLOOR=85
#
#   scripts/coverage.sh          build in $BUILD_DIR/coverage-<arch>; the
#                                HTML report goes to coverage.html there
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/arch.sh"
"$root/scripts/setup.sh"
build=${BUILD_DIR:-$root/build}

arch=${ARCH:-$(runnable_arch)}
if ! reason=$(wine_probe "$arch"); then
    echo "coverage: $reason, so Lapwatch-$arch.dll cannot be measured here" >&2
    exit 1
fi
triple=$(mingw_triple "$arch")
out=$build/coverage-$arch
configure_arch "$arch" "$out" -DCMAKE_BUILD_TYPE=Debug -DLAPWATCH_COVERAGE=ON
cmake --build "$out" -j"$(nproc)" >/dev/null
find "$out" -name '*.gcda' -delete
# One program at a time: the counters of the DLL and of the test program
# are merged into the same files when each process ends.
ctest --test-dir "$out" --output-on-failure -j1 -R '^(plugin|end_to_end)$'

layers=$(grep '^[a-z]' "$root/cmake/plugin-layers.txt")
filters=()
for layer in $layers; do filters+=(--filter "$root/$layer/"); done
gcovr --root "$root" --object-directory "$out" --gcov-executable "$triple-gcov-posix" "${filters[@]}" \
    --exclude-unreachable-branches --exclude-throw-branches \
    --html-details "$out/coverage.html" --print-summary \
    --fail-under-line "$LINE_FLOOR" --fail-under-branch "$BRANCH_FLOOR" --txt "$out/coverage.txt" "$out" ||
    { status=$?; cat "$out/coverage.txt"; echo "coverage: below the floors of $LINE_FLOOR % lines and $BRANCH_FLOOR % branches" >&2; exit $status; }
cat "$out/coverage.txt"
echo "coverage: Lapwatch-$arch.dll at or above $LINE_FLOOR % lines and $BRANCH_FLOOR % branches"
