#!/usr/bin/env bash
# Runs one program on the X server in DISPLAY and checks, from outside, what its display-mode
# choice did:
#   run_program.sh <program> <error lines> <window WxH | none> [<frame-rate limit>] [xrandr]
#   run_program.sh <program> no-display
# <error lines>: how many "Error -2 occurred. The graphics mode is not supported." lines the run
# writes, and no other "Error " line. "none": the program ends with status 0 without creating
# any window. With "xrandr", the desktop must show the window's size while the program runs and
# its first size again once it has ended. Nothing that can be seen may cover the window.
. "$(dirname "$0")/../support/watch_lib.sh"
set -u
program=$(realpath "$1") errors=$2 window=${3:-} limit=${4:-} randr=${5:-}

fail() { echo "FAIL: $*" >&2; [ -s "$work/stderr" ] && sed 's/^/  program: /' "$work/stderr" >&2; exit 1; }
desktop() { xrandr 2>/dev/null | sed -n 's/.*current \([0-9]*\) x \([0-9]*\),.*/\1x\2/p'; }

work=$(mktemp -d /tmp/display-run.XXXXXX)
pid=""
trap '[ -n "$pid" ] && kill -TERM $pid 2>/dev/null; rm -rf "$work"' EXIT
cd "$work"

check_errors() {
    local count
    count=$(grep -c '^Error ' "$work/stderr")
    [ "$count" -eq "$errors" ] || fail "expected $errors \"Error \" lines, saw $count"
    if grep '^Error ' "$work/stderr" | grep -qvx 'Error -2 occurred. The graphics mode is not supported.'; then
        fail "unexpected \"Error \" line text"
    fi
}

if [ "$errors" = no-display ]; then
    # No X server at all, DISPLAY unset or naming one nobody serves: a failure for whoever
    # started the show, with one line that names what was tried.
    free=987
    while [ -e "/tmp/.X11-unix/X$free" ]; do free=$((free + 1)); done
    for name in "" ":$free"; do
        if [ -z "$name" ]; then
            env -u DISPLAY timeout 20 "$program" 2>"$work/stderr"
        else
            DISPLAY=$name timeout 20 "$program" 2>"$work/stderr"
        fi
        status=$?
        [ "$status" -ne 0 ] && [ "$status" -ne 124 ] || fail "DISPLAY=\"$name\": exit status $status"
        expected=${name:+"Cannot open the X display \"$name\"."}
        expected=${expected:-"Cannot open an X display: DISPLAY is not set."}
        [ "$(cat "$work/stderr")" = "$expected" ] || fail "DISPLAY=\"$name\": expected only \"$expected\""
    done
    echo "ok: no display, exit status non-zero, the display named"
    exit 0
fi

before=$(desktop)
if [ -n "$randr" ] && [ "$before" = "$window" ]; then
    fail "the desktop starts at $before already; a real change needs another size"
fi

if [ "$window" = none ]; then
    # Every window the program could make is a child of the root: watch for its creation.
    xev -root -event substructure -event property >"$work/xev" 2>&1 &
    watcher=$!
    xev_caught_up "$work/xev" || fail "xev does not listen"
    timeout 20 "$program" 2>"$work/stderr"
    status=$?
    xev_caught_up "$work/xev" || fail "xev does not catch up"
    kill $watcher 2>/dev/null; wait $watcher 2>/dev/null
    [ "$status" -eq 0 ] || fail "exit status $status, expected 0"
    # The run's share of the desktop's mode is marked by an override-redirect window that is
    # never mapped; no window the framework makes is one.
    ! grep -A2 CreateNotify "$work/xev" | grep -q 'override NO' || fail "a window was created"
    check_errors
    [ "$(desktop)" = "$before" ] || fail "desktop changed from $before to $(desktop)"
    echo "ok: no mode fits, exit 0 without a window, $errors error line(s)"
    exit 0
fi

# SDL writes the Motif decoration hints only where a window manager has made their atom known;
# make it known as a window manager would.
xprop -root -f _MOTIF_WM_HINTS 32c -set _MOTIF_WM_HINTS 0
xprop -root -remove _MOTIF_WM_HINTS

"$program" 2>"$work/stderr" &
pid=$!
win=$(find_program_window "$pid") || fail "no window: the program ended first, or 30 s passed"

read -r x y w h < <(window_geometry "$win")
[ "${w}x${h}" = "$window" ] || fail "window is ${w}x${h}, expected $window"
[ "$x" = 0 ] && [ "$y" = 0 ] || fail "window at ($x, $y), expected (0, 0)"

# Motif hints: flags with the decorations bit (2), decorations 0 = neither border nor caption.
motif=$(xprop -id "$win" _MOTIF_WM_HINTS)
read -r flags _ decorations _ < <(sed -n 's/.*= *//p' <<<"$motif" | tr -d ',')
[ -n "${flags:-}" ] || fail "no Motif hints on the window: $motif"
(( (flags & 2) != 0 && decorations == 0 )) || fail "window has decorations: $motif"

# Not resizable: the smallest and largest size are both the window's size.
hints=$(xprop -id "$win" WM_NORMAL_HINTS)
grep -q "program specified minimum size: $w by $h" <<<"$hints" &&
    grep -q "program specified maximum size: $w by $h" <<<"$hints" || fail "window is resizable: $hints"

if [ -n "$randr" ]; then
    [ "$(desktop)" = "$window" ] || fail "desktop is $(desktop) while running, expected $window"
fi

# Each frame writes the title; its changes over a few seconds give the frame rate.
frame_rate() {
    local changes
    changes=$(timeout "$1" xprop -id "$win" -spy WM_NAME | wc -l)
    echo $(( (changes - 1) / $1 ))
}
if [ -n "$limit" ]; then
    if [ "$limit" -le 60 ]; then
        fps=$(frame_rate 3)
        (( fps <= limit + limit / 10 )) || fail "$fps frames per second, above the limit $limit"
    else
        # Frames must cost less than a sixtieth of a second for a higher limit to show; a busy
        # machine gets a few tries.
        for _ in 1 2 3 4 5; do
            fps=$(frame_rate 2)
            (( fps > 66 )) && break
        done
        (( fps > 66 )) || fail "$fps frames per second: held to 60, expected the limit $limit"
    fi
    echo "frames per second: $fps (limit $limit)"
fi

# Nothing that can be seen is stacked over the show, a window manager's panels included; the
# window manager gets a moment once the window shows.
for _ in $(seq 1 50); do windows_over "$win" >/dev/null && break; sleep 0.1; done
sleep 1
over=$(windows_over "$win") || fail "the window is not shown"
[ -z "$over" ] || fail "stacked over the show: $(for w in $over; do xwininfo -id "$w" | sed -n 's/.*id: //p'; done)"

press_escape "$win"
wait_for_exit "$pid" 15 || fail "program still running 15 s after Escape"
status=$exit_status
pid=""
[ "$status" -eq 0 ] || fail "exit status $status, expected 0"
check_errors
[ "$(desktop)" = "$before" ] || fail "desktop is $(desktop) after the run, expected $before again"
echo "ok: window $window at (0, 0), borderless, fixed size, $errors error line(s), exit 0"
