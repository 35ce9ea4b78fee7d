#!/usr/bin/env bash
# The show's clock on a damaged or short soundtrack, read from the window title: the time
# keeps growing, never standing still for long, until it passes <until ms>; then Escape ends
# the program with status 0, and nothing was written to the console.
# clock_runs_on.sh <program> <ZOLT.mp3> <work folder> <until ms> <edit>...  (edits: damage_soundtrack.sh)
set -u
program=$1 soundtrack=$2 folder=$3 until=$4
shift 4
here=$(dirname "$0")
. "$here/../support/watch_lib.sh"
rm -rf "$folder" && mkdir -p "$folder"
bash "$here/damage_soundtrack.sh" "$soundtrack" "$folder/ZOLT.mp3" "$@" || exit 1
cd "$folder"

"$program" 2>stderr.txt &
pid=$!
win=$(find_show_window "$pid") || { echo "FAIL: no window"; cat stderr.txt; exit 1; }
fail=0
last=-1 still=0 time=0
limit=$((until / 50 + 400))  # polls of 0.05 s: the time wanted, and 20 s of slack
for _ in $(seq 1 "$limit"); do
  fields=$(xdotool getwindowname "$win" 2>/dev/null | parse_title) || true
  time=${fields%% *}
  [ -n "$time" ] || continue
  if [ "$time" = "$last" ] && [ "$time" -gt 0 ]; then
    still=$((still + 1))
    # The title is set every frame; a time that holds for 3 s has stopped.
    if [ "$still" -ge 60 ]; then echo "FAIL: the time stands at $time ms"; fail=1; break; fi
  else
    still=0
  fi
  last=$time
  [ "$time" -ge "$until" ] && break
  sleep 0.05
done
echo "time reached $time ms (wanted $until ms)"
[ "$time" -ge "$until" ] || fail=1
xdotool mousemove 320 240 key Escape
wait_for_exit "$pid" 10
[ "$exit_status" = 0 ] || { echo "FAIL: exit status $exit_status"; fail=1; }
grep -v '^$' stderr.txt && { echo "FAIL: console lines"; fail=1; }
[ "$fail" -eq 0 ] && echo PASS
exit "$fail"
