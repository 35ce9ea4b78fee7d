#!/usr/bin/env bash
# Runs a command as an X client of GNOME's compositor: mutter, headless with one 1024x768
# virtual monitor, X clients served by its Xwayland, in a D-Bus session of its own with PipeWire
# for mutter's screen cast. SCREEN_CAST_NODE is the PipeWire node that shows the monitor.
#   with_mutter.sh -- command...
# Exits 77 (the tests' skip code) with the reason when such a session cannot run here.
set -u
[ "${1:-}" = "--" ] && shift

skip() { echo "SKIP: $*" >&2; exit 77; }

for tool in mutter Xwayland dbus-run-session pipewire wireplumber gst-launch-1.0; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done
gst-inspect-1.0 pipewiresrc >/dev/null 2>&1 || skip "GStreamer's pipewiresrc is not installed (gstreamer1.0-pipewire)"
/usr/bin/python3 -c 'import gi' 2>/dev/null || skip "python3-gi is not installed"

# The session bus ends with the command, and every service on it with the bus.
if [ -z "${WITH_MUTTER_BUS:-}" ]; then
  WITH_MUTTER_BUS=1 exec dbus-run-session -- bash "$0" -- "$@"
fi

dir=$(mktemp -d /tmp/mutter.XXXXXX)
chmod 700 "$dir"
export XDG_RUNTIME_DIR="$dir"
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$dir"' EXIT
pipewire >"$dir/pipewire.log" 2>&1 &
pids+=($!)
wireplumber >"$dir/wireplumber.log" 2>&1 &
pids+=($!)
mutter --wayland --headless --virtual-monitor 1024x768 >"$dir/mutter.log" 2>&1 &
pids+=($!)

# Mutter picks a free X display itself, logs which and starts Xwayland on it.
d=""
for _ in $(seq 1 100); do
  d=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$dir/mutter.log")
  [ -n "$d" ] && break
  kill -0 "${pids[2]}" 2>/dev/null || break
  sleep 0.1
done
[ -n "$d" ] || skip "mutter with Xwayland did not start: $(grep -m1 -iE 'fail|error' "$dir/mutter.log")"
export DISPLAY="$d"
for _ in $(seq 1 100); do
  XAUTHORITY=$(ls "$dir"/.mutter-Xwaylandauth.* 2>/dev/null | head -1)
  export XAUTHORITY
  [ -n "$XAUTHORITY" ] && xrandr >/dev/null 2>&1 && break
  sleep 0.1
done
xrandr >/dev/null 2>&1 || skip "mutter's Xwayland did not answer: $(tail -3 "$dir/mutter.log")"

/usr/bin/python3 "$(dirname "$0")/screen_cast.py" >"$dir/node" 2>"$dir/cast.log" &
pids+=($!)
for _ in $(seq 1 100); do
  SCREEN_CAST_NODE=$(head -1 "$dir/node")
  [ -n "$SCREEN_CAST_NODE" ] && break
  sleep 0.1
done
[ -n "$SCREEN_CAST_NODE" ] || skip "mutter's screen cast did not start: $(tail -3 "$dir/cast.log")"
export SCREEN_CAST_NODE

export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
export LIBGL_ALWAYS_SOFTWARE=1
"$@"
