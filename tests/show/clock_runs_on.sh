#!/usr/bin/env bash
# The show's clock on a damaged or short soundtrack, read from the window title: the time
# keeps growing, never standing still for long, until it passes <until ms>; then Escape ends
# the program with status 0, and nothing was written to the console. The sound itself, written
# to a file by SDL's disk output, must be heard up to <heard ms>: the clock runs on in real time
# after the sound ends, so the title alone cannot tell damage played through from sound lost.
# clock_runs_on.sh <program> <ZOLT.mp3> <work folder> <until ms> <heard ms> <edit>...
#   (edits: damage_soundtrack.sh)
set -u
program=$1 soundtrack=$2 folder=$3 until=$4 heard=$5
shift 5
here=$(dirname "$0")
. "$here/../support/watch_lib.sh"
rm -rf "$folder" && mkdir -p "$folder"
bash "$here/damage_soundtrack.sh" "$soundtrack" "$folder/ZOLT.mp3" "$@" || exit 1
cd "$folder"

SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$PWD/played.raw "$program" 2>stderr.txt &
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
# SDL announces its disk output with two lines of its own.
grep -v -e '^$' -e '^CRITICAL: You are using the SDL disk' -e '^CRITICAL:  Writing to file' stderr.txt &&
  { echo "FAIL: console lines"; fail=1; }
# 16-bit stereo at 44.1 kHz, as the soundtrack is; louder than 64 counts as heard.
last=$(od -An -td2 -v -w4 played.raw |
  awk '{ n++; if ($1 > 64 || $1 < -64 || $2 > 64 || $2 < -64) last = n } END { printf "%d", last * 1000 / 44100 }')
echo "sound heard up to $last ms (wanted $heard ms)"
[ "$last" -ge "$heard" ] || { echo "FAIL: the sound stopped at $last ms"; fail=1; }
[ "$fail" -eq 0 ] && echo PASS
exit "$fail"
