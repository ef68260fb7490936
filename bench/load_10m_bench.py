#!/usr/bin/env python3
"""Loading a ten-million-file snapshot beside loading the 1.16-million-entry one.

    bench/load_10m_bench.py [--files N] [--runs R] [--cli PATH] [--make PATH]

The small snapshot is a live scan of shared/bench/make_tree.py's tree; the
big one is written by build/bench/make_snapshot (the same shape, no files
made) once into /tmp/tandrel-bench. Both are loaded with
`tandrel-cli summary SNAPSHOT --top 0` (best of R runs, wall clock, peak
resident memory); the figures that should hold: the big load's time per
entry close to the small one's (time ratio at most 10.5 x for about 9.8 x
the entries) and the same bytes per entry.
"""
import argparse
import os
import shutil
import subprocess
import tempfile

from bench_common import BENCH_DIR, DEFAULT_CLI, ROOT, ensure_tree, isolated_env, last_line, measure


def header_entries(snapshot):
    """Files plus folders plus the root, from the snapshot's header."""
    with open(snapshot, "rb") as f:
        head = f.read(1 << 16).split(b"\x00\x00\x01")[0].decode("utf-8", "replace").splitlines()
    values = {}
    for i, line in enumerate(head[:-1]):
        if line.startswith("|") and line.endswith("|"):
            values[line.strip("|")] = head[i + 1]
    return int(values["files_count"]) + int(values["folders_count"]) + 1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--files", type=int, default=10000000)
    parser.add_argument("--runs", type=int, default=2)
    parser.add_argument("--cli", default=DEFAULT_CLI)
    parser.add_argument("--make", default=os.path.join(ROOT, "build", "bench", "make_snapshot"))
    args = parser.parse_args()

    tree = os.path.join(BENCH_DIR, "tree1m")
    ensure_tree(tree, 1000000)
    big = os.path.join(BENCH_DIR, f"tree{args.files // 1000000}m.snapshot")
    if not os.path.exists(big):
        subprocess.run([args.make, big + ".partial", "--files", str(args.files)], check=True)
        os.rename(big + ".partial", big)

    work = tempfile.mkdtemp(prefix="tandrel-bench-")
    env = isolated_env(work)
    try:
        small = os.path.join(work, "tree1m.snapshot")
        shutil.move(last_line(subprocess.run([args.cli, "scan", tree], env=env, check=True, capture_output=True,
                                             text=True).stdout), small)
        rows = []
        for label, snapshot in (("1.16M snapshot", small), ("10M snapshot", big)):
            entries = header_entries(snapshot)
            t, peak, _ = measure([args.cli, "summary", snapshot, "--top", "0"], env, args.runs)
            rows.append((label, entries, os.path.getsize(snapshot), t, peak))
        print(f"tandrel-cli summary SNAPSHOT --top 0, best of {args.runs} runs")
        print(f"{'snapshot':16} {'entries':>12} {'file MB':>8} {'load s':>8} {'us/entry':>9} {'peak MB':>9} "
              f"{'B/entry':>8}")
        for label, entries, size, t, peak in rows:
            print(f"{label:16} {entries:12,} {size / 2**20:8.1f} {t:8.2f} {t / entries * 1e6:9.3f} "
                  f"{peak / 2**20:9.1f} {peak / entries:8.0f}")
        (_, e1, _, t1, p1), (_, e2, _, t2, p2) = rows
        print(f"entries ratio {e2 / e1:.2f}, load time ratio {t2 / t1:.2f}, "
              f"bytes/entry ratio {(p2 / e2) / (p1 / e1):.2f}")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
