#!/usr/bin/env bash
# Sets everything up and runs every test: the normal build with warnings as
# errors, then every test again under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the engine and command-line tests under
# ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

scripts/setup.sh build -DTANDREL_WERROR=ON
ctest --test-dir build --output-on-failure -j "$jobs"

scripts/setup.sh build-asan -DTANDREL_SANITIZE=ON -DTANDREL_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp" \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

scripts/setup.sh build-tsan -DTANDREL_TSAN=ON -DTANDREL_GUI=OFF -DTANDREL_BENCH=OFF
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --test-dir build-tsan --output-on-failure -j "$jobs"
echo "All tests passed."
