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
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from atspi_session import SKIPPED, Session, missing_prerequisites, read_table, run_probe  # noqa: E402
from e2e_support import isolated_env, write  # noqa: E402

FOLDER_COLUMNS = ["Full Path", "level", "Total Size", "% of parent", "Total Dirs", "Total Files", "Root Size",
                  "Root Dirs", "Root Files", "Date"]
FILE_COLUMNS = ["Filename", "Path", "Size", "Created", "Modified"]
MIB = 1048576
MODIFIED = (2021, 3, 4, 5, 6, 7)


def probe(tandrel, tree, log_path):
    """Runs the program and returns what its two lists read."""
    import pyatspi

    with Session([tandrel, tree], log_path) as session:
        def with_rows(columns, count):
            table = session.table_with(columns)
            return table if table and table.queryTable().nRows >= count else None

        def page(menu_text, columns):
            """Shows a page through its File menu item and returns its list."""
            session.press(session.wait_for(f"the menu item {menu_text!r}",
                                           lambda: session.named("menu item", menu_text), 10))
            table = session.wait_for(f"the list of {menu_text!r}", lambda: session.table_with(columns), 10)
            session.wait_for(f"the list of {menu_text!r} to show",
                             lambda: table.getState().contains(pyatspi.STATE_SHOWING), 10)
            return table

        # The rows come at the end of the scan.
        session.wait_for("the scan's folder statistics", lambda: with_rows(FOLDER_COLUMNS, 4), 30)
        result = {"folders": read_table(page("Directory Statistics", FOLDER_COLUMNS))}
        files = page("File Statistics", FILE_COLUMNS)
        session.wait_for("the file statistics rows", lambda: files.queryTable().nRows >= 2, 10)
        result["files"] = read_table(files)
        return result


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
        return run_probe(__file__, [TANDREL, self.tree, log], self.env, log)

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
