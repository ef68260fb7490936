"""Runs the desktop program on a private X display and accessibility bus and
reads its window through AT-SPI, as a screen reader does.

A test calls run_probe(script, args), which starts a private session bus
(dbus-run-session) and runs script again under the system's python with
"--probe" and args; the probe starts the display, the bus and the program
through Session, reads what it needs and prints one line of JSON.
"""
import json
import os
import shutil
import signal
import socket
import subprocess
import time

BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
# Debian's pyatspi is a module of the system's python.
SYSTEM_PYTHON = "/usr/bin/python3"
SKIPPED = 77


def missing_prerequisites():
    missing = [tool for tool in ("Xvfb", "dbus-run-session") if not shutil.which(tool)]
    if not os.access(BUS_LAUNCHER, os.X_OK):
        missing.append(BUS_LAUNCHER)
    if not os.access(SYSTEM_PYTHON, os.X_OK) or subprocess.run(
            [SYSTEM_PYTHON, "-c", "import pyatspi"], capture_output=True).returncode != 0:
        missing.append("pyatspi of " + SYSTEM_PYTHON)
    return missing


def run_probe(script, args, env, log_path, timeout=90):
    """Runs script's probe on a private session bus; returns its JSON, or
    raises AssertionError with the probe's and the program's output."""
    done = subprocess.run(["dbus-run-session", "--", SYSTEM_PYTHON, os.path.abspath(script), "--probe", *args],
                          env=env, capture_output=True, text=True, timeout=timeout)
    program_log = ""
    if os.path.exists(log_path):
        with open(log_path, errors="replace") as f:
            program_log = f.read()
    if done.returncode != 0:
        raise AssertionError(f"the probe failed:\n{done.stderr[-3000:]}\n--- tandrel's output ---\n{program_log[-2000:]}")
    return json.loads(done.stdout.strip().splitlines()[-1])


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
    # -noreset: the server would otherwise reset when the readiness probe
    # below disconnects, and a program connecting during the reset fails.
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1600x1000x24", "-nolisten", "tcp",
                             "-noreset"],
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


def column_captions(table):
    return [table.getChildAtIndex(i).name for i in range(table.childCount)
            if table.getChildAtIndex(i).getRoleName() == "table column header"]


def read_table(table):
    cells = table.queryTable()
    return {
        "headers": [cells.getColumnHeader(c).name if cells.getColumnHeader(c) else None
                    for c in range(cells.nColumns)],
        "rows": [[cells.getAccessibleAt(r, c).name for c in range(cells.nColumns)] for r in range(cells.nRows)],
    }


class Session:
    """The display, the accessibility bus and the program; a context manager
    that stops them all, the program first."""

    def __init__(self, command, log_path, cwd=None):
        self.command = command
        self.log_path = log_path
        self.cwd = cwd
        self.processes = []
        self.display = None
        self.program = None
        self.app = None

    def __enter__(self):
        import pyatspi
        try:
            xvfb, self.display = start_display()
            self.processes.append(xvfb)
            env = dict(os.environ, DISPLAY=self.display, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
            env.pop("QT_QPA_PLATFORM", None)
            env.pop("WAYLAND_DISPLAY", None)
            self.processes.append(subprocess.Popen([BUS_LAUNCHER, "--launch-immediately"], env=env,
                                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
            wait_for("the accessibility bus", lambda: subprocess.run(
                ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                 "org.a11y.Bus.GetAddress"], capture_output=True).returncode == 0, 20)
            with open(self.log_path, "wb") as log:
                self.program = subprocess.Popen(self.command, env=env, cwd=self.cwd, stdout=log,
                                                stderr=subprocess.STDOUT)
            self.processes.append(self.program)
            desktop = pyatspi.Registry.getDesktop(0)
            self.app = wait_for("the tandrel application on the accessibility bus", lambda: next(
                (desktop.getChildAtIndex(i) for i in range(desktop.childCount)
                 if desktop.getChildAtIndex(i) and desktop.getChildAtIndex(i).name == "tandrel"), None), 30,
                self.program)
        except BaseException:
            self.stop()
            raise
        return self

    def __exit__(self, *exc):
        self.stop()
        return False

    def stop(self):
        for process in reversed(self.processes):
            process.send_signal(signal.SIGTERM)
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        self.processes = []

    def wait_for(self, what, condition, seconds=30):
        return wait_for(what, condition, seconds, self.program)

    def table_with(self, columns):
        """The list with these column captions; its header cells are children
        of the table whether it has rows or not."""
        return next((t for t in find_all(self.app, lambda n: n.getRoleName() == "table")
                     if column_captions(t) == columns), None)

    def named(self, role, name):
        return next(iter(find_all(self.app, lambda n: n.getRoleName() == role and n.name == name)), None)

    def showing(self, role, name):
        """The control of this role and name that is on screen."""
        import pyatspi
        return next(iter(find_all(self.app, lambda n: n.getRoleName() == role and n.name == name and n.getState(
        ).contains(pyatspi.STATE_SHOWING))), None)

    def press(self, node):
        actions = node.queryAction()
        actions.doAction(next(i for i in range(actions.nActions) if actions.getName(i) in ("Press", "Click")))

    def screenshot(self, png_path):
        """The whole screen as PNG, or nothing when xwd or netpbm is missing."""
        if not (shutil.which("xwd") and shutil.which("xwdtopnm") and shutil.which("pnmtopng")):
            return False
        os.makedirs(os.path.dirname(png_path), exist_ok=True)
        with open(png_path, "wb") as out:
            done = subprocess.run(f"xwd -root -silent -display {self.display} | xwdtopnm 2>/dev/null | pnmtopng",
                                  shell=True, stdout=out, stderr=subprocess.DEVNULL)
        return done.returncode == 0
