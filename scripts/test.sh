#!/usr/bin/env bash
# The test command: builds both plug-ins, then runs every check and test of
# them and says what it skipped and why (docs/dev/testing.md lists the
# steps and the skips). Fails when any step fails, or when no Wine can run
# here. ARCHS="x64" (or "x86") limits the build and the Wine runs to one
# architecture, as with build.sh. Extra arguments go to the Wine runs'
# ctest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/arch.sh"
"$root/scripts/setup.sh"
# Where an architecture's Wine cannot run, its test programs could not run
# either: only its DLL is built (lint reads its compile commands, and the
# release check packages it).
for arch in ${ARCHS:-x86 x64}; do
    if wine_probe "$arch" >/dev/null; then
        ARCHS=$arch "$root/scripts/build.sh"
    else
        ARCHS=$arch "$root/scripts/build.sh" --target lapwatch
    fi
done
build=${BUILD_DIR:-$root/build}

status=0
"$root/tests/scripts/scripts_test.sh" || status=$?
"$root/scripts/check-layers.sh" || status=$?
"$root/scripts/lint.sh" || status=$?
"$root/scripts/native-tests.sh" || status=$?
# The native build with clang as well, where it is installed (scripts/fuzz.sh
# installs it), so that both compilers CONTRIBUTING.md names keep working.
if command -v clang++ >/dev/null; then
    CXX=clang++ NATIVE_BUILD_DIR="$build/native-clang" "$root/scripts/native-tests.sh" || status=$?
else
    echo "test: clang++ is not installed, so the native tests ran with g++ only"
fi

# One line per Wine test program that ran: GoogleTest's own counts, or the
# soaks' summaries.
gtest_summary() {
    local output name ran passed failed
    for output in "$build/$1"/wine/*/output.txt; do
        [ -f "$output" ] || continue
        name=$(basename "$(dirname "$output")")
        ran=$(sed -n 's/^\[==========\] \([0-9]*\) tests\{0,1\} from .* ran.*/\1/p' "$output" | tail -1)
        passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\./\1/p' "$output" | tail -1)
        failed=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\{0,1\}, listed below.*/\1/p' "$output" | tail -1)
        if [ -n "$ran" ]; then
            echo "test: $1 $name: $ran tests ran, ${passed:-0} passed, ${failed:-0} failed"
        else
            echo "test: $1 $name: $(grep -aE '^(screen )?soak: [0-9]' "$output" | tail -1 | tr -d '\r' | sed -E 's/^(screen )?soak: //')"
        fi
    done
}

runnable=0
for arch in ${ARCHS:-x86 x64}; do
    reason=$(wine_probe "$arch") && probe=0 || probe=$?
    case $probe in
        0) runnable=$((runnable + 1)) ;;
        1) echo "test: $reason, so the tests of Lapwatch-$arch.dll are neither built nor run" ;;
        *) echo "test: $reason, so the tests of Lapwatch-$arch.dll cannot run" >&2; status=1 ;;
    esac
    echo "test: Lapwatch-$arch.dll under $(wine_loader "$arch")"
    rm -f "$build/$arch"/wine/*/output.txt
    ctest --test-dir "$build/$arch" --output-on-failure -j"$(nproc)" "$@" || status=1
    gtest_summary "$arch"
    if [ $probe -eq 0 ] && command -v tmux >/dev/null; then
        "$root/tests/e2e/terminal_test.sh" "$arch" || status=1
    elif [ $probe -eq 0 ]; then
        echo "test: tmux is not installed, so the demo of Lapwatch-$arch.dll is not tried in a terminal"
    fi
done
if git -C "$root" rev-parse --verify -q HEAD >/dev/null; then
    "$root/scripts/check-release.sh" || status=1
else
    echo "test: not a git checkout, so the release package is not checked"
fi
if [ $runnable -eq 0 ]; then
    echo "test: no Wine can run on this machine, so no test of either DLL ran" >&2
    status=1
fi
exit $status
