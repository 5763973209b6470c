#!/usr/bin/env bash
# Builds a Release binary with Debian's hardening flags and the Debian
# package; prints the .deb's path on the last line.
# Usage: scripts/package.sh [BUILD_DIR]   (default build/package)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh package
build=${1:-build/package}
# Fortified functions, stack protector, read-only relocations bound at start,
# position-independent executable: what Debian's own packages are built with.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags() { dpkg-buildflags --get "$1"; }
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DZT_BUILD_TESTS=OFF -DZT_BUILD_BENCH=OFF \
  -DCMAKE_C_FLAGS="$(flags CPPFLAGS) $(flags CFLAGS)" \
  -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" \
  -DCMAKE_MODULE_LINKER_FLAGS="$(flags LDFLAGS)" >/dev/null
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/zolven-taris_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$PWD/$build"/zolven-taris_*.deb
