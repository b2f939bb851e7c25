#!/usr/bin/env bash
# Builds everything and runs every test.
#   scripts/test.sh             Release build in build/
#   scripts/test.sh --sanitize  address and undefined-behaviour sanitizers, in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

build=build
flags=(-DCMAKE_BUILD_TYPE=Release)
if [ "${1:-}" = "--sanitize" ]; then
  build=build-asan
  flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_SANITIZE=ON)
fi
cmake -S . -B "$build" "${flags[@]}" >/dev/null
cmake --build "$build" -j2
ctest --test-dir "$build" --output-on-failure -j2
