#!/usr/bin/env bash
# Builds a Release binary and the Debian package; prints the .deb's path.
# Usage: scripts/package.sh [BUILD_DIR]   (default build/package)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
build=${1:-build/package}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DZT_BUILD_TESTS=OFF -DZT_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/zolven-taris_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$PWD/$build"/zolven-taris_*.deb
