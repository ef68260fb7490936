#!/usr/bin/env python3
"""The duplicates page read as a screen reader reads it: the desktop program
starts in its "duplicates" mode on a list of files (with the switch "debug",
which adds the folder-pair statistics) on a private X display and
accessibility bus, searches the list, and its group rows, summary line,
counters and buttons are read through AT-SPI. A screenshot of the page is
kept.

    duplicates_atspi.py TANDREL ARTIFACT_FOLDER

Exits 77 (skipped) when Xvfb, dbus-run-session, the AT-SPI bus or pyatspi
is missing; scripts/setup.sh installs them.
"""
import json
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from atspi_session import SKIPPED, Session, find_all, missing_prerequisites, read_table, run_probe  # noqa: E402
from e2e_support import isolated_env, write  # noqa: E402

GROUP_COLUMNS = ["Filename", "Path", "Size", "Date", "Group"]
PAIR_COLUMNS = ["Path1", "Path2", "Size1", "Files1", "Size2", "Files2", "Ident S", "Ident F", "s1", "s2", "f1", "f2"]
PAGE_BUTTONS = ["Collect files", "Find duplicates", "Load", "Delete session", "options", "[by path]", "Filter",
                "Cleanup deleted", "Export", "Delete selected", "Delete others"]
PAIR_BUTTONS = [" << Back", "Process", "open folder 1", "open folder 2", "Tandrel"]


def probe(tandrel, log_path, shot, expected_rows, list_file):
    """Starts the search of the list and returns what the page reads."""
    import pyatspi

    expected_rows = int(expected_rows)
    with Session([tandrel, "duplicates", "fn=" + list_file, "debug"], log_path) as session:
        def showing(role):
            return find_all(session.app, lambda n: n.getRoleName() == role and n.getState().contains(
                pyatspi.STATE_SHOWING))

        def label_starting(prefix):
            """The label read as prefix and its value (labels are read by their text)."""
            return next(iter(label for label in showing("label") if label.name.startswith(prefix)), None)

        table = session.wait_for("the groups", lambda: (
            lambda t: t if t and t.queryTable().nRows >= expected_rows else None)(
            session.table_with(GROUP_COLUMNS)), 60)
        # The counters come when the search has ended: the buttons are back.
        session.wait_for("the end of the search", lambda: session.named("push button", "Find duplicates").getState(
        ).contains(pyatspi.STATE_ENABLED), 30)
        result = {
            "groups": read_table(table),
            "summary": session.wait_for("the summary line", lambda: label_starting("Files: 5"), 30).name,
            "files": label_starting("Files in list: ").name,
            "cache": label_starting("Cache: ").name,
            "disk": label_starting("Disk: ").name,
            "buttons": [b.name for b in showing("push button")],
        }
        session.screenshot(shot)

        # The folder-pair statistics of the same groups.
        session.press(session.showing("push button", "[by path]"))
        process = session.wait_for("the Process button", lambda: session.showing("push button", "Process"), 10)
        session.press(process)
        pairs = session.wait_for("the folder pairs", lambda: (
            lambda t: t if t and t.queryTable().nRows >= 1 else None)(session.table_with(PAIR_COLUMNS)), 10)
        result["pairs"] = read_table(pairs)
        result["pair_buttons"] = [b.name for b in showing("push button")]
        return result


TANDREL = None
ARTIFACTS = None


class DuplicatesThroughAtSpi(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.base = self.tmp.name
        self.env = isolated_env(self.base, keep_display=False)

    def tearDown(self):
        self.tmp.cleanup()

    def test_groups_summary_counters_and_buttons_read_as_shown(self):
        folder = lambda name: os.path.join(self.base, name)  # noqa: E731
        files = {"A/a.bin": b"a" * 2000, "B/a.bin": b"a" * 2000, "C/a.bin": b"a" * 2000, "A/b.bin": b"b" * 3000,
                 "B/b.bin": b"b" * 3000, "C/z.bin": b"a" * 1999 + b"z", "C/tiny.txt": b"tiny"}
        for rel, data in files.items():
            write(os.path.join(self.base, rel), data)
        list_file = os.path.join(self.base, "list.txt")
        with open(list_file, "w") as f:
            f.write("\n".join(os.path.join(self.base, rel) for rel in files) + "\n")

        log = os.path.join(self.base, "tandrel.log")
        page = run_probe(__file__, [TANDREL, log, os.path.join(ARTIFACTS, "duplicates.png"), "7", list_file],
                         self.env, log)

        groups = page["groups"]
        self.assertEqual(groups["headers"], GROUP_COLUMNS)
        rows = [row if row[0] == "--GROUP--" else row[:3] + row[4:] for row in groups["rows"]]  # dates vary
        self.assertEqual(rows, [
            ["--GROUP--", "", "", "", ""],
            ["b.bin", folder("A") + "/", "3,000", "1001"],
            ["b.bin", folder("B") + "/", "3,000", "1001"],
            ["--GROUP--", "", "", "", ""],
            ["a.bin", folder("A") + "/", "2,000", "1002"],
            ["a.bin", folder("B") + "/", "2,000", "1002"],
            ["a.bin", folder("C") + "/", "2,000", "1002"],
        ])
        # 3 x 2000 + 2 x 3000 bytes in all, 2000 + 3000 of them unique.
        self.assertEqual(page["summary"], "Files: 5 ( 11.72KB ) , Unique files: 2 ( 4.88KB ) ")
        self.assertEqual(page["files"], "Files in list: 6")  # tiny.txt is below the smallest size
        self.assertEqual(page["cache"], "Cache: 0")
        self.assertRegex(page["disk"], r"^Disk: [1-9][0-9]*$")
        for name in PAGE_BUTTONS:
            self.assertIn(name, page["buttons"])
        self.assertNotIn("", page["buttons"], "a button without a name")

        pairs = page["pairs"]
        self.assertEqual(pairs["headers"], PAIR_COLUMNS)
        # Ident F of each pair: A and B share both groups, C one with each.
        ident = {(row[0], row[1]): row[PAIR_COLUMNS.index("Ident F")] for row in pairs["rows"]}
        self.assertEqual(ident, {(folder("A") + "/", folder("B") + "/"): "2", (folder("A") + "/", folder("C") + "/"): "1",
                                 (folder("B") + "/", folder("C") + "/"): "1"})
        for name in PAIR_BUTTONS:
            self.assertIn(name, page["pair_buttons"])
        self.assertNotIn("", page["pair_buttons"], "a button without a name")


if __name__ == "__main__":
    if len(sys.argv) >= 6 and sys.argv[1] == "--probe":
        print(json.dumps(probe(*sys.argv[2:])))
        sys.exit(0)
    TANDREL = sys.argv.pop(1)
    ARTIFACTS = sys.argv.pop(1)
    missing = missing_prerequisites()
    if missing:
        print("skipped: missing " + ", ".join(missing), file=sys.stderr)
        sys.exit(SKIPPED)
    unittest.main()
