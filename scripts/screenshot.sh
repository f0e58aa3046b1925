#!/usr/bin/env bash
# Renders docs/console.svg, the picture at the top of README.md, from the
# screen cells of a real run: the stand-in shell with Lapwatch loaded runs a
# short session under Wine, its screen log keeps the window's top rows after
# the last prompt, and those cells (characters and colour attributes) become
# an SVG. Uses the architecture this machine runs (ARCH=x64 to choose).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/arch.sh"
"$root/scripts/setup.sh"
build=${BUILD_DIR:-$root/build}
arch=${ARCH:-$(runnable_arch)}
ARCHS=$arch "$root/scripts/build.sh" --target lapshell >/dev/null
rows=6
work=$build/$arch/wine/screenshot
mkdir -p "$work"
printf '%s\r\n' 'echo Every line you enter is timed.' 'delay 1.5' >"$work/session.txt"
rm -f "$work/screen.log"
(cd "$build/$arch/bin" && "$root/scripts/wine-run.sh" --arch "$arch" --on-console "$work/prefix" lapshell.exe \
    --script "Z:${work//\//\\}\\session.txt" \
    --screen-log "Z:${work//\//\\}\\screen.log" --screen-rows "$rows" >/dev/null)
tail -n 1 "$work/screen.log" | tr -d '\r' | LC_ALL=C awk -F '\t' -v rows="$rows" -f "$root/scripts/cells-to-svg.awk" \
    >"$root/docs/console.svg"
echo "screenshot: docs/console.svg from Lapwatch-$arch.dll ($(grep -c '<text' "$root/docs/console.svg") runs of text)"
