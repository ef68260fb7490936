#!/usr/bin/env python3
"""Duplicate search speed and memory, side by side with the usual tools in one run.

    bench/dups_bench.py [--only tree|same-size|memory] [--runs R] [--cli PATH]

tree: the make_dups.py tree (20,002 files, 4.7 GB); `tandrel-cli duplicates`
    with an empty comparison cache and again answered from the cache, against
    `jdupes -r`, `rmlint` and `fdupes -r` (installed from Debian here when
    missing); every tool's group count is printed and must agree.
same-size: 1,000 different files of 1 MiB each; the search against `cat` of
    all of them to /dev/null.
memory: the 1.16-million-entry tree of make_tree.py with the 1024-byte floor;
    peak memory per listed file.
Every time is the best of R runs, wall clock, warm page cache.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

from bench_common import BENCH_DIR, DEFAULT_CLI, ensure_tree, isolated_env, measure, shared_script

PEERS = ["jdupes", "rmlint", "fdupes"]


def install_peers():
    missing = [p for p in PEERS if not shutil.which(p)]
    if missing:
        sudo = [] if os.geteuid() == 0 else ["sudo"]
        env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
        subprocess.run(sudo + ["apt-get", "install", "-y", "-qq", "--no-install-recommends", *missing], check=True,
                       env=env, stdout=subprocess.DEVNULL)


def blank_line_groups(text):
    """Groups of a listing that separates groups by empty lines."""
    groups, current = [], []
    for line in text.splitlines():
        if line.strip():
            current.append(line)
        elif current:
            groups.append(current)
            current = []
    if current:
        groups.append(current)
    return [g for g in groups if len(g) > 1]


def tandrel_groups(tsv):
    groups = {}
    for line in tsv.splitlines():
        group, _, path = line.split("\t")
        groups.setdefault(group, []).append(path)
    return list(groups.values())


def bench_tree(args, env, work):
    tree = os.path.join(BENCH_DIR, "dups")
    if not os.path.isdir(tree):
        subprocess.run([sys.executable, shared_script("make_dups.py"), tree], check=True)
    cache_dir = env["XDG_CONFIG_HOME"]

    def empty_cache():
        shutil.rmtree(cache_dir, ignore_errors=True)
        os.makedirs(cache_dir)

    subprocess.run(["jdupes", "-r", "-q", tree], stdout=subprocess.DEVNULL)  # warm the page cache
    rows = []
    jd, _, jd_out = measure(["jdupes", "-r", "-q", tree], env, args.runs)
    rows.append(("jdupes -r", jd, len(blank_line_groups(jd_out))))
    rm_dir = os.path.join(work, "rmlint")
    os.makedirs(rm_dir, exist_ok=True)
    rm, _, rm_out = measure(["rmlint", "-T", "df", "-o", "fdupes:stdout", tree], env, args.runs)
    rows.append(("rmlint -T df", rm, len(blank_line_groups(rm_out))))
    fd, _, fd_out = measure(["fdupes", "-r", "-q", tree], env, args.runs)
    rows.append(("fdupes -r", fd, len(blank_line_groups(fd_out))))
    cmd = [args.cli, "duplicates", tree, "--tsv"]
    first, first_mem, out = measure(cmd, env, args.runs, prepare=empty_cache, ok_codes=(1,))
    cached, _, cached_out = measure(cmd, env, args.runs, ok_codes=(1,))
    if cached_out != out:
        sys.exit("the cached run reported other groups than the first")
    groups = len(tandrel_groups(out))
    surplus = sum(len(g) - 1 for g in tandrel_groups(out))
    print(f"duplicates in the make_dups tree ({sum(len(n) for _, _, n in os.walk(tree)):,} files)")
    for name, seconds, count in rows:
        print(f"  {name:30}  {seconds:8.2f} s  groups {count:,}")
    print(f"  tandrel, empty cache            {first:8.2f} s  groups {groups:,} (surplus {surplus:,})  "
          f"x jdupes {first / jd:5.2f}  peak {first_mem / 2**20:.0f} MB")
    print(f"  tandrel, from the cache         {cached:8.2f} s  first / cached {first / cached:6.1f}")
    if any(count != groups for _, _, count in rows):
        print("  GROUP COUNTS DIFFER")


def bench_same_size(args, env, work):
    folder = os.path.join(BENCH_DIR, "dups_1000x1m")
    if not os.path.isdir(folder):
        partial = folder + ".partial"
        shutil.rmtree(partial, ignore_errors=True)
        os.makedirs(partial)
        for i in range(1000):
            with open(os.path.join(partial, f"f{i:04d}.bin"), "wb") as f:
                f.write(os.urandom(1 << 20))
        os.rename(partial, folder)
    cache_dir = env["XDG_CONFIG_HOME"]

    def empty_cache():
        shutil.rmtree(cache_dir, ignore_errors=True)
        os.makedirs(cache_dir)

    cat_cmd = ["sh", "-c", f"cat '{folder}'/* > /dev/null"]
    subprocess.run(cat_cmd)
    cat, _, _ = measure(cat_cmd, env, args.runs)
    ours, peak, _ = measure([args.cli, "duplicates", folder], env, args.runs, prepare=empty_cache)
    print("1,000 different files of 1 MiB, all of one size")
    print(f"  cat of all to /dev/null         {cat:8.2f} s")
    print(f"  tandrel, empty cache            {ours:8.2f} s  x cat {ours / cat:5.2f}  peak {peak / 2**20:.0f} MB")


def bench_memory(args, env, work):
    tree = os.path.join(BENCH_DIR, "tree1m")
    ensure_tree(tree, 1000000)
    _, peak, _ = measure([args.cli, "duplicates", tree], env, 1, ok_codes=(0, 1))
    lists = [f for f in os.listdir(env["XDG_CONFIG_HOME"] + "/tandrel") if f.endswith(".filelist")]
    with open(os.path.join(env["XDG_CONFIG_HOME"], "tandrel", lists[0]), "rb") as f:
        listed = sum(1 for _ in f)
    print(f"the 1.16M-entry tree, files of 1024 bytes and more: {listed:,} listed")
    print(f"  peak {peak / 2**20:.0f} MB, {peak / max(listed, 1):.0f} bytes per listed file")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--only", choices=["tree", "same-size", "memory"])
    ap.add_argument("--runs", type=int, default=2)
    ap.add_argument("--cli", default=DEFAULT_CLI)
    args = ap.parse_args()
    install_peers()
    with tempfile.TemporaryDirectory() as work:
        env = isolated_env(work)
        for name, run in (("tree", bench_tree), ("same-size", bench_same_size), ("memory", bench_memory)):
            if args.only in (None, name):
                run(args, env, work)


if __name__ == "__main__":
    main()
