#!/usr/bin/env bash
# Installs what the build and the tests need (NEEDS below) and, where the
# kernel runs 32-bit programs, 32-bit Wine; does nothing when all of it is
# there. (scripts/fuzz.sh installs clang and libFuzzer itself.)
#
# The kernel is asked with a 93-byte program of its own (arch.sh) before
# any 32-bit package is there; where it refuses, 32-bit Wine could not
# start, and the test command skips the x86 runs with that reason.
# Elsewhere wine32 is installed plainly; when that fails (a mirror in the
# middle of a sync can serve i386 packages at versions that no installed
# amd64 package has), set-up tries once more with every i386 package whose
# amd64 sibling is installed held at that sibling's version, from whichever
# suite has it, the sibling held there too, and wine32 at wine64's version.
# LAPWATCH_WINE32_FROM=release takes that second way at once. When both fail, apt's message is kept in
# $WINE32_UNAVAILABLE (see arch.sh) for the test command's skip line, and
# the next run of set-up as root tries again. 64-bit Wine is there at the
# end in every case.
#
# Sourced (by its test, or to install 32-bit Wine where the kernel is not
# asked: docs/dev/testing.md), it only defines its functions.

. "$(dirname "${BASH_SOURCE[0]}")/arch.sh"

# What the build and the tests need: a command, or a file where it starts
# with /, and the Debian package that brings it. Set-up checks the first
# column and installs the package of each line whose first is missing.
NEEDS=(
    "i686-w64-mingw32-g++-posix g++-mingw-w64-i686-posix"
    "i686-w64-mingw32-gcc-posix gcc-mingw-w64-i686-posix"
    "i686-w64-mingw32-windres binutils-mingw-w64-i686"
    "/usr/i686-w64-mingw32/lib/libkernel32.a mingw-w64-i686-dev"
    "x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix"
    "x86_64-w64-mingw32-gcc-posix gcc-mingw-w64-x86-64-posix"
    "x86_64-w64-mingw32-windres binutils-mingw-w64-x86-64"
    "/usr/x86_64-w64-mingw32/lib/libkernel32.a mingw-w64-x86-64-dev"
    "g++ g++" # the native sanitizer build (it brings the sanitizer runtimes)
    "cmake cmake"
    "make make"
    "flock util-linux"
    "script bsdutils" # the pseudo-terminal of each Wine run
    "clang-tidy clang-tidy"
    "zip zip" # the release package
    "unzip unzip"
    "tmux tmux" # the demo's test in a terminal
    "gcovr gcovr"
    "wine wine"
    "$WINE64_LOADER wine64"
    "/usr/src/googletest/CMakeLists.txt googletest"
)

# The machine's own apt preferences, kept in the pins of the second way.
APT_PREFERENCES=/etc/apt/preferences

present() {
    case $1 in
        /*) [ -e "$1" ] ;;
        *) command -v "$1" >/dev/null 2>&1 ;;
    esac
}

# The packages of the lines of NEEDS whose command or file is missing, on
# one line.
missing_packages() {
    local line missing=()
    for line in "${NEEDS[@]}"; do
        present "${line% *}" || missing+=("${line##* }")
    done
    echo "${missing[*]}"
}

# The version of an installed package, or nothing.
installed_version() {
    dpkg-query -W -f='${db:Status-Abbrev}|${Version}' "$1" 2>/dev/null | sed -n 's/^ii |//p'
}

installed() {
    [ -n "$(installed_version "$1")" ]
}

# Runs apt-get install quietly, never removing a package; on failure keeps
# apt's last error line in $apt_said.
apt_said=
apt_install() {
    local said
    said=$(apt-get install -y -qq --no-install-recommends --no-remove "$@" 2>&1 >/dev/null) && return 0
    apt_said=$(printf '%s\n' "$said" | grep '^E:' | tail -1)
    apt_said=${apt_said:-apt-get install $* failed without a message}
    return 1
}

# Writes apt preferences that hold each installed Multi-Arch "same" package
# of this machine's architecture, and its i386 sibling, at the installed
# version: such packages must be at one version on all architectures. The
# sibling alone is not enough: apt moves the installed package to its own
# candidate when it installs the sibling, and an update waiting in another
# suite then breaks the pair. The machine's own preferences come first, so
# that they still hold.
write_wine32_pins() {
    local native
    native=$(dpkg --print-architecture) || return 1
    {
        [ -f "$APT_PREFERENCES" ] && cat "$APT_PREFERENCES" && echo
        dpkg-query -W -f='${db:Status-Abbrev}|${Package}|${Architecture}|${Multi-Arch}|${Version}\n' |
            awk -F'|' -v native="$native" '$1 == "ii " && $3 == native && $4 == "same" {
                for (i = 0; i < 2; i++)
                    printf "Package: %s:%s\nPin: version %s\nPin-Priority: 1001\n\n", $2, i ? "i386" : native, $5 }'
    } >"$1"
}

# The second way: wine32 at wine64's version, every i386 package it pulls
# in at the version of its installed sibling, and nothing installed moved.
install_wine32_matching() {
    local pins version status=0
    pins=$(mktemp "${TMPDIR:-/tmp}/lapwatch-pins.XXXXXX") || { apt_said="no temporary file for apt's pins"; return 1; }
    version=$(installed_version wine64)
    write_wine32_pins "$pins" || status=1
    [ $status = 0 ] && { apt_install -o Dir::Etc::Preferences="$pins" "wine32:i386${version:+=$version}" || status=1; }
    rm -f "$pins"
    [ $status = 0 ] || return 1
    echo "setup: 32-bit Wine installed at 64-bit Wine's version, each i386 package at the version of its installed amd64 sibling"
}

# Installs 64-bit Wine where it is missing, then 32-bit Wine: plainly, else
# the second way. Keeps apt's message where 32-bit Wine is still missing.
install_wine32() {
    installed wine64 || apt_install wine64 || { echo "setup: 64-bit Wine could not be installed: $apt_said" >&2; return 1; }
    [ -f "$WINE32_UNAVAILABLE" ] && echo "setup: trying 32-bit Wine again (last try: $(cat "$WINE32_UNAVAILABLE"))" >&2
    if [ "${LAPWATCH_WINE32_FROM:-}" = release ] || ! apt_install wine32:i386; then
        install_wine32_matching || true
    fi
    if installed wine32; then
        rm -f "$WINE32_UNAVAILABLE"
        return 0
    fi
    mkdir -p "$(dirname "$WINE32_UNAVAILABLE")"
    printf '%s\n' "$apt_said" >"$WINE32_UNAVAILABLE"
    echo "setup: 32-bit Wine could not be installed, so Lapwatch-x86.dll cannot be tested here: $apt_said" >&2
}

# True when 32-bit Wine is there or of no use on this kernel.
have_wine32_or_no_need() {
    installed wine32 && return 0
    local kernel=0
    kernel_runs_32_bit || kernel=$?
    [ $kernel -eq 1 ]
}

main() {
    local missing need_wine32=0
    missing=$(missing_packages)
    have_wine32_or_no_need || need_wine32=1
    [ -z "$missing" ] && [ $need_wine32 = 0 ] && return 0

    if [ "$(id -u)" != 0 ]; then
        # Only root can try again; meanwhile the test command skips the x86
        # runs with the last try's reason.
        if [ -z "$missing" ] && [ -f "$WINE32_UNAVAILABLE" ]; then
            echo "setup: 32-bit Wine is missing ($(cat "$WINE32_UNAVAILABLE")); run scripts/setup.sh as root to try again" >&2
            return 0
        fi
        echo "setup: missing ${missing:-32-bit Wine}; run this script as root to install it" >&2
        return 1
    fi

    export DEBIAN_FRONTEND=noninteractive
    if [ $need_wine32 = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    # A package list that cannot be read (a mirror in the middle of a sync)
    # need not matter: the installations below say whether they did.
    apt-get update -qq || echo "setup: apt-get update could not read every package list; going on with those it read" >&2
    if [ -n "$missing" ]; then
        # shellcheck disable=SC2086 # one word per package
        apt-get install -y -qq --no-install-recommends $missing >/dev/null || true
        missing=$(missing_packages)
        [ -z "$missing" ] || { echo "setup: installation incomplete, still missing: $missing" >&2; return 1; }
    fi
    if [ $need_wine32 = 1 ]; then
        install_wine32
    fi
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -euo pipefail
    main "$@"
fi
