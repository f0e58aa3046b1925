#!/usr/bin/env bash
# Builds the plug-in and the stand-in shell for one architecture, then
# starts the stand-in shell (lapshell.exe) with Lapwatch loaded,
# interactively under Wine, in a Wine prefix of its own
# (build/wine/demo-<arch>).
#
#   scripts/demo.sh [--x86 | --x64] [lapshell options]
#
# Without --x86 or --x64 it takes Lapwatch-x86.dll where this machine runs
# 32-bit programs and Lapwatch-x64.dll otherwise. Other arguments go to
# lapshell.exe, for example
#   scripts/demo.sh --statusbar      the timer on the "status bar" (title)
#   scripts/demo.sh --version 23     an older host version
# Type "exit" or press Ctrl+D on an empty line to leave.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/arch.sh"

arch=
case ${1:-} in
    --x86) arch=x86; shift ;;
    --x64) arch=x64; shift ;;
esac
"$root/scripts/setup.sh"
[ -n "$arch" ] || arch=$(runnable_arch)
if ! reason=$(wine_probe "$arch"); then
    echo "demo: $reason, so Lapwatch-$arch.dll cannot be tried here" >&2
    exit 1
fi

ARCHS=$arch "$root/scripts/build.sh" >/dev/null
build=${BUILD_DIR:-$root/build}
loader=$(wine_loader "$arch")
export WINEPREFIX=$build/wine/demo-$arch
export WINELOADER=$loader
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
[ "$arch" = x64 ] && export WINEARCH=win64
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    echo "demo: preparing the Wine prefix $WINEPREFIX ..." >&2
    "$loader" wineboot.exe -i >/dev/null 2>&1
fi
echo "demo: Lapwatch-$arch.dll in the stand-in shell; type exit to leave" >&2
cd "$build/$arch/bin"
exec "$loader" lapshell.exe "$@"
