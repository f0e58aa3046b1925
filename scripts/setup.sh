#!/usr/bin/env bash
# Installs what the build and the tests need: the i686 and x86_64 mingw-w64
# cross toolchains, cmake, 32-bit and 64-bit Wine, GoogleTest's sources,
# the native g++ (with its sanitizer runtimes) for the native test build,
# clang-tidy, zip and unzip for the release package, tmux for the test of
# the demo in a terminal, and gcovr for the coverage report. Does nothing
# when everything is already there. (scripts/fuzz.sh installs clang and
# libFuzzer itself.)
#
# 32-bit Wine is installed only where the kernel runs 32-bit programs
# (asked with a 93-byte program of its own, before any 32-bit package is
# there); elsewhere it could not start, and the test command reports the
# x86 runs as skipped with that reason. Where the plain installation fails
# (a package mirror in the middle of a sync can serve i386 packages whose
# versions do not match the amd64 ones already installed), set-up takes
# both architectures' Wine from the release's own suite, so that their
# versions agree; LAPWATCH_WINE32_FROM=release skips the plain
# installation, to try the fall-back on a healthy mirror. When that fails
# too, apt's message is kept in $WINE32_UNAVAILABLE (see arch.sh), the test
# command reports the x86 runs as skipped with it, and set-up does not try
# again until that file is removed. 64-bit Wine is there at the end in
# every case.

. "$(dirname "${BASH_SOURCE[0]}")/arch.sh"
OS_RELEASE=/etc/os-release

have_tools() {
    local triple
    for triple in i686-w64-mingw32 x86_64-w64-mingw32; do
        command -v "$triple-g++-posix" >/dev/null 2>&1 || return 1
        command -v "$triple-gcc-posix" >/dev/null 2>&1 || return 1
        command -v "$triple-windres" >/dev/null 2>&1 || return 1
    done
    command -v clang-tidy >/dev/null 2>&1 || return 1
    command -v cmake >/dev/null 2>&1 || return 1
    command -v script >/dev/null 2>&1 || return 1
    command -v zip >/dev/null 2>&1 || return 1
    command -v unzip >/dev/null 2>&1 || return 1
    command -v tmux >/dev/null 2>&1 || return 1
    command -v gcovr >/dev/null 2>&1 || return 1
    [ -x "$WINE64_LOADER" ] || return 1
    [ -f /usr/src/googletest/CMakeLists.txt ] || return 1
    dpkg -s g++ >/dev/null 2>&1 || return 1
    return 0
}

# True when the package is installed (not only known to dpkg).
installed() {
    [ "$(dpkg-query -W -f='${db:Status-Abbrev}' "$1" 2>/dev/null)" = "ii " ]
}

# Runs apt-get install quietly with the packages; on failure keeps apt's
# last error line in $apt_said.
apt_said=
apt_install() {
    local said
    said=$(apt-get install -y -qq --no-install-recommends --allow-downgrades "$@" 2>&1 >/dev/null) && return 0
    apt_said=$(printf '%s\n' "$said" | grep '^E:' | tail -1)
    apt_said=${apt_said:-apt-get install $* failed without a message}
    return 1
}

# The codename of this release (bookworm, say), the suite whose packages
# agree with each other across architectures.
release_codename() {
    sed -n 's/^VERSION_CODENAME="\{0,1\}\([^"]*\)"\{0,1\}$/\1/p' "$OS_RELEASE"
}

# Both Wines from the release's suite, in two steps: the first brings in the
# i386 side and may remove the amd64 Wine to match its versions, the second
# puts the amd64 side back at the same versions.
install_wine32_from_release() {
    local codename
    codename=$(release_codename)
    [ -n "$codename" ] || { apt_said="no VERSION_CODENAME in $OS_RELEASE"; return 1; }
    apt_install -t "$codename" wine32:i386 libgstreamer-plugins-base1.0-0:i386 || return 1
    apt_install -t "$codename" wine64 libwine libgstreamer-plugins-base1.0-0 || return 1
    echo "setup: 32-bit Wine installed from $codename's own packages, both architectures at the same versions"
}

install_wine32() {
    if [ "${LAPWATCH_WINE32_FROM:-}" = release ] || ! apt_install wine32; then
        install_wine32_from_release || true
    fi
    # The first step of the fall-back may have removed 64-bit Wine.
    installed wine64 || apt_install wine64 || { echo "setup: 64-bit Wine could not be installed: $apt_said" >&2; return 1; }
    if installed wine32; then
        rm -f "$WINE32_UNAVAILABLE"
        return 0
    fi
    mkdir -p "$(dirname "$WINE32_UNAVAILABLE")"
    printf '%s\n' "$apt_said" >"$WINE32_UNAVAILABLE"
    echo "setup: 32-bit Wine could not be installed, so Lapwatch-x86.dll cannot be tested here: $apt_said" >&2
}

# True when 32-bit Wine is there, of no use on this kernel, or could not be
# installed before (remove $WINE32_UNAVAILABLE to try again).
have_wine32_or_no_need() {
    installed wine32 && return 0
    [ -f "$WINE32_UNAVAILABLE" ] && return 0
    local kernel=0
    kernel_runs_32_bit || kernel=$?
    [ $kernel -eq 1 ]
}

main() {
    local need_wine32=0
    have_wine32_or_no_need || need_wine32=1
    if have_tools && [ $need_wine32 = 0 ]; then
        return 0
    fi

    if [ "$(id -u)" != 0 ]; then
        echo "setup: missing tools; run this script as root to install them" >&2
        return 1
    fi

    export DEBIAN_FRONTEND=noninteractive
    if [ $need_wine32 = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    # A package list that cannot be read (a mirror in the middle of a sync)
    # need not matter: the installations below say whether they did.
    apt-get update -qq || echo "setup: apt-get update could not read every package list; going on with those it read" >&2
    if ! have_tools; then
        apt-get install -y -qq --no-install-recommends \
            g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev \
            g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev \
            g++ cmake make bsdutils util-linux clang-tidy zip unzip tmux gcovr \
            wine wine64 googletest >/dev/null
        have_tools || { echo "setup: installation incomplete" >&2; return 1; }
    fi
    if [ $need_wine32 = 1 ]; then
        install_wine32
    fi
}

# Sourced by its test, which calls the functions with fake commands.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -euo pipefail
    main "$@"
fi
