#!/usr/bin/env bash
# Runs the text kernels beside their C library peers and prints ns per call
# and the ratio (ours / peer; below 1 means faster than the peer).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
[ -x "$root/build/bench/common_bench" ] || "$root/scripts/setup.sh" build >&2
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$root/build/bench/common_bench" --benchmark_format=json --benchmark_min_time=0.3 >"$out" 2>/dev/null
python3 - "$out" <<'PY'
import json, sys
runs = {b["name"]: b["cpu_time"] for b in json.load(open(sys.argv[1]))["benchmarks"]}
pairs = [("BM_CompareTextLocale", "BM_Peer_strcoll"), ("BM_CompareLogical", "BM_Peer_strverscmp"),
         ("BM_FormatDateTimeMs", "BM_Peer_strftime"), ("BM_ParseIsoDateTime", "BM_Peer_strptime")]
print(f"{'kernel':24} {'ns/call':>9} {'peer':22} {'ns/call':>9} {'ratio':>6}")
for ours, peer in pairs:
    a, b = runs[ours], runs[peer]
    print(f"{ours[3:]:24} {a:9.1f} {peer[8:]:22} {b:9.1f} {a / b:6.2f}")
PY
