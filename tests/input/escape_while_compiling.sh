#!/usr/bin/env bash
# Escape in the first frames, while the loader is still building the show's programs: the
# run ends within half a second, cleanly, with status 0.
# escape_while_compiling.sh <program> <work folder>
set -u
program=$1 folder=$2
. "$(dirname "$0")/../support/watch_lib.sh"
rm -rf "$folder" && mkdir -p "$folder" && cd "$folder"
fail=0
for round in 1 2 3; do
  "$program" 2>stderr.txt &
  pid=$!
  win=$(find_show_window "$pid") || { echo "FAIL: no window"; exit 1; }
  title=$(xdotool getwindowname "$win")
  xdotool mousemove 320 240 key Escape
  pressed=$(date +%s%N)
  wait_for_exit "$pid" 10
  ended=$(date +%s%N)
  ms=$(( (ended - pressed) / 1000000 ))
  echo "round $round: title '$title' at the key, status $exit_status, ended $ms ms after it"
  [ "$exit_status" = 0 ] || { echo "FAIL: status $exit_status"; fail=1; }
  [ "$ms" -le 500 ] || { echo "FAIL: took $ms ms"; fail=1; }
  if [ -s stderr.txt ]; then echo "FAIL: console lines:"; cat stderr.txt; fail=1; fi
done
[ "$fail" -eq 0 ] && echo PASS
exit "$fail"
