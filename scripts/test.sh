#!/usr/bin/env bash
# Sets everything up and runs every test: the normal build, then the tests
# again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

scripts/setup.sh build
ctest --test-dir build --output-on-failure -j "$jobs"

scripts/setup.sh build-asan -DTANDREL_SANITIZE=ON -DTANDREL_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp" \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"
echo "All tests passed."
