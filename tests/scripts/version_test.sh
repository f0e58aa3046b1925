#!/usr/bin/env bash
# Checks that every place stating Lapwatch's version agrees with CMake's
# project(VERSION), from which the code and the version resource take it:
#  - the versions users read: the zip's name, the load message, the settings
#    report and the /?? line as README.md, docs/GUIDE.md, docs/FAQ.md and
#    docs/dev/release.md show them (README's install section must name the
#    zip and the load message: it becomes the zip's INSTALL.txt);
#  - CHANGELOG.md's newest entry, when it is a release ("## [1.2.3.4] -
#    2030-01-31"); an "## [Unreleased]" entry names no version;
#  - the tests' own constant (tests/support/expected_version.h);
#  - the version resource of each DLL given, as text and as numbers.
# Then it makes copies of those files with one version altered, or with a
# release entry on top of CHANGELOG.md, and checks that each wrong copy fails
# and each right one passes, so the check itself is seen to work.
#
#   tests/scripts/version_test.sh [ROOT [DLL...]]    ROOT: the sources
#                                                     (default: this tree)
set -uo pipefail
root=$(cd "${1:-$(dirname "$0")/../..}" && pwd)
shift $(($# > 0 ? 1 : 0))
dlls=("$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
version_pattern='[0-9][0-9]*\(\.[0-9][0-9]*\)*'

# The DLL's FileVersion text and its fixed numbers, as "text numbers".
resource_versions() {
    perl -e '
        use Encode;
        local $/; my $d = <STDIN>;
        my $key = encode("UTF-16LE", "FileVersion\0");
        my $at = index($d, $key);
        $at >= 0 or exit 1;
        $at += length $key;
        $at += 2 while substr($d, $at, 2) eq "\0\0";
        my $text = "";
        for (; substr($d, $at, 2) ne "\0\0"; $at += 2) { $text .= decode("UTF-16LE", substr($d, $at, 2)); }
        my $fixed = index($d, pack("V", 0xFEEF04BD));
        $fixed >= 0 or exit 1;
        my ($ms, $ls) = unpack("V V", substr($d, $fixed + 8, 8));
        printf "%s %d.%d.%d.%d\n", $text, $ms >> 16, $ms & 0xFFFF, $ls >> 16, $ls & 0xFFFF;
    ' <"$1"
}

# Prints each disagreement; fails when there is one.
check_versions() { # check_versions ROOT [DLL...]
    local tree=$1 version short found file named release dll said
    shift
    local -a wrong=()
    version=$(sed -n 's/^project(Lapwatch VERSION \([0-9.]*\)[ )].*/\1/p' "$tree/CMakeLists.txt")
    [ -n "$version" ] || { echo "no project(Lapwatch VERSION ...) in CMakeLists.txt"; return 1; }
    short=${version%.*}

    local install
    install=$(sed -n '/^<!-- install:begin -->$/,/^<!-- install:end -->$/p' "$tree/README.md")
    grep -qF "Lapwatch-$version.zip" <<<"$install" || wrong+=("README's install section names no Lapwatch-$version.zip")
    grep -qF "Lapwatch v$short loaded." <<<"$install" ||
        wrong+=("README's install section names no \"Lapwatch v$short loaded.\"")
    for file in README.md docs/GUIDE.md docs/FAQ.md docs/dev/release.md; do
        [ -f "$tree/$file" ] || continue
        while IFS= read -r found; do
            case $found in
                "Lapwatch-$version.zip" | "Lapwatch v$short" | "Lapwatch  $version") ;;
                *) wrong+=("$file names \"$found\"") ;;
            esac
        done < <(grep -o "Lapwatch-$version_pattern\.zip\|Lapwatch v$version_pattern\|Lapwatch  $version_pattern" \
            "$tree/$file")
    done

    named=$(sed -n 's/^## //p' "$tree/CHANGELOG.md" | head -1)
    case $named in
        "[Unreleased]") ;;
        "["*"] - "????-??-??) release=${named#[}; release=${release%%]*}
            [ "$release" = "$version" ] || wrong+=("CHANGELOG.md's newest release is $release") ;;
        *) wrong+=("CHANGELOG.md's newest entry \"$named\" is neither [Unreleased] nor [VERSION] - YYYY-MM-DD") ;;
    esac

    said=$(sed -n 's/^#define EXPECTED_VERSION_SHORT L"\(.*\)"$/\1/p' "$tree/tests/support/expected_version.h")
    local last
    last=$(sed -n 's/^#define EXPECTED_VERSION EXPECTED_VERSION_SHORT L"\(.*\)"$/\1/p' \
        "$tree/tests/support/expected_version.h")
    [ "$said$last" = "$version" ] || wrong+=("tests/support/expected_version.h says \"$said$last\"")

    for dll in "$@"; do
        said=$(resource_versions "$dll") || { wrong+=("$(basename "$dll") has no readable version resource"); continue; }
        [ "$said" = "$version $version" ] ||
            wrong+=("$(basename "$dll")'s version resource says \"$said\" (text, numbers)")
    done

    [ ${#wrong[@]} -eq 0 ] && return 0
    echo "project(VERSION) is $version, but:"
    printf '  %s\n' "${wrong[@]}"
    return 1
}

if ! check_versions "$root" "${dlls[@]}" >"$work/said"; then
    echo "version_test: FAILED on $root:"
    cat "$work/said"
    exit 1
fi
version=$(sed -n 's/^project(Lapwatch VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
echo "version_test: $version everywhere (${#dlls[@]} DLLs)"

# The check on altered copies: file | sed script | expected result.
status=0
short=${version%.*}
next=${short}.$((${version##*.} + 1))
escaped=${version//./\\.}
cases=(
    "CMakeLists.txt|s/^project(Lapwatch VERSION $escaped/project(Lapwatch VERSION $next/|fail"
    "README.md|s/Lapwatch-$escaped\.zip/Lapwatch-$next.zip/|fail"
    "README.md|/install:begin/,/install:end/s/Lapwatch v${short//./\\.} loaded/Lapwatch v9.9.9 loaded/|fail"
    "docs/GUIDE.md|0,/Lapwatch v${short//./\\.}/s//Lapwatch v9.9.9/|fail"
    "CHANGELOG.md|0,/^## /s/^## .*/## [$next] - 2030-01-31\n\n&/|fail"
    "CHANGELOG.md|0,/^## /s/^## .*/## [$version] - 2030-01-31\n\n&/|pass"
    "CHANGELOG.md|0,/^## /s/^## .*/## $version\n\n&/|fail"
    "tests/support/expected_version.h|s/^#define EXPECTED_VERSION_SHORT L\".*\"/#define EXPECTED_VERSION_SHORT L\"9.9.9\"/|fail"
)
for row in "${cases[@]}"; do
    IFS='|' read -r file script expected <<<"$row"
    copy=$work/copy
    rm -rf "$copy"
    for each in CMakeLists.txt README.md CHANGELOG.md docs/GUIDE.md docs/FAQ.md docs/dev/release.md \
        tests/support/expected_version.h; do
        mkdir -p "$copy/$(dirname "$each")" && cp "$root/$each" "$copy/$each"
    done
    sed -i "$script" "$copy/$file"
    if cmp -s "$root/$file" "$copy/$file"; then
        echo "version_test: FAILED: '$script' changed nothing in $file"
        status=1
        continue
    fi
    check_versions "$copy" >"$work/said" && result=pass || result=fail
    if [ "$result" != "$expected" ]; then
        echo "version_test: FAILED: $file altered by '$script' should $expected the check:"
        cat "$work/said"
        status=1
    fi
done
# A DLL whose version resource names the next version.
for dll in "${dlls[@]}"; do
    altered=$work/altered-$(basename "$dll")
    perl -pe 'BEGIN { use Encode; $a = encode("UTF-16LE", shift); $b = encode("UTF-16LE", shift); $/ = undef }
              s/\Q$a\E/$b/g' "$version" "$next" <"$dll" >"$altered"
    if cmp -s "$dll" "$altered" || check_versions "$root" "$altered" >/dev/null; then
        echo "version_test: FAILED: $(basename "$dll") with the version text $next passed the check"
        status=1
    fi
done
[ $status -eq 0 ] && echo "version_test: ${#cases[@]} altered copies and ${#dlls[@]} altered DLLs judged as expected"
exit $status
