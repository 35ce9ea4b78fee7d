#!/usr/bin/env bash
# Sets up, builds and runs every test: the ordinary build first, then every test again under
# AddressSanitizer + UndefinedBehaviorSanitizer (all but the three-minute whole show), and the
# threaded ones under ThreadSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${LUMIVEX_BUILD:-$root/build}
jobs=$(nproc)

bash "$root/tools/setup.sh"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$jobs"
(cd "$build" && ctest -j"$jobs" --output-on-failure --timeout 600)

cmake -S "$root" -B "$build-asan" -DCMAKE_BUILD_TYPE=Debug -DLUMIVEX_SANITIZE=ON -DLUMIVEX_BENCH=OFF >/dev/null
cmake --build "$build-asan" -j"$jobs"
(cd "$build-asan" && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest -j"$jobs" -E 'show\.WholeShowPlaysAndEnds' --output-on-failure --timeout 600)

cmake -S "$root" -B "$build-tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMIVEX_TSAN=ON -DLUMIVEX_BENCH=OFF >/dev/null
cmake --build "$build-tsan" -j"$jobs"
(cd "$build-tsan" && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest -j"$jobs" -L tsan --output-on-failure --timeout 600)
