"""Helpers shared by the side-by-side benchmark scripts."""
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
DEFAULT_CLI = os.path.join(ROOT, "build", "src", "cli", "tandrel-cli")
BENCH_DIR = os.path.join(tempfile.gettempdir(), "tandrel-bench")


def measure(cmd, env, runs, prepare=None, ok_codes=(0,)):
    """Best wall time and the largest peak RSS (bytes) over the runs, and the
    last run's standard output. prepare() runs untimed before each run."""
    best, peak, out = None, 0, b""
    for _ in range(runs):
        if prepare:
            prepare()
        start = time.perf_counter()
        proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env)
        out = proc.stdout.read()
        _, status, usage = os.wait4(proc.pid, 0)
        elapsed = time.perf_counter() - start
        if os.waitstatus_to_exitcode(status) not in ok_codes:
            sys.exit(f"failed: {' '.join(cmd)}")
        best = elapsed if best is None else min(best, elapsed)
        peak = max(peak, usage.ru_maxrss * 1024)
    return best, peak, out.decode(errors="replace")


def shared_script(name):
    """A script of ../shared/bench beside the checkout (or beside a parent of
    it, for a worktree further down), else one of our own."""
    folder = ROOT
    while True:
        path = os.path.join(folder, "..", "shared", "bench", name)
        if os.path.exists(path):
            return path
        parent = os.path.dirname(folder)
        if parent == folder:
            return os.path.join(HERE, name)
        folder = parent


def ensure_tree(path, files):
    """The deterministic tree of make_tree.py, built once."""
    if not os.path.isdir(path):
        subprocess.run([sys.executable, shared_script("make_tree.py"), path, "--files", str(files)], check=True)


def isolated_env(work):
    """Settings, caches and snapshots of the measured program kept under work."""
    env = dict(os.environ)
    for name in ("XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"):
        env[name] = os.path.join(work, name)
        os.makedirs(env[name], exist_ok=True)
    return env


def last_line(text):
    return text.strip().splitlines()[-1]


def mutated_tree_pair():
    """The 1.16-million-entry tree and its copy after a 1% mutation, built
    once."""
    tree = os.path.join(BENCH_DIR, "tree1m")
    mutated = os.path.join(BENCH_DIR, "tree1m_mutated")
    ensure_tree(tree, 1000000)
    if not os.path.isdir(mutated):
        partial = mutated + ".partial"
        shutil.rmtree(partial, ignore_errors=True)
        subprocess.run(["cp", "-a", "--sparse=always", tree, partial], check=True)
        subprocess.run([sys.executable, shared_script("make_tree.py"), partial, "--mutate", "0.01", "--seed", "2"],
                       check=True, stdout=subprocess.DEVNULL)
        os.rename(partial, mutated)
    return tree, mutated


def snapshot_pair(cli, env, work):
    """Snapshots of the tree before and after the mutation, both of the same
    path (the mutated copy is swapped in for the second scan)."""
    tree, mutated = mutated_tree_pair()
    before = os.path.join(work, "before.snapshot")
    after = os.path.join(work, "after.snapshot")
    shutil.move(last_line(subprocess.run([cli, "scan", tree], env=env, check=True, capture_output=True,
                                         text=True).stdout), before)
    original = tree + ".original"
    os.rename(tree, original)
    os.rename(mutated, tree)
    try:
        shutil.move(last_line(subprocess.run([cli, "scan", tree], env=env, check=True, capture_output=True,
                                             text=True).stdout), after)
    finally:
        os.rename(tree, mutated)
        os.rename(original, tree)
    return before, after
