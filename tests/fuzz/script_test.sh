#!/usr/bin/env bash
# scripts/fuzz.sh finds its saved inputs where docs/dev/fuzzing.md says: a file in
# regressions/<target>/ is replayed before the target runs, a folder that
# names no target (such as regressions/numbers/) stops the script before it
# builds anything, and so does a target name that does not exist. The saved
# inputs and seeds live in a temporary folder (FUZZ_INPUTS), so the source
# tree is never written.
#
#   tests/fuzz/script_test.sh
#
# Exit status 0 passed, 1 failed. Builds the fuzz targets in $BUILD_DIR/fuzz
# (default build/) like scripts/fuzz.sh itself, and fuzzes fuzz_numbers for
# a few hundred executions.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
fuzz=$root/scripts/fuzz.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() { echo "fuzz script test: FAILED: $*"; failures=$((failures + 1)); }

# run NAME INPUTS [VAR=VALUE ...]: scripts/fuzz.sh 1 with the inputs of
# folder INPUTS; leaves the exit code in $rc, the output in $work/NAME.out.
run() {
    local name=$1 inputs=$2
    shift 2
    env FUZZ_INPUTS="$inputs" FUZZ_TARGETS=fuzz_numbers FUZZ_EXECS=200 "$@" "$fuzz" 1 >"$work/$name.out" 2>&1
    rc=$?
}

expect_output() {
    local name=$1 text=$2
    grep -qF -- "$text" "$work/$name.out" || fail "$name: no line with '$text' in:"$'\n'"$(cat "$work/$name.out")"
}

# Inputs laid out as docs/dev/fuzzing.md says, with one saved input of fuzz_numbers.
good=$work/good
mkdir -p "$good/corpus/fuzz_numbers" "$good/regressions/fuzz_numbers"
cp "$root/tests/fuzz/corpus/fuzz_numbers"/* "$good/corpus/fuzz_numbers/"
printf '0x7FFFFFFF' >"$good/regressions/fuzz_numbers/saved-input"

replay_log=${BUILD_DIR:-$root/build}/fuzz-work/logs/fuzz_numbers/regressions.log
rm -f "$replay_log"
run replayed "$good"
[ $rc -eq 0 ] || fail "replayed: exit code $rc, expected 0"
expect_output replayed "fuzz_numbers: 1 saved input(s) of $good/regressions/fuzz_numbers replayed, no failure"
grep -qE '^fuzz_numbers: [0-9]+ executions in [0-9]+s, no finding$' "$work/replayed.out" ||
    fail "replayed: the target did not run after the replay"
grep -qF "Executed $good/regressions/fuzz_numbers/saved-input" "$replay_log" 2>/dev/null ||
    fail "replayed: $replay_log does not show the saved input executed"

# The same input under the target's name without its prefix.
for folder in regressions/numbers corpus/numbers; do
    name=${folder//\//-}
    stray=$work/$name
    mkdir -p "$stray/$folder"
    cp "$good/regressions/fuzz_numbers/saved-input" "$stray/$folder/"
    run "$name" "$stray"
    [ $rc -eq 2 ] || fail "$name: exit code $rc, expected 2"
    expect_output "$name" "fuzz: $stray/$folder names no target"
done

run unknown-target "$good" FUZZ_TARGETS=numbers
[ $rc -eq 2 ] || fail "unknown-target: exit code $rc, expected 2"
expect_output unknown-target "fuzz: no target numbers"

if [ $failures -eq 0 ]; then
    echo "fuzz script test: passed"
    exit 0
fi
exit 1
