#!/usr/bin/env bash
# Builds everything and runs every test.
#   scripts/test.sh             Release build in build/, then the Windows build
#                               and its package in build-windows/, tested
#                               under Wine (scripts/test-windows.sh), when
#                               mingw-w64, wine64, npm and python3 are installed;
#                               TARNWICK_SKIP_WINDOWS=1 skips the Windows part
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

if [ "$build" = build ] && [ "${TARNWICK_SKIP_WINDOWS:-0}" != 1 ]; then
  if command -v x86_64-w64-mingw32-g++-posix >/dev/null && [ -x /usr/lib/wine/wine64 ] &&
    command -v npm >/dev/null && command -v python3 >/dev/null; then
    scripts/test-windows.sh "$build"
  else
    echo "Windows build not tested: it needs mingw-w64, wine64, npm and python3 (scripts/test-windows.sh)"
  fi
fi
