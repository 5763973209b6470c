#!/usr/bin/env bash
# Builds everything and runs every test: the README's quick-start commands
# and the package, the normal build with the end-to-end tests, the unit tests
# again under AddressSanitizer and UndefinedBehaviorSanitizer, and a bounded
# run of each fuzz target.
# Exits non-zero when any stage fails; ctest's summaries stay on stdout.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc)
fuzz_seconds=${ZT_FUZZ_SECONDS:-30}
failed=()

stage() { echo; echo "=== $* ($(date +%T))"; }

# A stage, not a ctest test: it builds two trees of its own (build/release,
# build/package) and would take both cores from the timed end-to-end tests.
# It comes before the test list is installed, so that on a fresh machine the
# run and package scripts make do with their own lists.
stage "quick start: scripts/run.sh, scripts/package.sh and the package's checks"
tests/check_quickstart.sh || failed+=("quick start")
scripts/deps.sh test || exit 1

stage "normal build (RelWithDebInfo), all tests"
if cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
  cmake --build build/test -j "$jobs"; then
  (cd build/test && ctest --output-on-failure -j "$jobs") || failed+=("tests")
else
  failed+=("build")
fi

stage "sanitizer build (ASan + UBSan), unit tests and hostile end-to-end tests"
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
if cmake -S . -B build/test-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZT_SANITIZE=ON \
  -DZT_BUILD_BENCH=OFF >/dev/null &&
  cmake --build build/test-sanitize -j "$jobs"; then
  (cd build/test-sanitize && ctest --output-on-failure -j "$jobs" -LE 'e2e|fuzz') ||
    failed+=("sanitizer tests")
  # Of the end-to-end tests, those of hostile surroundings run here too: they
  # take the exit paths nothing else takes.
  (cd build/test-sanitize && ctest --output-on-failure -L e2e -R hostile) ||
    failed+=("sanitizer end-to-end tests")
else
  failed+=("sanitizer build")
fi
unset ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS

stage "fuzz targets (clang, libFuzzer), ${fuzz_seconds} s each"
if CC=clang CXX=clang++ cmake -S . -B build/test-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZT_BUILD_TESTS=OFF -DZT_BUILD_BENCH=OFF >/dev/null &&
  cmake --build build/test-fuzz -j "$jobs" --target zt_fuzz_midi zt_fuzz_mci zt_fuzz_wave; then
  for target in midi mci wave; do
    # New inputs go to a scratch folder; the checked-in seeds stay as they are.
    scratch=build/test-fuzz/corpus-$target
    mkdir -p "$scratch"
    if build/test-fuzz/fuzz/zt_fuzz_$target -max_total_time="$fuzz_seconds" -max_len=4096 \
      -print_final_stats=1 -artifact_prefix="build/test-fuzz/crash-$target-" \
      "$scratch" "fuzz/corpus/$target" >"build/test-fuzz/fuzz-$target.log" 2>&1; then
      echo "fuzz $target: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' \
        "build/test-fuzz/fuzz-$target.log" | grep -o '[0-9]*$') runs, no crash"
    else
      tail -n 40 "build/test-fuzz/fuzz-$target.log"
      echo "fuzz $target: FAILED"
      failed+=("fuzz $target")
    fi
  done
else
  failed+=("fuzz build")
fi

echo
if [ ${#failed[@]} -ne 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "all stages passed"
