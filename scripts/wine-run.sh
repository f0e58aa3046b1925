#!/usr/bin/env bash
# wine-run.sh --arch x86|x64 [--on-console] PREFIX_DIR PROGRAM [ARGS...]
# Runs a Windows program under the Wine of its architecture in a fresh Wine
# prefix of its own (a copy of the build folder's template, see
# wine-prefix.sh) and behind a pseudo-terminal, so that it has a real
# Win32 console. The program's output goes through a file and is printed
# afterwards; the exit code is the program's.
#
# When this machine's kernel cannot run 32-bit programs, or runs them only
# under an emulator (the probe of arch.sh), an x86 program is not started:
# the reason is printed and the exit code is 77, which ctest reports as a
# skip. A program that itself exits with 77 is
# reported as failed (1), so that only the probe can make a skip.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/arch.sh"
. "$root/scripts/wine-prefix.sh"

SKIP=77
[ "${1:-}" = --arch ] || { echo "usage: wine-run.sh --arch x86|x64 [--on-console] PREFIX_DIR PROGRAM [ARGS...]" >&2; exit 2; }
arch=$2; shift 2
# --on-console: the program writes to the console itself (what it shows is
# then on the screen, for a screen log), and nothing is printed afterwards.
on_console=0
[ "${1:-}" = --on-console ] && { on_console=1; shift; }
prefix=$1; shift
loader=$(wine_loader "$arch") || exit 2

reason=$(wine_probe "$arch")
case $? in
    0) ;;
    1) echo "skipped: $reason"; exit $SKIP ;;
    *) echo "wine-run: $reason" >&2; exit 1 ;;
esac

# Never remove anything but a folder below the wine/ folder of a build
# folder (one that holds a CMakeCache.txt), and never its template.
usable_prefix() {
    local build path
    build=$(build_folder_of "$1") || return 1
    path=$(realpath -m "$1")
    [[ $path == "$build"/wine/?* && $path != "$build"/wine/.template* ]]
}
if ! usable_prefix "$prefix"; then
    echo "wine-run: refusing to use '$prefix' as a Wine prefix (not below the wine/ folder of a build folder)" >&2
    exit 2
fi
fresh_wine_prefix "$arch" "$prefix" || exit 1
wine_environment "$arch" "$prefix"

out=$prefix/output.txt
quoted=$(printf '%q ' "$loader" "$@")
if [ $on_console -eq 1 ]; then
    script -qec "$quoted" /dev/null </dev/null >/dev/null
    rc=$?
else
    script -qec "$quoted >$(printf '%q' "$out") 2>&1" /dev/null </dev/null >/dev/null
    rc=$?
    cat "$out"
fi
wineserver -k >/dev/null 2>&1 || true
[ $rc -eq $SKIP ] && rc=1
exit $rc
