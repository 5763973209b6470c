#!/usr/bin/env bash
# Builds a Release binary and starts the display; arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DZT_BUILD_TESTS=OFF -DZT_BUILD_BENCH=OFF >/dev/null
cmake --build build/release -j "$(nproc)"
exec build/release/src/zolven-taris "$@"
