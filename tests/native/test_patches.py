"""Sharing changes with the real velmora program: diff against an independent reading of both
archives (laid out as other tools lay them out), its exit codes, a patch made by diff --patch
and applied in place, restore bringing back the exact old bytes, and script --from-dir --add."""

import os
import random
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import wdf  # noqa: E402

VELMORA = os.environ.get("VELMORA", "")


def scattered_archive(entries, seed):
    """An archive laid out unlike the program's writer: the index right behind the header, the
    entries' bytes behind it in another order, with gaps and reserved space."""
    rng = random.Random(seed)
    order = list(range(len(entries)))
    rng.shuffle(order)
    data = bytearray()
    offsets = [0] * len(entries)
    base = 12 + 16 * len(entries)
    for k in order:
        data += b"\0" * rng.randrange(3)
        offsets[k] = base + len(data)
        data += entries[k][1]
    data += b"\0" * 4
    index = b"".join(wdf.index_entry(entries[k][0], offsets[k], len(entries[k][1]))
                     for k in range(len(entries)))
    return wdf.header(len(entries), 12) + index + bytes(data) + b"\0" * (16 * len(entries))


def expected_pairs(old, new):
    """The comparison as read independently: the k-th entry of an id in one with the k-th in the
    other; rows (change, id, n, old_size, new_size) in old's order, then new's additions."""
    def occurrences(entries):
        seen, out = {}, {}
        for entry_id, content in entries:
            seen[entry_id] = seen.get(entry_id, 0) + 1
            out[(entry_id, seen[entry_id])] = content
        return out
    olds, news = occurrences(old), occurrences(new)
    rows = []
    for key, content in olds.items():
        if key not in news:
            rows.append(("removed", key, str(len(content)), ""))
        else:
            rows.append(("same" if news[key] == content else "changed", key, str(len(content)),
                         str(len(news[key]))))
    for key, content in news.items():
        if key not in olds:
            rows.append(("added", key, "", str(len(content))))
    return [(change, "%08X" % key[0], str(key[1]), a, b) for change, key, a, b in rows]


class PatchesTest(unittest.TestCase):

    def setUp(self):
        if not VELMORA:
            raise unittest.SkipTest("run through ctest; VELMORA names the program")
        self.dir = tempfile.mkdtemp(prefix="velmora-patches-")
        self.addCleanup(shutil.rmtree, self.dir)

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def write(self, name, data):
        os.makedirs(os.path.dirname(self.path(name)), exist_ok=True)
        with open(self.path(name), "wb") as f:
            f.write(data)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def velmora(self, *words):
        completed = subprocess.run([VELMORA] + list(words), cwd=self.dir, capture_output=True,
                                   stdin=subprocess.DEVNULL, timeout=300,
                                   env={**os.environ, "LANGUAGE": "", "LC_ALL": "C"})
        return completed.returncode, completed.stdout, completed.stderr

    def test_diff_agrees_with_an_independent_reading_and_exits_as_cmp_does(self):
        rng = random.Random(17)
        pool = [0x10, 0x11, 0xA1B3, 0xFFFFFFFF, 0]
        for case in range(24):
            with self.subTest(case=case):
                old = [(rng.choice(pool), bytes(rng.randrange(4) for _ in range(rng.randrange(4))))
                       for _ in range(rng.randrange(7))]
                new = [entry for entry in old if rng.randrange(4)]
                new = [(i, c + b"x" if rng.randrange(5) == 0 else c) for i, c in new]
                new += [(rng.choice(pool), b"n" * rng.randrange(3)) for _ in range(rng.randrange(3))]
                self.write("old.wdf", scattered_archive(old, case))
                self.write("new.wdf", wdf.archive(new))
                code, out, err = self.velmora("diff", "--all", "--format", "tsv", "old.wdf",
                                              "new.wdf")
                lines = out.decode().splitlines()
                self.assertEqual("change\tid\tn\told_size\tnew_size", lines[0])
                rows = [tuple(line.split("\t")) for line in lines[1:]]
                self.assertEqual(expected_pairs(old, new), rows)
                self.assertEqual(0 if old == new else 1, code, err)
        self.write("bad.wdf", b"WDFP" + b"\0" * 8)
        self.assertEqual(2, self.velmora("diff", "old.wdf", "bad.wdf")[0])
        self.assertEqual(2, self.velmora("diff", "old.wdf", "missing.wdf")[0])
        self.assertEqual(2, self.velmora("diff", "old.wdf")[0])
        self.write("a.wdf", wdf.archive([(1, b"a"), (2, b"b")]))
        self.write("b.wdf", wdf.archive([(2, b"b"), (1, b"a")]))
        code, out, _ = self.velmora("diff", "a.wdf", "b.wdf")
        self.assertEqual(1, code)
        self.assertIn(b"another order", out)
        self.assertIn(b"0 changed, 0 added, 0 removed, 2 same", out)

    def test_a_patch_applied_in_place_gives_new_and_restore_gives_back_the_old_bytes(self):
        cases = {
            "sorted ids": ([(1, b"a"), (3, b"c"), (7, b"")],
                           [(1, b"A!"), (2, b"new"), (3, b"c"), (9, b"")]),
            "unsorted ids": ([(9, b"z"), (1, b"a"), (5, b"e")],
                             [(9, b"z"), (5, b"E"), (4, b"four"), (0, b"")]),
            "repeated id changed alike": ([(4, b"x"), (4, b"x"), (6, b"y")],
                                          [(4, b"q"), (4, b"q")]),
            "from an empty archive": ([], [(5, b"five"), (6, b"six")]),
            "to an empty archive": ([(5, b"five")], []),
        }
        for name, (old, new) in cases.items():
            with self.subTest(name):
                shutil.rmtree(self.path("game"), ignore_errors=True)
                shutil.rmtree(self.path("patch"), ignore_errors=True)
                old_bytes = scattered_archive(old, 1)
                self.write("game/ui.wdf", old_bytes)
                self.write("mod.wdf", wdf.archive(new))
                code, out, err = self.velmora("diff", "--patch", "patch", "game/ui.wdf", "mod.wdf")
                self.assertEqual(0, code, err)
                shutil.copytree(self.path("patch"), self.path("game", "patch"))
                code, out, err = self.velmora("run", "--yes", "game/patch/ui-patch.vlm")
                self.assertEqual(0, code, err)
                self.assertIn(b"The old archive is kept as", out)
                self.assertEqual((0, b""), self.velmora("diff", "game/ui.wdf", "mod.wdf")[0:3:2])
                self.assertEqual(old_bytes, self.read("game/ui.wdf.1.bak"))
                code, out, err = self.velmora("restore", "--list", "game/ui.wdf")
                self.assertIn(b"ui.wdf.1.bak", out)
                self.assertEqual(0, self.velmora("restore", "game/ui.wdf")[0])
                self.assertEqual(old_bytes, self.read("game/ui.wdf"))
                self.assertEqual(0, self.velmora("restore", "game/ui.wdf")[0])  # undone
                self.assertEqual(0, self.velmora("diff", "game/ui.wdf", "mod.wdf")[0])

    def make_patch(self, old, new):
        """A patch of game/ui.wdf from OLD to NEW, copied into the game's folder."""
        shutil.rmtree(self.path("game"), ignore_errors=True)
        shutil.rmtree(self.path("patch"), ignore_errors=True)
        self.write("modder/ui.wdf", wdf.archive(old))
        self.write("mod.wdf", wdf.archive(new))
        code, _, err = self.velmora("diff", "--patch", "patch", "modder/ui.wdf", "mod.wdf")
        self.assertEqual(0, code, err)
        shutil.copytree(self.path("patch"), self.path("game", "patch"))

    def backups(self):
        return sorted(name for name in os.listdir(self.path("game")) if name.endswith(".bak"))

    def test_a_patch_writes_only_on_its_base_and_says_what_it_met(self):
        old = [(1, b"a"), (4, b"x"), (4, b"x"), (7, b"seven")]
        new = [(1, b"A!"), (4, b"y"), (4, b"y"), (9, b"nine")]
        cases = [
            # name, the player's archive, options, exit code, applied, words in the output
            ("the base", old, [], 0, True, b"ui-undo.vlm"),
            ("another entry 1", [(1, b"b")] + old[1:], [], 1, False, b"00000001"),
            ("a repeated id differs", old[:2] + [(4, b"z")] + old[3:], [], 1, False, b"00000004"),
            ("a repeated id fewer", old[:2] + old[3:], [], 1, False, b"--force"),
            ("an added id already there", old + [(9, b"other")], [], 1, False, b"00000009"),
            ("forced", [(1, b"b")] + old[1:], ["--force"], 0, True, b""),
            ("already applied", new, [], 0, False, b"already applied"),
        ]
        for name, archive, options, code_wanted, applied, words in cases:
            with self.subTest(name):
                self.make_patch(old, new)
                self.write("game/ui.wdf", wdf.archive(archive))
                code, out, err = self.velmora("run", "--yes", *options, "game/patch/ui-patch.vlm")
                self.assertEqual(code_wanted, code, err)
                self.assertIn(words, out + err)
                self.assertEqual(["ui.wdf.1.bak"] if applied else [], self.backups())
                if applied:
                    self.assertEqual(wdf.archive(archive), self.read("game/ui.wdf.1.bak"))
                    self.assertEqual(0, self.velmora("diff", "game/ui.wdf", "mod.wdf")[0])
                else:
                    self.assertEqual(wdf.archive(archive), self.read("game/ui.wdf"))
                check = self.velmora("check", "game/patch/ui-patch.vlm")
                self.assertEqual(0 if code_wanted == 0 else 1, check[0], check[2])

    def test_restore_walks_a_chain_back_to_the_original_and_prune_keeps_it(self):
        states = [[(1, b"original")], [(1, b"first")], [(1, b"second"), (2, b"two")]]
        self.make_patch(states[0], states[1])
        self.write("game/ui.wdf", wdf.archive(states[0]))
        self.assertEqual(0, self.velmora("run", "-y", "-q", "game/patch/ui-patch.vlm")[0])
        shutil.rmtree(self.path("patch"))
        self.write("first.wdf", wdf.archive(states[1]))
        self.write("second.wdf", wdf.archive(states[2]))
        self.assertEqual(0, self.velmora("diff", "--patch", "patch", "first.wdf", "second.wdf")[0])
        shutil.copytree(self.path("patch"), self.path("game", "patch2"))
        os.rename(self.path("game", "patch2", "first-patch.vlm"),
                  self.path("game", "patch2", "two.vlm"))
        script = self.read("game/patch2/two.vlm").replace(b"first.wdf", b"ui.wdf")
        self.write("game/patch2/two.vlm", script)
        self.assertEqual(0, self.velmora("run", "-y", "-q", "game/patch2/two.vlm")[0])
        code, out, _ = self.velmora("restore", "--list", "game/ui.wdf")
        lines = out.decode().splitlines()
        self.assertEqual(2, len(lines), out)
        self.assertTrue(lines[0].startswith("1  game/ui.wdf.1.bak  "), lines[0])
        self.assertIn("replaced by the patch", lines[0])
        self.assertTrue(lines[1].endswith("two.vlm"), lines[1])
        for option, state in ((["--to", "2"], 1), (["--original"], 0), ([], 1), (["--to", "1"], 0)):
            with self.subTest(option=option):
                code, out, err = self.velmora("restore", *option, "game/ui.wdf")
                self.assertEqual(0, code, err)
                self.assertEqual(wdf.archive(states[state]), self.read("game/ui.wdf"))
        self.assertEqual(wdf.archive(states[0]), self.read("game/ui.wdf.1.bak"))
        self.assertEqual(6, len(self.backups()))
        code, out, err = self.velmora("restore", "--to", "9", "game/ui.wdf")
        self.assertEqual(1, code)
        self.assertIn(b"no backup numbered 9", err)
        for words in (["--to", "0"], ["--to", "1", "--original"], ["--keep", "1"], ["--force"]):
            self.assertEqual(2, self.velmora("restore", *words, "game/ui.wdf")[0], words)
        code, out, _ = self.velmora("restore", "--prune", "--keep", "1", "game/ui.wdf")
        self.assertEqual(0, code)
        self.assertIn(b"--force removes it too", out)
        self.assertEqual(["ui.wdf.1.bak", "ui.wdf.6.bak"], self.backups())
        self.assertEqual(0, self.velmora("restore", "--prune", "--force", "game/ui.wdf")[0])
        self.assertEqual([], self.backups())
        self.assertEqual(wdf.archive(states[0]), self.read("game/ui.wdf"))
        # Backups are taken by the name exactly as written.
        self.write("game/UI.WDF.7.bak", wdf.archive(states[2]))
        code, _, err = self.velmora("restore", "game/ui.wdf")
        self.assertEqual(1, code)
        self.assertIn(b"no backup", err)

    def test_the_undo_script_brings_back_the_archive_the_patch_replaced(self):
        old, new = [(1, b"a"), (2, b"b")], [(1, b"A"), (3, b"c")]
        self.make_patch(old, new)
        self.write("game/ui.wdf", wdf.archive(old))
        code, out, err = self.velmora("run", "-y", "game/patch/ui-undo.vlm")
        self.assertEqual(1, code)
        self.assertIn(b"no backup that this patch left", err)
        self.assertEqual(0, self.velmora("run", "-y", "game/patch/ui-patch.vlm")[0])
        code, out, err = self.velmora("run", "-y", "game/patch/ui-undo.vlm")
        self.assertEqual(0, code, err)
        self.assertEqual(wdf.archive(old), self.read("game/ui.wdf"))
        self.assertIn(b"ui.wdf.2.bak", out)
        code, out, err = self.velmora("run", "-y", "game/patch/ui-undo.vlm")
        self.assertEqual(0, code, err)
        self.assertIn(b"already undone", out)
        self.assertEqual(["ui.wdf.1.bak", "ui.wdf.2.bak"], self.backups())

    def test_a_new_archive_no_script_can_reach_writes_nothing_and_names_the_entries(self):
        repeated = [(1, b"a"), (5, b"b"), (7, b"c"), (7, b"c")]
        ascending = [(1, b"a"), (5, b"b"), (7, b"c")]
        for old, new, named in (
                (repeated, [(1, b"a"), (5, b"b"), (7, b"c"), (7, b"C")], b"00000007"),
                (repeated, [(5, b"b"), (1, b"a"), (7, b"c"), (7, b"c")], b"00000005"),
                (ascending, [(1, b"a"), (5, b"b"), (7, b"c"), (3, b"n")], b"00000003")):
            with self.subTest(named=named):
                self.write("old.wdf", wdf.archive(old))
                self.write("new.wdf", wdf.archive(new))
                code, out, err = self.velmora("diff", "--patch", "patch", "old.wdf", "new.wdf")
                self.assertEqual(1, code)
                self.assertIn(named, err)
                self.assertFalse(os.path.exists(self.path("patch")))
        self.write("new.wdf", wdf.archive([(1, b"A")]))
        self.write("patch/old-patch.vlm", b"mine")
        self.write("old.wdf", wdf.archive([(1, b"a")]))
        code, _, err = self.velmora("diff", "--patch", "patch", "old.wdf", "new.wdf")
        self.assertEqual(1, code)
        self.assertIn(b"--force", err)
        self.assertEqual(b"mine", self.read("patch/old-patch.vlm"))
        self.assertEqual(["old-patch.vlm"], os.listdir(self.path("patch")))
        self.assertEqual(0, self.velmora("diff", "--patch", "patch", "--force", "old.wdf",
                                         "new.wdf")[0])
        self.assertNotEqual(b"mine", self.read("patch/old-patch.vlm"))

    def test_script_from_dir_adds_files_the_archive_lacks_only_when_asked(self):
        self.write("ui.wdf", wdf.archive([(1, b"a"), (4, b"d")]))
        self.write("edit/00000002.bin", b"two")
        self.write("edit/00000001.bin", b"A")
        code, out, err = self.velmora("script", "--from-dir", "edit", "-o", "plain.vlm", "ui.wdf")
        self.assertEqual(0, code, err)
        self.assertIn(b"--add", err)
        code, out, err = self.velmora("script", "--from-dir", "edit", "--add", "--dest", "new.wdf",
                                      "-o", "add.vlm", "ui.wdf")
        self.assertEqual(0, code, err)
        self.assertIn(b"#AddEntries=yes\r\n", self.read("add.vlm"))
        self.assertEqual(0, self.velmora("run", "--yes", "add.vlm")[0])
        self.assertEqual([(1, b"A"), (2, b"two"), (4, b"d")], wdf.entries(self.read("new.wdf")))


if __name__ == "__main__":
    unittest.main()
