#!/usr/bin/env bash
# Builds everything, then starts the stand-in shell (lapshell.exe) with the
# Lapwatch plug-in interactively under Wine, in a Wine prefix of its own
# (build/wine/demo). Extra arguments go to lapshell.exe, for example
#   scripts/demo.sh --statusbar      the timer on the "status bar" (title)
#   scripts/demo.sh --version 23     an older host version
# Type "exit" or press Ctrl+D on an empty line to leave.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
build=${BUILD_DIR:-$root/build}

export WINEPREFIX=$build/wine/demo
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    echo "demo: preparing the Wine prefix $WINEPREFIX ..." >&2
    wineboot -i >/dev/null 2>&1
fi
cd "$build/bin"
exec wine lapshell.exe "$@"
