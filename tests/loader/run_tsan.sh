#!/usr/bin/env bash
# Builds the queue and loader tests with ThreadSanitizer in a tree of their own and runs them,
# without CTest: run_tsan.sh [build dir]  (default: ../build-tsan-loader beside the sources).
set -eu
src=$(cd "$(dirname "$0")/../.." && pwd)
build="${1:-$src/../build-tsan-loader}"
cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMIVEX_TSAN=ON -DLUMIVEX_BENCH=OFF >/dev/null
cmake --build "$build" -j4 --target loader_queue_test loader_gl_test loader_app_test
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
"$build/tests/loader/loader_queue_test"
bash "$src/tests/support/with_xvfb.sh" -- "$build/tests/loader/loader_gl_test"
bash "$src/tests/support/with_xvfb.sh" -- "$build/tests/loader/loader_app_test"
echo "ThreadSanitizer: queue and loader tests clean"
