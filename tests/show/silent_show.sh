#!/usr/bin/env bash
# Without the soundtrack the clock stands still: the show reaches effect 1 and stays there
# with " Time = 0 Effect = 1" until Escape ends it with status 0.
# silent_show.sh <program> <empty work folder>
set -u
program=$1 folder=$2
. "$(dirname "$0")/../support/watch_lib.sh"
rm -rf "$folder" && mkdir -p "$folder" && cd "$folder"

"$program" 2>stderr.txt &
pid=$!
win=$(find_show_window "$pid") || { echo "FAIL: no window"; exit 1; }
for _ in $(seq 1 600); do
  [ "$(xdotool getwindowname "$win")" = " Time = 0 Effect = 1" ] && break
  sleep 0.1
done
fail=0
for _ in $(seq 1 20); do
  title=$(xdotool getwindowname "$win")
  if [ "$title" != " Time = 0 Effect = 1" ]; then echo "FAIL: title '$title'"; fail=1; break; fi
  sleep 0.15
done
screenshot_not_blank "$folder/effect-1.png" || { echo "FAIL: blank screen"; fail=1; }
xdotool mousemove 320 240 key Escape
wait_for_exit "$pid" 10
[ "$exit_status" = 0 ] || { echo "FAIL: exit status $exit_status"; fail=1; }
[ "$fail" -eq 0 ] && echo PASS
exit "$fail"
