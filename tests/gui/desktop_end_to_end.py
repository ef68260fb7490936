#!/usr/bin/env python3
"""The desktop program end to end: the unattended start modes without any
display, the context-menu switches, and one run of the real window under
Xvfb with a screenshot of the screen.

    desktop_end_to_end.py TANDREL ARTIFACT_FOLDER
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from e2e_support import isolated_env, read_bytes, write  # noqa: E402

TANDREL = sys.argv.pop(1)
ARTIFACTS = sys.argv.pop(1)


class DesktopEndToEnd(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.base = self.tmp.name
        self.env = isolated_env(self.base, keep_display=False)
        self.settings = os.path.join(self.env["XDG_CONFIG_HOME"], "tandrel")
        self.tree = os.path.join(self.base, "tree")
        for rel, size in [("a.txt", 10), ("docs/b.pdf", 40000), ("docs/old/c.log", 900), ("media/d.mkv", 250000)]:
            write(os.path.join(self.tree, rel), b"x" * size)

    def tearDown(self):
        self.tmp.cleanup()

    def remember_folder(self):
        """A settings file that names the fixture as the treemap folder, so
        an ordinary start scans nothing big."""
        write(os.path.join(self.settings, "tandrel.ini"),
              ("\ufeff[edTreemapDirectory.Text]\r\n>" + self.tree + "\r\n").encode("utf-8"))

    def test_save_and_exit_scan_needs_no_display(self):
        self.remember_folder()
        ini = os.path.join(self.settings, "tandrel.ini")
        before = read_bytes(ini)
        done = subprocess.run([TANDREL, self.tree, "out_[yyyy]-[mm]-[dd].snapshot", "date=20240131"],
                              env=self.env, capture_output=True, text=True, timeout=120)
        self.assertEqual(done.returncode, 0, done.stderr)
        snapshot = os.path.join(self.settings, "out_2024-01-31.snapshot")
        self.assertTrue(os.path.isfile(snapshot), os.listdir(self.settings))
        self.assertEqual(read_bytes(ini), before, "the settings file is not rewritten")
        self.assertFalse(os.path.exists(os.path.join(self.settings, "tandrel.Session.ini")))
        self.assertEqual([f for f in os.listdir(self.settings) if f.endswith(".temp_snapshot")], [])

    def test_relative_paths_count_from_where_the_program_started(self):
        """The program works in its settings folder, yet the folder and the
        snapshot path the user typed mean the folder where they were."""
        done = subprocess.run([TANDREL, "tree", "snaps/out.snapshot"], cwd=self.base,
                              env=self.env, capture_output=True, text=True, timeout=120)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertTrue(os.path.isfile(os.path.join(self.base, "snaps", "out.snapshot")))

        self.remember_folder()
        run = subprocess.Popen([TANDREL], cwd=self.base, env=self.env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
        try:
            cwd = ""
            for _ in range(300):
                cwd = os.readlink("/proc/%d/cwd" % run.pid)
                if cwd != self.base:
                    break
                time.sleep(0.05)
            self.assertEqual(cwd, self.settings)
        finally:
            run.terminate()
            run.wait(timeout=60)

    def test_seven_digit_date_fails_with_the_message(self):
        done = subprocess.run([TANDREL, self.tree, "out_[yyyy].snapshot", "date=2024013"],
                              env=self.env, capture_output=True, text=True, timeout=60)
        self.assertNotEqual(done.returncode, 0)
        self.assertIn("invalid date 2024013. Date format= yyyymmdd / yyyy-mm-dd / yyyy/mm/dd", done.stderr)

    def test_shell_switches_run_without_a_window(self):
        entry = os.path.join(self.env["XDG_DATA_HOME"], "applications", "tandrel.desktop")
        done = subprocess.run([TANDREL, "/shell_register"], env=self.env, capture_output=True, text=True, timeout=30)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertTrue(os.path.isfile(entry))
        self.assertIn(os.path.realpath(TANDREL), read_bytes(entry).decode())
        done = subprocess.run([TANDREL, "shell_unregister"], env=self.env, capture_output=True, text=True, timeout=30)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertFalse(os.path.exists(entry))

        # Other capitals are no switch: an ordinary start, which registers nothing.
        self.remember_folder()
        run = subprocess.Popen([TANDREL, "/Shell_Register"], env=self.env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
        time.sleep(3)
        self.assertIsNone(run.poll(), "an ordinary run keeps its window open")
        self.assertFalse(os.path.exists(entry))
        run.send_signal(signal.SIGTERM)
        self.assertEqual(run.wait(timeout=30), 0)

    @unittest.skipUnless(shutil.which("xvfb-run") and shutil.which("xwd") and shutil.which("xwdtopnm"),
                         "needs xvfb-run, xwd and netpbm")
    def test_window_under_xvfb_scans_and_closes_cleanly(self):
        os.makedirs(ARTIFACTS, exist_ok=True)
        shot = os.path.join(ARTIFACTS, "tandrel-window.png")
        script = (
            f'"{TANDREL}" "{self.tree}" treemap & pid=$!\n'
            'sleep 5\n'
            f'xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng > "{shot}"\n'
            'kill -TERM $pid\n'
            'wait $pid\n'
        )
        env = dict(self.env)
        done = subprocess.run(["xvfb-run", "-a", "-s", "-screen 0 1280x800x24", "sh", "-c", script],
                              env=env, capture_output=True, text=True, timeout=120)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertGreater(os.path.getsize(shot), 10000, "a real picture of the screen")
        # A clean close removes the scan's temporary snapshot.
        self.assertEqual([f for f in os.listdir(self.settings) if f.endswith(".temp_snapshot")], [])


if __name__ == "__main__":
    unittest.main()
