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
#                      1 when its kernel cannot run 32-bit programs, runs
#                      them only through an emulator, or set-up's last try
#                      to install 32-bit Wine failed (x86 only: a reason to
#                      skip);
#                      2 when Wine is missing or broken (a reason to
#                      fail). For 1 and 2 the reason is printed on
#                      standard output.
#
# The answer comes from running the loader itself, never from a test: the
# 32-bit loader is a 32-bit Linux program, and some 64-bit kernels refuse to
# execute those ("Exec format error"). Debian's /usr/bin/wine always starts
# the 32-bit loader when wine32 is installed, so 64-bit programs are started
# with the 64-bit loader directly.
#
# Such a kernel may still hand 32-bit programs to a user-mode emulator
# registered with binfmt_misc (qemu-i386). Wine then starts, but runs many
# times slower: the x86 tests alone took longer than the whole run may, and
# the emulator itself crashed in one of them. Those runs are skipped
# with the reason unless LAPWATCH_EMULATED_X86=1 asks for them (the demo or
# a single test, say).

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

# Where set-up keeps apt's message when its last try to install 32-bit Wine
# failed, for the test command's skip line; it does not stop the next try.
# It is a fact about this machine's packages, not about a checkout or a
# build folder, so "rm -rf build" does not lose the reason. Set-up runs as
# root and writes it (and removes it once 32-bit Wine is in); everyone
# reads it.
WINE32_UNAVAILABLE=/var/lib/lapwatch/wine32-unavailable

# The smallest i386 Linux program: an ELF header, one loadable segment and
# the code of exit(0) (mov eax,1; xor ebx,ebx; int 0x80), 93 bytes. It lets
# the kernel be asked before any 32-bit package is installed.
I386_EXIT_PROGRAM='\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\135\0\0\0\135\0\0\0\5\0\0\0\0\20\0\0\270\1\0\0\0\61\333\315\200'

# Exit status 0 when this kernel runs 32-bit programs (natively or through
# an emulator registered with binfmt_misc), 1 when it refuses them with
# "Exec format error", 2 when the probe itself cannot run (a temporary
# folder mounted noexec, say): then nobody knows.
kernel_runs_32_bit() {
    local program said status=0
    program=$(mktemp "${TMPDIR:-/tmp}/i386-probe.XXXXXX") || return 2
    { printf "$I386_EXIT_PROGRAM" >"$program" && chmod +x "$program"; } || { rm -f "$program"; return 2; }
    said=$("$program" 2>&1) || status=$?
    rm -f "$program"
    [ $status -eq 0 ] && return 0
    [[ $said == *"Exec format error"* ]] && return 1
    return 2
}

# The interpreter of the enabled binfmt_misc entry that takes i386 ELF
# files, or nothing.
i386_binfmt_interpreter() {
    local entry
    for entry in /proc/sys/fs/binfmt_misc/*; do
        [ -f "$entry" ] || continue
        grep -qx enabled "$entry" 2>/dev/null || continue
        grep -q '^magic 7f454c46010101.*0300$' "$entry" || continue
        sed -n 's/^interpreter //p' "$entry"
        return
    done
}

# Exit status 0 when 32-bit programs run under an emulator. The 32-bit
# dynamic loader reports the machine its uname() sees: on an x86_64 kernel a
# native 32-bit process sees x86_64, while qemu-i386 answers with the CPU it
# emulates.
runs_32_bit_emulated() {
    local ldso=/lib/ld-linux.so.2 machine
    [ -x "$ldso" ] || return 1
    machine=$("$ldso" --list-diagnostics 2>/dev/null | sed -n 's/^uname\.machine="\(.*\)"$/\1/p')
    [ -n "$machine" ] && [ "$machine" != "$(uname -m)" ]
}

wine_probe() {
    local loader
    loader=$(wine_loader "$1") || return 2
    if [ ! -x "$loader" ]; then
        # Set-up leaves 32-bit Wine out where the kernel cannot run it.
        local kernel=0
        [ "$1" = x86 ] && { kernel_runs_32_bit || kernel=$?; }
        if [ $kernel -eq 1 ]; then
            echo "$KERNEL_WITHOUT_32_BIT"
            return 1
        fi
        if [ "$1" = x86 ] && [ -f "$WINE32_UNAVAILABLE" ]; then
            echo "32-bit Wine could not be installed at set-up's last try ($(cat "$WINE32_UNAVAILABLE"); its next run as root tries again)"
            return 1
        fi
        echo "$loader is not installed (run scripts/setup.sh as root)"
        return 2
    fi
    local said
    if said=$("$loader" --version 2>&1 >/dev/null); then
        if [ "$1" = x86 ] && [ "${LAPWATCH_EMULATED_X86:-0}" != 1 ] && runs_32_bit_emulated; then
            local emulator
            emulator=$(i386_binfmt_interpreter)
            echo "this kernel runs 32-bit programs only through the emulator ${emulator:-of a binfmt_misc entry}, far too slow for these runs (LAPWATCH_EMULATED_X86=1 runs them anyway)"
            return 1
        fi
        return 0
    fi
    if [ "$1" = x86 ] && [[ $said == *"Exec format error"* ]]; then
        echo "$KERNEL_WITHOUT_32_BIT"
        return 1
    fi
    echo "$loader does not start on this machine: ${said:-no message}"
    return 2
}
