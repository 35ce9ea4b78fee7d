#!/usr/bin/env bash
# Sets up, builds and plays the show (from the build folder, where the soundtrack is made).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${LUMIVEX_BUILD:-$root/build}

bash "$root/tools/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMIVEX_TESTS=OFF -DLUMIVEX_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target lumivex lumivex_lowres soundtrack
cd "$build"
exec "./${1:-lumivex}"
