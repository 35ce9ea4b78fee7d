# Helpers for watching the player from outside: its window title and screenshots.

# Prints the id of the player's window once its title shows the show's counters.
find_show_window() {
  local pid=$1 tries=${2:-600} win
  for _ in $(seq 1 "$tries"); do
    win=$(xdotool search --name 'Effect = ' 2>/dev/null | head -1)
    if [ -n "$win" ]; then echo "$win"; return 0; fi
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Prints the id of the window of process $1 once it has one; fails when the process ends first
# or after $2 tenths of a second (30 s).
find_program_window() {
  local pid=$1 tries=${2:-300} win
  for _ in $(seq 1 "$tries"); do
    win=$(xdotool search --pid "$pid" 2>/dev/null | head -1)
    if [ -n "$win" ]; then echo "$win"; return 0; fi
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

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
