#!/usr/bin/env bash
# Installs what is missing, then configures and builds both plug-ins and
# everything around them: Lapwatch-x86.dll in $BUILD_DIR/x86 and
# Lapwatch-x64.dll in $BUILD_DIR/x64 (BUILD_DIR defaults to build/).
# ARCHS="x64" (or "x86") builds one only. Extra arguments go to
# `cmake --build`.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/arch.sh"
"$root/scripts/setup.sh"
build=${BUILD_DIR:-$root/build}
for arch in ${ARCHS:-x86 x64}; do
    configure_arch "$arch" "$build/$arch"
    cmake --build "$build/$arch" -j"$(nproc)" "$@"
done
