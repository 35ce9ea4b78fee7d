#!/usr/bin/env bash
# Runs a command against an Xvfb of its own without the RandR extension:
#   with_xvfb_no_randr.sh WIDTHxHEIGHT -- command...
set -u
size=$1; shift
[ "${1:-}" = "--" ] && shift
for _ in $(seq 1 50); do
  d=$(( (RANDOM % 3000) + 6600 ))
  [ -e "/tmp/.X${d}-lock" ] || [ -e "/tmp/.X11-unix/X${d}" ] || break
done
Xvfb ":${d}" -screen 0 "${size}x24" -nolisten tcp -noreset -extension RANDR >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null' EXIT
for _ in $(seq 1 100); do
  [ -e "/tmp/.X11-unix/X${d}" ] && break
  sleep 0.05
done
export DISPLAY=":${d}"
"$@"
