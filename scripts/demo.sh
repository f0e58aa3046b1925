#!/usr/bin/env bash
# Builds the plug-in and the stand-in shell for one architecture, then
# starts the stand-in shell (lapshell.exe) with Lapwatch loaded,
# interactively under Wine, in a Wine prefix of its own
# (build/wine/demo-<arch>, or DEMO_PREFIX).
#
#   scripts/demo.sh [--x86 | --x64] [lapshell options]
#
# Without --x86 or --x64 it takes Lapwatch-x86.dll where this machine runs
# 32-bit programs and Lapwatch-x64.dll otherwise. Other arguments go to
# lapshell.exe, for example
#   scripts/demo.sh --statusbar      the timer on the "status bar" (title)
#   scripts/demo.sh --version 23     an older host version
# Type "exit" or press Ctrl+D on an empty line to leave.
#
# Wine's console draws on a terminal as if it had the screen to itself,
# from the top-left corner on. So once everything is ready, the terminal
# stops echoing (keys typed early are read by the console, not shown by the
# terminal) and is cleared; the shell prints the demo's note itself, and
# the terminal's settings are put back when it ends.
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

echo "demo: building Lapwatch-$arch.dll and the stand-in shell ..." >&2
ARCHS=$arch "$root/scripts/build.sh" >/dev/null
build=${BUILD_DIR:-$root/build}
loader=$(wine_loader "$arch")
export WINEPREFIX=${DEMO_PREFIX:-$build/wine/demo-$arch}
export WINELOADER=$loader
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
[ "$arch" = x64 ] && export WINEARCH=win64
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    echo "demo: preparing the Wine prefix $WINEPREFIX (only the first time) ..." >&2
    "$loader" wineboot.exe -i >/dev/null 2>&1
fi

cd "$build/$arch/bin"
if [ -t 0 ] && [ -t 1 ]; then
    terminal=$(stty -g)
    trap 'stty "$terminal"' EXIT
    stty -echo
    printf '\033[H\033[2J'
fi
status=0
"$loader" lapshell.exe --note "demo: Lapwatch-$arch.dll; type exit to leave" "$@" || status=$?
exit $status
