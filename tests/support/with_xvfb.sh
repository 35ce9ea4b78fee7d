#!/usr/bin/env bash
# Runs a command against an X server of its own: with_xvfb.sh [-s WIDTHxHEIGHT] -- command...
# The server's display is in DISPLAY for the command; the command's status is returned.
set -u
size=640x480
while [ $# -gt 0 ]; do
  case "$1" in
    -s) size="$2"; shift 2 ;;
    --) shift; break ;;
    *) break ;;
  esac
done

for n in $(seq 100 400); do
  d=$(( (RANDOM % 3000) + 100 ))
  [ -e "/tmp/.X${d}-lock" ] || [ -e "/tmp/.X11-unix/X${d}" ] || break
done

Xvfb ":${d}" -screen 0 "${size}x24" -nolisten tcp -noreset +extension GLX +extension RANDR \
  >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null' EXIT
for _ in $(seq 1 100); do
  [ -e "/tmp/.X11-unix/X${d}" ] && break
  sleep 0.05
done

export DISPLAY=":${d}"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
export LIBGL_ALWAYS_SOFTWARE=1
"$@"
