#!/usr/bin/env bash
# Builds tarnwick and runs it on a sample database that it makes.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j2
cmake --build build --target sample
