#!/usr/bin/env bash
# Builds the plug-in and the stand-in shell for one architecture, then
# starts the stand-in shell (lapshell.exe) with Lapwatch loaded,
# interactively under Wine, in a Wine prefix of its own that stays from one
# demo to the next, so that settings saved with /S are there again
# (build/<arch>/wine/demo, or DEMO_PREFIX below the same build folder; made
# from the build folder's template the first time).
#
#   scripts/demo.sh [--x86 | --x64] [lapshell options]
#
# Without --x86 or --x64 it takes Lapwatch-x86.dll where this machine runs
# 32-bit programs and Lapwatch-x64.dll otherwise. Other arguments go to
# lapshell.exe, for example
#   scripts/demo.sh --statusbar      the timer on the "status bar" (title)
#   scripts/demo.sh --version 23     an older host version
# Type "exit" or press Ctrl+D on an empty line to leave; Ctrl+C stops a
# running delay or batch file, or drops the line typed at the prompt.
#
# Wine's console draws on a terminal as if it had the screen to itself,
# from the top-left corner on. So once everything is ready, the terminal
# stops echoing (keys typed early are read by the console, not shown by the
# terminal) and is cleared; the shell prints the demo's note itself, and
# the terminal's settings are put back when it ends.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/arch.sh"
. "$root/scripts/wine-prefix.sh"

# Shows make's "[ 45%] Building ..." lines one over the other on a single
# line of the terminal, and clears it at the end.
show_progress() {
    local line width
    width=$(tput cols 2>/dev/null || echo 80)
    while IFS= read -r line; do
        [[ $line == "["*"%]"* ]] && [ -t 2 ] && printf '\r\033[K%s' "${line:0:width-1}" >&2
    done
    [ -t 2 ] && printf '\r\033[K' >&2
    return 0
}

# Builds only what the demo runs: the plug-in, the stand-in shell library
# and the shell, not the tests. Make's output is kept in the build folder
# and shown in full when the build fails.
build_for_demo() {
    local arch=$1 dir=$2
    configure_arch "$arch" "$dir"
    if ! cmake --build "$dir" -j"$(nproc)" --target lapwatch takecmd lapshell 2>&1 | tee "$dir/demo-build.log" | show_progress; then
        cat "$dir/demo-build.log" >&2
        echo "demo: the build failed" >&2
        exit 1
    fi
}

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

build=${BUILD_DIR:-$root/build}
echo "demo: building Lapwatch-$arch.dll and the stand-in shell ..." >&2
build_for_demo "$arch" "$build/$arch"
prefix=${DEMO_PREFIX:-$build/$arch/wine/demo}
if [ ! -f "$prefix/system.reg" ]; then
    fresh_wine_prefix "$arch" "$prefix"
fi
wine_environment "$arch" "$prefix"
loader=$WINELOADER

# Whether Wine's console of the demo's prefix still runs.
console_running() {
    local cmdline
    for cmdline in $(grep -ls 'conhost\.exe' /proc/[0-9]*/cmdline); do
        tr '\0' '\n' <"${cmdline%/cmdline}/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
    done
    return 1
}

# The terminal's settings go back on every way out: exit, Ctrl+D, the
# shell or Wine killed (the loader's status then), and this script ended by
# a signal (bash runs the EXIT trap for HUP and TERM too). Ctrl+C reaches
# this script as well, but bash goes on while the shell lives on. Wine's
# console puts back the settings it found, those after `stty -echo`, when
# it ends, which may be after the loader: so that comes first (for 2 s at
# most; a console whose wineserver was killed never ends).
terminal=
restore_terminal() {
    local tries
    [ -n "$terminal" ] || return 0
    for ((tries = 0; tries < 40; tries++)); do
        console_running || break
        sleep 0.05
    done
    stty "$terminal" 2>/dev/null
    return 0
}

cd "$build/$arch/bin"
if [ -t 0 ] && [ -t 1 ]; then
    terminal=$(stty -g)
    trap restore_terminal EXIT
    stty -echo
    printf '\033[H\033[2J'
fi
status=0
"$loader" lapshell.exe --note "demo: Lapwatch-$arch.dll; type exit to leave" "$@" || status=$?
exit $status
