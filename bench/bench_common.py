"""Helpers shared by the side-by-side benchmark scripts."""
import os
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
    path = os.path.join(ROOT, "..", "shared", "bench", name)
    return path if os.path.exists(path) else os.path.join(HERE, name)


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
