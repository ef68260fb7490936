#!/usr/bin/env python3
"""Scan and snapshot-load speed and memory, side by side with du in one run.

    bench/scan_bench.py [--tree DIR] [--files N] [--runs R] [--cli PATH] [--cold]

Builds the deterministic tree of shared/bench/make_tree.py when DIR does not
exist yet, warms the cache, then times (best of R runs, wall clock) and
measures the peak resident memory of:
  du -sb --apparent-size DIR                    (the peer)
  ncdu -x -o /dev/null DIR, gdu -n -p DIR       (peers, when installed)
  tandrel-cli scan DIR                          (live scan + temporary snapshot)
  tandrel-cli summary SNAPSHOT --top 0          (snapshot load into the model)
and prints each figure with its ratio to du and its peak bytes per entry.
With --cold the page cache is dropped before every run of every command
(needs root); the summary then reads a cold snapshot file too.
"""
import argparse
import os
import shutil
import subprocess
import tempfile

from bench_common import BENCH_DIR, DEFAULT_CLI, ensure_tree, isolated_env, measure


def drop_caches():
    subprocess.run(["sync"], check=True)
    with open("/proc/sys/vm/drop_caches", "w") as f:
        f.write("3\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tree", default=os.path.join(BENCH_DIR, "tree1m"))
    parser.add_argument("--files", type=int, default=1000000)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--cli", default=DEFAULT_CLI)
    parser.add_argument("--cold", action="store_true", help="drop the page cache before every run")
    args = parser.parse_args()
    prepare = drop_caches if args.cold else None

    ensure_tree(args.tree, args.files)
    work = tempfile.mkdtemp(prefix="tandrel-bench-")
    env = isolated_env(work)
    try:
        entries = sum(len(d) + len(f) for _, d, f in os.walk(args.tree)) + 1
        subprocess.run(["du", "-sb", "--apparent-size", args.tree], stdout=subprocess.DEVNULL, check=True)

        rows = [("du -sb --apparent-size",) + measure(["du", "-sb", "--apparent-size", args.tree], env, args.runs,
                                                      prepare)[:2]]
        du_time = rows[0][1]
        if shutil.which("ncdu"):
            rows.append(("ncdu -x -o /dev/null",) +
                        measure(["ncdu", "-x", "-o", "/dev/null", args.tree], env, args.runs, prepare)[:2])
        if shutil.which("gdu"):
            rows.append(("gdu -n -p",) + measure(["gdu", "-n", "-p", args.tree], env, args.runs, prepare)[:2])
        scan_time, scan_mem, scan_out = measure([args.cli, "scan", args.tree], env, args.runs, prepare)
        snapshot = scan_out.strip().splitlines()[-1]
        load_time, load_mem, _ = measure([args.cli, "summary", snapshot, "--top", "0"], env, args.runs, prepare)
        rows += [("tandrel-cli scan", scan_time, scan_mem), ("tandrel-cli summary SNAPSHOT", load_time, load_mem)]

        print(f"tree: {args.tree} ({entries:,} entries), best of {args.runs} runs, "
              f"{'cold' if args.cold else 'warm'} cache")
        print(f"snapshot: {os.path.getsize(snapshot):,} bytes")
        print(f"{'command':34} {'wall s':>8} {'x du':>6} {'peak MB':>9} {'B/entry':>8}")
        for label, t, m in rows:
            print(f"{label:34} {t:8.2f} {t / du_time:6.2f} {m / 2**20:9.1f} {m / entries:8.0f}")
        print(f"load / scan time: {load_time / scan_time:.2f}")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
