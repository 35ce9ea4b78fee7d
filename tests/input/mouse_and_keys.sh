#!/usr/bin/env bash
# Real X input into the running player: a variant whose first effect paints iMouse, so the
# mouse values are read off the screen; Escape (with any modifier) ends the run.
# mouse_and_keys.sh <probe program> <player program> <work folder>
set -u
probe=$1 player=$2 folder=$3
. "$(dirname "$0")/../support/watch_lib.sh"
rm -rf "$folder" && mkdir -p "$folder" && cd "$folder"
fail=0
check() {  # check <what> <got> <expected>
  if [ "$2" = "$3" ]; then echo "ok: $1 = $2"; else echo "FAIL: $1 = $2, expected $3"; fail=1; fi
}

# The window is moved to (100, 100) so that the pointer can go past its left and top edges.
ox=100 oy=100
# The four mouse values as the probe paints them.
read_mouse() {
  local values="" i x rgb
  for i in 0 1 2 3; do
    x=$((ox + 32 + 64 * i))
    rgb=$(import -window root -crop "1x1+$x+$((oy + 200))" +repage -depth 8 rgb:- | od -An -tu1)
    set -- $rgb
    values="$values $(( ($1 * 256 + $2) - 32768 ))"
  done
  echo "${values# }"
}
settle() { sleep 0.4; }
# Waits up to 5 s for the screen to show the expected values (a loaded machine draws slowly).
check_mouse() {  # check_mouse <what> <expected>
  local got
  for _ in $(seq 1 25); do
    got=$(read_mouse)
    [ "$got" = "$2" ] && break
    sleep 0.2
  done
  check "$1" "$got" "$2"
}

start_program() {  # start_program <program>; sets pid and win
  "$1" 2>>stderr.txt &
  pid=$!
  win=$(find_show_window "$pid") || { echo "FAIL: no window"; exit 1; }
  for _ in $(seq 1 600); do
    [ "$(xdotool getwindowname "$win")" = " Time = 0 Effect = 1" ] && break
    sleep 0.1
  done
}

start_program "$probe"
xdotool windowmove "$win" "$ox" "$oy"
settle
xdotool mousemove 420 420
settle
check_mouse "before any press" "0 0 0 0"

xdotool mousemove $((ox + 10)) $((oy + 20)) mousedown 1
settle
check_mouse "press at (10, 20)" "10 20 10 20"
xdotool mousemove $((ox + 20)) $((oy + 30))
xdotool mousemove $((ox + 30)) $((oy + 40))
settle
check_mouse "drag to (30, 40)" "30 40 10 20"
xdotool mouseup 1
settle
check_mouse "after the release" "30 40 10 20"
xdotool mousemove $((ox + 300)) $((oy + 300))
settle
check_mouse "move without a button" "30 40 10 20"

xdotool mousemove $((ox + 200)) $((oy + 50)) click 3
settle
check_mouse "right press at (200, 50)" "200 50 200 50"
xdotool mousemove $((ox + 70)) $((oy + 60)) click 2
settle
check_mouse "middle press at (70, 60)" "70 60 70 60"

xdotool mousemove $((ox + 5)) $((oy + 5)) mousedown 1
xdotool mousemove $((ox - 40)) $((oy + 3))
xdotool mousemove $((ox - 80)) $((oy - 70))
settle
check_mouse "drag past the left and top edges" "-80 -70 5 5"
xdotool mouseup 1
settle
# Past the right and bottom edges: the window is moved up and left for the drag, and back
# again to read the values it kept.
xdotool windowmove "$win" -200 -150
settle
xdotool mousemove 300 200 mousedown 1
xdotool mousemove 450 330
xdotool mousemove 600 470
settle
xdotool mouseup 1
xdotool windowmove "$win" "$ox" "$oy"
settle
check_mouse "drag past the right and bottom edges" "800 620 500 350"

# Other keys do nothing.
xdotool mousemove $((ox + 100)) $((oy + 100))
xdotool key a q Return space F1 shift+a
sleep 1
if kill -0 "$pid" 2>/dev/null; then echo "ok: other keys leave it running"; else echo "FAIL: a key other than Escape ended the run"; fail=1; fi
xdotool key Escape
wait_for_exit "$pid" 10
check "status after Escape" "$exit_status" 0

# Escape with a modifier held ends the run too.
for mod in shift ctrl alt; do
  start_program "$player"
  xdotool mousemove 320 240 key "$mod+Escape"
  wait_for_exit "$pid" 10
  check "status after $mod+Escape" "$exit_status" 0
done

if [ -s stderr.txt ]; then echo "FAIL: console lines:"; cat stderr.txt; fail=1; fi
[ "$fail" -eq 0 ] && echo PASS
exit "$fail"
