#!/usr/bin/env python3
"""Scan and snapshot-load speed and memory, side by side with du in one run.

    bench/scan_bench.py [--tree DIR] [--files N] [--runs R] [--cli PATH]

Builds the deterministic tree of shared/bench/make_tree.py when DIR does not
exist yet, warms the cache, then times (best of R runs, wall clock) and
measures the peak resident memory of:
  du -sb --apparent-size DIR                    (the peer)
  tandrel-cli scan DIR                          (live scan + temporary snapshot)
  tandrel-cli summary SNAPSHOT --top 0          (snapshot load into the model)
and prints each figure with its ratio to du.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def measure(cmd, env, runs):
    """Best wall time and the largest peak RSS (bytes) over the runs."""
    best, peak, out = None, 0, b""
    for _ in range(runs):
        start = time.perf_counter()
        proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env)
        out = proc.stdout.read()
        _, status, usage = os.wait4(proc.pid, 0)
        elapsed = time.perf_counter() - start
        if os.waitstatus_to_exitcode(status) != 0:
            sys.exit(f"failed: {' '.join(cmd)}")
        best = elapsed if best is None else min(best, elapsed)
        peak = max(peak, usage.ru_maxrss * 1024)
    return best, peak, out.decode(errors="replace")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tree", default=os.path.join(tempfile.gettempdir(), "tandrel-bench", "tree1m"))
    parser.add_argument("--files", type=int, default=1000000)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--cli", default=os.path.join(ROOT, "build", "src", "cli", "tandrel-cli"))
    args = parser.parse_args()

    if not os.path.isdir(args.tree):
        maker = os.path.join(ROOT, "..", "shared", "bench", "make_tree.py")
        if not os.path.exists(maker):
            maker = os.path.join(HERE, "make_tree.py")
        subprocess.run([sys.executable, maker, args.tree, "--files", str(args.files)], check=True)

    work = tempfile.mkdtemp(prefix="tandrel-bench-")
    env = dict(os.environ)
    for name in ("XDG_CONFIG_HOME", "XDG_CACHE_HOME"):
        env[name] = os.path.join(work, name)
        os.makedirs(env[name])
    try:
        entries = sum(len(d) + len(f) for _, d, f in os.walk(args.tree)) + 1
        subprocess.run(["du", "-sb", "--apparent-size", args.tree], stdout=subprocess.DEVNULL, check=True)

        du_time, du_mem, _ = measure(["du", "-sb", "--apparent-size", args.tree], env, args.runs)
        scan_time, scan_mem, scan_out = measure([args.cli, "scan", args.tree], env, args.runs)
        snapshot = scan_out.strip().splitlines()[-1]
        load_time, load_mem, _ = measure([args.cli, "summary", snapshot, "--top", "0"], env, args.runs)

        print(f"tree: {args.tree} ({entries:,} entries), best of {args.runs} runs, warm cache")
        print(f"snapshot: {os.path.getsize(snapshot):,} bytes")
        print(f"{'command':34} {'wall s':>8} {'x du':>6} {'peak MB':>9} {'B/entry':>8}")
        for label, t, m in (("du -sb --apparent-size", du_time, du_mem),
                            ("tandrel-cli scan", scan_time, scan_mem),
                            ("tandrel-cli summary SNAPSHOT", load_time, load_mem)):
            print(f"{label:34} {t:8.2f} {t / du_time:6.2f} {m / 2**20:9.1f} {m / entries:8.0f}")
        print(f"load / scan time: {load_time / scan_time:.2f}")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
