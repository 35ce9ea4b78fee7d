#!/usr/bin/env bash
# The whole show, watched through its window title: effects 0 to 28 in order, each switch one
# entry's duration after the previous one, and the program ends by itself with status 0.
# whole_show.sh <program> <folder holding ZOLT.mp3> <output folder>
set -u
program=$1 folder=$2 out=$3
. "$(dirname "$0")/../support/watch_lib.sh"

if [ ! -f "$folder/ZOLT.mp3" ]; then
  echo "FAIL: no soundtrack at $folder/ZOLT.mp3 (build the soundtrack first)"
  exit 1
fi
rm -rf "$out" && mkdir -p "$out"

# Seconds each entry stays on screen, entries 1 to 27.
durations=(0 42 14 4 4 6 6 3.5 10 3.5 6 3.5 6 3.5 6 3.5 4 3.5 6 3.5 8 3.5 8 3.5 6 3.5 3.5 15)

cd "$folder"
started=$(date +%s.%N)
"$program" 2>"$out/stderr.txt" &
pid=$!
win=$(find_show_window "$pid") || { echo "FAIL: no window"; cat "$out/stderr.txt"; exit 1; }

# One line per change of effect: wall seconds, position, effect.
: >"$out/changes.txt"
last=""
declare -A shot=([1]=1 [8]=1 [14]=1 [20]=1 [27]=1)
shots_ok=1
while kill -0 "$pid" 2>/dev/null; do
  fields=$(xdotool getwindowname "$win" 2>/dev/null | parse_title) || true
  if [ -n "$fields" ]; then
    effect=${fields#* }
    if [ "$effect" != "$last" ]; then
      echo "$(date +%s.%N) $fields" >>"$out/changes.txt"
      last=$effect
      if [ -n "${shot[$effect]:-}" ]; then
        screenshot_not_blank "$out/effect-$effect.png" || shots_ok=0
      fi
    fi
  fi
  sleep 0.05
done
wait "$pid"
status=$?
ended=$(date +%s.%N)
cat "$out/changes.txt"

fail=0
[ "$status" -eq 0 ] || { echo "FAIL: exit status $status"; fail=1; }
[ "$shots_ok" -eq 1 ] || { echo "FAIL: a screenshot was blank"; fail=1; }
grep -v '^$' "$out/stderr.txt" && { echo "FAIL: console lines during the show"; fail=1; }

awk -v durs="${durations[*]}" -v started="$started" -v ended="$ended" '
  BEGIN { n = split(durs, d, " "); bad = 0 }
  { wall[NR] = $1; pos[$3] = $2; order[NR] = $3; if (!($3 in first)) first[$3] = NR }
  END {
    for (i = 2; i <= NR; i++)
      if (order[i] != order[i - 1] + 1) { print "FAIL: effect " order[i] " after " order[i - 1]; bad = 1 }
    if (order[1] > 1) { print "FAIL: first effect seen is " order[1]; bad = 1 }
    if (order[NR] < 27) { print "FAIL: last effect seen is " order[NR]; bad = 1 }
    # The position shown when an effect is first seen lags its switch by at most the poll
    # and a frame or two; durations are measured between those positions.
    for (k = 1; k <= 26; k++) {
      if (!((k in pos) && ((k + 1) in pos))) { print "FAIL: effect " k " or " k + 1 " never seen"; bad = 1; continue }
      took = (pos[k + 1] - pos[k]) / 1000.0
      slack = (k == 1) ? 5.0 : 0.6
      status = (took < d[k + 1] - 0.3 || took > d[k + 1] + slack) ? "FAIL" : "ok"
      if (status == "FAIL") bad = 1
      printf "%s: effect %d lasted %.3f s, scored %.1f s\n", status, k, took, d[k + 1]
    }
    total = ended - started
    printf "run took %.1f s of wall time; effects 1 to 27 ran from %.3f s to %.3f s of playback\n", total, pos[1] / 1000.0, pos[27] / 1000.0
    if (total < 185 || total > 400) { print "FAIL: the run took " total " s"; bad = 1 }
    exit bad
  }' "$out/changes.txt" || fail=1

# Entry 27 stays for 15 s of playback and the switch out of it ends the run. The title shows
# effect 28 for one frame only, so when the poll missed it the wall clock has to do; the
# playback clock may run behind the wall clock on a loaded machine, never ahead.
pos27=$(awk '$3 == 27 { print $2; exit }' "$out/changes.txt")
pos28=$(awk '$3 == 28 { print $2; exit }' "$out/changes.txt")
wall27=$(awk '$3 == 27 { print $1; exit }' "$out/changes.txt")
if [ -n "$pos27" ] && [ -n "$pos28" ]; then
  stay=$(echo "($pos28 - $pos27) / 1000" | bc -l)
  echo "effect 27 lasted $stay s of playback"
  if [ "$(echo "$stay < 14.7 || $stay > 15.6" | bc -l)" -eq 1 ]; then echo "FAIL: effect 27 stayed $stay s"; fail=1; fi
elif [ -n "$wall27" ]; then
  stay=$(echo "$ended - $wall27" | bc -l)
  echo "effect 27 until exit: $stay s of wall time"
  if [ "$(echo "$stay < 14.5 || $stay > 30" | bc -l)" -eq 1 ]; then echo "FAIL: effect 27 stayed $stay s"; fail=1; fi
fi
[ "$fail" -eq 0 ] && echo PASS
exit "$fail"
