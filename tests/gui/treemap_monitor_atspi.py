#!/usr/bin/env python3
"""The real window following the disk while "Monitor changes (experimental)"
is ticked: the desktop program runs on a private X display and accessibility
bus, scans a fixture folder with monitoring ticked, and a folder with a large
file is created and then deleted beside it; the file statistics list, read
through AT-SPI, shows the file and then no longer does.

    treemap_monitor_atspi.py TANDREL

Exits 77 (skipped) when Xvfb, dbus-run-session, the AT-SPI bus or pyatspi
is missing; scripts/setup.sh installs them.
"""
import json
import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from atspi_session import SKIPPED, Session, missing_prerequisites, read_table, run_probe  # noqa: E402
from e2e_support import isolated_env, write  # noqa: E402

FILE_COLUMNS = ["Filename", "Path", "Size", "Created", "Modified"]
MIB = 1048576


def probe(tandrel, tree, log_path):
    """Ticks monitoring, scans again, changes the disk; returns what the file list read at each step."""
    import pyatspi

    with Session([tandrel, tree], log_path) as session:
        def names():
            table = session.table_with(FILE_COLUMNS)
            return [row[0] for row in read_table(table)["rows"]] if table else None

        box = session.wait_for("the treemap's monitoring box",
                               lambda: session.showing("check box", "Monitor changes (experimental)"), 30)
        if not box.getState().contains(pyatspi.STATE_CHECKED):
            # A check box offers "Toggle" where a button offers "Press".
            actions = box.queryAction()
            actions.doAction(next(i for i in range(actions.nActions)
                                  if actions.getName(i) in ("Toggle", "Press", "Click")))
            session.wait_for("the box ticked", lambda: box.getState().contains(pyatspi.STATE_CHECKED), 10)
        # The watcher comes with the end of a scan run.
        session.press(session.wait_for("the Scan button", lambda: session.showing("push button", "Scan"), 10))
        session.press(session.wait_for("the menu item 'File Statistics'",
                                       lambda: session.named("menu item", "File Statistics"), 10))
        result = {"scanned": session.wait_for("the scanned files", lambda: (names() or None), 30)}
        new_file = os.path.join(tree, "arrived", "big.bin")
        write(new_file, b"")
        os.truncate(new_file, 6 * MIB)
        result["created"] = session.wait_for("the new file in the list",
                                             lambda: (n := names()) and "big.bin" in n and n, 30)
        shutil.rmtree(os.path.join(tree, "arrived"))
        result["deleted"] = session.wait_for("the file to leave the list",
                                             lambda: (n := names()) is not None and "big.bin" not in n and n or None,
                                             30)
        return result


TANDREL = None


class MonitoringThroughAtSpi(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.base = self.tmp.name
        self.env = isolated_env(self.base, keep_display=False)
        self.tree = os.path.join(self.base, "tree")
        path = os.path.join(self.tree, "kept", "old.bin")
        write(path, b"")
        os.truncate(path, 7 * MIB)

    def tearDown(self):
        self.tmp.cleanup()

    def test_a_folder_created_and_deleted_while_watched(self):
        log = os.path.join(self.base, "tandrel.log")
        steps = run_probe(__file__, [TANDREL, self.tree, log], self.env, log)
        self.assertEqual(steps["scanned"], ["old.bin"])
        self.assertEqual(steps["created"], ["old.bin", "big.bin"])
        self.assertEqual(steps["deleted"], ["old.bin"])


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
