#!/usr/bin/env bash
# Runs a player built with a changed picture set on the X server in DISPLAY and watches it
# from outside:
#   run_variant.sh <program> fatal   a "Fatal Error" box comes up before any frame; Return closes
#                                    it and the program ends with status 0
#   run_variant.sh <program> shows   frames run (the title counts time) and no box comes up;
#                                    Escape ends the program with status 0
. "$(dirname "$0")/../support/watch_lib.sh"
set -u
program=$1 expect=$2

work=$(mktemp -d /tmp/pictures-run.XXXXXX)
pid=""
trap '[ -n "$pid" ] && kill -TERM $pid 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; [ -s "$work/stderr" ] && sed 's/^/  program: /' "$work/stderr" >&2; exit 1; }
cd "$work"

# Window titles of the program; a drawn frame writes " Time = ... Effect = ..." into its own.
titles() { for w in $(xdotool search --pid "$pid" 2>/dev/null); do xdotool getwindowname "$w" 2>/dev/null; done; }
framed() { titles | grep -q 'Time = '; }
# The box's WM_NAME is typed UTF8_STRING, which the name search of older xdotool releases
# cannot read; the window tree lists it by name either way.
find_box() {
    local id
    id=$(xdotool search --name '^Fatal Error$' 2>/dev/null | head -1)
    [ -n "$id" ] || id=$(xwininfo -root -tree 2>/dev/null | sed -n 's/^ *\(0x[0-9a-f]*\) "Fatal Error":.*/\1/p' | head -1)
    echo "$id"
}

"$program" 2>"$work/stderr" &
pid=$!

if [ "$expect" = fatal ]; then
    box=""
    for _ in $(seq 1 300); do
        box=$(find_box)
        [ -n "$box" ] && break
        kill -0 $pid 2>/dev/null || fail "program ended without a box"
        sleep 0.1
    done
    [ -n "$box" ] || fail "no \"Fatal Error\" box within 30 s"
    # The box holds setup; give a frame every chance to show if one were coming.
    sleep 1
    framed && fail "a frame was drawn while the box is up: $(titles | tr '\n' '|')"
    xdotool windowfocus --sync "$box" 2>/dev/null
    xdotool key --clearmodifiers Return
    for _ in $(seq 1 150); do
        kill -0 $pid 2>/dev/null || break
        framed && fail "a frame was drawn after the box"
        sleep 0.1
    done
    kill -0 $pid 2>/dev/null && fail "program still running 15 s after the box was closed"
    wait $pid
    status=$?
    pid=""
    [ "$status" -eq 0 ] || fail "exit status $status, expected 0"
    echo "ok: \"Fatal Error\" box, no frame, closed with Return, exit 0"
    exit 0
fi

for _ in $(seq 1 300); do
    framed && break
    kill -0 $pid 2>/dev/null || fail "program ended before its first frame"
    sleep 0.1
done
framed || fail "no frame within 30 s"
sleep 2
[ -n "$(find_box)" ] && fail "a \"Fatal Error\" box came up"
win=$(xdotool search --pid "$pid" 2>/dev/null | head -1)
import -window root "$work/shot.png" 2>/dev/null
mean=$(convert "$work/shot.png" -format '%[fx:mean]' info: 2>/dev/null)
echo "screen mean brightness: ${mean:-unknown}"
press_escape "$win"
wait_for_exit "$pid" 15 || fail "program still running 15 s after Escape"
status=$exit_status
pid=""
[ "$status" -eq 0 ] || fail "exit status $status, expected 0"
echo "ok: frames shown, no box, exit 0 after Escape"
