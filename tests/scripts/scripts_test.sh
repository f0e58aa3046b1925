#!/usr/bin/env bash
# Tests of set-up's installation of 32-bit Wine and of the Wine prefix
# copies, with fake apt-get, dpkg-query and Wine: no package is touched and
# no Wine runs. Exit status 0 when every case passes.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/setup.sh"
. "$root/scripts/wine-prefix.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() { # check WHAT EXPECTED ACTUAL
    [ "$2" = "$3" ] && return
    printf 'scripts_test: FAILED %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"
    failures=$((failures + 1))
}

# Fake packages: a file per installed package; each apt-get step of a case
# succeeds (ok) or fails with apt's own kind of message (fail).
printf 'NAME=Debian\nVERSION_CODENAME=bookworm\n' >"$work/os-release"
OS_RELEASE=$work/os-release
dpkg-query() { [ -f "$work/pkg/${*: -1}" ] && printf 'ii '; }
apt-get() {
    local step=${*: -1} result
    echo "${*:6}" >>"$work/calls"
    case "${*:6}" in
        wine32) result=$plain ;;
        "-t bookworm wine32:i386"*) result=$step1; [ "$result" = ok ] && rm -f "$work/pkg/wine64" ;;
        "-t bookworm wine64"*) result=$step2 ;;
        wine64) result=ok; rm -f "$work/pkg/wine32" ;;
    esac
    if [ "$result" = fail ]; then
        printf 'Reading package lists...\nE: Unable to correct problems, you have held broken packages (%s).\nE: %s failed\n' "$step" "$step" >&2
        return 100
    fi
    local package
    for package in "${@:6}"; do
        case ${package%:i386} in wine32 | wine64) touch "$work/pkg/${package%:i386}" ;; esac
    done
}

# knob | plain | step1 | step2 | apt-get calls | line on stdout | kept message | packages at the end
cases=(
    "|ok|-|-|wine32||none|wine32 wine64"
    "|fail|ok|ok|wine32;-t bookworm wine32:i386 libgstreamer-plugins-base1.0-0:i386;-t bookworm wine64 libwine libgstreamer-plugins-base1.0-0|setup: 32-bit Wine installed from bookworm's own packages, both architectures at the same versions|none|wine32 wine64"
    "|fail|fail|-|wine32;-t bookworm wine32:i386 libgstreamer-plugins-base1.0-0:i386||E: libgstreamer-plugins-base1.0-0:i386 failed|wine64"
    "|fail|ok|fail|wine32;-t bookworm wine32:i386 libgstreamer-plugins-base1.0-0:i386;-t bookworm wine64 libwine libgstreamer-plugins-base1.0-0;wine64||E: libgstreamer-plugins-base1.0-0 failed|wine64"
    "release|-|ok|ok|-t bookworm wine32:i386 libgstreamer-plugins-base1.0-0:i386;-t bookworm wine64 libwine libgstreamer-plugins-base1.0-0|setup: 32-bit Wine installed from bookworm's own packages, both architectures at the same versions|none|wine32 wine64"
)
for row in "${cases[@]}"; do
    IFS='|' read -r knob plain step1 step2 calls said kept packages <<<"$row"
    rm -rf "$work/pkg" "$work/calls" && mkdir -p "$work/pkg" && touch "$work/pkg/wine64"
    WINE32_UNAVAILABLE=$work/var/wine32-unavailable
    mkdir -p "$work/var" && echo "E: from an earlier try" >"$WINE32_UNAVAILABLE"
    out=$(LAPWATCH_WINE32_FROM=$knob install_wine32 2>"$work/stderr")
    name="knob '$knob', plain $plain, steps $step1/$step2"
    check "$name: apt-get calls" "$calls" "$(paste -sd ';' "$work/calls")"
    check "$name: says" "$said" "$out"
    check "$name: kept message" "$kept" "$(cat "$WINE32_UNAVAILABLE" 2>/dev/null || echo none)"
    check "$name: packages" "$packages" "$(ls "$work/pkg" | paste -sd ' ')"
    [ "$kept" = none ] || check "$name: error line" \
        "setup: 32-bit Wine could not be installed, so Lapwatch-x86.dll cannot be tested here: $kept" "$(cat "$work/stderr")"
done

# The probe of a missing 32-bit Wine: the kernel's refusal first, then the
# kept message (a skip), else a Wine to install (a failure).
WINE32_LOADER=$work/no-such-loader
# kernel status | message kept | probe status | reason begins with
probes=(
    "1|E: held broken packages|1|$KERNEL_WITHOUT_32_BIT"
    "0|E: held broken packages|1|32-bit Wine could not be installed (E: held broken packages; remove"
    "0||2|$WINE32_LOADER is not installed"
)
for row in "${probes[@]}"; do
    IFS='|' read -r kernel message status reason <<<"$row"
    eval "kernel_runs_32_bit() { return $kernel; }"
    rm -f "$WINE32_UNAVAILABLE"
    [ -n "$message" ] && echo "$message" >"$WINE32_UNAVAILABLE"
    said=$(wine_probe x86)
    check "probe, kernel $kernel, kept '$message': status" "$status" "$?"
    check "probe, kernel $kernel, kept '$message': reason" "$reason" "${said:0:${#reason}}"
done

# Prefixes from the template, with a fake Wine whose start-up counts itself
# and lays out a few files of each kind.
wine_loader() { echo "$work/wine"; }
wineserver() { :; }
cat >"$work/wine" <<'FAKE'
#!/bin/sh
[ "$1" = --version ] && { cat "${0%/*}/wine-version"; exit; }
echo boot >>"${0%/*}/boots"; sleep 0.2
mkdir -p "$WINEPREFIX/drive_c/windows/system32/drivers/etc"
cd "$WINEPREFIX" && for file in system.reg wineserver drive_c/windows/win.ini drive_c/windows/system32/kernel32.dll \
    drive_c/windows/system32/CMD.EXE drive_c/windows/system32/drivers/etc/hosts; do echo "$file" >"$file"; done
FAKE
chmod +x "$work/wine"
echo "wine-8.0" >"$work/wine-version"
build=$work/build/x64 && mkdir -p "$build" && touch "$build/CMakeCache.txt"
boots() { wc -l <"$work/boots" 2>/dev/null || echo 0; }
fresh_wine_prefix x64 "$build/wine/one" 2>/dev/null
fresh_wine_prefix x64 "$build/wine/two" 2>/dev/null
check "two prefixes: start-ups of Wine" 1 "$(boots)"
# file | shares the template's (hard link) or a copy
links=(
    "drive_c/windows/system32/kernel32.dll|shared"
    "drive_c/windows/system32/CMD.EXE|shared"
    "system.reg|copy"
    "drive_c/windows/win.ini|copy"
    "drive_c/windows/system32/drivers/etc/hosts|copy"
    "wineserver|none"
)
for row in "${links[@]}"; do
    IFS='|' read -r file kind <<<"$row"
    if [ ! -f "$build/wine/.template/$file" ] || [ ! -f "$build/wine/two/$file" ]; then actual=none
    elif [ "$(stat -c %i "$build/wine/.template/$file")" = "$(stat -c %i "$build/wine/two/$file")" ]; then actual=shared
    elif cmp -s "$build/wine/.template/$file" "$build/wine/two/$file"; then actual=copy
    else actual=differs; fi
    check "prefix file $file" "$kind" "$actual"
done
rm -rf "$build/wine/.template"
fresh_wine_prefix x64 "$build/wine/one" 2>/dev/null &
fresh_wine_prefix x64 "$build/wine/two" 2>/dev/null
wait
check "two prefixes at once: start-ups of Wine" 2 "$(boots)"
echo "wine-9.0" >"$work/wine-version"
fresh_wine_prefix x64 "$build/wine/one" 2>/dev/null
check "another Wine: start-ups of Wine" 3 "$(boots)"
fresh_wine_prefix x64 "$work/elsewhere" 2>/dev/null
check "a prefix outside a build folder: status" 2 "$?"

[ $failures -eq 0 ] || exit 1
echo "scripts_test: passed (${#cases[@]} installations of 32-bit Wine, ${#probes[@]} probes, ${#links[@]} files of a prefix copy, the template's making)"
