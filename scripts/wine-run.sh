#!/usr/bin/env bash
# wine-run.sh PREFIX_DIR PROGRAM [ARGS...]
# Runs a Windows program under Wine in a fresh Wine prefix of its own and
# behind a pseudo-terminal, so that it has a real Win32 console. The
# program's output goes through a file and is printed afterwards; the exit
# code is the program's.
set -uo pipefail

prefix=$1; shift
rm -rf "$prefix"
mkdir -p "$prefix"
export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
unset DISPLAY WAYLAND_DISPLAY
wineboot -i >/dev/null 2>&1

out=$prefix/output.txt
quoted=$(printf '%q ' wine "$@")
script -qec "$quoted >$(printf '%q' "$out") 2>&1" /dev/null </dev/null >/dev/null
rc=$?
cat "$out"
wineserver -k >/dev/null 2>&1 || true
exit $rc
