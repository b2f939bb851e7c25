#!/usr/bin/env bash
# Fuzzes the command-line parser in-process with libFuzzer under address and
# undefined-behaviour sanitizers, for a fixed time.
#   scripts/fuzz.sh            one minute (as CI runs it)
#   scripts/fuzz.sh SECONDS    any other budget
# Builds in build-fuzz/ with clang; the corpus it grows stays in
# build-fuzz/corpus. Prints the number of inputs executed.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
TARNWICK_EXTRA_PACKAGES="clang libclang-rt-14-dev" scripts/deps.sh

CXX=clang++ cmake -S fuzz -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j2
mkdir -p build-fuzz/corpus
log=build-fuzz/fuzz.log
# Sanitizer reports and libFuzzer's own lines go to the log; a crash fails
# the script and leaves its input as build-fuzz/crash-*.
if ! build-fuzz/command_line_fuzz -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -dict=fuzz/command_line.dict -artifact_prefix=build-fuzz/ -print_final_stats=1 \
    build-fuzz/corpus fuzz/seeds >"$log" 2>&1; then
  tail -n 60 "$log"
  echo "fuzz: FAILED (see $log)"
  exit 1
fi
execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
echo "fuzz: ${execs} command lines in ${seconds} s, no failure"
