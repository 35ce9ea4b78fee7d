#!/usr/bin/env bash
# The show on real sound servers, started privately here (own runtime folder, session bus and
# home), watched through the window title; status 77 (skipped) where a server cannot start.
#   sound_server_show.sh <program> <ZOLT.mp3> <work folder> never-opens|server-killed
# never-opens: PipeWire and WirePlumber with no audio output, where SDL's device open never
#   comes back: the show's time runs within 10 s of the launch, and SIGTERM ends it with 0.
# server-killed: PulseAudio with a null sink, killed once the show plays on it: for the next
#   20 s the show's clock keeps to wall time within 1 %, and SIGTERM ends it with status 0.
set -u
program=$1 soundtrack=$2 folder=$3 mode=$4
. "$(dirname "$0")/../support/watch_lib.sh"

pids=()
cleanup() { for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done; wait 2>/dev/null; }
trap cleanup EXIT
skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }
# until <tenths> <command>...: runs the command until it succeeds, for at most that long.
until_ok() {
  local tries=$1; shift
  for _ in $(seq 1 "$tries"); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}

rm -rf "$folder" && mkdir -p "$folder/run" && chmod 700 "$folder/run" || exit 1
cp "$soundtrack" "$folder/ZOLT.mp3" || exit 1
cd "$folder"
export HOME=$folder XDG_RUNTIME_DIR=$folder/run
bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1 2>/dev/null) ||
  skip "no session bus (dbus-daemon)"
export DBUS_SESSION_BUS_ADDRESS=${bus%%$'\n'*}
pids+=("${bus##*$'\n'}")

case $mode in
  never-opens)
    command -v pipewire >/dev/null && command -v wireplumber >/dev/null ||
      skip "pipewire or wireplumber is not installed"
    pipewire >pipewire.log 2>&1 & pids+=($!)
    until_ok 50 pw-cli info 0 || skip "pipewire did not start: $(tail -3 pipewire.log)"
    wireplumber >wireplumber.log 2>&1 & pids+=($!)
    until_ok 50 sh -c 'pw-cli ls Client | grep -qi wireplumber' ||
      skip "wireplumber did not start: $(tail -3 wireplumber.log)"
    launched=$(date +%s)
    SDL_AUDIODRIVER=pipewire "$program" 2>stderr.txt & pid=$!
    pids+=("$pid")
    win=$(find_program_window "$pid" 100) || fail "no window"
    # Two show times, the second later, by 10 s after the launch.
    first=""
    while [ $(($(date +%s) - launched)) -lt 10 ]; do
      read -r time _ < <(show_time_at "$win" 5) || continue
      [ -z "$first" ] && first=$time
      [ "$time" -gt "$first" ] && break
    done
    echo "show time ${first:-none} then ${time:-none} ms, $(($(date +%s) - launched)) s after the launch"
    [ -n "$first" ] && [ "$time" -gt "$first" ] || fail "the show's time does not run"
    ;;
  server-killed)
    command -v pulseaudio >/dev/null && command -v pactl >/dev/null ||
      skip "pulseaudio or pactl is not installed"
    export PULSE_SERVER=unix:$XDG_RUNTIME_DIR/pulse.sock
    pulseaudio --daemonize=no --system=no -n --exit-idle-time=-1 --use-pid-file=no \
      --realtime=no --high-priority=no --log-target=stderr --load=module-null-sink \
      --load="module-native-protocol-unix auth-anonymous=1 socket=${PULSE_SERVER#unix:}" \
      >pulseaudio.log 2>&1 & server=$!
    pids+=("$server")
    until_ok 50 pactl info || skip "pulseaudio did not start: $(tail -3 pulseaudio.log)"
    SDL_AUDIODRIVER=pulseaudio "$program" 2>stderr.txt & pid=$!
    pids+=("$pid")
    win=$(find_show_window "$pid" 300) || fail "no window"
    until_ok 100 sh -c 'pactl list short sink-inputs | grep -q .' ||
      fail "the show does not play on the server"
    until read -r time _ < <(show_time_at "$win") && [ "$time" -ge 3000 ]; do sleep 0.2; done
    read -r time0 wall0 < <(show_time_at "$win") || fail "no show time"
    { kill -9 "$server"; wait "$server"; } 2>/dev/null
    echo "server killed at show time $time0 ms"
    # Every second for 20 s: how far the clock has gone from the wall clock since the kill.
    worst=0
    for _ in $(seq 1 20); do
      sleep 1
      read -r time wall < <(show_time_at "$win") || fail "no show time after the kill"
      off=$(awk -v t="$time" -v t0="$time0" -v w="$wall" -v w0="$wall0" \
        'BEGIN { d = (t - t0) - (w - w0) * 1000; printf "%d", d < 0 ? -d : d }')
      [ "$off" -gt "$worst" ] && worst=$off
    done
    awk -v t="$time" -v t0="$time0" -v w="$wall" -v w0="$wall0" \
      'BEGIN { printf "%.0f ms of show time in %.2f s of wall time; at most %d ms apart\n",
               t - t0, w - w0, '"$worst"' }'
    [ "$worst" -le 200 ] || fail "the clock left wall time by $worst ms (over 1 % of 20 s)"
    ;;
  *) fail "unknown case $mode" ;;
esac

kill -TERM "$pid"
wait_for_exit "$pid" 10
[ "$exit_status" = 0 ] || { cat stderr.txt; fail "exit status $exit_status after SIGTERM"; }
echo PASS
