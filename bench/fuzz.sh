#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) in build-fuzz and runs
# each for the given seconds, starting from seeds written by the program's
# own writers plus the corpus kept from earlier runs. Crashes, leaks,
# timeouts and out-of-memory inputs land in build-fuzz/findings/<target>/.
#   bench/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]   (default 60 s, every target)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
seconds=${1:-60}
[ $# -gt 0 ] && shift

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_COMPILER_LAUNCHER=ccache \
    -DTANDREL_FUZZ=ON -DTANDREL_GUI=OFF -DTANDREL_TESTS=OFF -DTANDREL_BENCH=OFF >&2
fi

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for source in "$root"/bench/fuzz/fuzz_*.cpp; do
    name=$(basename "$source" .cpp)
    name=${name#fuzz_}
    [ "$name" = seeds ] || targets+=("$name")
  done
fi
ninja -C "$build" -j2 fuzz_seeds "${targets[@]/#/fuzz_}" >&2

seeds="$build/seeds"
rm -rf "$seeds"
"$build/bench/fuzz/fuzz_seeds" "$seeds"

mkdir -p "$build/logs"
printf '%-20s %12s %9s\n' target executions findings
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  findings="$build/findings/$target"
  log="$build/logs/$target.log"
  mkdir -p "$corpus" "$findings" "$seeds/$target"
  case "$target" in
    snapshot_*) dict=snapshot.dict ;;
    command_line) dict=command_line.dict ;;
    *) dict=lists.dict ;;
  esac
  "$build/bench/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -dict="$root/bench/fuzz/$dict" -artifact_prefix="$findings/" -print_final_stats=1 \
    "$corpus" "$seeds/$target" >"$log" 2>&1 || true
  executions=$(awk '/stat::number_of_executed_units/ {print $2}' "$log" | tail -1)
  found=$(find "$findings" -maxdepth 1 -type f \
    \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | wc -l)
  printf '%-20s %12s %9s\n' "$target" "${executions:-?}" "$found"
done
