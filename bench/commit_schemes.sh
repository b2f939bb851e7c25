#!/usr/bin/env bash
# What one removal costs under each way of committing it, in the sqlite3
# shell on copies of one database: every stub deleted in a transaction of its
# own, as the stand-in's note_delete does, so that a removal reported done is
# done for good even if the process is killed right after.
#
#   bench/commit_schemes.sh           1M notes, the first 20000 stubs
#   NOTES=200000 STUBS=5000 bench/commit_schemes.sh
#
# The last line, one transaction for all, is the floor; it is not an option
# for the tool, since a kill before its commit loses removals already reported.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
NOTES=${NOTES:-1000000}
STUBS=${STUBS:-20000}
BENCH_DIR=${BENCH_DIR:-/tmp/tarnwick-bench}

scripts/deps.sh
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTARNWICK_TESTS=OFF >/dev/null
cmake --build build-bench -j2 --target notesdb-make >/dev/null
mkdir -p "$BENCH_DIR"
cd "$BENCH_DIR"
db=commit-$NOTES.nsf
[ -f "$db" ] || "$root/build-bench/notesdb-make" "$db" --notes "$NOTES" --stubs 10 --plain >/dev/null
ids=$(sqlite3 "$db" "SELECT note_id FROM notes WHERE deleted=1 ORDER BY note_id LIMIT $STUBS")

# scheme LABEL PRAGMAS BATCHED
scheme() {
  local label=$1 pragmas=$2 batched=$3
  cp "$db" work.nsf
  rm -f work.nsf-wal work.nsf-shm
  {
    echo "$pragmas"
    [ "$batched" = yes ] && echo "BEGIN IMMEDIATE;"
    for id in $ids; do
      if [ "$batched" = yes ]; then
        echo "DELETE FROM notes WHERE note_id=$id AND deleted=1;"
      else
        echo "BEGIN IMMEDIATE; DELETE FROM notes WHERE note_id=$id AND deleted=1; COMMIT;"
      fi
    done
    [ "$batched" = yes ] && echo "COMMIT;"
  } >script.sql
  local start end
  start=$(date +%s%N)
  sqlite3 work.nsf <script.sql >/dev/null
  end=$(date +%s%N)
  awk -v l="$label" -v ns=$((end - start)) -v n="$STUBS" \
    'BEGIN { printf "%-44s %9.1f us a stub  %8.2f s for 100k\n", l, ns / n / 1000, ns / n * 1e5 / 1e9 }'
}

echo "commit schemes, $(date -u +%Y-%m-%d), $NOTES notes, $STUBS removals, $(nproc) cores"
scheme "rollback journal, synchronous=FULL" "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;" no
scheme "rollback journal, synchronous=NORMAL" "PRAGMA journal_mode=DELETE; PRAGMA synchronous=NORMAL;" no
scheme "WAL, synchronous=FULL" "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;" no
scheme "WAL, synchronous=NORMAL (the stand-in's)" "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;" no
scheme "WAL, synchronous=OFF" "PRAGMA journal_mode=WAL; PRAGMA synchronous=OFF;" no
scheme "one transaction for all (floor, unsafe)" "PRAGMA journal_mode=WAL;" yes
rm -f work.nsf work.nsf-wal work.nsf-shm script.sql
