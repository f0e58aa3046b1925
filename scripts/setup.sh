#!/usr/bin/env bash
# Installs what the build and the tests need: the i686 and x86_64 mingw-w64
# cross toolchains, cmake, 32-bit and 64-bit Wine, GoogleTest's sources,
# the native g++ (with its sanitizer runtimes) for the native test build,
# clang-tidy, zip and unzip for the release package, tmux for the test of
# the demo in a terminal, and gcovr for the coverage report. Does nothing
# when everything is already there. (scripts/fuzz.sh installs clang and
# libFuzzer itself.)
#
# 32-bit Wine installs on any amd64 Debian (after adding the i386
# architecture), also where the kernel cannot run it; the test command
# probes that separately.
set -euo pipefail

have_all() {
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
    [ -x /usr/lib/wine/wine64 ] || return 1
    dpkg -s wine32 >/dev/null 2>&1 || return 1
    [ -f /usr/src/googletest/CMakeLists.txt ] || return 1
    dpkg -s g++ >/dev/null 2>&1 || return 1
    return 0
}

if have_all; then
    exit 0
fi

if [ "$(id -u)" != 0 ]; then
    echo "setup: missing tools; run this script as root to install them" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
apt-get update -qq
apt-get install -y -qq --no-install-recommends \
    g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev \
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev \
    g++ cmake make bsdutils util-linux clang-tidy zip unzip tmux gcovr \
    wine wine32 wine64 googletest >/dev/null
have_all || { echo "setup: installation incomplete" >&2; exit 1; }
