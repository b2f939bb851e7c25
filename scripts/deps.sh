#!/usr/bin/env bash
# Installs, with apt-get, the packages the build and the tests need and that
# this machine lacks. Does nothing when all are present.
set -euo pipefail

packages=(cmake make g++ libsqlite3-dev libgtest-dev libbenchmark-dev sqlite3 ${TARNWICK_EXTRA_PACKAGES:-})
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
