#!/usr/bin/env python3
"""Comparison speed, side by side with the usual tools in one run.

    bench/compare_bench.py [--only snapshots|dirs|files] [--runs R] [--cli PATH]

snapshots: snapshots of the 1.16-million-entry tree of make_tree.py before and
    after `make_tree.py --mutate 0.01 --seed 2` (on a copy swapped into the
    same path, so both snapshots cover the same folder); compare-snapshots
    against the time `summary` needs to load both.
dirs: the make_dups.py tree and a copy of it with a few files changed and
    removed; compare-dirs with an empty comparison cache and again answered
    from the cache, against `diff -rq`.
files: a 2 GiB pair differing in the last byte; compare-files against `cmp`.
Every figure is the best of R runs, wall clock, warm page cache.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

from bench_common import BENCH_DIR, DEFAULT_CLI, isolated_env, last_line, measure, shared_script, snapshot_pair


def flip_last_byte(path):
    with open(path, "r+b") as f:
        f.seek(-1, os.SEEK_END)
        last = f.read(1)[0]
        f.seek(-1, os.SEEK_END)
        f.write(bytes([last ^ 0xFF]))


def bench_snapshots(args, env, work):
    before, after = snapshot_pair(args.cli, env, work)

    load_before, _, _ = measure([args.cli, "summary", before, "--top", "0"], env, args.runs)
    load_after, _, _ = measure([args.cli, "summary", after, "--top", "0"], env, args.runs)
    compare, peak, out = measure([args.cli, "compare-snapshots", before, after], env, args.runs)
    loads = load_before + load_after
    print("snapshots of the 1.16M-entry tree, before and after a 1% mutation")
    print(f"  summary (load) before + after   {loads:8.2f} s  ({load_before:.2f} + {load_after:.2f})")
    print(f"  compare-snapshots               {compare:8.2f} s  x load {compare / loads:5.2f}  "
          f"peak {peak / 2**20:.0f} MB")
    for line in out.splitlines():
        if line.startswith("Total files:"):
            print("   ", line)


def bench_dirs(args, env, work):
    left = os.path.join(BENCH_DIR, "dups")
    right = os.path.join(BENCH_DIR, "dups_changed_copy")
    if not os.path.isdir(left):
        subprocess.run([sys.executable, shared_script("make_dups.py"), left], check=True, stdout=subprocess.DEVNULL)
    if not os.path.isdir(right):
        partial = right + ".partial"
        shutil.rmtree(partial, ignore_errors=True)
        shutil.copytree(left, partial)
        files = sorted(os.path.join(d, f) for d, _, names in os.walk(partial) for f in names)
        changed = [p for p in files if os.path.getsize(p) > 0][::997][:8]
        for p in changed[:6]:
            flip_last_byte(p)
        for p in changed[6:]:
            os.remove(p)
        os.rename(partial, right)

    cache_dir = env["XDG_CONFIG_HOME"]

    def empty_cache():
        shutil.rmtree(cache_dir, ignore_errors=True)
        os.makedirs(cache_dir)

    subprocess.run(["diff", "-rq", left, right], stdout=subprocess.DEVNULL)  # warm the page cache
    diff, diff_mem, _ = measure(["diff", "-rq", left, right], env, args.runs, ok_codes=(0, 1))
    cmd = [args.cli, "compare-dirs", left, right]
    first, first_mem, out = measure(cmd, env, args.runs, prepare=empty_cache, ok_codes=(0, 1))
    cached, _, cached_out = measure(cmd, env, args.runs, ok_codes=(0, 1))
    if cached_out != out:
        sys.exit("the cached run reported other verdicts than the first")
    files = sum(len(names) for _, _, names in os.walk(left))
    print(f"compare-dirs of {files:,} files against a copy with a few changes")
    print(f"  diff -rq                        {diff:8.2f} s  peak {diff_mem / 2**20:.0f} MB")
    print(f"  compare-dirs, empty cache       {first:8.2f} s  x diff {first / diff:5.2f}  "
          f"peak {first_mem / 2**20:.0f} MB")
    print(f"  compare-dirs, from the cache    {cached:8.2f} s  first / cached {first / cached:6.1f}")
    print("   ", last_line(out))


def bench_files(args, env, work):
    a = os.path.join(BENCH_DIR, "pair_2g_a")
    b = os.path.join(BENCH_DIR, "pair_2g_b")
    if not os.path.exists(b):
        subprocess.run(["head", "-c", str(2 << 30), "/dev/urandom"], stdout=open(a + ".partial", "wb"), check=True)
        shutil.copyfile(a + ".partial", b + ".partial")
        flip_last_byte(b + ".partial")
        os.rename(a + ".partial", a)
        os.rename(b + ".partial", b)
    subprocess.run(["cmp", "-s", a, b])  # warm the page cache
    cmp, _, _ = measure(["cmp", a, b], env, args.runs, ok_codes=(1,))
    ours, peak, out = measure([args.cli, "compare-files", a, b], env, args.runs, ok_codes=(1,))
    print("compare-files of a 2 GiB pair differing in the last byte")
    print(f"  cmp                             {cmp:8.2f} s")
    print(f"  compare-files                   {ours:8.2f} s  x cmp {ours / cmp:5.2f}  peak {peak / 2**20:.0f} MB"
          f"  ({out.strip()})")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--only", choices=["snapshots", "dirs", "files"])
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--cli", default=DEFAULT_CLI)
    args = parser.parse_args()
    os.makedirs(BENCH_DIR, exist_ok=True)
    work = tempfile.mkdtemp(prefix="tandrel-bench-")
    env = isolated_env(work)
    try:
        for name, run in (("files", bench_files), ("dirs", bench_dirs), ("snapshots", bench_snapshots)):
            if args.only in (None, name):
                run(args, env, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
