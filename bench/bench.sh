#!/usr/bin/env bash
# Benchmarks tarnwick against the plain sqlite3 shell doing the same work on
# the same file, warm cache, runs of the two in alternation. Prints the median
# of each and their ratio, and the tool's peak memory against its budget of
# 8 MiB + 4.5 bytes per ID.
#
#   bench/bench.sh                 1M, 3M and 10M notes, 5 runs of each row
#   SIZES="1000000" RUNS=3 bench/bench.sh
#
# Databases are generated once into $BENCH_DIR (default /tmp/tarnwick-bench)
# and kept for later runs. Figures only: nothing here fails on a slow machine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

SIZES=${SIZES:-"1000000 3000000 10000000"}
RUNS=${RUNS:-5}
BENCH_DIR=${BENCH_DIR:-/tmp/tarnwick-bench}
NOW=2026-12-01T12:00:00Z
NOW_MS=1796126400000  # the same instant, UTC milliseconds
DAY_MS=86400000

TARNWICK_EXTRA_PACKAGES="time" scripts/deps.sh
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTARNWICK_TESTS=OFF >/dev/null
cmake --build build-bench -j2 --target tarnwick notesdb-make >/dev/null
tool=$root/build-bench/tarnwick
make=$root/build-bench/notesdb-make

mkdir -p "$BENCH_DIR"
export NOTES_DATA=$BENCH_DIR NOTES_NOW=$NOW
cd "$BENCH_DIR"

# Runs a command once; sets $ns (wall time) and $kb (peak resident set).
measure() {
  local out=$1
  shift
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f %M -o rss.txt "$@" >"$out"
  end=$(date +%s%N)
  ns=$((end - start))
  kb=$(tail -n 1 rss.txt)
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ms() { awk -v n="$1" 'BEGIN { printf "%.1f", n / 1e6 }'; }

# row LABEL PREPARE TOOL-OUTPUT SHELL-OUTPUT -- TOOL-CMD... -- SHELL-CMD...
# PREPARE is run (untimed) before each of the two commands.
row() {
  local label=$1 prepare=$2 tool_out=$3 shell_out=$4
  shift 4
  local tool_cmd=() shell_cmd=()
  shift # --
  while [ "$1" != "--" ]; do tool_cmd+=("$1"); shift; done
  shift
  shell_cmd=("$@")
  local t_times=() s_times=() t_kb=0
  for ((i = 0; i < RUNS; i++)); do
    $prepare
    measure "$tool_out" "${tool_cmd[@]}"
    t_times+=("$ns")
    [ "$kb" -gt "$t_kb" ] && t_kb=$kb
    $prepare
    measure "$shell_out" "${shell_cmd[@]}"
    s_times+=("$ns")
  done
  local t s
  t=$(printf '%s\n' "${t_times[@]}" | median)
  s=$(printf '%s\n' "${s_times[@]}" | median)
  printf '%-34s %10s ms %10s ms %7s  %8d KiB\n' "$label" "$(ms "$t")" "$(ms "$s")" \
    "$(awk -v a="$t" -v b="$s" 'BEGIN { printf "%.2fx", a / b }')" "$t_kb"
  last_kb=$t_kb
}

nothing() { :; }
fresh_copy() { cp "$db" work.nsf; rm -f work.nsf-wal work.nsf-shm; }

echo "tarnwick benchmark, $(date -u +%Y-%m-%d), $(nproc) cores, $(uname -m)"
echo "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
echo "median of $RUNS runs each, tool and sqlite3 shell in alternation"
printf '%-34s %13s %13s %7s  %12s\n' "run" "tarnwick" "sqlite3" "ratio" "tool peak"

if [ ! -f tiny.nsf ]; then
  "$make" tiny.nsf --notes 10 --stubs 20 --days 30 --now "$NOW" >/dev/null
fi
row "start-up, tiny database" nothing out.txt shell.txt \
  -- "$tool" tiny.nsf -- sqlite3 tiny.nsf "SELECT count(*) FROM notes"

bound=$((NOW_MS - 8 * DAY_MS))
for n in $SIZES; do
  db=notes-$n.nsf
  if [ ! -f "$db" ]; then
    "$make" "$db" --notes "$n" --stubs 10 --days 90 --now "$NOW" >/dev/null
  fi
  echo "-- $n notes, 10% stubs, $(($(stat -c %s "$db") / 1048576)) MiB"
  row "count, no bounds" nothing out.txt shell.txt \
    -- "$tool" "$db" -- sqlite3 "$db" "SELECT note_id, deleted FROM notes"
  budget=$((8192 + n * 9 / 2 / 1024))
  echo "   peak memory ${last_kb} KiB, budget 8 MiB + 4.5 B/ID = ${budget} KiB"
  row "count, /s:7" nothing out.txt shell.txt \
    -- "$tool" "$db" /s:7 -- sqlite3 "$db" "SELECT note_id, deleted FROM notes WHERE modified >= $bound"
  row "list (/l) to a file" nothing list.txt shell-list.txt \
    -- "$tool" "$db" /l -- sqlite3 "$db" "SELECT note_id, class, modified FROM notes WHERE deleted=1"
  if [ "$n" = 1000000 ]; then
    row "remove (/r) every stub, fresh copy" fresh_copy out.txt shell.txt \
      -- "$tool" work.nsf /r -- sqlite3 work.nsf "DELETE FROM notes WHERE deleted=1"
    rm -f work.nsf work.nsf-wal work.nsf-shm
  fi
done
rm -f out.txt shell.txt list.txt shell-list.txt rss.txt
