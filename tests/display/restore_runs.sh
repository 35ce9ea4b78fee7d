#!/usr/bin/env bash
# Ends runs of a program in each way a user can and checks, from outside, that the desktop is
# back in the mode it had before (name and rate, as xrandr lists it) and the exit status:
#   restore_runs.sh <program> signals|early|two-runs|exact|no-window|two-outputs|wayland|mutter|killed
#                   [<hold_drawables>]
# Runs under with_xorg_dummy.sh (1024x768 at 60 Hz at the start; the program sets 640x480),
# with --no-glx for "no-window" and --two-outputs for "two-outputs"; "wayland" runs under
# with_weston.sh, "mutter" under with_mutter.sh.
. "$(dirname "$0")/../support/watch_lib.sh"
set -u
program=$(realpath "$1") case=$2
# Job control: a background job then keeps the default action for INT and QUIT, as a program
# started from a terminal does.
set -m

work=$(mktemp -d /tmp/restore-runs.XXXXXX)
trap 'kill -9 $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; cat "$work"/stderr.* 2>/dev/null | sed 's/^/  program: /' >&2; exit 1; }
# The mode in force: its name, which tells the two 1024x768 modes apart.
mode() { xrandr 2>/dev/null | awk '/\*/ { print $1; exit }'; }
expect_mode() { [ "$(mode)" = "$1" ] || fail "$2: the desktop is in $(mode), expected $1"; }

# start <name>: runs the program in the background; its pid goes into pid_<name>.
start() {
    "$program" 2>"$work/stderr.$1" &
    printf -v "pid_$1" '%s' $!
}
# ends <pid> <what>: the run must end by itself with status 0.
ends() {
    wait_for_exit "$1" 20 || fail "$2: still running after 20 s"
    [ "$exit_status" -eq 0 ] || fail "$2: exit status $exit_status, expected 0"
}
escape() {
    local win
    win=$(find_program_window "$1") || fail "no window"
    press_escape "$win"
}

original=$(mode)
case $case in
signals)
    # A closed terminal, Ctrl+\, kill and Ctrl+C while the show plays.
    for signal in HUP QUIT TERM INT; do
        start run
        find_program_window "$pid_run" >/dev/null || fail "$signal: no window"
        expect_mode 640x480 "$signal: while running"
        kill -"$signal" "$pid_run"
        ends "$pid_run" "$signal"
        expect_mode "$original" "after $signal"
    done
    ;;
early)
    # The signal arrives as soon as the desktop has changed, before the window exists.
    for signal in HUP TERM; do
        rm -f "$work/pid" "$work/sent"
        xev -root -event randr -event property 2>/dev/null | tee "$work/xev.$signal" | {
            grep -q -m1 RRScreenChangeNotify || exit
            until [ -s "$work/pid" ]; do sleep 0.01; done
            kill -"$signal" "$(cat "$work/pid")" && echo sent >"$work/sent"
        } &
        watcher=$(jobs -p %+)
        xev_caught_up "$work/xev.$signal" || fail "$signal: xev does not listen"
        start run
        echo "$pid_run" >"$work/pid"
        for _ in $(seq 1 200); do [ -s "$work/sent" ] && break; sleep 0.1; done
        [ -s "$work/sent" ] || fail "$signal at the first change: not sent; the desktop did not change within 20 s"
        ends "$pid_run" "$signal at the first change"
        expect_mode "$original" "after $signal at the first change"
        kill -- -"$watcher" 2>/dev/null
    done
    ;;
two-runs)
    # The second run starts on the first one's mode; whichever ends last puts the first back.
    for last in second first; do
        start first
        find_program_window "$pid_first" >/dev/null || fail "first run: no window"
        start second
        find_program_window "$pid_second" >/dev/null || fail "second run: no window"
        if [ "$last" = second ]; then early=$pid_first late=$pid_second; else early=$pid_second late=$pid_first; fi
        escape "$early"
        ends "$early" "the run that ends first"
        expect_mode 640x480 "while the $last run still plays"
        escape "$late"
        ends "$late" "the $last run"
        expect_mode "$original" "after both runs, the $last ending last"
    done
    ;;
exact)
    # Two modes of one size: the one that was in force comes back, not the other.
    output=$(xrandr | awk '/ connected/ { print $1; exit }')
    xrandr --output "$output" --mode 1024x768_75 || fail "cannot set 1024x768_75"
    start run
    escape "$pid_run"
    ends "$pid_run" "run from 1024x768_75"
    expect_mode 1024x768_75 "after a run from 1024x768 at 75 Hz"
    ;;
no-window)
    # No GL window can be made: a failure for whoever started it, after the desktop is back.
    start run
    wait_for_exit "$pid_run" 20 || fail "still running after 20 s"
    [ "$exit_status" -ne 0 ] || fail "exit status 0 without a window"
    expect_mode "$original" "after a run without a window"
    ;;
killed)
    # A run killed outright leaves its mark behind. The desktop is put back by hand, and an
    # ordinary client then gets the dead run's ids for its own windows and pixmaps: the next
    # run must still put the desktop back when it ends.
    holder=$(realpath "$3")
    for round in 1 2 3; do
        start run
        find_program_window "$pid_run" >/dev/null || fail "round $round: no window"
        kill -KILL "$pid_run"
        wait "$pid_run" 2>/dev/null
        expect_mode 640x480 "round $round: after SIGKILL"
        xrandr -s "$original"
        "$holder" >"$work/holder" &
        holder_pid=$!
        for _ in $(seq 1 100); do grep -q ready "$work/holder" && break; sleep 0.05; done
        start run
        escape "$pid_run"
        ends "$pid_run" "round $round: the run after the killed one"
        expect_mode "$original" "round $round: after the run that followed a killed one"
        kill "$holder_pid"
        wait "$holder_pid" 2>/dev/null
    done
    ;;
two-outputs)
    # The primary output is right of the other: the show covers it, not the desktop's corner.
    outputs() { xrandr | grep ' connected'; }
    before=$(outputs)
    start run
    win=$(find_program_window "$pid_run") || fail "no window"
    changed=$(xrandr | sed -n 's/.* connected primary \([0-9x+]*\).*/\1/p')
    [ "${changed%%+*}" = 640x480 ] || fail "the primary output is at $changed while running"
    read -r x y w h < <(window_geometry "$win")
    [ "${w}x${h}+${x}+${y}" = "$changed" ] || fail "window at ${w}x${h}+${x}+${y}, the changed output at $changed"
    press_escape "$win"
    ends "$pid_run" "run on two outputs"
    [ "$(outputs)" = "$before" ] || fail "outputs after the run: $(outputs); before: $before"
    ;;
wayland | mutter)
    # The compositor shows the show on top of everything, over the whole output. Under mutter
    # only the run's own connection sees the changed mode, not its window's.
    [ "$case" = mutter ] && { screen_cast_frame "$work/desktop.png" || fail "no frame of the desktop"; }
    start run
    win=$(find_show_window "$pid_run") || fail "no show"
    if [ "$case" = wayland ]; then
        # The compositor may take a while to put the new window on top, over the output.
        on_top() { grep -q "top-level window ' Time = " <<<"$top" && grep -q 'position: (0, 0) -> (1024, 768)' <<<"$top"; }
        for _ in $(seq 1 20); do
            top=$(timeout 10 weston-debug scene-graph | grep -A1 -m1 '^[[:space:]]*View ')
            on_top && break
            sleep 0.5
        done
        on_top || fail "the compositor's topmost view is not the show over the output: $top"
    else
        # Outside the 640x480 corner no pixel may still show the desktop as it was.
        corner=(-fill black -draw 'rectangle 0,0 639,479')
        convert "$work/desktop.png" "${corner[@]}" "$work/desktop-outside.png"
        outside=$((1024 * 768 - 640 * 480))
        # A busy machine may take a while over the first frames at the output's size.
        for _ in $(seq 1 30); do
            screen_cast_frame "$work/show.png" || fail "no frame of the show"
            convert "$work/show.png" "${corner[@]}" "$work/show-outside.png"
            changed=$(compare -metric AE -fuzz 3% "$work/desktop-outside.png" "$work/show-outside.png" null: 2>&1)
            (( changed > outside * 99 / 100 )) && break
            sleep 1
        done
        if (( changed <= outside * 99 / 100 )); then
            read -r x y w h < <(window_geometry "$win")
            fail "the desktop still shows in $((outside - changed)) of the $outside pixels outside the 640x480" \
                "corner; the window is ${w}x${h}+${x}+${y}"
        fi
    fi
    # A headless compositor has no keyboard focus to wait for; it activates the window on request.
    xdotool windowactivate --sync "$win" 2>/dev/null
    xdotool key --window "$win" Escape
    ends "$pid_run" "run under Xwayland"
    expect_mode "$original" "after the run under Xwayland"
    ;;
*) fail "unknown case $case" ;;
esac
echo "ok: $case"
