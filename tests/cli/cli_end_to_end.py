#!/usr/bin/env python3
"""tandrel-cli end to end on a fixture tree: the counts and sizes it prints
must equal what this script computes from the files itself."""
import os
import subprocess
import sys
import tempfile
import unittest

CLI = sys.argv.pop(1)


def run(*args, env=None):
    return subprocess.run([CLI, *args], capture_output=True, text=True, env=env, timeout=120)


def walk_totals(root):
    """Folders below root, files and bytes, without following links to folders."""
    folders = files = size = 0
    for dirpath, dirnames, filenames in os.walk(root):
        kept = []
        for d in dirnames:
            if os.path.islink(os.path.join(dirpath, d)):
                continue
            kept.append(d)
        dirnames[:] = kept
        folders += len(kept)
        for f in filenames:
            files += 1
            size += os.lstat(os.path.join(dirpath, f)).st_size
    # os.walk lists links to folders among dirnames; they are skipped above
    return folders, files, size


def rows(output):
    result = {}
    for line in output.splitlines():
        if "\t" in line:
            key, value = line.split("\t", 1)
            result.setdefault(key, value)
    return result


def grouped(n):
    return f"{n:,}"


class CliEndToEnd(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        base = self.tmp.name
        self.env = dict(os.environ)
        for name in ("XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"):
            os.makedirs(os.path.join(base, name))
            self.env[name] = os.path.join(base, name)
        self.env["HOME"] = base
        self.tree = os.path.join(base, "tree")
        for i, (rel, size) in enumerate([("a.txt", 10), ("Alpha/b.bin", 5000), ("Alpha/deep/c", 123456),
                                         ("beta/d e.dat", 0), ("beta/.hidden", 77), ("gamma/x|y", 9)]):
            path = os.path.join(self.tree, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(b"x" * size)
        os.makedirs(os.path.join(self.tree, "empty"))
        os.symlink(self.tree, os.path.join(self.tree, "Alpha", "loop"))
        os.symlink(os.path.join(self.tree, "a.txt"), os.path.join(self.tree, "link.txt"))

    def tearDown(self):
        self.tmp.cleanup()

    def check_totals(self, output):
        folders, files, size = walk_totals(self.tree)
        r = rows(output)
        self.assertEqual(r["Path:"], self.tree)
        self.assertEqual(r["Total size:"], grouped(size))
        self.assertEqual(r["Directories:"], grouped(folders))
        self.assertEqual(r["Files:"], grouped(files))

    def test_summary_of_a_folder_matches_the_files(self):
        done = run("summary", self.tree, "--top", "3", env=self.env)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.check_totals(done.stdout)
        self.assertEqual(rows(done.stdout)["Age of snapshot"], "0s")
        self.assertIn("Largest files:", done.stdout)
        self.assertIn(os.path.join(self.tree, "Alpha", "deep", "c"), done.stdout)

    def test_scan_saveas_then_summary_and_list_of_the_snapshot(self):
        done = run("scan", self.tree, "--saveas", "fixture_[yyyy][mm][dd]", "--comment", "first run",
                   "--date", "20130626", env=self.env)
        self.assertEqual(done.returncode, 0, done.stderr)
        snapshot = done.stdout.strip().splitlines()[-1]
        self.assertTrue(os.path.isfile(snapshot), snapshot)
        self.assertEqual(os.path.basename(snapshot), "fixture_20130626 - first run.snapshot")
        loaded = run("summary", snapshot, env=self.env)
        self.assertEqual(loaded.returncode, 0, loaded.stderr)
        self.check_totals(loaded.stdout)
        listed = run("snapshots", "fixture", env=self.env)
        self.assertEqual(listed.returncode, 0, listed.stderr)
        self.assertIn(snapshot, listed.stdout)
        self.assertNotIn(snapshot, run("snapshots", "-fixture", env=self.env).stdout)

    def test_bad_inputs_fail_with_a_message(self):
        missing = run("summary", os.path.join(self.tree, "nope"), env=self.env)
        self.assertNotEqual(missing.returncode, 0)
        self.assertIn("nope", missing.stderr)
        junk = os.path.join(self.tmp.name, "junk.snapshot")
        with open(junk, "wb") as f:
            f.write(bytes(range(256)) * 40)
        bad = run("summary", junk, env=self.env)
        self.assertNotEqual(bad.returncode, 0)
        self.assertTrue(bad.stderr.strip())
        self.assertNotEqual(run("scan", env=self.env).returncode, 0)
        self.assertNotEqual(run("frobnicate", env=self.env).returncode, 0)


if __name__ == "__main__":
    unittest.main()
