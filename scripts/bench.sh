#!/usr/bin/env bash
# Builds the benchmark of each architecture that this machine can run and
# prints one table per architecture, headed by the machine and the Wine
# build (under Wine, behind a pseudo-terminal so that the plug-in has a
# console). ARCHS="x64" (or "x86") measures one only.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/arch.sh"
"$root/scripts/setup.sh"
build=${BUILD_DIR:-$root/build}
cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)
for arch in ${ARCHS:-x86 x64}; do
    if ! reason=$(wine_probe "$arch"); then
        echo "bench: $reason, so Lapwatch-$arch.dll is not measured"
        continue
    fi
    ARCHS=$arch "$root/scripts/build.sh" --target lapwatch_bench >/dev/null
    echo
    echo "Lapwatch-$arch.dll: $(nproc) cores of $cpu, $(. /etc/os-release && echo "$PRETTY_NAME"), $("$(wine_loader "$arch")" --version) ($arch)"
    echo
    cd "$build/$arch/bin"
    "$root/scripts/wine-run.sh" --arch "$arch" "$build/$arch/wine/bench" "$build/$arch/bin/lapwatch_bench.exe" | grep '^|'
done
