#!/usr/bin/env bash
# Cross-builds the Windows screen saver on Debian 12: installs what is
# missing (MinGW-w64 with POSIX threads, zlib for MinGW, NSIS, Wine for the
# tests), then builds build/windows/zolven-taris.scr, the zip and
# build/windows/zolven-taris-setup.exe. With --test it also builds the
# Windows tests and runs them under Wine; ZT_HOST_BUILD names a Linux build
# folder (with zt_xprobe and the program) for the end-to-end ones.
set -euo pipefail
cd "$(dirname "$0")/.."
run_tests=0
[ "${1:-}" = "--test" ] && run_tests=1
scripts/deps.sh "$([ $run_tests -eq 1 ] && echo windows-test || echo windows)"
jobs=${ZT_JOBS:-2}
build=build/windows
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DZT_BUILD_TESTS=$([ $run_tests -eq 1 ] && echo ON || echo OFF) \
  -DZT_BUILD_BENCH=OFF -DZT_HOST_BUILD="${ZT_HOST_BUILD:-}" >/dev/null
cmake --build "$build" -j "$jobs"
ls -l "$build"/zolven-taris.scr "$build"/zolven-taris-setup.exe "$build"/zolven-taris-*-windows.zip
if [ $run_tests -eq 1 ]; then
  (cd "$build" && ctest --output-on-failure -j 1)
fi
