#!/usr/bin/env bash
# Runs a command as an X client of a Wayland session: weston, headless with one 1024x768
# output and a panel, with X clients served by Xwayland; weston-debug works for the command.
#   with_weston.sh -- command...
# Exits 77 (the tests' skip code) with the reason when such a session cannot run here.
set -u
[ "${1:-}" = "--" ] && shift

skip() { echo "SKIP: $*" >&2; exit 77; }

command -v weston >/dev/null || skip "weston is not installed"
command -v Xwayland >/dev/null || skip "Xwayland is not installed (xwayland)"
command -v weston-debug >/dev/null || skip "weston-debug is not installed (weston)"

dir=$(mktemp -d /tmp/weston.XXXXXX)
chmod 700 "$dir"
export XDG_RUNTIME_DIR="$dir"
weston --backend=headless-backend.so --width=1024 --height=768 --socket=wayland-test --xwayland --debug \
  --idle-time=0 >"$dir/weston.log" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -rf "$dir"' EXIT

# Weston picks a free X display itself and logs which.
d=""
for _ in $(seq 1 100); do
  d=$(sed -n 's/.*xserver listening on display :\([0-9]*\).*/\1/p' "$dir/weston.log")
  [ -n "$d" ] && break
  kill -0 $server 2>/dev/null || break
  sleep 0.1
done
[ -n "$d" ] || skip "weston with Xwayland did not start: $(grep -m1 -iE 'fail|error' "$dir/weston.log")"

export DISPLAY=":${d}" WAYLAND_DISPLAY=wayland-test
# Xwayland starts with its first client.
for _ in $(seq 1 100); do
  xrandr >/dev/null 2>&1 && break
  sleep 0.1
done
xrandr >/dev/null 2>&1 || skip "Xwayland did not answer: $(tail -3 "$dir/weston.log")"

export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
export LIBGL_ALWAYS_SOFTWARE=1
"$@"
