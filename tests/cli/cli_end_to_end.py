#!/usr/bin/env python3
"""tandrel-cli end to end on a fixture tree: the counts and sizes it prints
must equal what this script computes from the files itself."""
import filecmp
import os
import random
import shutil
import subprocess
import sys
import tempfile
import unittest
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from e2e_support import isolated_env, read_bytes, write  # noqa: E402

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


def all_files(root):
    for dirpath, _, filenames in os.walk(root):
        for f in filenames:
            yield os.path.join(dirpath, f)


def expected_dir_status(left, right):
    """What a byte-wise comparison must say about left's counterpart under right."""
    if not os.path.isfile(right):
        return "right-file not found"
    if os.path.getsize(left) != os.path.getsize(right):
        return "size is different"
    return "IDENTICAL" if filecmp.cmp(left, right, shallow=False) else "loose copy"


class CliEndToEnd(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        base = self.tmp.name
        self.env = isolated_env(base)
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

    def test_hardlinks_once_counts_a_linked_file_at_its_first_name_only(self):
        os.link(os.path.join(self.tree, "Alpha", "deep", "c"), os.path.join(self.tree, "beta", "c again"))
        _, files, size = walk_totals(self.tree)
        plain = run("summary", self.tree, env=self.env)
        self.assertEqual(plain.returncode, 0, plain.stderr)
        self.check_totals(plain.stdout)  # every name counts by default
        once = run("summary", self.tree, "--hardlinks-once", env=self.env)
        self.assertEqual(once.returncode, 0, once.stderr)
        self.assertEqual(rows(once.stdout)["Total size:"], grouped(size - 123456))
        self.assertEqual(rows(once.stdout)["Files:"], grouped(files))
        # The snapshot still lists the second name with its size.
        scanned = run("scan", self.tree, "--hardlinks-once", env=self.env)
        self.assertEqual(scanned.returncode, 0, scanned.stderr)
        loaded = run("summary", scanned.stdout.strip().splitlines()[-1], env=self.env)
        self.check_totals(loaded.stdout)

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


class CompareEndToEnd(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        base = self.tmp.name
        self.env = isolated_env(base)
        self.left = os.path.join(base, "left")
        self.right = os.path.join(base, "right")
        rnd = random.Random(7)
        for i in range(40):
            rel = os.path.join(f"d{i % 4}", f"sub{i % 3}" if i % 2 else "", f"f{i}.{'txt' if i % 3 else 'bin'}")
            data = bytes(rnd.getrandbits(8) for _ in range(i * 37 + (5 << 20 if i == 7 else 0)))
            write(os.path.join(self.left, rel), data)
            kind = i % 5
            if kind == 1:    # same size, last byte differs
                data = data[:-1] + bytes([data[-1] ^ 1]) if data else data
            elif kind == 2:  # another size
                data += b"!"
            elif kind == 3:  # missing on the right
                continue
            write(os.path.join(self.right, rel), data)
        write(os.path.join(self.right, "right-only.txt"), b"r")
        write(os.path.join(self.left, "odd | name.txt"), b"same")
        write(os.path.join(self.right, "odd | name.txt"), b"same")

    def tearDown(self):
        self.tmp.cleanup()

    def dir_report(self, *options):
        done = run("compare-dirs", self.left, self.right, *options, env=self.env)
        lines = done.stdout.splitlines()
        statuses = dict(reversed(line.split("\t", 1)) for line in lines[:-1])
        return done, statuses, lines[-1]

    def expected(self, keep=lambda path: True):
        return {p: expected_dir_status(p, os.path.join(self.right, os.path.relpath(p, self.left)))
                for p in all_files(self.left) if keep(p)}

    def test_compare_dirs_prints_only_differences_unless_all(self):
        done, statuses, totals = self.dir_report()
        self.assertEqual(done.returncode, 1, done.stderr)
        want = self.expected()
        self.assertEqual(statuses, {p: s for p, s in want.items() if s != "IDENTICAL"})
        self.assertIn(f"IDENTICAL: {list(want.values()).count('IDENTICAL')},", totals)

    def test_compare_dirs_statuses_cache_and_filters(self):
        done, statuses, totals = self.dir_report("--all")
        self.assertEqual(done.returncode, 1, done.stderr)
        want = self.expected()
        self.assertEqual(statuses, want)
        self.assertEqual(set(want.values()), {"IDENTICAL", "loose copy", "size is different", "right-file not found"})
        self.assertIn(f"IDENTICAL: {list(want.values()).count('IDENTICAL')},", totals)

        # The second run answers from the cache; a file rewritten with other
        # bytes of the same size (new time) is read again.
        same = next(p for p, s in want.items() if s == "IDENTICAL" and os.path.getsize(p) > 0)
        counterpart = os.path.join(self.right, os.path.relpath(same, self.left))
        with open(counterpart, "r+b") as f:
            f.write(bytes([f.read(1)[0] ^ 0xFF]))
        os.utime(counterpart, (1, 1))
        done, statuses, _ = self.dir_report("--all")
        self.assertEqual(statuses[same], "loose copy")
        self.assertEqual(statuses, self.expected())

        _, statuses, _ = self.dir_report("--all", "--filter", "*.txt", "--exclude", "f1*", "--min-size", "100")
        self.assertEqual(statuses, self.expected(lambda p: p.endswith(".txt") and not os.path.basename(p).startswith("f1")
                                                 and os.path.getsize(p) >= 100))
        _, statuses, _ = self.dir_report("--all", "--no-subdirs")
        self.assertEqual(statuses, self.expected(lambda p: os.path.dirname(p) == self.left))

    def test_compare_dirs_identical_copy_and_errors(self):
        shutil.rmtree(self.right)
        shutil.copytree(self.left, self.right)
        done, statuses, _ = self.dir_report("--tsv")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertTrue(all(s.startswith("1\t") for s in [line for line in done.stdout.splitlines()[:-1]]))
        done, statuses, totals = self.dir_report()
        self.assertEqual((done.returncode, statuses), (0, {}))
        self.assertTrue(totals.startswith("Files: "), totals)
        bad = run("compare-dirs", self.left, os.path.join(self.right, "nope"), env=self.env)
        self.assertEqual(bad.returncode, 2)
        self.assertIn("nope", bad.stderr)

    def test_compare_files_exit_codes(self):
        want = self.expected()
        cases = {"IDENTICAL": 0, "loose copy": 1, "size is different": 1}
        for status, code in cases.items():
            left = next(p for p, s in want.items() if s == status)
            done = run("compare-files", left, os.path.join(self.right, os.path.relpath(left, self.left)), env=self.env)
            self.assertEqual((done.returncode, done.stdout.strip()), (code, status), left)
        missing = run("compare-files", os.path.join(self.left, "odd | name.txt"), os.path.join(self.right, "nope"),
                      env=self.env)
        self.assertEqual(missing.returncode, 1)
        self.assertIn("not found", missing.stderr)
        self.assertEqual(run("compare-files", self.left, env=self.env).returncode, 2)

    def snapshot_tsv(self, *sides):
        done = run("compare-snapshots", *sides, "--tsv", env=self.env)
        self.assertEqual(done.returncode, 0, done.stderr)
        files = {}
        for line in done.stdout.splitlines():
            fields = line.split("\t")
            if fields[0] != "F":
                files[fields[1] or fields[2]] = fields[0]
        return files

    def test_tsv_fields_escape_names_that_would_split_a_row(self):
        """Names holding a tab, a line break or "%" come out as one field each
        and unescape to the exact name."""
        odd = os.path.join(self.tmp.name, "odd")
        names = ["tab\there", "line\nfeed", "cr\rname", "100%.txt", "p%09q", "all\t\n\r%", "sub%dir/in\tsub"]
        for name in names:
            write(os.path.join(odd, name), b"same")
        copy = os.path.join(self.tmp.name, "copy")
        shutil.copytree(odd, copy)
        files = {os.fsencode(os.path.join(odd, name)) for name in names}
        folders = {os.fsencode(odd), os.fsencode(os.path.join(odd, "sub%dir"))}

        def tsv_rows(*args):
            done = subprocess.run([CLI, *args], capture_output=True, env=self.env, timeout=120)
            self.assertEqual(done.returncode, 0, done.stderr)
            self.assertNotIn(b"\r", done.stdout)
            return [line.split(b"\t") for line in done.stdout.split(b"\n")[:-1]]

        unescape = urllib.parse.unquote_to_bytes
        listed = tsv_rows("compare-dirs", odd, copy, "--tsv")
        self.assertTrue(listed[-1][0].startswith(b"Files: 7,"), listed[-1])
        self.assertEqual([len(fields) for fields in listed[:-1]], [3] * len(names))
        self.assertEqual({unescape(fields[2]) for fields in listed[:-1]}, files)
        self.assertEqual({fields[1] for fields in listed[:-1]}, {b"IDENTICAL"})

        scanned = run("scan", odd, env=self.env)
        self.assertEqual(scanned.returncode, 0, scanned.stderr)
        snapshot = scanned.stdout.strip().splitlines()[-1]
        compared = tsv_rows("compare-snapshots", snapshot, odd, "--tsv")
        self.assertEqual([len(fields) for fields in compared], [5] * (len(names) + len(folders)))
        file_rows = [fields for fields in compared if fields[0] != b"F"]
        self.assertEqual({fields[0] for fields in file_rows}, {b"0"})
        self.assertEqual({unescape(fields[1]) for fields in file_rows}, files)
        self.assertTrue(all(fields[1] == fields[2] for fields in file_rows))
        self.assertEqual({unescape(fields[2]) for fields in compared if fields[0] == b"F"}, folders)

    def test_compare_snapshots_finds_every_change(self):
        scanned = run("scan", self.left, env=self.env)
        self.assertEqual(scanned.returncode, 0, scanned.stderr)
        before = scanned.stdout.strip().splitlines()[-1]
        files = sorted(all_files(self.left))
        deleted, updated, moved_from = files[3], files[5], files[9]
        moved_to = os.path.join(self.left, "d0", "renamed.bin")
        added = os.path.join(self.left, "d9", "added.txt")
        os.remove(deleted)
        with open(updated, "ab") as f:
            f.write(b"more")
        os.rename(moved_from, moved_to)
        write(added, b"brand new file")
        want = {p: "0" for p in all_files(self.left)}
        want.update({deleted: "2", updated: "4", moved_from: "3", moved_to: "3", added: "1"})

        self.assertEqual(self.snapshot_tsv(before, self.left), want)
        after = run("scan", self.left, env=self.env).stdout.strip().splitlines()[-1]
        self.assertEqual(self.snapshot_tsv(before, after), want)

        report = run("compare-snapshots", before, self.left, env=self.env)
        self.assertEqual(report.returncode, 0, report.stderr)
        section = report.stdout.split("Renamed/moved files:")[1]
        self.assertIn(moved_from + "\t" + moved_to, section)
        self.assertIn("Total files: 1, total size: 14b", report.stdout.split("Deleted files:")[0])

        missing = run("compare-snapshots", os.path.join(self.left, "nope.snapshot"), self.left, env=self.env)
        self.assertEqual(missing.returncode, 2)
        self.assertIn("Snapshot not found", missing.stderr)



# The scripted editor: replaces whole lines of the list it is given, as bytes
# written in hex in EDITS (old=new, comma-separated), and logs its name.
EDITOR_SCRIPT = r"""
import os, sys
edits = dict(pair.split("=") for pair in os.environ["EDITS"].split(",") if pair)
edits = {bytes.fromhex(k): bytes.fromhex(v) for k, v in edits.items()}
with open(sys.argv[2], "rb") as f:
    lines = f.read().split(b"\n")
with open(sys.argv[2], "wb") as f:
    f.write(b"\n".join(edits.get(line, line) for line in lines))
with open(os.environ["EDITOR_LOG"], "a") as f:
    f.write(sys.argv[1] + "\n")
"""


class RenameEndToEnd(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        base = self.tmp.name
        self.env = isolated_env(base)
        self.folder = os.path.join(base, "names").encode()
        self.names = [b"img1.jpg", b"img2.jpg", b"caf\xe9.txt", b"keep.txt"]
        for name in self.names:
            write(os.path.join(self.folder, name), name)
        script = os.path.join(base, "editor.py")
        with open(script, "w") as f:
            f.write(EDITOR_SCRIPT)
        self.log = os.path.join(base, "editor.log")
        self.env.pop("VISUAL", None)
        self.env.update(EDITOR=f"{sys.executable} {script} editor", EDITOR_LOG=self.log)

    def tearDown(self):
        self.tmp.cleanup()

    def rename(self, edits, *options, answer=b""):
        self.env["EDITS"] = ",".join(f"{old.hex()}={new.hex()}" for old, new in edits.items())
        return subprocess.run([CLI, "rename", self.folder, *options], input=answer, capture_output=True,
                              env=self.env, timeout=120)

    def contents(self):
        """Every file of the folder by name, with its content (its first name)."""
        return {name: read_bytes(os.path.join(self.folder, name)) for name in os.listdir(self.folder)}

    def test_edited_names_are_renamed_after_the_question(self):
        edits = {b"img2.jpg": b"holiday 2.jpg", b"caf\xe9.txt": b"caf\xe9 menu.txt"}
        declined = self.rename(edits, answer=b"n\n")
        self.assertEqual(declined.returncode, 1)
        self.assertIn(b"You are about to rename 2 Items", declined.stderr)
        self.assertIn(self.folder + b"/ | img2.jpg -> holiday 2.jpg\n", declined.stdout)
        self.assertEqual(self.contents(), {name: name for name in self.names})

        done = self.rename(edits, answer=b"y\n")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn(self.folder + b"/ | caf\xe9.txt -> caf\xe9 menu.txt | [OK]\n", done.stdout)
        self.assertIn(b"2 files processed", done.stdout)
        want = {b"img1.jpg": b"img1.jpg", b"holiday 2.jpg": b"img2.jpg", b"caf\xe9 menu.txt": b"caf\xe9.txt",
                b"keep.txt": b"keep.txt"}
        self.assertEqual(self.contents(), want)

        # $VISUAL comes before $EDITOR; an unchanged list renames nothing.
        self.env["VISUAL"] = self.env["EDITOR"].replace(" editor", " visual")
        unchanged = self.rename({}, "--yes")
        self.assertEqual(unchanged.returncode, 0, unchanged.stderr)
        self.assertIn(b"Nothing to rename", unchanged.stdout)
        with open(self.log) as f:
            self.assertEqual(f.read().split(), ["editor", "editor", "visual"])

    def test_unsafe_edits_rename_nothing(self):
        for edits, message in [({b"img1.jpg": b"img2.jpg", b"img2.jpg": b"img1.jpg"}, b"img1.jpg exists already"),
                               ({b"img1.jpg": b"a.jpg", b"img2.jpg": b"../b.jpg"}, b'cannot hold "/"'),
                               ({b"keep.txt": b"keep.txt\nextra.txt"}, b"same number of Items")]:
            with self.subTest(edits=edits):
                refused = self.rename(edits, "--yes")
                self.assertEqual(refused.returncode, 1)
                self.assertIn(message, refused.stderr)
                self.assertEqual(self.contents(), {name: name for name in self.names})
        self.assertEqual(self.rename({}, "--sort", "sideways").returncode, 2)
        self.assertEqual(subprocess.run([CLI, "rename", self.folder + b"/nope"], capture_output=True,
                                        env=self.env).returncode, 2)


class DuplicatesEndToEnd(unittest.TestCase):
    def test_groups_equal_the_files_own_classes(self):
        with tempfile.TemporaryDirectory() as base:
            env = isolated_env(base)
            root = os.path.join(base, "tree")
            rnd = random.Random(11)
            contents = [rnd.randbytes(rnd.choice([1500, 1500, 70000])) for _ in range(6)]
            for i in range(30):
                data = rnd.choice(contents)
                if i % 7 == 0:  # same size, one byte off
                    data = data[:-1] + bytes([data[-1] ^ 1])
                write(os.path.join(root, f"d{i % 3}", f"f{i}\tx" if i == 4 else f"f{i}"), data)
            write(os.path.join(root, "tiny1"), b"t" * 1023)
            write(os.path.join(root, "tiny2"), b"t" * 1023)
            by_content = {}
            for path in all_files(root):
                with open(path, "rb") as f:
                    data = f.read()
                if len(data) >= 1024:
                    by_content.setdefault(data, []).append(path)
            want = sorted(sorted(paths) for paths in by_content.values() if len(paths) > 1)

            done = run("duplicates", root, "--tsv", env=env)
            self.assertEqual(done.returncode, 1, done.stderr)
            groups = {}
            for line in done.stdout.splitlines():
                group, size, path = line.split("\t")
                path = urllib.parse.unquote(path)
                self.assertEqual(int(size), os.path.getsize(path))
                groups.setdefault(group, []).append(path)
            self.assertEqual(sorted(sorted(p) for p in groups.values()), want)
            self.assertEqual(sorted(groups), [str(1001 + i) for i in range(len(want))])

            again = run("duplicates", root, env=env)
            self.assertEqual(again.returncode, 1)
            self.assertIn("Disk: 0", again.stderr)
            files = sum(len(g) for g in want)
            self.assertTrue(again.stdout.rstrip("\n").splitlines()[-1].startswith(f"Files: {files} ("))

            one = os.path.join(root, "d0")
            alone = run("duplicates", f"{root};-{one}", "--min-size", "2000", "--no-subdirs", env=env)
            self.assertEqual(alone.returncode, 0, alone.stdout)
            self.assertEqual(run("duplicates", os.path.join(base, "nope"), env=env).returncode, 2)


if __name__ == "__main__":
    unittest.main()
