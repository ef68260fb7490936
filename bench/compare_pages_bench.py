#!/usr/bin/env python3
"""The comparison pages of the window on the 1.16-million-entry tree of
make_tree.py and its copy after `--mutate 0.01 --seed 2`: snapshots of both
are compared on the snapshot page, the two folders on the directory page
(see compare_pages_bench.cpp for what is measured).

    bench/compare_pages_bench.py [--cli PATH] [--bench PATH]

Targets: the result shown at most 1 s after the worker ends, a show/hide box
or the filter word at most 200 ms, a sort by any column of a million rows at
most 1 s, no stall over 100 ms while a comparison runs.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

from bench_common import DEFAULT_CLI, ROOT, isolated_env, mutated_tree_pair, snapshot_pair


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", default=DEFAULT_CLI)
    parser.add_argument("--bench", default=os.path.join(ROOT, "build", "bench", "compare_pages_bench"))
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="tandrel-bench-")
    try:
        env = isolated_env(work)
        before, after = snapshot_pair(args.cli, env, work)
        tree, mutated = mutated_tree_pair()
        sys.stdout.flush()
        subprocess.run([args.bench, before, after, tree, mutated], env=env, check=True)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
