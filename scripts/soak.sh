#!/usr/bin/env bash
# Runs the soak of each architecture this machine runs: a long seeded
# stream of random calls into the shipped DLL, with properties checked after
# each call (tests/soak/soak.cpp says which). Prints one line per
# architecture; fails on the first failing call, naming the seed and the
# call that replay it.
#
#   scripts/soak.sh [CALLS] [SEED]      default 1000000 calls, seed 20261208
#   ARCHS="x64" scripts/soak.sh         one architecture only
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/arch.sh"
calls=${1:-1000000}
seed=${2:-20261208}
case $calls$seed in *[!0-9]*) echo "soak: CALLS and SEED are numbers" >&2; exit 2 ;; esac
"$root/scripts/setup.sh"
build=${BUILD_DIR:-$root/build}
status=0
for arch in ${ARCHS:-x86 x64}; do
    if ! reason=$(wine_probe "$arch"); then
        echo "soak: $reason, so Lapwatch-$arch.dll is not soaked"
        continue
    fi
    ARCHS=$arch "$root/scripts/build.sh" --target lapwatch_soak >/dev/null
    rc=0
    said=$(cd "$build/$arch/bin" && "$root/scripts/wine-run.sh" --arch "$arch" "$build/$arch/wine/soak-long" \
        lapwatch_soak.exe --seed "$seed" --calls "$calls") || rc=$?
    grep '^soak:' <<<"${said//$'\r'/}" | sed "s/^soak: /soak: Lapwatch-$arch.dll: /" || echo "soak: Lapwatch-$arch.dll: no result"
    [ $rc -eq 0 ] || status=1
done
exit $status
