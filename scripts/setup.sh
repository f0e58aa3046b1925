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
# x86 runs as skipped with that reason. A 32-bit Wine that cannot be
# installed (a package mirror in the middle of a sync, say) does not stop
# the rest: set-up says so, and the test command then reports the x86 runs
# as not run.
set -euo pipefail
. "$(dirname "$0")/arch.sh"

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

# True when 32-bit Wine is there or of no use on this kernel.
have_wine32_or_no_need() {
    dpkg -s wine32 >/dev/null 2>&1 && return 0
    local kernel=0
    kernel_runs_32_bit || kernel=$?
    [ $kernel -eq 1 ]
}

need_wine32=0
have_wine32_or_no_need || need_wine32=1
if have_tools && [ $need_wine32 = 0 ]; then
    exit 0
fi

if [ "$(id -u)" != 0 ]; then
    echo "setup: missing tools; run this script as root to install them" >&2
    exit 1
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
    have_tools || { echo "setup: installation incomplete" >&2; exit 1; }
fi
if [ $need_wine32 = 1 ] && ! said=$(apt-get install -y -qq --no-install-recommends wine32 2>&1 >/dev/null); then
    echo "setup: 32-bit Wine could not be installed, so Lapwatch-x86.dll cannot be tested here: $(printf '%s\n' "$said" | grep '^E:' | tail -1)" >&2
fi
