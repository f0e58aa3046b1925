#!/usr/bin/env bash
# Builds both DLLs in Release and writes the release package:
#
#   dist/Lapwatch-<version>.zip    Lapwatch-x86.dll, Lapwatch-x64.dll
#                                  (stripped), INSTALL.txt (README's
#                                  install section), LICENSE, SHA256SUMS
#   dist/Lapwatch-x86.dll.debug    their debug information, which the
#   dist/Lapwatch-x64.dll.debug    stripped DLLs name in a GNU debug link
#   dist/SHA256SUMS                checksums of the three files above
#
# The version is CMake's project(VERSION). The package is reproducible: two
# runs on one commit, in any folders, give the same bytes (the DLLs carry no
# time stamp and no build path; the zip has a fixed file order, fixed
# permissions and the commit's time as every file's time).
#
#   scripts/package.sh            into dist/ (DIST_DIR to change), Release
#                                 builds in $BUILD_DIR/release-<arch>
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/arch.sh"
"$root/scripts/setup.sh"
build=${BUILD_DIR:-$root/build}
dist=${DIST_DIR:-$root/dist}

# Every file's time in the zip: the commit's, or 1980-01-01 outside git.
epoch=$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$dist"

for arch in x86 x64; do
    triple=$(mingw_triple "$arch")
    out=$build/release-$arch
    configure_arch "$arch" "$out" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -g -DNDEBUG" \
        -DBUILD_TESTING=OFF
    cmake --build "$out" --target lapwatch -j"$(nproc)" >/dev/null
    dll=Lapwatch-$arch.dll
    # The debug link names the debug file and holds its checksum. objcopy
    # stamps the PE header with the time unless SOURCE_DATE_EPOCH says
    # otherwise; 0 keeps the linker's (absent) time stamp.
    (cd "$dist" && export SOURCE_DATE_EPOCH=0 &&
        "$triple-objcopy" --only-keep-debug "$out/bin/$dll" "$dll.debug" &&
        "$triple-objcopy" --strip-all --add-gnu-debuglink="$dll.debug" "$out/bin/$dll" "$stage/$dll")
done

version=$(sed -n 's/^#define PLUGIN_VERSION_TEXT "\(.*\)"$/\1/p' "$build/release-x64/generated/version.h")
[ -n "$version" ] || { echo "package: no version in the generated version header" >&2; exit 1; }

# INSTALL.txt is README's install section (between its install markers) as
# plain text: headings underlined, no backquotes, CRLF line ends. The section
# names the zip and the load message, which must be this version's (the load
# message names three of the four numbers).
install=$(sed -n '/^<!-- install:begin -->$/,/^<!-- install:end -->$/p' "$root/README.md" | sed '1d;$d')
for named in "Lapwatch-$version.zip" "Lapwatch v${version%.*} loaded."; do
    grep -qF "$named" <<<"$install" ||
        { echo "package: README's install section does not name \"$named\"" >&2; exit 1; }
done
{
    title="Lapwatch $version - installing the command timer"
    printf '%s\n%s\n' "$title" "${title//?/=}"
    awk '/^## / { next }
         /^### / { sub(/^### /, ""); print; gsub(/./, "-"); print; next }
         { gsub(/`/, ""); print }' <<<"$install"
    printf '\nLapwatch is free software under the MIT licence; see LICENSE.\n'
} | sed -e 's/$/\r/' >"$stage/INSTALL.txt"
sed -e 's/$/\r/' "$root/LICENSE" >"$stage/LICENSE"
files=(Lapwatch-x64.dll Lapwatch-x86.dll INSTALL.txt LICENSE)
(cd "$stage" && sha256sum "${files[@]}" >SHA256SUMS)
files+=(SHA256SUMS)

zipfile=$dist/Lapwatch-$version.zip
rm -f "$zipfile"
(cd "$stage" && chmod 644 "${files[@]}" && touch -d "@$epoch" "${files[@]}" &&
    TZ=UTC zip -q -X -D "$zipfile" "${files[@]}")
(cd "$dist" && sha256sum "Lapwatch-$version.zip" Lapwatch-x64.dll.debug Lapwatch-x86.dll.debug >SHA256SUMS)
echo "package: $zipfile"
(cd "$dist" && cat SHA256SUMS)
