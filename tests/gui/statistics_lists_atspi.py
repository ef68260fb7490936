#!/usr/bin/env python3
"""The folder and file statistics read as a screen reader reads them: the
desktop program runs on a private X display, session bus and accessibility
bus, scans a small fixture folder, and its lists are read through AT-SPI
(pyatspi) cell by cell and header by header.

    statistics_lists_atspi.py TANDREL

Exits 77 (skipped) when Xvfb, dbus-run-session, the AT-SPI bus or pyatspi
is missing; scripts/setup.sh installs them.
"""
import json
import os
import shutil
import socket
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from e2e_support import isolated_env, write  # noqa: E402

BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
# Debian's pyatspi is a module of the system's python.
SYSTEM_PYTHON = "/usr/bin/python3"
SKIPPED = 77
FOLDER_COLUMNS = ["Full Path", "level", "Total Size", "% of parent", "Total Dirs", "Total Files", "Root Size",
                  "Root Dirs", "Root Files", "Date"]
FILE_COLUMNS = ["Filename", "Path", "Size", "Created", "Modified"]
MIB = 1048576
MODIFIED = (2021, 3, 4, 5, 6, 7)


def missing_prerequisites():
    missing = [tool for tool in ("Xvfb", "dbus-run-session") if not shutil.which(tool)]
    if not os.access(BUS_LAUNCHER, os.X_OK):
        missing.append(BUS_LAUNCHER)
    if not os.access(SYSTEM_PYTHON, os.X_OK) or subprocess.run(
            [SYSTEM_PYTHON, "-c", "import pyatspi"], capture_output=True).returncode != 0:
        missing.append("pyatspi of " + SYSTEM_PYTHON)
    return missing


# ---- inside the private session bus ----------------------------------------

def wait_for(what, condition, seconds, process=None):
    """Polls until condition() gives something true; fails naming what, and
    at once when the process watched has ended."""
    deadline = time.monotonic() + seconds
    while True:
        if process is not None and process.poll() is not None:
            raise RuntimeError(f"the program ended (exit code {process.returncode}) before {what}")
        try:
            result = condition()
        except Exception:  # the accessibility tree changes under us
            result = None
        if result:
            return result
        if time.monotonic() > deadline:
            raise RuntimeError(f"gave up after {seconds} s waiting for {what}")
        time.sleep(0.05)


def start_display():
    """Xvfb on a display number it picks itself; returns (process, display)."""
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1600x1000x24", "-nolisten", "tcp"],
                            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        number = pipe.readline().strip()
    if not number:
        raise RuntimeError("Xvfb did not start")
    # The number can come before the server takes connections: a program
    # started at once then fails with "could not connect to display".
    path = "/tmp/.X11-unix/X" + number

    def accepts():
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as probe_socket:
            try:
                probe_socket.connect(path)
                return True
            except OSError:
                return False
    wait_for("the display " + number + " to take connections", accepts, 20, xvfb)
    return xvfb, ":" + number


def find_all(node, predicate, found=None):
    found = [] if found is None else found
    try:
        if predicate(node):
            found.append(node)
        for i in range(node.childCount):
            find_all(node.getChildAtIndex(i), predicate, found)
    except Exception:
        pass
    return found


def read_table(table):
    cells = table.queryTable()
    return {
        "headers": [cells.getColumnHeader(c).name if cells.getColumnHeader(c) else None
                    for c in range(cells.nColumns)],
        "rows": [[cells.getAccessibleAt(r, c).name for c in range(cells.nColumns)] for r in range(cells.nRows)],
    }


def probe(tandrel, tree, log_path):
    """Runs the program and returns what its two lists read."""
    import pyatspi

    processes = []
    try:
        xvfb, display = start_display()
        processes.append(xvfb)
        env = dict(os.environ, DISPLAY=display, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
        env.pop("QT_QPA_PLATFORM", None)
        env.pop("WAYLAND_DISPLAY", None)
        processes.append(subprocess.Popen([BUS_LAUNCHER, "--launch-immediately"], env=env,
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        wait_for("the accessibility bus", lambda: subprocess.run(
            ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
             "org.a11y.Bus.GetAddress"], capture_output=True).returncode == 0, 20)
        with open(log_path, "wb") as log:
            program = subprocess.Popen([tandrel, tree], env=env, stdout=log, stderr=subprocess.STDOUT)
        processes.append(program)

        desktop = pyatspi.Registry.getDesktop(0)
        app = wait_for("the tandrel application on the accessibility bus", lambda: next(
            (desktop.getChildAtIndex(i) for i in range(desktop.childCount)
             if desktop.getChildAtIndex(i) and desktop.getChildAtIndex(i).name == "tandrel"), None), 30, program)

        def table_with(columns):
            """The list with these column captions; its header cells are
            children of the table whether it has rows or not."""
            return next((t for t in find_all(app, lambda n: n.getRoleName() == "table")
                         if [t.getChildAtIndex(i).name for i in range(t.childCount)
                             if t.getChildAtIndex(i).getRoleName() == "table column header"] == columns), None)

        def with_rows(columns, count):
            table = table_with(columns)
            return table if table and table.queryTable().nRows >= count else None

        def page(menu_text, columns):
            """Shows a page through its File menu item and returns its list."""
            item = wait_for(f"the menu item {menu_text!r}", lambda: next(iter(find_all(
                app, lambda n: n.getRoleName() == "menu item" and n.name == menu_text)), None), 10, program)
            actions = item.queryAction()
            actions.doAction(next(i for i in range(actions.nActions) if actions.getName(i) in ("Press", "Click")))
            table = wait_for(f"the list of {menu_text!r}", lambda: table_with(columns), 10, program)
            wait_for(f"the list of {menu_text!r} to show",
                     lambda: table.getState().contains(pyatspi.STATE_SHOWING), 10, program)
            return table

        # The rows come at the end of the scan.
        wait_for("the scan's folder statistics", lambda: with_rows(FOLDER_COLUMNS, 4), 30, program)
        result = {"folders": read_table(page("Directory Statistics", FOLDER_COLUMNS))}
        files = page("File Statistics", FILE_COLUMNS)
        wait_for("the file statistics rows", lambda: files.queryTable().nRows >= 2, 10, program)
        result["files"] = read_table(files)
        return result
    finally:
        for process in reversed(processes):
            process.send_signal(signal.SIGTERM)
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()


# ---- the test ----------------------------------------------------------------

TANDREL = None


class StatisticsListsThroughAtSpi(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.base = self.tmp.name
        self.env = isolated_env(self.base, keep_display=False)
        self.tree = os.path.join(self.base, "tree")
        # Sparse files: the statistics read sizes, not contents. Two pass the
        # file list's default "more than 5 MB".
        self.files = {"alpha/big.bin": 6 * MIB, "beta/huge.bin": 7 * MIB, "beta/small.txt": 10, "top.dat": 100}
        stamp = time.mktime(MODIFIED + (0, 0, -1))
        for rel, size in self.files.items():
            path = os.path.join(self.tree, rel)
            write(path, b"")
            os.truncate(path, size)
            os.utime(path, (stamp, stamp))

    def tearDown(self):
        self.tmp.cleanup()

    def read_lists(self):
        log = os.path.join(self.base, "tandrel.log")
        done = subprocess.run(["dbus-run-session", "--", SYSTEM_PYTHON, os.path.abspath(__file__), "--probe",
                               TANDREL, self.tree, log], env=self.env, capture_output=True, text=True, timeout=90)
        program_log = ""
        if os.path.exists(log):
            with open(log, errors="replace") as f:
                program_log = f.read()
        self.assertEqual(done.returncode, 0,
                         f"the probe failed:\n{done.stderr[-3000:]}\n--- tandrel's output ---\n{program_log[-2000:]}")
        return json.loads(done.stdout.strip().splitlines()[-1])

    def test_statistics_cells_and_headers_read_as_shown(self):
        lists = self.read_lists()
        size = lambda *rels: f"{sum(self.files[r] for r in rels):,}"  # noqa: E731

        folders = lists["folders"]
        self.assertEqual(folders["headers"], FOLDER_COLUMNS)
        rows = {row[0]: dict(zip(FOLDER_COLUMNS, row)) for row in folders["rows"]}
        join = lambda *parts: os.path.join(self.tree, *parts)  # noqa: E731
        self.assertEqual(set(rows), {self.tree, join("alpha"), join("beta"), join("[files]")}, folders["rows"])
        everything = list(self.files)
        want = {
            self.tree: ("0", size(*everything), "2", "4", size("top.dat")),
            join("alpha"): ("1", size("alpha/big.bin"), "0", "1", size("alpha/big.bin")),
            join("beta"): ("1", size("beta/huge.bin", "beta/small.txt"), "0", "2",
                           size("beta/huge.bin", "beta/small.txt")),
            join("[files]"): ("1", size("top.dat"), "0", "1", size("top.dat")),
        }
        for path, (level, total, dirs, count, root) in want.items():
            self.assertEqual((rows[path]["level"], rows[path]["Total Size"], rows[path]["Total Dirs"],
                              rows[path]["Total Files"], rows[path]["Root Size"]), (level, total, dirs, count, root),
                             path)
        share = 100 * self.files["alpha/big.bin"] / sum(self.files.values())
        self.assertEqual(rows[join("alpha")]["% of parent"], f"{share:.2f}")
        self.assertEqual(rows[join("alpha")]["Date"], "")

        files = lists["files"]
        self.assertEqual(files["headers"], FILE_COLUMNS)
        # The default filter lists the files over 5 MB, largest first.
        self.assertEqual([row[0] for row in files["rows"]], ["huge.bin", "big.bin"])
        modified = time.strftime("%Y-%m-%d %H:%M:%S", MODIFIED + (0, 0, -1))
        self.assertEqual(files["rows"][1], ["big.bin", join("alpha") + "/", size("alpha/big.bin"), "", modified])
        self.assertEqual(files["rows"][0][1:3], [join("beta") + "/", size("beta/huge.bin")])


if __name__ == "__main__":
    if len(sys.argv) == 5 and sys.argv[1] == "--probe":
        print(json.dumps(probe(*sys.argv[2:])))
        sys.exit(0)
    TANDREL = sys.argv.pop(1)
    missing = missing_prerequisites()
    if missing:
        print("skipped: missing " + ", ".join(missing), file=sys.stderr)
        sys.exit(SKIPPED)
    unittest.main()
