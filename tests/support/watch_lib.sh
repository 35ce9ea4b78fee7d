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

# A screenshot of the whole screen; fails when it stays one flat colour for $2 seconds (5 by
# default): a new effect's first frame takes a while on a busy machine.
screenshot_not_blank() {
  local file=$1 until=$((SECONDS + ${2:-5})) colours
  while :; do
    import -window root "$file" || return 1
    colours=$(identify -format '%k' "$file")
    [ "$colours" -gt 4 ] || [ "$SECONDS" -ge "$until" ] && break
    sleep 0.1
  done
  echo "$file: $colours colours"
  [ "$colours" -gt 4 ]
}

# Returns once the xev that writes into file $1, started on the root window with "-event
# property" among its masks, has reported all that happened until now: it has reported a root
# property changed for that. Called before a program starts, so that the watcher misses nothing
# of it; after the program, so that the file holds all it did.
xev_caught_up() {
  local before i
  before=$(grep -c LUMIVEX_XEV_MARK "$1" 2>/dev/null)
  for i in $(seq 1 100); do
    xprop -root -f LUMIVEX_XEV_MARK 32c -set LUMIVEX_XEV_MARK "$i" 2>/dev/null
    [ "$(grep -c LUMIVEX_XEV_MARK "$1" 2>/dev/null)" -gt "${before:-0}" ] && return 0
    sleep 0.1
  done
  return 1
}

# One frame of what mutter's monitor shows (with_mutter.sh's screen cast) as the PNG file $1.
screen_cast_frame() {
  timeout 20 gst-launch-1.0 -q pipewiresrc path="$SCREEN_CAST_NODE" num-buffers=3 ! videoconvert ! \
    pngenc snapshot=true ! filesink location="$1" && [ -s "$1" ]
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
    # A run that did not end when asked may not end on a second asking either.
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    exit_status=timeout
    return 1
  fi
  wait "$pid"
  exit_status=$?
}

# "<x> <y> <width> <height>" of window $1 on the screen, from xwininfo's report (or of the
# report on stdin).
window_geometry() {
    { [ -n "${1:-}" ] && xwininfo -id "$1" || cat; } |
        awk -F: '/Absolute upper-left [XY]:|Width:|Height:/ { printf "%s%d", sep, $2; sep = " " } END { print "" }'
}

# The root's children that can be seen (mapped, not input-only), topmost first, one a line:
# "<id> <x> <y> <width> <height>".
visible_top_windows() {
    local id info
    for id in $(xwininfo -root -children | sed -n 's/^ *\(0x[0-9a-f]*\) .*/\1/p'); do
        info=$(xwininfo -id "$id" 2>/dev/null) || continue
        grep -q 'Map State: IsViewable' <<<"$info" && grep -q 'Class: InputOutput' <<<"$info" || continue
        echo "$id $(window_geometry <<<"$info")"
    done
}

# The visible windows stacked above window $1 (or the frame a window manager put it in) that
# overlap it; fails when window $1 cannot be seen itself.
windows_over() {
    local win root parent
    win=$(printf '0x%x' "$1")
    root=$(xwininfo -root | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')
    for _ in 1 2 3 4 5 6 7 8; do
        parent=$(xwininfo -children -id "$win" | sed -n 's/.*Parent window id: \(0x[0-9a-f]*\).*/\1/p')
        [ "$parent" = "$root" ] && break
        win=$parent
    done
    visible_top_windows | awk -v top="$win" '
        { id[NR] = $1; x[NR] = $2; y[NR] = $3; w[NR] = $4; h[NR] = $5 }
        $1 == top {
            for (i = 1; i < NR; i++)
                if (x[i] < $2 + $4 && $2 < x[i] + w[i] && y[i] < $3 + $5 && $3 < y[i] + h[i]) print id[i]
            found = 1
            exit
        }
        END { exit !found }'
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
