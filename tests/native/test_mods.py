"""Mods with the real velmora program: diff --patch on two folders of archives writes one mod,
run applies it to every archive together and its undo takes it back out; folders that do not
hold the same archives are refused with nothing written."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import wdf  # noqa: E402

VELMORA = os.environ.get("VELMORA", "")

OLD = {
    "gfx.wdf": [(1, b"old picture"), (2, b"same")],
    "data/snd.wdf": [(1, b"old sound"), (7, b"gone")],
    "data/deep/txt.wdf": [(3, b"old text")],
    "data/same.wdf": [(5, b"untouched")],
}
NEW = {
    "gfx.wdf": [(1, b"NEW picture"), (2, b"same")],
    "data/snd.wdf": [(1, b"NEW sound")],
    "data/deep/txt.wdf": [(3, b"old text"), (4, b"added")],
    "data/same.wdf": [(5, b"untouched")],
}


class ModsTest(unittest.TestCase):

    def setUp(self):
        if not VELMORA:
            raise unittest.SkipTest("run through ctest; VELMORA names the program")
        self.dir = tempfile.mkdtemp(prefix="velmora-mods-")
        self.addCleanup(shutil.rmtree, self.dir)

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def put(self, folder, archives):
        for name, entries in archives.items():
            os.makedirs(os.path.dirname(self.path(folder, name)), exist_ok=True)
            wdf.write_file(self.path(folder, name), entries)
        with open(self.path(folder, "readme.txt"), "wb") as f:
            f.write(b"not an archive")

    def read(self, *parts):
        with open(self.path(*parts), "rb") as f:
            return f.read()

    def archives(self, folder):
        return {name: wdf.entries(self.read(folder, name)) for name in OLD}

    def velmora(self, *words):
        completed = subprocess.run([VELMORA] + list(words), cwd=self.dir, capture_output=True,
                                   stdin=subprocess.DEVNULL, timeout=120,
                                   env={**os.environ, "LANGUAGE": "", "LC_ALL": "C"})
        return completed.returncode, completed.stdout, completed.stderr

    def test_a_mod_changes_every_archive_together_and_its_undo_takes_it_back(self):
        self.put("old", OLD)
        self.put("new", NEW)
        self.put("game", OLD)
        code, out, err = self.velmora("diff", "--patch", "game/my-mod", "old", "new")
        self.assertEqual(0, code, err)
        self.assertIn(b"archives it changes together: 3", out)
        code, out, err = self.velmora("diff", "--patch", "game/my-mod", "old", "new")
        self.assertEqual((1, True), (code, b"--force" in err), "a mod is replaced only with --force")
        code, out, err = self.velmora("diff", "--patch", "game/my-mod", "--force", "old", "new")
        self.assertEqual(0, code, err)
        for folder, _, names in os.walk(self.path("game", "my-mod")):
            for name in names:
                if folder != self.path("game", "my-mod") and name.endswith(".vlm"):
                    self.assertNotIn(b"#Undo=", self.read(folder, name), "the undo is not kept")
        code, out, err = self.velmora("run", "-y", "game/my-mod/mod.vlm")
        self.assertEqual(0, code, err)
        self.assertEqual(self.archives("new"), self.archives("game"))
        self.assertIn(b"gfx.wdf.1.bak", out)
        self.assertFalse(os.path.exists(self.path("game", "data", "same.wdf.1.bak")))
        self.assertFalse(os.path.exists(self.path("game", "velmora-mod.vlmjournal")))

        code, out, err = self.velmora("run", "-y", "game/my-mod/mod-undo.vlm")
        self.assertEqual(0, code, err)
        self.assertEqual(self.archives("old"), self.archives("game"))
        # The mod's archives are kept as backups in turn.
        self.assertEqual(wdf.archive(NEW["gfx.wdf"]),
                         self.read("game", "gfx.wdf.2.bak"))
        code, out, err = self.velmora("run", "-y", "game/my-mod/mod-undo.vlm")
        self.assertEqual(1, code, "nothing is left to undo")
        self.assertEqual(self.archives("old"), self.archives("game"))

    def test_a_failing_archive_leaves_every_archive_as_it_was(self):
        self.put("old", OLD)
        self.put("new", NEW)
        self.put("game", OLD)
        self.assertEqual(0, self.velmora("diff", "--patch", "game/my-mod", "old", "new")[0])
        before = {name: self.read("game", name) for name in OLD}
        os.remove(self.path("game", "data", "deep", "txt.wdf"))  # the mod's last archive
        code, out, err = self.velmora("run", "-y", "game/my-mod/mod.vlm")
        self.assertEqual(1, code)
        self.assertIn(b"nothing was changed", err + out)
        for name in ("gfx.wdf", "data/snd.wdf"):
            self.assertEqual(before[name], self.read("game", name))
        self.assertEqual(["data", "gfx.wdf", "my-mod", "readme.txt"],
                         sorted(os.listdir(self.path("game"))))
        self.assertEqual(["deep", "same.wdf", "snd.wdf"],
                         sorted(os.listdir(self.path("game", "data"))))

    def test_folders_that_differ_in_their_archives_are_refused_with_nothing_written(self):
        cases = [
            ("an archive added", dict(NEW, **{"data/new.wdf": [(1, b"x")]}), b"data/new.wdf"),
            ("an archive removed", {k: v for k, v in NEW.items() if k != "gfx.wdf"},
             b"gfx.wdf"),
            ("a name in another letter case",
             {("GFX.wdf" if k == "gfx.wdf" else k): v for k, v in NEW.items()}, b"GFX.wdf"),
        ]
        for name, new, named in cases:
            with self.subTest(name):
                shutil.rmtree(self.path("new"), ignore_errors=True)
                self.put("old", OLD)
                self.put("new", new)
                code, out, err = self.velmora("diff", "--patch", "my-mod", "old", "new")
                self.assertEqual(1, code, out)
                self.assertIn(named, err)
                self.assertIn(b"no patch was written", err)
                self.assertFalse(os.path.exists(self.path("my-mod")))

    def test_every_archive_is_looked_at_before_anything_is_written(self):
        other = [(3, b"someone else's text")]
        theirs = [(3, b"old text"), (4, b"their own")]

        def part_files_gone(part):
            folder = self.path("game", "my-mod", part)
            for name in os.listdir(folder):
                if not name.endswith(".vlm"):
                    os.remove(os.path.join(folder, name))

        # (case, change to the player's game, words, exit code, said, archives after)
        cases = [
            ("check on the base", None, ["check"], 0, [b"txt.wdf (1 entry)", b"gfx.wdf (2 e"],
             OLD),
            ("check, the second part fails", lambda: part_files_gone("2"), ["check"], 1,
             [b"2/00000001.txt", b"does not exist"], OLD),
            ("another last archive", lambda: self.put_one("gfx.wdf", other), ["run", "-y"], 1,
             [b"gfx.wdf: the entries 00000001 differ", b"--force"], dict(OLD, **{"gfx.wdf": other})),
            ("another first archive, checked",
             lambda: self.put_one("data/deep/txt.wdf", theirs), ["check"], 1,
             [b"txt.wdf: the entries 00000004 differ"],
             dict(OLD, **{"data/deep/txt.wdf": theirs})),
            ("applied to one archive only", lambda: self.put_one("gfx.wdf", NEW["gfx.wdf"]),
             ["run", "-y"], 1, [b"gfx.wdf: holds the mod's result already"],
             dict(OLD, **{"gfx.wdf": NEW["gfx.wdf"]})),
            ("applied to one archive only, forced",
             lambda: self.put_one("gfx.wdf", NEW["gfx.wdf"]), ["run", "-y", "--force"], 0,
             [b"applied to 3 archives"], NEW),
            ("applied already", lambda: self.velmora("run", "-y", "game/my-mod/mod.vlm"),
             ["run", "-y"], 0, [b"already applied to all 3"], NEW),
        ]
        for name, change, words, code, said, after in cases:
            with self.subTest(name):
                for folder in ("old", "new", "game"):
                    shutil.rmtree(self.path(folder), ignore_errors=True)
                self.put("old", OLD)
                self.put("new", NEW)
                self.put("game", OLD)
                self.assertEqual(0, self.velmora("diff", "--patch", "game/my-mod", "old", "new")[0])
                if change:
                    change()
                backups = self.backups()
                got, out, err = self.velmora(*(words + ["game/my-mod/mod.vlm"]))
                self.assertEqual(code, got, out + err)
                for text in said:
                    self.assertIn(text, out + err)
                if words == ["check"] and code == 0:
                    # The mod asks once; its archives' summaries add up to that.
                    self.assertEqual([b"1"], re.findall(rb"Questions the run asks first: (\d+)", out))
                self.assertEqual({k: wdf.entries(wdf.archive(v)) for k, v in after.items()},
                                 self.archives("game"))
                if code != 0 or words[0] == "check" or b"already" in said[0]:
                    self.assertEqual(backups, self.backups(), "no backup was made")
                else:
                    self.assertIn(b"mod.vlm", self.velmora("restore", "--list", "game/gfx.wdf")[1])

    def put_one(self, name, entries):
        wdf.write_file(self.path("game", name), entries)

    def backups(self):
        return sorted(os.path.join(top, name) for top, _, names in os.walk(self.path("game"))
                      for name in names if ".bak" in name or ".vlmmod" in name)

    def test_restore_completes_a_mod_cut_short_between_its_renames(self):
        # As a kill leaves it: gfx.wdf renamed to its backup, its new bytes still under the
        # temporary name; snd.wdf not yet touched, its backup name reserved.
        self.put("game", {"gfx.wdf": OLD["gfx.wdf"], "data/snd.wdf": OLD["data/snd.wdf"]})
        gfx, snd = self.path("game", "gfx.wdf"), self.path("game", "data", "snd.wdf")
        os.rename(gfx, gfx + ".1.bak")
        wdf.write_file(gfx + ".vlmtmp", NEW["gfx.wdf"])
        wdf.write_file(snd + ".vlmtmp", NEW["data/snd.wdf"])
        open(snd + ".1.bak", "wb").close()
        lines = ["velmora mod journal 1", "record\t" + self.path("game", "mod.vlm.applied"),
                 "retire\t"]
        lines += ["archive\t%s\t%s.1.bak\t%s.vlmtmp" % (a, a, a) for a in (gfx, snd)]
        with open(self.path("game", "velmora-mod.vlmjournal"), "w") as f:
            f.write("\n".join(lines + ["end", ""]))
        code, out, err = self.velmora("restore", "--list", "game/data/snd.wdf")
        self.assertEqual(0, code, err)
        self.assertIn(b"has been completed", err)
        self.assertEqual(wdf.archive(NEW["gfx.wdf"]), self.read("game", "gfx.wdf"))
        self.assertEqual(wdf.archive(NEW["data/snd.wdf"]), self.read("game", "data", "snd.wdf"))
        self.assertEqual(wdf.archive(OLD["data/snd.wdf"]),
                         self.read("game", "data", "snd.wdf.1.bak"))
        self.assertFalse(os.path.exists(self.path("game", "velmora-mod.vlmjournal")))
        self.assertTrue(os.path.exists(self.path("game", "mod.vlm.applied")))


if __name__ == "__main__":
    unittest.main()
