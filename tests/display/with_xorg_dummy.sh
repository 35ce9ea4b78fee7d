#!/usr/bin/env bash
# Runs a command against an Xorg server of its own on the dummy video driver, which offers
# several modes (1024x768 at 60 Hz at the start, 1024x768 at 75 Hz, 800x600, 640x480):
#   with_xorg_dummy.sh [--no-glx] [--two-outputs] [--wm NAME] -- command...
# --no-glx: a server without GLX, on which no GL window can be made.
# --two-outputs: a second 1024x768 output left of the primary one, which then starts at
#   (1024, 0) of a 2048x768 desktop.
# --wm NAME: the window manager NAME runs on the server, its panels shown, before the command.
# Exits 77 (the tests' skip code) with the reason when such a server cannot run here.
set -u
. "$(dirname "$0")/../support/watch_lib.sh"
glx=Enable
outputs=1
wm=""
while [ $# -gt 0 ]; do
  case "$1" in
    --no-glx) glx=Disable; shift ;;
    --two-outputs) outputs=2; shift ;;
    --wm) wm=$2; shift 2 ;;
    --) shift; break ;;
    *) break ;;
  esac
done

skip() { echo "SKIP: $*" >&2; exit 77; }
[ -z "$wm" ] || command -v "$wm" >/dev/null || skip "the window manager $wm is not installed"

command -v Xorg >/dev/null || skip "Xorg is not installed (xserver-xorg-core)"
[ -e /usr/lib/xorg/modules/drivers/dummy_drv.so ] || skip "the dummy video driver is not installed (xserver-xorg-video-dummy)"
# Xorg takes a configuration file from an absolute path only when run by root.
[ "$(id -u)" -eq 0 ] || skip "Xorg with a private configuration needs root here"

dir=$(mktemp -d /tmp/xorg-dummy.XXXXXX)
cat > "$dir/xorg.conf" <<CONF
Section "Extensions"
  Option "GLX" "$glx"
EndSection
Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "AutoEnableDevices" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "Monitor"
  Identifier "Monitor0"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
  Modeline "1024x768" 65.00 1024 1048 1184 1344 768 771 777 806 -hsync -vsync
  Modeline "1024x768_75" 78.75 1024 1040 1136 1312 768 769 772 800 +hsync +vsync
  Modeline "800x600" 40.00 800 840 968 1056 600 601 605 628 +hsync +vsync
  Modeline "640x480" 25.175 640 656 752 800 480 490 492 525 -hsync -vsync
EndSection
Section "Device"
  Identifier "Card0"
  Driver "dummy"
  VideoRam 32768
EndSection
Section "Screen"
  Identifier "Screen0"
  Device "Card0"
  Monitor "Monitor0"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Modes "1024x768" "1024x768_75" "800x600" "640x480"
  EndSubSection
EndSection
CONF
mkdir -p "$dir/conf.d"

for _ in $(seq 1 50); do
  d=$(( (RANDOM % 3000) + 3500 ))
  [ -e "/tmp/.X${d}-lock" ] || [ -e "/tmp/.X11-unix/X${d}" ] || break
done

Xorg ":${d}" -noreset -nolisten tcp -novtswitch -config "$dir/xorg.conf" -configdir "$dir/conf.d" \
  -logfile "$dir/xorg.log" >"$dir/out" 2>&1 &
server=$!
wm_pid=""
trap '[ -n "$wm_pid" ] && kill $wm_pid 2>/dev/null; kill $server 2>/dev/null; wait 2>/dev/null; rm -rf "$dir"' EXIT
for _ in $(seq 1 100); do
  [ -e "/tmp/.X11-unix/X${d}" ] && DISPLAY=":${d}" xrandr >/dev/null 2>&1 && break
  kill -0 $server 2>/dev/null || break
  sleep 0.1
done
if ! DISPLAY=":${d}" xrandr >/dev/null 2>&1; then
  reason=$(grep -m1 '(EE)' "$dir/xorg.log" "$dir/out" 2>/dev/null | head -1)
  skip "Xorg with the dummy driver did not start: ${reason:-no reason logged}"
fi

export DISPLAY=":${d}"
if [ "$outputs" = 2 ]; then
  # The driver's further outputs are off and offer no mode until given one.
  xrandr --addmode DUMMY1 1024x768 && xrandr --output DUMMY1 --mode 1024x768 --left-of DUMMY0 ||
    skip "the dummy driver gave no second output"
fi
if [ -n "$wm" ]; then
  # A home of its own, so that no user's settings change what it shows.
  HOME="$dir" "$wm" >"$dir/wm.log" 2>&1 &
  wm_pid=$!
  for _ in $(seq 1 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' &&
      [ -n "$(visible_top_windows)" ] && break
    kill -0 $wm_pid 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$(visible_top_windows)" ] || skip "$wm showed nothing: $(head -c 300 "$dir/wm.log")"
fi
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
export LIBGL_ALWAYS_SOFTWARE=1
"$@"
