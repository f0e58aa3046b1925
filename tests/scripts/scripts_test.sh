#!/usr/bin/env bash
# Tests of set-up (its table of needs, its installation of 32-bit Wine) and
# of the Wine prefix copies, with fake apt-get, dpkg, dpkg-query and Wine:
# no package is touched and no Wine runs. Exit status 0 when every case
# passes.
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

# A fake package system. $work/db holds the installed packages and
# $work/mirror the ones to be had, a line "NAME ARCH VERSION" each (the
# mirror may offer several versions of one, from several suites).
# libwine and libgst are Multi-Arch "same": both architectures must be at
# one version. wine32 and wine64 need libwine at their own version, wine32
# libgst at any. The fake apt-get reads its packages by name, wherever
# they stand among the options, and takes a version asked for with "=",
# else its candidate: the one pinned in the preferences file handed over
# with -o (where the mirror has it), else the newest. As apt does, it moves
# the installed sibling of a Multi-Arch "same" package it installs to the
# sibling's own candidate; when the two versions then differ, that is a
# break.
fake_multi_arch() {
    case $1 in libwine | libgst) echo same ;; *) echo foreign ;; esac
}
fake_depends() { # NAME ARCH VERSION: lines "NAME ARCH WANTED-VERSION"
    case $1 in
        wine32) echo "libwine $2 $3" && echo "libgst $2 " ;;
        wine64) echo "libwine $2 $3" ;;
    esac
}
dpkg() {
    case $1 in
        --print-architecture) echo amd64 ;;
        --print-foreign-architectures) cat "$work/foreign" 2>/dev/null ;;
        --add-architecture) echo "$2" >>"$work/foreign" ;;
    esac
}
dpkg-query() { # -W -f=FORMAT [NAME]: FORMAT for each installed package
    local format=${2#-f=} name arch version line
    while read -r name arch version; do
        [ $# -lt 3 ] || [ "$3" = "$name" ] || [ "$3" = "$name:$arch" ] || continue
        line=${format//'${db:Status-Abbrev}'/ii }
        line=${line//'${Package}'/$name}
        line=${line//'${Architecture}'/$arch}
        line=${line//'${Version}'/$version}
        line=${line//'${Multi-Arch}'/$(fake_multi_arch "$name")}
        printf "${line//%/%%}"
    done <"$work/db"
}
fake_request() { # NAME[:ARCH][=VERSION] as "NAME ARCH VERSION"
    local name=${1%%=*} arch=amd64
    [[ $name == *:* ]] && arch=${name#*:}
    echo "${name%%:*} $arch ${1:${#name}+1}"
}
fake_candidate() { # NAME ARCH PINS-FILE
    local pinned
    pinned=$([ -f "$3" ] && awk -v want="Package: $1:$2" '$0 == want { getline; sub(/^Pin: version /, ""); print; exit }' "$3")
    [ -n "$pinned" ] && grep -qx "$1 $2 $pinned" "$work/mirror" && { echo "$pinned"; return; }
    awk -v n="$1" -v a="$2" '$1 == n && $2 == a { print $3 }' "$work/mirror" | sort -V | tail -1
}
fake_break() {
    printf 'Reading package lists...\nSome packages could not be installed.\n%s\n' "$1" >&2
    return 100
}
apt-get() {
    [ "$1" = update ] && return 0
    local arg option=0 pins='' requests=() queue=() plan=() name arch want version sibling moved
    for arg; do
        if [ $option = 1 ]; then
            option=0
            [[ $arg == Dir::Etc::Preferences=* ]] && pins=${arg#*=}
        elif [ "$arg" = -o ]; then option=1
        elif [[ $arg != -* ]] && [ "$arg" != install ]; then requests+=("$arg"); fi
    done
    echo "${pins:+pinned }${requests[*]}" >>"$work/calls"
    [ -n "$pins" ] && cp "$pins" "$work/last-pins"
    for arg in "${requests[@]}"; do
        case $arg in
            lw-pkg-*) touch "$work/bin/lw-tool-${arg#lw-pkg-}" && chmod +x "$work/bin/lw-tool-${arg#lw-pkg-}" ;;
            *) queue+=("$(fake_request "$arg")") ;;
        esac
    done
    while [ ${#queue[@]} -gt 0 ]; do
        read -r name arch want <<<"${queue[0]}"
        queue=("${queue[@]:1}")
        version=$(awk -v n="$name" -v a="$arch" '$1 == n && $2 == a { print $3 }' "$work/db")
        for arg in "${plan[@]}"; do [[ $arg == "$name $arch "* ]] && version=${arg##* }; done
        if [ -n "$version" ]; then
            [ -z "$want" ] || [ "$want" = "$version" ] || { fake_break "E: $name:$arch $want is needed, $version is there"; return; }
            continue
        fi
        version=${want:-$(fake_candidate "$name" "$arch" "$pins")}
        grep -qx "$name $arch $version" "$work/mirror" || { fake_break "E: Version '$version' for '$name:$arch' was not found"; return; }
        sibling=$(awk -v n="$name" -v a="$arch" '$1 == n && $2 != a { print $2 }' "$work/db")
        if [ "$(fake_multi_arch "$name")" = same ] && [ -n "$sibling" ]; then
            moved=$(fake_candidate "$name" "$sibling" "$pins")
            [ "$moved" = "$version" ] ||
                { fake_break "E: Error, pkgProblemResolver::Resolve generated breaks, this may be caused by held packages."; return; }
            plan+=("$name $sibling $version")
        fi
        plan+=("$name $arch $version")
        while read -r arg; do [ -n "$arg" ] && queue+=("$arg"); done <<<"$(fake_depends "$name" "$arch" "$version")"
    done
    for arg in "${plan[@]}"; do
        read -r name arch version <<<"$arg"
        awk -v n="$name" -v a="$arch" '$1 != n || $2 != a' "$work/db" >"$work/db.new" && mv "$work/db.new" "$work/db"
        echo "$arg" >>"$work/db"
    done
}

# Each run: wine64 and its libwine at 8.0~repack-4, libgst at the release's
# version or at the security suite's (deb12u4), and an amd64 mirror that
# has both; the i386 side of the mirror differs by case.
I386_HEALTHY="wine32 8.0~repack-4;libwine 8.0~repack-4;libgst 1.22.0-3;libgst 1.22.0-3+deb12u4"
I386_NEWER_LIBGST="$I386_HEALTHY;libgst 1.22.0-3+deb12u5"
I386_NEWER_WINE="$I386_HEALTHY;wine32 8.0~repack-5;libwine 8.0~repack-5"
I386_ONLY_NEWER="wine32 8.0~repack-4;libwine 8.0~repack-4;libgst 1.22.0-3+deb12u5"
fake_machine() { # I386-MIRROR WINE64-INSTALLED(yes/no) EARLIER-TRY(yes/no) [LIBGST-INSTALLED]
    rm -rf "$work/db" "$work/mirror" "$work/calls" "$work/last-pins" "${work:?}/var"
    printf '%s\n' "wine64 amd64 8.0~repack-4" "libwine amd64 8.0~repack-4" "libgst amd64 1.22.0-3" \
        "libgst amd64 1.22.0-3+deb12u4" >"$work/mirror"
    tr ';' '\n' <<<"$1" | sed 's/ / i386 /' >>"$work/mirror"
    echo "libgst amd64 ${4:-1.22.0-3+deb12u4}" >"$work/db"
    [ "$2" = yes ] && printf '%s\n' "wine64 amd64 8.0~repack-4" "libwine amd64 8.0~repack-4" >>"$work/db"
    WINE32_UNAVAILABLE=$work/var/wine32-unavailable
    [ "$3" = yes ] && mkdir -p "$work/var" && echo "E: from an earlier try" >"$WINE32_UNAVAILABLE"
    return 0
}
APT_PREFERENCES=$work/preferences
printf 'Package: tmux\nPin: release n=bookworm\nPin-Priority: 900\n' >"$APT_PREFERENCES"
PINNED_LINE="setup: 32-bit Wine installed at 64-bit Wine's version, each i386 package at the version of its installed amd64 sibling"
BREAKS="E: Error, pkgProblemResolver::Resolve generated breaks, this may be caused by held packages."

U4=1.22.0-3+deb12u4
# knob | libgst amd64 | i386 mirror | wine64 there | earlier try | apt-get calls | line on stdout | kept message
#   | wine32 at the end | libgst amd64 at the end
cases=(
    "|$U4|$I386_HEALTHY|yes|no|wine32:i386||none|8.0~repack-4|$U4"
    "|1.22.0-3|$I386_HEALTHY|yes|no|wine32:i386||none|8.0~repack-4|$U4"
    "|$U4|$I386_NEWER_LIBGST|yes|no|wine32:i386;pinned wine32:i386=8.0~repack-4|$PINNED_LINE|none|8.0~repack-4|$U4"
    "|$U4|$I386_NEWER_WINE|yes|no|wine32:i386;pinned wine32:i386=8.0~repack-4|$PINNED_LINE|none|8.0~repack-4|$U4"
    "|$U4|$I386_ONLY_NEWER|yes|yes|wine32:i386;pinned wine32:i386=8.0~repack-4||$BREAKS|none|$U4"
    "release|$U4|$I386_HEALTHY|yes|no|pinned wine32:i386=8.0~repack-4|$PINNED_LINE|none|8.0~repack-4|$U4"
    "release|1.22.0-3|$I386_HEALTHY|yes|no|pinned wine32:i386=8.0~repack-4|$PINNED_LINE|none|8.0~repack-4|1.22.0-3"
    "release|$U4|$I386_ONLY_NEWER|yes|no|pinned wine32:i386=8.0~repack-4||$BREAKS|none|$U4"
    "|$U4|$I386_HEALTHY|no|no|wine64;wine32:i386||none|8.0~repack-4|$U4"
    "|$U4|$I386_HEALTHY|yes|yes|wine32:i386||none|8.0~repack-4|$U4"
)
for row in "${cases[@]}"; do
    IFS='|' read -r knob libgst mirror wine64 earlier calls said kept wine32 libgst_after <<<"$row"
    fake_machine "$mirror" "$wine64" "$earlier" "$libgst"
    out=$(LAPWATCH_WINE32_FROM=$knob install_wine32 2>"$work/stderr")
    name="knob '$knob', libgst $libgst, i386 mirror '$mirror', wine64 $wine64, earlier try $earlier"
    check "$name: apt-get calls" "$calls" "$(paste -sd ';' "$work/calls")"
    check "$name: says" "$said" "$out"
    check "$name: kept message" "$kept" "$(cat "$WINE32_UNAVAILABLE" 2>/dev/null || echo none)"
    check "$name: wine32" "$wine32" "$(installed_version wine32 || true)$(installed wine32 || echo none)"
    check "$name: wine64" "8.0~repack-4" "$(installed_version wine64)"
    check "$name: libgst amd64" "$libgst_after" "$(awk '$1 == "libgst" && $2 == "amd64" { print $3 }' "$work/db")"
    [ "$earlier" = no ] || check "$name: says it tries again" "setup: trying 32-bit Wine again (last try: E: from an earlier try)" \
        "$(head -1 "$work/stderr")"
    [ "$kept" = none ] || check "$name: error line" \
        "setup: 32-bit Wine could not be installed, so Lapwatch-x86.dll cannot be tested here: $kept" "$(tail -1 "$work/stderr")"
    [ ! -f "$work/last-pins" ] || check "$name: the machine's own preferences come first" \
        "$(cat "$APT_PREFERENCES")" "$(head -3 "$work/last-pins")"
done

# The pins: each installed package of this machine's architecture that is
# Multi-Arch "same", and its i386 sibling, at its version; no other.
fake_machine "$I386_HEALTHY" yes no
echo "wine32 i386 8.0~repack-4" >>"$work/db"
write_wine32_pins "$work/pins"
check "pins" "libgst:amd64=$U4 libgst:i386=$U4 libwine:amd64=8.0~repack-4 libwine:i386=8.0~repack-4" \
    "$(sed -n '/^Package: .*:/{s/^Package: //;N;s/\nPin: version /=/;p}' "$work/pins" | sort | paste -sd ' ')"

# The table of needs: a command on PATH, or a file, and its package.
real_needs=("${NEEDS[@]}")
mkdir -p "$work/bin" && touch "$work/bin/lw-tool-a" "$work/file-a" && chmod +x "$work/bin/lw-tool-a"
PATH=$work/bin:$PATH
# NEEDS (';' between lines) | packages missing
tables=(
    "lw-tool-a lw-pkg-a;$work/file-a lw-pkg-f|"
    "lw-tool-a lw-pkg-a;lw-tool-b lw-pkg-b|lw-pkg-b"
    "lw-tool-c lw-pkg-c;$work/file-a lw-pkg-f;$work/file-b lw-pkg-g|lw-pkg-c lw-pkg-g"
    "$work/nowhere/lw-tool-a lw-pkg-n;lw-tool-a lw-pkg-a|lw-pkg-n"
)
for row in "${tables[@]}"; do
    IFS='|' read -r lines missing <<<"$row"
    IFS=';' read -r -a NEEDS <<<"$lines"
    check "needs '$lines': missing" "$missing" "$(missing_packages)"
done
for line in "${real_needs[@]}"; do
    check "needs line '$line': a command or file, then a package" 2 "$(wc -w <<<"$line")"
done

# set-up as a whole: who runs it, what is missing, what the kernel says, and
# an earlier failed try of 32-bit Wine, which never stops the next one.
NEEDS=("lw-tool-a lw-pkg-a" "lw-tool-t lw-pkg-t")
# user | tool there | kernel status | earlier try | exit status | apt-get calls | standard error begins with
runs=(
    "1000|yes|0|yes|0||setup: 32-bit Wine is missing (E: from an earlier try); run scripts/setup.sh as root"
    "1000|yes|0|no|1||setup: missing 32-bit Wine; run this script as root"
    "1000|no|0|yes|1||setup: missing lw-pkg-t; run this script as root"
    "1000|yes|1|no|0||"
    "0|yes|0|yes|0|wine32:i386|setup: trying 32-bit Wine again"
    "0|yes|1|no|0||"
    "0|no|1|no|0|lw-pkg-t|"
    "0|no|0|no|0|lw-pkg-t;wine32:i386|"
)
for row in "${runs[@]}"; do
    IFS='|' read -r user tool kernel earlier status calls said <<<"$row"
    fake_machine "$I386_HEALTHY" yes "$earlier"
    rm -f "$work/foreign" "$work/bin/lw-tool-t"
    [ "$tool" = yes ] && touch "$work/bin/lw-tool-t" && chmod +x "$work/bin/lw-tool-t"
    eval "id() { echo $user; }; kernel_runs_32_bit() { return $kernel; }"
    (main) >/dev/null 2>"$work/stderr"
    actual=$?
    name="set-up as $user, tool there $tool, kernel $kernel, earlier try $earlier"
    check "$name: status" "$status" "$actual"
    check "$name: apt-get calls" "$calls" "$(paste -sd ';' "$work/calls" 2>/dev/null)"
    check "$name: says" "$said" "$(head -c ${#said} "$work/stderr")"
    check "$name: tool at the end" "$([ "$user" = 0 ] && echo yes || echo "$tool")" "$([ -x "$work/bin/lw-tool-t" ] && echo yes || echo no)"
    [[ $calls == *wine32* ]] && check "$name: i386 added" i386 "$(cat "$work/foreign" 2>/dev/null)"
done
unset -f id

# The probe of a missing 32-bit Wine: the kernel's refusal first, then the
# kept message (a skip), else a Wine to install (a failure).
WINE32_LOADER=$work/no-such-loader
# kernel status | message kept | probe status | reason begins with
probes=(
    "1|E: held broken packages|1|$KERNEL_WITHOUT_32_BIT"
    "0|E: held broken packages|1|32-bit Wine could not be installed at set-up's last try (E: held broken packages; its next run as root tries again)"
    "0||2|$WINE32_LOADER is not installed"
)
for row in "${probes[@]}"; do
    IFS='|' read -r kernel message status reason <<<"$row"
    eval "kernel_runs_32_bit() { return $kernel; }"
    rm -f "$WINE32_UNAVAILABLE" && mkdir -p "$(dirname "$WINE32_UNAVAILABLE")"
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
echo "scripts_test: passed (${#cases[@]} installations of 32-bit Wine, the pins, ${#tables[@]} tables of needs, ${#runs[@]} runs of set-up, ${#probes[@]} probes, ${#links[@]} files of a prefix copy, the template's making)"
