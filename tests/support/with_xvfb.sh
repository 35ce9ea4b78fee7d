#!/usr/bin/env bash
# Runs a command against an X server of its own:
#   with_xvfb.sh [-s WIDTHxHEIGHT] [--no-randr] [--reset] -- command...
# --reset: the server resets whenever its last client leaves, as a bare X server does.
# The server's display is in DISPLAY for the command; the command's status is returned.
set -u
size=640x480
randr=+extension
noreset=-noreset
while [ $# -gt 0 ]; do
  case "$1" in
    -s) size="$2"; shift 2 ;;
    --no-randr) randr=-extension; shift ;;
    --reset) noreset=""; shift ;;
    --) shift; break ;;
    *) break ;;
  esac
done

# The server picks a free display itself and tells us which, so tests running side by side
# never race for one.
number_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp $noreset +extension GLX "$randr" RANDR \
  3>"$number_file" >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -f "$number_file"' EXIT
d=""
for _ in $(seq 1 200); do
  d=$(tr -dc '0-9' <"$number_file")
  [ -n "$d" ] && [ -e "/tmp/.X11-unix/X${d}" ] && break
  kill -0 "$server" 2>/dev/null || break
  sleep 0.05
done
if [ -z "$d" ]; then
  echo "with_xvfb.sh: the X server did not start" >&2
  exit 1
fi

export DISPLAY=":${d}"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
export LIBGL_ALWAYS_SOFTWARE=1
"$@"
