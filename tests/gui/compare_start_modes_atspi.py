#!/usr/bin/env python3
"""The comparison start modes of the desktop program end to end: two folders,
"comparetrees A B", and a snapshot with a folder each open their page and run
the comparison at once. The program runs on a private X display and
accessibility bus; the result rows are read through AT-SPI as a screen reader
reads them, and a screenshot of each page is kept.

    compare_start_modes_atspi.py TANDREL ARTIFACT_FOLDER

Exits 77 (skipped) when Xvfb, dbus-run-session, the AT-SPI bus or pyatspi
is missing; scripts/setup.sh installs them.
"""
import json
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from atspi_session import SKIPPED, Session, missing_prerequisites, read_table, run_probe  # noqa: E402
from e2e_support import isolated_env, write  # noqa: E402

DIRECTORY_COLUMNS = ["Filename", "Size", "Path", "Date", "Status"]
OVERVIEW_COLUMNS = ["Description", "Left snapshot", "Right snapshot", "difference", "% difference"]
NEW_FILES_COLUMNS = ["Filename", "Size", "Date"]
MOVED_FILES_COLUMNS = ["Left Filename", "Right Filename", "Size", "Date"]


def probe(tandrel, log_path, shot, expected_rows, *command):
    """Starts the program with command, waits for the page's result and
    returns what its lists read."""
    expected_rows = int(expected_rows)
    with Session([tandrel, *command], log_path) as session:
        result = {}
        if os.path.basename(shot).startswith("compare-directories"):
            table = session.wait_for("the comparison's rows", lambda: (
                lambda t: t if t and t.queryTable().nRows >= expected_rows and all(
                    read_table(t)["rows"][r][4] for r in range(t.queryTable().nRows)) else None)(
                session.table_with(DIRECTORY_COLUMNS)), 60)
            result["files"] = read_table(table)
            result["back"] = session.showing("push button", " << Back") is not None
        else:
            overview = session.wait_for("the overview", lambda: (
                lambda t: t if t and t.queryTable().nRows >= expected_rows else None)(
                session.table_with(OVERVIEW_COLUMNS)), 60)
            result["overview"] = read_table(overview)
            result["new"] = read_table(session.table_with(NEW_FILES_COLUMNS))
            result["moved"] = read_table(session.table_with(MOVED_FILES_COLUMNS))
            result["back"] = session.showing("push button", " << Back") is not None
        session.screenshot(shot)
        return result


TANDREL = None
ARTIFACTS = None


class CompareStartModes(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.base = self.tmp.name
        self.env = isolated_env(self.base, keep_display=False)

    def tearDown(self):
        self.tmp.cleanup()

    def probe(self, shot, expected_rows, *command):
        log = os.path.join(self.base, "tandrel.log")
        return run_probe(__file__, [TANDREL, log, os.path.join(ARTIFACTS, shot), str(expected_rows), *command],
                         self.env, log)

    def test_two_folders_and_comparetrees_scan_and_compare(self):
        left, right = os.path.join(self.base, "left"), os.path.join(self.base, "right")
        for rel, data in [("same.txt", b"same"), ("sub/bigger.bin", b"12345"), ("loose.txt", b"abcd"),
                          ("only-left.txt", b"x")]:
            write(os.path.join(left, rel), data)
        for rel, data in [("same.txt", b"same"), ("sub/bigger.bin", b"123456"), ("loose.txt", b"abce"),
                          ("only-right.txt", b"y")]:
            write(os.path.join(right, rel), data)
        want = {
            "same.txt": "IDENTICAL",
            "loose.txt": "loose copy",
            "only-left.txt": "right-file not found",
            "bigger.bin": "size is different",
        }
        for shot, command in [("compare-directories.png", [left, right]),
                              ("compare-directories-comparetrees.png", ["comparetrees", left, right])]:
            with self.subTest(command=command):
                lists = self.probe(shot, len(want), *command)
                self.assertEqual(lists["files"]["headers"], DIRECTORY_COLUMNS)
                rows = {row[0]: row for row in lists["files"]["rows"]}
                self.assertEqual({name: row[4] for name, row in rows.items()}, want)
                self.assertEqual(rows["bigger.bin"][1:3], ["5", os.path.join(left, "sub") + "/"])
                self.assertFalse(lists["back"], "the page is the whole window: no way back")

    def test_snapshot_and_folder_compare_at_once(self):
        tree = os.path.join(self.base, "tree")
        for rel, size in [("keep.txt", 10), ("gone.txt", 20), ("grow.bin", 300), ("media/film.mkv", 4000)]:
            write(os.path.join(tree, rel), b"x" * size)
        snapshot = os.path.join(self.base, "before.snapshot")
        done = subprocess.run([TANDREL, tree, snapshot], env=self.env, capture_output=True, text=True, timeout=120)
        self.assertEqual(done.returncode, 0, done.stderr)
        os.remove(os.path.join(tree, "gone.txt"))
        write(os.path.join(tree, "grow.bin"), b"x" * 5000)
        write(os.path.join(tree, "added.txt"), b"x" * 7)
        os.makedirs(os.path.join(tree, "archive"))
        os.rename(os.path.join(tree, "media", "film.mkv"), os.path.join(tree, "archive", "film.mkv"))

        lists = self.probe("compare-snapshots.png", 3, snapshot, tree)
        overview = {row[0]: row for row in lists["overview"]["rows"]}
        self.assertEqual(lists["overview"]["headers"], OVERVIEW_COLUMNS)
        self.assertIn(tree, json.dumps(lists["overview"]["rows"]))
        self.assertTrue(overview, lists["overview"])
        self.assertEqual([row[:2] for row in lists["new"]["rows"]], [[os.path.join(tree, "added.txt"), "7b"]])
        # The old place on the left, the new one on the right.
        self.assertEqual([row[:2] for row in lists["moved"]["rows"]],
                         [[os.path.join(tree, "media", "film.mkv"), os.path.join(tree, "archive", "film.mkv")]])
        self.assertTrue(lists["back"], "the snapshot page keeps its way back")


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
