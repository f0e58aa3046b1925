#!/usr/bin/env bash
# The demo as a user sees it in a terminal. Starts scripts/demo.sh in a
# 100x30 tmux pane of its own (a fresh Wine prefix in the build folder),
# types a short session and checks, at every prompt, that the pane shows
# exactly the console's screen buffer: tmux's capture-pane, characters and
# colours, against lapshell's screen log. On top of that: every line reads
# as typed, the overlay appears at the top right after a timed line and is
# gone after Esc, a slow line's time is seen after its slow command printed
# on the bottom row, no row scrolls into the terminal's history with the
# overlay on it (lines ended or wrapped on the bottom row, a long line
# recalled with Up), the line editor's tab echo, Backspace and Esc (also
# over wrapped rows), Ctrl+C in a delay and at the prompt, and the demo
# leaves the terminal's settings as it found them.
#
#   tests/e2e/terminal_test.sh x86|x64
#
# Exit status 0 passed, 1 failed, 77 skipped (tmux missing, or this kernel
# cannot run 32-bit programs). Uses the build in $BUILD_DIR/<arch> (default
# build/), which the demo brings up to date.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/arch.sh"
SKIP=77
arch=${1:-}
case $arch in x86|x64) ;; *) echo "usage: terminal_test.sh x86|x64" >&2; exit 2 ;; esac
say() { echo "terminal($arch): $*"; }

command -v tmux >/dev/null || { say "skipped: tmux is not installed"; exit $SKIP; }
reason=$(wine_probe "$arch")
case $? in
    0) ;;
    1) say "skipped: $reason"; exit $SKIP ;;
    *) say "$reason"; exit 1 ;;
esac

WIDTH=100
HEIGHT=30
# A fresh prefix takes seconds, but minutes where 32-bit programs run under
# an emulator (LAPWATCH_EMULATED_X86=1): the first prompt may be long.
START_SECONDS=1800
STEP_SECONDS=120

build=$(realpath -m "${BUILD_DIR:-$root/build}")
work=$build/$arch/wine/terminal
rm -rf "$work"
mkdir -p "$work"
log=$work/screen.log
socket=lapwatch-terminal-$$
# A server of its own, whatever tmux this runs in, with a plain shell.
unset TMUX
printf '%s\n' 'set-option -g status off' 'set-option -g default-shell /bin/sh' >"$work/tmux.conf"
tmx() { tmux -L "$socket" -f "$work/tmux.conf" "$@"; }
socket_path=
cleanup() {
    tmx kill-server >/dev/null 2>&1
    [ -n "$socket_path" ] && rm -f "$socket_path"
    WINEPREFIX=$work/prefix wineserver -k >/dev/null 2>&1
}
trap cleanup EXIT

q() { printf '%q' "$1"; }
winlog="Z:${log//\//\\}"
# Ctrl+C reaches every process of the pane's foreground group; the pane's
# own shell stands for the user's, which is not in that group, so it lets it
# pass.
tmx new-session -d -s demo -x $WIDTH -y $HEIGHT \
    "trap : INT; cd $(q "$root") && stty -g >$(q "$work/stty-before") &&
     BUILD_DIR=$(q "$build") DEMO_PREFIX=$(q "$work/prefix") scripts/demo.sh --$arch \
         --screen-log $(q "$winlog") --screen-rows $HEIGHT;
     echo \$? >$(q "$work/status"); stty -g >$(q "$work/stty-after")"
socket_path=$(tmx display-message -p -t demo '#{socket_path}')
size=$(tmx display-message -p -t demo '#{pane_width}x#{pane_height}')
[ "$size" = "${WIDTH}x${HEIGHT}" ] || { say "FAILED: the pane is $size, not ${WIDTH}x${HEIGHT}"; exit 1; }

# The pane as rows of "attrs<TAB>text", one console attribute (two hex
# digits) per cell: tmux's SGR codes mapped back to console colours (ANSI
# numbers red, green, blue as bits 0, 1, 2; the console's the other way).
pane_rows() {
    tmx capture-pane -p -e -N -t demo | LC_ALL=C awk -v width=$WIDTH -v height=$HEIGHT '
        BEGIN { split("0 4 2 6 1 5 3 7", con, " "); fg = 7; bg = 0; bold = 0; esc = sprintf("%c", 27) }
        function sgr(list,   n, p, i, v) {
            n = split(list, p, ";")
            if (n == 0) { fg = 7; bg = 0; bold = 0 }
            for (i = 1; i <= n; i++) {
                v = p[i] + 0
                if (v == 0) { fg = 7; bg = 0; bold = 0 }
                else if (v == 1) bold = 1
                else if (v == 22) bold = 0
                else if (v >= 30 && v <= 37) fg = con[v - 29]
                else if (v >= 90 && v <= 97) fg = con[v - 89] + 8
                else if (v == 39) fg = 7
                else if (v >= 40 && v <= 47) bg = con[v - 39]
                else if (v >= 100 && v <= 107) bg = con[v - 99] + 8
                else if (v == 49) bg = 0
                else if ((v == 38 || v == 48) && p[i + 1] == 5) {
                    c = p[i + 2] + 0
                    c = c < 8 ? con[c + 1] : c < 16 ? con[c - 7] + 8 : -1
                    if (v == 38) fg = c; else bg = c
                    i += 2
                } else { fg = -1 }    # anything else the console cannot show
            }
        }
        function attr() { return fg < 0 || bg < 0 ? "??" : sprintf("%X%X", bg, fg < 8 && bold ? fg + 8 : fg) }
        {
            attrs = ""; text = ""; cells = 0; line = $0
            while (length(line) > 0) {
                if (substr(line, 1, 2) == esc "[") {
                    match(line, "^" esc "\\[[0-9;]*[@-~]")
                    code = substr(line, 3, RLENGTH - 3)
                    if (substr(line, RLENGTH, 1) == "m") sgr(code)
                    line = substr(line, RLENGTH + 1)
                    continue
                }
                c = substr(line, 1, 1); line = substr(line, 2)
                text = text c
                if (c < "\200" || c >= "\300") { attrs = attrs attr(); cells++ }
            }
            for (; cells < width; cells++) { attrs = attrs "07"; text = text " " }
            print attrs "\t" text
            if (++rows == height) exit
        }'
}

# Entry n of the screen log as the same rows.
log_rows() {
    LC_ALL=C awk -F '\t' -v n="$1" -v height=$HEIGHT '
        { sub(/\r$/, "") }
        $1 == "prompt=" n {
            for (i = 1; i <= NF; i++) { eq = index($i, "="); field[substr($i, 1, eq - 1)] = substr($i, eq + 1) }
            print field["attrs"] "\t" field["text"]
            for (r = 1; r < height; r++) print field["attrs" r] "\t" field["text" r]
        }' "$log"
}

prompts() {
    local n=0
    [ -f "$log" ] && n=$(grep -c '^prompt=' "$log")
    echo "${n:-0}"
}

fail() {
    say "FAILED: $*"
    echo "--- the pane:"
    tmx capture-pane -p -t demo 2>/dev/null
    exit 1
}

# Waits until the screen log has entry n (the shell showed its n-th prompt).
wait_prompt() {
    local n=$1 seconds=$2 waited=0
    while [ "$(prompts)" -lt "$n" ]; do
        [ -f "$work/status" ] && fail "the demo ended (status $(cat "$work/status")) before prompt $n"
        [ $waited -ge $((seconds * 2)) ] && fail "no prompt $n after $seconds s"
        sleep 0.5
        waited=$((waited + 1))
    done
}

# Waits until the pane shows the rows in file $1 (Wine draws the terminal a
# moment after the console changes); on time-out prints the rows that differ.
wait_pane() {
    local expected=$1 what=$2 tries=0
    while :; do
        pane_rows >"$work/pane.txt"
        cmp -s "$work/pane.txt" "$expected" && return 0
        if [ $tries -ge $((STEP_SECONDS * 2)) ]; then
            say "FAILED: the pane differs from $what"
            paste -d '\n' "$expected" "$work/pane.txt" | awk -F '\t' '
                NR % 2 { split($0, want, "\t"); next }
                $2 != want[2] { printf "row %d\n  buffer: %s\n  pane:   %s\n", NR / 2 - 1, want[2], $2; next }
                $1 != want[1] { printf "row %d: %s\n  colours in the buffer: %s\n  colours in the pane:   %s\n",
                                NR / 2 - 1, $2, want[1], $1 }'
            exit 1
        fi
        sleep 0.5
        tries=$((tries + 1))
    done
}

# Types a line (or a key), then checks the pane against the screen log at
# the prompt that follows.
type_line() {
    local n=$1 line=$2
    type_keys "$n" $STEP_SECONDS -l "$line" Enter
}

# Sends keys (tmux's key names; the text after -l as it is), then checks the
# pane against the screen log at prompt n, which must come within the
# given seconds.
type_keys() {
    local n=$1 seconds=$2 keys
    shift 2
    keys="$*"
    while [ $# -gt 0 ]; do
        if [ "$1" = -l ]; then
            tmx send-keys -t demo -l "$2"
            shift 2
        else
            tmx send-keys -t demo "$1"
            shift
        fi
    done
    wait_prompt "$n" "$seconds"
    log_rows "$n" >"$work/log-$n.txt"
    wait_pane "$work/log-$n.txt" "the screen buffer at prompt $n (after ${keys:0:60})"
}

# Row r of the pane, counted from the bottom (1 is the last row).
bottom_row() { row_text "$work/pane.txt" $((HEIGHT - $1)); }

row_text() { sed -n "$(($2 + 1))p" "$1" | cut -f2 | sed 's/ *$//'; }
row_attrs() { sed -n "$(($2 + 1))p" "$1" | cut -f1; }

wait_prompt 1 $START_SECONDS
log_rows 1 >"$work/log-1.txt"
wait_pane "$work/log-1.txt" "the screen buffer at the first prompt"
type_line 2 'lapwatch /B:T'
type_line 3 'delay 1.2'

# The overlay: the timer's text in the top row's last cells but one, bright
# white on blue; the last cell and everything left of the text untouched.
overlay=$(sed -n 1p "$work/pane.txt" | cut -f2 | cut -c$((WIDTH - 18))-$((WIDTH - 1)))
[[ $overlay =~ ^\ \[2\]\ \ 0:00:01\.[0-9]{3}\ $ ]] || fail "no overlay of the timed line at the top right: '$overlay'"
top_attrs=$(row_attrs "$work/pane.txt" 0)
want=$(printf '07%.0s' $(seq $((WIDTH - 19))))$(printf '1F%.0s' $(seq 18))07
[ "$top_attrs" = "$want" ] || fail "the top row's colours are not the overlay's: $top_attrs"

type_line 4 'echo %_cmdcount %_cmdtime'

# Esc: no prompt follows; the top row is again what it was before any
# overlay, the rest of the screen stays.
tmx send-keys -t demo Escape
{ sed -n 1p "$work/log-1.txt"; sed -n "2,${HEIGHT}p" "$work/log-4.txt"; } >"$work/after-esc.txt"
wait_pane "$work/after-esc.txt" "the screen after Esc (the overlay removed)"
[ "$(prompts)" -eq 4 ] || fail "Esc made a prompt"

# Every line as typed, in its place.
expected=(
    "demo: Lapwatch-$arch\.dll; type exit to leave"
    'Lapwatch v[0-9]+\.[0-9]+\.[0-9]+ loaded\.'
    '\[lapshell\] \$ lapwatch /B:T'
    ''
    'Lapwatch v[0-9]+\.[0-9]+\.[0-9]+ settings:'
    ''
    '   Show timer \. \. \. \. \. \. \. \. /B : Text'
    '   Timer text colors  \. \. \. \. /C : Bright white on blue'
    '   Slow commands take \. \. \. \. /T : 10 seconds or more'
    '   Slow-Command \. \. \. \. \. \. \. Not defined'
    '\[lapshell\] \$ delay 1\.2'
    '\[lapshell\] \$ echo %_cmdcount %_cmdtime'
    '3 0:00:00\.[0-9]{3}'
    '\[lapshell\] \$'
)
for ((r = 0; r < HEIGHT; r++)); do
    text=$(row_text "$work/pane.txt" $r)
    pattern=${expected[r]:-}
    [[ $text =~ ^${pattern}$ ]] || fail "row $r reads '$text', expected /$pattern/"
done

# Lines that scroll the screen, each Enter typed on the bottom row: the
# overlay is taken off at Enter, before the line ends and the screen
# scrolls, so no row that scrolls out of the window takes it along into the
# terminal's history.
for n in 5 6 7 8; do type_line $n 'lapwatch'; done
# A slow line on the bottom row: its slow command prints there, scrolling
# the screen, and the line's time is still seen at the top right.
type_line 9 'lapwatch /T:1 echo slow!'
type_line 10 'delay 1.2'
overlay=$(sed -n 1p "$work/pane.txt" | cut -f2 | cut -c$((WIDTH - 18))-$((WIDTH - 1)))
[[ $overlay =~ ^\ \[9\]\ \ 0:00:01\.[0-9]{3}\ $ ]] || fail "the slow line's time is not seen at the top right: '$overlay'"
# A typed line that wraps on the bottom row: the overlay goes before its row
# would scroll out.
type_line 11 "echo $(printf 'w%.0s' $(seq $WIDTH))"
history_rows=$(tmx capture-pane -p -S - -E -1 -t demo)
[ "$(printf '%s\n' "$history_rows" | wc -l)" -ge 12 ] || fail "the screen did not scroll"
ghost=$(printf '%s\n' "$history_rows" | grep -E '\[[0-9]+\]  0:00:' || true)
[ -z "$ghost" ] || fail "rows scrolled into the terminal's history with the overlay on them:
$ghost"


# The line editor, on the bottom row. A tab echoes as the blanks up to the
# next multiple of 8 columns, and Backspace takes all of them off.
type_keys 12 $STEP_SECONDS -l 'echo a' Tab -l b Enter
[[ $(bottom_row 3) =~ ^'[lapshell] $ echo a'\ {5}b$ ]] || fail "the tab's echo is not 5 blanks: '$(bottom_row 3)'"
type_keys 13 $STEP_SECONDS -l 'echo a' Tab BSpace -l c Enter
[ "$(bottom_row 3)" = '[lapshell] $ echo ac' ] || fail "Backspace did not take the tab's blanks off: '$(bottom_row 3)'"
# Backspace at column 0 goes up to the end of the row above; Esc takes off
# every row of a line that wrapped.
type_keys 14 $STEP_SECONDS -l "echo $(printf 'w%.0s' $(seq 82))" BSpace -l z Enter
[ "$(bottom_row 4)" = "[lapshell] \$ echo $(printf 'w%.0s' $(seq 81))z" ] && [ -z "$(bottom_row 3)" ] ||
    fail "Backspace at column 0 did not go up a row: '$(bottom_row 4)' '$(bottom_row 3)'"
type_keys 15 $STEP_SECONDS -l "echo $(printf 'q%.0s' $(seq 150))" Escape -l 'echo e' Enter
[ "$(bottom_row 3)" = '[lapshell] $ echo e' ] && [ "$(bottom_row 2)" = e ] ||
    fail "Esc left some of a wrapped line: '$(bottom_row 3)' '$(bottom_row 2)'"

# Up recalls a long line on the bottom row with a timer showing: the shell
# writes the whole line at once, and the overlay must be gone before that
# write scrolls the top row into the terminal's history.
long="echo $(printf 'h%.0s' $(seq 145))"
type_line 16 "$long"
type_keys 17 $STEP_SECONDS Up Enter
pane_text() { cut -f2 "$work/pane.txt" | sed 's/ *$//'; }
[ "$(pane_text | grep -cxF "[lapshell] \$ ${long:0:87}")" -eq 2 ] || fail "Up did not recall the long line"
# Told at the end, so that the checks after it still run.
recall_ghost=$(tmx capture-pane -p -S - -E -1 -t demo | grep -E '\[[0-9]+\]  0:00:' || true)

# Ctrl+C stops a running delay within a moment, and at the prompt drops the
# line typed so far; the demo goes on either way. (No slow command runs
# after the stopped delay.)
type_line 18 'lapwatch /T:0'
# Ctrl+C is a signal: it must not overtake the keys sent before it, so it
# waits until the cursor shows they were read.
wait_cursor_column() {
    local tries
    for ((tries = 0; tries < STEP_SECONDS * 10; tries++)); do
        [ "$(tmx display-message -p -t demo '#{cursor_x}')" = "$1" ] && return 0
        sleep 0.1
    done
    fail "the cursor never reached column $1"
}
tmx send-keys -t demo -l 'delay 10'
tmx send-keys -t demo Enter
wait_cursor_column 0
type_keys 19 3 C-c
[ "$(bottom_row 3)" = '[lapshell] $ delay 10' ] && [ "$(bottom_row 2)" = '^C' ] ||
    fail "Ctrl+C in a delay: '$(bottom_row 3)' '$(bottom_row 2)'"
tmx send-keys -t demo -l 'echo dropped'
wait_cursor_column 25
type_keys 20 3 C-c
[ "$(bottom_row 2)" = '[lapshell] $ echo dropped^C' ] && ! pane_text | grep -qxF dropped ||
    fail "Ctrl+C at the prompt: '$(bottom_row 2)'"

tmx send-keys -t demo -l exit
tmx send-keys -t demo Enter
for ((waited = 0; waited < STEP_SECONDS * 2; waited++)); do
    [ -f "$work/stty-after" ] && break
    sleep 0.5
done
[ -f "$work/stty-after" ] || fail "the demo did not end after exit"
[ "$(cat "$work/status")" = 0 ] || fail "the demo ended with status $(cat "$work/status")"
cmp -s "$work/stty-before" "$work/stty-after" || fail "the terminal's settings differ after the demo"
[ -z "$recall_ghost" ] || fail "Up recalled a long line on the bottom row and the overlay scrolled into the history:
$recall_ghost"
say "passed: 20 prompts, Esc and Ctrl+C in a ${WIDTH}x${HEIGHT} tmux pane read as the console's screen buffer; no overlay scrolled into the history; the terminal's settings are back after Ctrl+C and exit"
