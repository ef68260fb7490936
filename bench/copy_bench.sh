#!/usr/bin/env bash
# Copies the duplicates tree (20,002 files, 4.7 GB) to another folder of the
# same file system with our engine and with cp -r, alternating, three times
# each in one run, and shows that a move within one file system is one
# rename: moving the whole tree takes as long as moving a single small
# folder. Caches cannot be dropped here, so every run is printed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bench="$root/build/bench/copy_bench"
[ -x "$bench" ] || ninja -C "$root/build" copy_bench >&2
base=${TANDREL_BENCH_DIR:-/tmp/tandrel-bench}
source="$base/dups"
if [ ! -d "$source" ]; then
  mkdir -p "$base"
  python3 /work/shared/bench/make_dups.py "$source" >&2
fi
work="$base/copy_bench_work"
rm -rf "$work"
mkdir -p "$work/ours" "$work/cp" "$work/moved" "$work/small/one"
trap 'rm -rf "$work"' EXIT

seconds() { local s e; s=$(date +%s.%N); "$@" >/dev/null; e=$(date +%s.%N); echo "$e - $s" | bc; }

echo "copy of $(find "$source" -type f | wc -l) files, $(du -sh "$source" | cut -f1) (same file system)"
printf '%-5s %10s %10s %7s\n' run "ours s" "cp -r s" ratio
for run in 1 2 3; do
  rm -rf "$work/ours/dups" "$work/cp/dups"
  sync
  ours=$(seconds "$bench" copy "$source" "$work/ours")
  sync
  peer=$(seconds cp -r "$source" "$work/cp/dups")
  printf '%-5s %10.2f %10.2f %7.2f\n' "$run" "$ours" "$peer" "$(echo "$ours / $peer" | bc -l)"
done
diff -rq "$source" "$work/ours/dups" >/dev/null && echo "our copy matches the source"

echo
echo "move within one file system (a rename of the top item)"
printf '%-5s %18s %18s %12s\n' run "20,002 files, ms" "1 folder, ms" "mv tree, ms"
for run in 1 2; do
  big=$(seconds "$bench" move "$work/ours/dups" "$work/moved")
  small=$(seconds "$bench" move "$work/small/one" "$work/moved")
  mvpeer=$(seconds mv "$work/moved/dups" "$work/ours/dups")
  mv "$work/moved/one" "$work/small/one"
  printf '%-5s %18.1f %18.1f %12.1f\n' "$run" "$(echo "$big * 1000" | bc -l)" "$(echo "$small * 1000" | bc -l)" \
    "$(echo "$mvpeer * 1000" | bc -l)"
done
