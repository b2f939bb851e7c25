#!/usr/bin/env bash
# Builds tarnwick.exe and the stand-in nNOTES.dll for 64-bit Windows, makes
# the package for administrators (cpack: build-windows/tarnwick-<version>-win64.zip)
# and tests them on this Linux machine:
#   - CTest in build-windows/ reads the binaries' import and export tables
#     (the tool imports exactly its 24 operations from nNOTES.dll, by
#     ordinal, and no DLL beyond the system's), the tool's version resource
#     and manifest, and the package's contents;
#   - the end-to-end tests of a Linux build run the packaged tarnwick.exe
#     under Wine, unpacked with the stand-in DLL copied beside it, on the same
#     database files as on Linux;
#   - two clean builds in two other directories give tarnwick.exe byte for
#     byte the same as build-windows/.
#
#   scripts/test-windows.sh [LINUX_BUILD]
#
# LINUX_BUILD is the Linux build whose end-to-end tests drive the Windows tool
# (default build/, as scripts/test.sh leaves it; configured if need be).
# Needs g++-mingw-w64-x86-64-posix, binutils-mingw-w64-x86-64, wine64,
# python3 and npm (which fetches SQLite's amalgamation once, into
# ~/.cache/tarnwick).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
linux_build=${1:-build}
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
start=$SECONDS

# The tests split the command they run at spaces.
case "$root" in
*" "*)
  echo "scripts/test-windows.sh: the checkout's path must not contain spaces: $root"
  exit 1
  ;;
esac

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-wine.XXXXXX")
# A prefix of its own, quiet, and without the Mono and Gecko installers.
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
  exec 9>&- || true
  "$wineserver" -k 2>/dev/null || true
  "$wineserver" -w 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Wine makes its prefix while SQLite compiles.
"$wine" wineboot -i >"$work/wineboot.log" 2>&1 &
boot=$!

cmake --preset windows >/dev/null
cmake --build --preset windows
cpack --preset windows
ctest --preset windows
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-windows/CMakeCache.txt)
package=tarnwick-$version-win64

if [ ! -f "$linux_build/CMakeCache.txt" ]; then
  cmake -S . -B "$linux_build" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$linux_build" --target e2e_tests -j2

if ! wait "$boot"; then
  cat "$work/wineboot.log"
  echo "scripts/test-windows.sh: wineboot failed"
  exit 1
fi

# One Wine process lives as long as the tests (a pause that waits on a pipe
# nobody writes to): with it Wine's server and services stay up, so no run
# starts while they are shutting down, and none pays for starting them.
mkfifo "$work/hold"
"$wine" cmd.exe /c pause <"$work/hold" >/dev/null 2>&1 &
exec 9>"$work/hold"

# The tool as administrators receive it, unpacked; the stand-in library goes
# beside it here only, for the tests.
mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$root/build-windows/$package.zip")
cp build-windows/nNOTES.dll "$work/unpacked/$package/"
# Its usage text names the version its resource carries (checked by CTest).
if ! "$wine" "$work/unpacked/$package/tarnwick.exe" | tr -d '\r' | grep -x "version $version" >/dev/null; then
  echo "scripts/test-windows.sh: the packaged tarnwick.exe does not print version $version"
  exit 1
fi
TARNWICK_E2E_COMMAND="$wine $work/unpacked/$package/tarnwick.exe" TARNWICK_E2E_WINDOWS=1 \
  "$linux_build/tests/e2e_tests"

# Reproducible: two clean builds, in directories of other names and depths,
# give the same tarnwick.exe, and the same as build-windows/ (whose exe the
# package holds).
clean_builds=("$work/reproduce-1" "$work/again/reproduce-2")
for dir in "${clean_builds[@]}"; do
  cmake --preset windows -B "$dir" >/dev/null
  cmake --build "$dir" --target tarnwick -j2 >/dev/null
done
for exe in "${clean_builds[1]}/tarnwick.exe" build-windows/tarnwick.exe; do
  if ! cmp "${clean_builds[0]}/tarnwick.exe" "$exe"; then
    echo "scripts/test-windows.sh: $exe differs from the clean build's ${clean_builds[0]}/tarnwick.exe"
    exit 1
  fi
done
echo "Two clean builds and build-windows/: tarnwick.exe byte for byte the same"

echo "Windows build and tests: $((SECONDS - start)) s"
