#!/usr/bin/env bash
# Runs the soaks of each architecture this machine runs: a long seeded
# stream of random calls into the shipped DLL, with properties checked after
# each call (tests/soak/soak.cpp says which), then a long screen soak, random
# sessions at the prompt played on the console without the plug-in and with
# it, the screens compared (tests/soak/screen_soak.cpp). Prints the soaks'
# lines per architecture; fails on the first failure, naming the seed and the
# call, or the session, that replay it.
#
#   scripts/soak.sh [CALLS] [SEED] [STEPS]
#       default 1000000 calls, seed 20261208, 200000 steps of the screen soak
#   ARCHS="x64" scripts/soak.sh         one architecture only
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/arch.sh"
calls=${1:-1000000}
seed=${2:-20261208}
steps=${3:-200000}
case $calls$seed$steps in *[!0-9]*) echo "soak: CALLS, SEED and STEPS are numbers" >&2; exit 2 ;; esac
"$root/scripts/setup.sh"
build=${BUILD_DIR:-$root/build}
status=0
for arch in ${ARCHS:-x86 x64}; do
    if ! reason=$(wine_probe "$arch"); then
        echo "soak: $reason, so Lapwatch-$arch.dll is not soaked"
        continue
    fi
    ARCHS=$arch "$root/scripts/build.sh" --target lapwatch_soak lapwatch_screen_soak >/dev/null
    rc=0
    said=$(cd "$build/$arch/bin" && "$root/scripts/wine-run.sh" --arch "$arch" "$build/$arch/wine/soak-long" \
        lapwatch_soak.exe --seed "$seed" --calls "$calls") || rc=$?
    grep '^soak:' <<<"${said//$'\r'/}" | sed "s/^soak: /soak: Lapwatch-$arch.dll: /" || echo "soak: Lapwatch-$arch.dll: no result"
    [ $rc -eq 0 ] || status=1
    rc=0
    said=$(cd "$build/$arch/bin" && "$root/scripts/wine-run.sh" --arch "$arch" "$build/$arch/wine/screen-soak-long" \
        lapwatch_screen_soak.exe --seed "$seed" --steps "$steps") || rc=$?
    said=${said//$'\r'/}
    # A failure comes with the failing session's actions, indented below it.
    if [ $rc -eq 0 ]; then
        grep '^screen soak:' <<<"$said" || echo "screen soak: no result"
    else
        grep -E '^(screen soak:|  )' <<<"$said" || echo "screen soak: no result"
    fi | sed "s/^screen soak: /screen soak: Lapwatch-$arch.dll: /"
    [ $rc -eq 0 ] || status=1
done
exit $status
