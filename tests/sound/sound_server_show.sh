#!/usr/bin/env bash
# The show on real sound servers, started privately here (own runtime folder, session bus and
# home), watched through the window title; status 77 (skipped) where a server cannot start.
#   sound_server_show.sh <program> <ZOLT.mp3> <work folder> <case>
# never-opens: PipeWire and WirePlumber with no audio output, where SDL's device open never
#   comes back: the show's time runs within 10 s of the launch, and SIGTERM ends it with 0.
# The other cases play on PulseAudio with a null sink; "heard" means the player's stream on the
# server carries sound (read through the sink's monitor), not only that a stream exists.
# server-killed: the server is killed once the show plays on it: for the next 20 s the show's
#   clock keeps to wall time within 1 %, and SIGTERM ends it with status 0.
# busy: every core kept busy by other programs; sound heard 4 s into the show, three runs.
# paused: the player stopped (SIGSTOP) for 2 s and continued, four times; sound heard after each.
# suspended: the sink suspended until the device stalls, then 3 s while the show's time runs on;
#   once it is back the time keeps to the wall clock and sound is heard; suspended again, Escape
#   ends the run with status 0 within 3 s.
# server-stopped: the server stopped (SIGSTOP) for good; the show's time runs on, and SIGTERM
#   ends the run with status 0 within 3 s.
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

# A private PulseAudio with a null sink, for the player to play on.
start_pulse() {
  command -v pulseaudio >/dev/null && command -v pactl >/dev/null && command -v parec >/dev/null ||
    skip "pulseaudio, pactl or parec is not installed"
  export PULSE_SERVER=unix:$XDG_RUNTIME_DIR/pulse.sock
  pulseaudio --daemonize=no --system=no -n --exit-idle-time=-1 --use-pid-file=no \
    --realtime=no --high-priority=no --log-target=stderr --load=module-null-sink \
    --load="module-native-protocol-unix auth-anonymous=1 socket=${PULSE_SERVER#unix:}" \
    >pulseaudio.log 2>&1 & server=$!
  pids+=("$server")
  until_ok 50 pactl info || skip "pulseaudio did not start: $(tail -3 pulseaudio.log)"
}
start_show() {
  SDL_AUDIODRIVER=pulseaudio "$program" 2>stderr.txt & pid=$!
  pids+=("$pid")
  win=$(find_show_window "$pid" 300) || fail "no window"
  until_ok 100 sh -c 'pactl list short sink-inputs | grep -q .' ||
    fail "the show does not play on the server"
}
until_show_time() {
  until read -r time _ < <(show_time_at "$win") && [ "$time" -ge "$1" ]; do
    kill -0 "$pid" 2>/dev/null || fail "the player ended before show time $1 ms"
    sleep 0.2
  done
}
# A private server, and the show 3 s into playing on it.
playing() { start_pulse; start_show; until_show_time 3000; }
# runs_on <what>: the show's time runs on (2 s of 3) while <what> holds.
runs_on() {
  local t0 t1
  read -r t0 _ < <(show_time_at "$win") || fail "no show time with $1"
  sleep 3
  read -r t1 _ < <(show_time_at "$win") || fail "no show time with $1"
  echo "show time $t0 then $t1 ms over 3 s with $1"
  [ $((t1 - t0)) -ge 2000 ] || fail "the show's time stands with $1"
}
# behind <time> <wall>: how far (ms) the show's time has fallen behind the wall clock since it
# showed <time> at <wall>. Read as the title changes, so that a time that stands is waited out
# (5 s at least) and counted in full; the least of three readings, as a busy machine only ever
# makes one late.
behind() {
  local time wall least=""
  for _ in 1 2 3; do
    read -r time wall < <(show_time_at "$win" 50) || return 1
    least=$(awk -v t="$time" -v t0="$1" -v w="$wall" -v w0="$2" -v least="$least" \
      'BEGIN { d = int((w - w0) * 1000 - (t - t0)); print least == "" || d < least ? d : least }')
  done
  echo "$least"
}
# The player's stream carries sound now: half a second of it, read through the sink's monitor.
heard() {
  local input
  input=$(pactl list short sink-inputs | awk 'NR == 1 { print $1 }')
  [ -n "$input" ] || return 1
  timeout 3 parec --monitor-stream="$input" --raw --format=s16le --channels=1 --rate=8000 \
    2>/dev/null | head -c 8000 | od -An -v -td2 -w2 |
    awk '{ v = $1 < 0 ? -$1 : $1; if (v > peak) peak = v } END { exit !(peak > 500) }'
}
# ends_with_status_0 <signal, or "" after Escape> <seconds>
ends_with_status_0() {
  [ -n "$1" ] && kill "$1" "$pid"
  wait_for_exit "$pid" "$2"
  [ "$exit_status" = 0 ] || { cat stderr.txt; fail "exit status $exit_status within $2 s of ${1:-Escape}"; }
}

# How the run is ended at last, and how soon it must be over.
end_signal=-TERM end_within=10
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
    playing
    read -r time0 wall0 < <(show_time_at "$win") || fail "no show time"
    base=$(behind "$time0" "$wall0") || fail "no show time before the kill"
    { kill -9 "$server"; wait "$server"; } 2>/dev/null
    echo "server killed"
    # Every second for 20 s: how far the clock has gone from the wall clock since the kill.
    worst=0
    for _ in $(seq 1 20); do
      sleep 1
      lost=$(behind "$time0" "$wall0") || fail "no show time after the kill"
      off=$((lost - base))
      (( ${off#-} > ${worst#-} )) && worst=$off
    done
    echo "over 20 s after the kill the show's time was at most $worst ms from the wall clock (more: behind)"
    (( ${worst#-} <= 200 )) || fail "the clock left wall time by $worst ms (over 1 % of 20 s)"
    ;;
  busy)
    start_pulse
    for _ in $(seq 1 "$(nproc)"); do nice -n 10 sh -c 'while :; do :; done' & pids+=($!); done
    for run in 1 2 3; do
      start_show
      until_show_time 4000
      heard || fail "run $run: no sound 4 s into the show on a busy machine"
      echo "run $run: sound heard 4 s in"
      [ $run = 3 ] || ends_with_status_0 -TERM 10
    done
    ;;
  paused)
    playing
    for pause in 1 2 3 4; do
      kill -STOP "$pid"; sleep 2; kill -CONT "$pid"
      sleep 1
      heard || fail "no sound after pause $pause of the player"
      echo "sound heard after pause $pause"
    done
    ;;
  suspended)
    playing
    # Kept suspended until the device has stalled (the show's time stood for the stall limit),
    # so that what follows the resume is the catch-up and not a stream that never stopped.
    read -r time0 wall0 < <(show_time_at "$win") || fail "no show time"
    pactl suspend-sink @DEFAULT_SINK@ 1
    SECONDS=0
    until lost=$(behind "$time0" "$wall0") || fail "no show time with the sink suspended"
          [ "$lost" -ge 500 ]; do
      [ "$SECONDS" -lt 15 ] ||
        fail "the device never stalled: show time only $lost ms behind 15 s into the suspension"
    done
    echo "the device stalled with the sink suspended: show time $lost ms behind the wall clock"
    runs_on "the sink suspended"
    # The sound picks up where the show's time has got to, so that time does not wait for it:
    # in the 1.5 s from the resume it keeps to the wall clock.
    read -r time1 wall1 < <(show_time_at "$win") || fail "no show time with the sink suspended"
    pactl suspend-sink @DEFAULT_SINK@ 0
    sleep 1.5
    lost=$(behind "$time1" "$wall1") || fail "no show time after the sink came back"
    echo "show time $lost ms behind the wall clock 1.5 s after the sink came back"
    [ "$lost" -le 500 ] || fail "the show's time waits for the sound to catch up ($lost ms lost)"
    heard || fail "no sound after the sink came back"
    echo "sound heard after the sink came back"
    pactl suspend-sink @DEFAULT_SINK@ 1
    sleep 1.5
    press_escape "$win"
    end_signal="" end_within=3
    ;;
  server-stopped)
    playing
    kill -STOP "$server"
    runs_on "the server stopped"
    end_within=3
    ;;
  *) fail "unknown case $mode" ;;
esac

ends_with_status_0 "$end_signal" "$end_within"
echo PASS
