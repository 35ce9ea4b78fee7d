# Helpers for watching the player from outside: its window title and screenshots.

# wait_for_window <pid> <tries> <xdotool search arguments>: prints the first window the search
# finds, once there is one; fails when process <pid> ends first or after <tries> tenths of a
# second.
wait_for_window() {
  local pid=$1 tries=$2 win
  shift 2
  for _ in $(seq 1 "$tries"); do
    win=$(xdotool search "$@" 2>/dev/null | head -1)
    if [ -n "$win" ]; then echo "$win"; return 0; fi
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# The player's window once its title shows the show's counters (60 s by default).
find_show_window() { wait_for_window "$1" "${2:-600}" --name 'Effect = '; }

# The window of process $1 once it has one (30 s by default).
find_program_window() { wait_for_window "$1" "${2:-300}" --pid "$1"; }

# Escape pressed in window $1, as a user ends the show.
press_escape() {
  xdotool windowfocus --sync "$1" 2>/dev/null
  xdotool key --window "$1" Escape
}

# " Time = <position> Effect = <index>" -> "<position> <index>"
parse_title() {
  sed -n 's/^ Time = \([0-9]*\) Effect = \(-\{0,1\}[0-9]*\)$/\1 \2/p'
}

# A screenshot of the whole screen; fails when it is one flat colour.
screenshot_not_blank() {
  local file=$1 colours
  import -window root "$file" || return 1
  colours=$(identify -format '%k' "$file")
  echo "$file: $colours colours"
  [ "$colours" -gt 4 ]
}

# Waits up to $2 seconds for the process to end and puts its status (or "timeout") into
# exit_status; run it in the shell that started the process, not in a subshell.
wait_for_exit() {
  local pid=$1 limit=$2
  for _ in $(seq 1 $((limit * 20))); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  if kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    exit_status=timeout
    return 1
  fi
  wait "$pid"
  exit_status=$?
}

# The show's time (ms) in window $1's title, and the wall clock (s) when the title showed it:
# "<time> <wall>", taken as the title changes so that the two go together. Fails when the
# title shows no show time for $2 tenths of a second (10 by default).
show_time_at() {
  local win=$1 first now fields
  first=$(xdotool getwindowname "$win" 2>/dev/null)
  for _ in $(seq 1 $((${2:-10} * 10))); do
    now=$(xdotool getwindowname "$win" 2>/dev/null)
    if [ "$now" != "$first" ]; then
      fields=$(echo "$now" | parse_title)
      if [ -n "$fields" ]; then echo "${fields%% *} $(date +%s.%N)"; return 0; fi
      first=$now
    fi
    sleep 0.01
  done
  return 1
}
