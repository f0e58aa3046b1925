#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz natively with clang (in
# $BUILD_DIR/fuzz; BUILD_DIR defaults to build/) and runs each one on a work
# copy of its seed corpus (in $BUILD_DIR/fuzz-work), after replaying the
# saved regression inputs. Fails on any finding; a finding's input is left
# in $BUILD_DIR/fuzz-work/findings/.
#
#   scripts/fuzz.sh [SECONDS_PER_TARGET]     default 30
#
# Every folder is named after its target: the seeds of fuzz_numbers are in
# tests/fuzz/corpus/fuzz_numbers/, its saved inputs in
# tests/fuzz/regressions/fuzz_numbers/, its work copy and findings in
# $BUILD_DIR/fuzz-work/{corpus,findings,logs}/fuzz_numbers/. A folder below
# corpus/ or regressions/ that names no target is an error, so that no
# saved input is silently left out.
#
# Environment:
#   FUZZ_JOBS=n      parallel fuzzing processes per target, 1 (default) or 2
#   FUZZ_EXECS=n     stop each target after n executions in all (split over
#                    the jobs); SECONDS_PER_TARGET then only caps the time
#   FUZZ_TARGETS="a b"  a subset of the targets (default: all)
#   FUZZ_INPUTS=dir  the folder holding corpus/ and regressions/ (default
#                    tests/fuzz; the script's own test points it elsewhere)
# Installs clang and libFuzzer with apt-get when they are missing (as root).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
jobs=${FUZZ_JOBS:-1}
execs=${FUZZ_EXECS:-}
build=${BUILD_DIR:-$root/build}/fuzz
work=${BUILD_DIR:-$root/build}/fuzz-work
inputs=${FUZZ_INPUTS:-$root/tests/fuzz}
all_targets="fuzz_arguments fuzz_numbers fuzz_clock_text fuzz_first_word"
targets=${FUZZ_TARGETS:-$all_targets}

case $seconds in ''|*[!0-9]*) echo "fuzz: SECONDS_PER_TARGET must be a number" >&2; exit 2;; esac
case $jobs in 1|2) ;; *) echo "fuzz: FUZZ_JOBS must be 1 or 2" >&2; exit 2;; esac
for target in $targets; do
    case " $all_targets " in *" $target "*) ;; *) echo "fuzz: no target $target (targets: $all_targets)" >&2; exit 2;; esac
done
for folder in "$inputs"/corpus/* "$inputs"/regressions/*; do
    [ -e "$folder" ] || continue
    case " $all_targets " in
        *" $(basename "$folder") "*) ;;
        *) echo "fuzz: $folder names no target (targets: $all_targets)" >&2; exit 2 ;;
    esac
done

# Longest input per target: long enough for an 8192-character argument line
# or first word written out in full; a tick count is 8 bytes.
max_len() {
    case $1 in
        fuzz_arguments|fuzz_first_word) echo 12288 ;;
        fuzz_numbers) echo 4096 ;;
        fuzz_clock_text) echo 16 ;;
    esac
}

# clang++ that links -fsanitize=fuzzer (libclang-rt-14-dev on Debian 12).
have_libfuzzer() {
    command -v clang++ >/dev/null 2>&1 && command -v cmake >/dev/null 2>&1 || return 1
    local probe
    probe=$(mktemp -d)
    printf '#include <stdint.h>\n#include <stddef.h>\nextern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }\n' \
        >"$probe/probe.cpp"
    local ok=0
    clang++ -fsanitize=fuzzer,address,undefined "$probe/probe.cpp" -o "$probe/probe" >/dev/null 2>&1 || ok=1
    rm -rf "$probe"
    return $ok
}

if ! have_libfuzzer; then
    if [ "$(id -u)" != 0 ]; then
        echo "fuzz: clang with libFuzzer is missing; run this script as root to install it" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends clang libclang-rt-14-dev cmake make >/dev/null
    have_libfuzzer || { echo "fuzz: clang cannot link -fsanitize=fuzzer" >&2; exit 1; }
fi

CXX=clang++ cmake -S "$root/tests/fuzz" -B "$build" -DCMAKE_BUILD_TYPE= >/dev/null
cmake --build "$build" -j"$jobs" >/dev/null

status=0
report=()
for target in $targets; do
    bin=$build/$target
    [ -x "$bin" ] || { echo "fuzz: no target $target" >&2; exit 2; }

    corpus=$work/corpus/$target
    findings=$work/findings/$target
    logs=$work/logs/$target
    mkdir -p "$corpus" "$findings" "$logs"

    # Saved inputs of earlier findings must pass before anything else.
    regressions=$inputs/regressions/$target
    saved=()
    [ -d "$regressions" ] && saved=("$regressions"/*)
    if [ ${#saved[@]} -gt 0 ] && [ -e "${saved[0]}" ]; then
        if ! "$bin" "${saved[@]}" >"$logs/regressions.log" 2>&1; then
            line="$target: a saved regression input fails (log: $logs/regressions.log)"
            echo "$line"
            report+=("$line")
            status=1
            continue
        fi
        echo "$target: ${#saved[@]} saved input(s) of $regressions replayed, no failure"
    fi
    cp -n "$inputs/corpus/$target"/* "$corpus"/ 2>/dev/null || true
    rm -f "$logs"/fuzz-*.log

    options=(-max_len="$(max_len "$target")" -max_total_time="$seconds" -print_final_stats=1
             -artifact_prefix="$findings/" -jobs="$jobs" -workers="$jobs")
    if [ -n "$execs" ]; then
        options+=(-runs=$(( (execs + jobs - 1) / jobs )))
    fi
    started=$(date +%s)
    touch "$logs/started"    # findings of earlier runs stay, but do not count
    (cd "$logs" && "$bin" "${options[@]}" "$corpus" >"$logs/run.log" 2>&1) || true
    elapsed=$(( $(date +%s) - started ))

    total=$(cat "$logs"/fuzz-*.log | sed -n 's/^stat::number_of_executed_units: *//p' | awk '{s += $1} END {print s + 0}')
    finding=$(find "$findings" -type f -newer "$logs/started")
    if [ -n "$finding" ] || grep -qE 'FUZZ CHECK FAILED|ERROR: (AddressSanitizer|UndefinedBehaviorSanitizer|libFuzzer)|runtime error' "$logs"/fuzz-*.log; then
        line="$target: FINDING after $total executions in ${elapsed}s (inputs in $findings, logs in $logs)"
        status=1
    else
        line="$target: $total executions in ${elapsed}s, no finding"
    fi
    echo "$line"
    report+=("$line")
done

echo
echo "Fuzzing summary (${jobs} job(s) per target):"
printf '  %s\n' "${report[@]}"
exit $status
