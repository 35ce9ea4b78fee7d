#!/usr/bin/env bash
# start_and_close.sh <program> <close_window>: the program opens its window, keeps drawing
# frames, and ends with status 0 once the window is asked to close.
set -u
. "$(dirname "$0")/../support/watch_lib.sh"
program=$1
close_window=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"   # no soundtrack here: the show stands still, which is all this needs

"$program" 2>"$work/stderr" &
pid=$!

if ! window=$(find_program_window "$pid" 200); then
  echo "no window appeared"; kill "$pid" 2>/dev/null; cat "$work/stderr"; exit 1
fi

# Frames run: the title is rewritten by the show once setup is over (slow on a busy machine).
title=""
for _ in $(seq 1 300); do
  title=$(xdotool getwindowname "$window" 2>/dev/null)
  case "$title" in " Time = "*) break ;; esac
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
echo "title: '$title'"
case "$title" in
  " Time = "*) ;;
  *) echo "the show did not write its title"; kill "$pid"; exit 1 ;;
esac
kill -0 "$pid" || { echo "program ended early"; cat "$work/stderr"; exit 1; }

"$close_window" "$window"
if ! wait_for_exit "$pid" 10; then
  echo "program did not end after its window was closed"; exit 1
fi
status=$exit_status
echo "status: $status"
cat "$work/stderr"
[ "$status" -eq 0 ]
