# Sourced by the scripts: what each architecture (x86 or x64) is built and
# run with, and whether this machine can run it at all.
#
#   mingw_triple ARCH  prints its cross compiler's triple (and the name of
#                      its toolchain file in cmake/)
#   configure_arch ARCH DIR [CMAKE OPTIONS...]
#                      configures the build folder DIR for ARCH
#   runnable_arch      prints x86 where this machine runs it, else x64
#   wine_loader ARCH   prints the loader of x86 or x64
#   wine_probe ARCH    exit status 0 when this machine runs ARCH's Wine;
#                      1 when its kernel cannot run 32-bit programs (x86
#                      only: a reason to skip); 2 when Wine is missing or
#                      broken (a reason to fail). For 1 and 2 the reason is
#                      printed on standard output.
#
# The answer comes from running the loader itself, never from a test: the
# 32-bit loader is a 32-bit Linux program, and some 64-bit kernels refuse to
# execute those ("Exec format error"). Debian's /usr/bin/wine always starts
# the 32-bit loader when wine32 is installed, so 64-bit programs are started
# with the 64-bit loader directly.

WINE32_LOADER=/usr/lib/wine/wine
WINE64_LOADER=/usr/lib/wine/wine64

wine_loader() {
    case $1 in
        x86) echo "$WINE32_LOADER" ;;
        x64) echo "$WINE64_LOADER" ;;
        *) echo "arch: unknown architecture '$1' (x86 or x64)" >&2; return 2 ;;
    esac
}

mingw_triple() {
    case $1 in
        x86) echo i686-w64-mingw32 ;;
        x64) echo x86_64-w64-mingw32 ;;
        *) echo "arch: unknown architecture '$1' (x86 or x64)" >&2; return 2 ;;
    esac
}

configure_arch() {
    local arch=$1 dir=$2 triple
    shift 2
    triple=$(mingw_triple "$arch") || return 2
    local source
    source=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    # The toolchain is fixed when a build folder is first configured.
    [ -f "$dir/CMakeCache.txt" ] || set -- -DCMAKE_TOOLCHAIN_FILE="$source/cmake/$triple.cmake" "$@"
    cmake -S "$source" -B "$dir" "$@" >/dev/null
}

runnable_arch() {
    if wine_probe x86 >/dev/null; then echo x86; else echo x64; fi
}

KERNEL_WITHOUT_32_BIT="this kernel cannot run 32-bit programs"

wine_probe() {
    local loader
    loader=$(wine_loader "$1") || return 2
    if [ ! -x "$loader" ]; then
        echo "$loader is not installed (run scripts/setup.sh as root)"
        return 2
    fi
    local said
    if said=$("$loader" --version 2>&1 >/dev/null); then
        return 0
    fi
    if [ "$1" = x86 ] && [[ $said == *"Exec format error"* ]]; then
        echo "$KERNEL_WITHOUT_32_BIT"
        return 1
    fi
    echo "$loader does not start on this machine: ${said:-no message}"
    return 2
}
