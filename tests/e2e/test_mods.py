"""A mod of two archives shared as a modder makes it and a player applies it on Windows:
velmora-cli.exe diff --patch on two folders writes it, Velmora.exe applies it to both archives as
the shell opens its script (one question, one report naming both backups), and opening its undo
script brings both back together."""

import os
import shutil

import velmora_e2e as e2e
import wdf  # noqa: E402  (on the path through velmora_e2e)

CLI = os.environ.get("VELMORA_CLI", "")

OLD = {"gfx.wdf": [(0x10, b"logo"), (0xA1B2, b"old title")],
       "data\\snd.wdf": [(0x20, b"old sound"), (0x21, b"gone")]}
NEW = {"gfx.wdf": [(0x10, b"logo"), (0xA1B2, b"BM new title")],
       "data\\snd.wdf": [(0x20, b"NEW sound")]}


class ModsTest(e2e.E2eTestCase):

    def open_script(self, relative, answers, **options):
        """Velmora.exe started as the shell opens a script."""
        s = self.scenario
        return s.run(command_line=b'"' + e2e.windows_path(e2e.VELMORA_EXE) + b'" "' +
                     s.win(relative) + b'"', answers=answers, **options)

    def make_mod(self):
        """The modder's two folders and the player's game; the mod made into game\\my-mod."""
        s = self.scenario
        for folder, archives in (("modder\\old", OLD), ("modder\\new", NEW), ("game", OLD)):
            for name, entries in archives.items():
                s.write_wdf(folder + "\\" + name, entries)
        codes = e2e.run_cli_batch(s, CLI, [
            b"CLI diff --patch game\\my-mod modder\\old modder\\new > patch.txt 2>&1",
            b"echo patch=%ERRORLEVEL%> codes.txt",
        ])
        self.assertEqual({"patch": 0}, codes, s.read("patch.txt"))

    def assertArchives(self, expected, folder="game"):
        for name, entries in expected.items():
            self.assertEqual(wdf.archive(entries), self.scenario.read(folder + "\\" + name), name)

    def test_a_two_archive_mod_applied_and_undone_by_opening_its_scripts(self):
        s = self.scenario
        self.make_mod()

        result = self.open_script("game\\my-mod\\mod.vlm", ["ok", "ok"])
        self.assertEqual(2, len(result.boxes), result.describe())
        self.assertBox(result, result.boxes[0],
                       "此补丁将一起修改 2 个资源包：data\\snd.wdf, gfx.wdf。\r"
                       "原文件将保留为备份（*.N.bak），可用 mod-undo.vlm 一起撤销。\r\r"
                       "确定执行这个脚本吗？", "question", (e2e.IDOK, e2e.IDCANCEL))
        self.assertBox(result, result.boxes[1],
                       e2e.gbk("补丁已应用到 2 个资源包。\r\r原文件已备份为 ") +
                       s.win("game\\data\\snd.wdf.1.bak") + e2e.gbk("\r原文件已备份为 ") +
                       s.win("game\\gfx.wdf.1.bak"), "information")
        self.assertExit(result, 0)
        self.assertArchives(NEW)
        self.assertEqual(wdf.archive(OLD["gfx.wdf"]), s.read("game\\gfx.wdf.1.bak"))
        self.assertFalse(s.exists("game\\velmora-mod.vlmjournal"))

        result = self.open_script("game\\my-mod\\mod-undo.vlm", ["ok", "ok"])
        self.assertEqual(2, len(result.boxes), result.describe())
        self.assertBox(result, result.boxes[1],
                       e2e.gbk("补丁已从 2 个资源包撤销。\r\r原文件已备份为 ") +
                       s.win("game\\data\\snd.wdf.2.bak") + e2e.gbk("\r原文件已备份为 ") +
                       s.win("game\\gfx.wdf.2.bak"), "information")
        self.assertExit(result, 0)
        self.assertArchives(OLD)
        self.assertEqual(wdf.archive(NEW["gfx.wdf"]), s.read("game\\gfx.wdf.2.bak"))

    def test_a_wrong_base_on_the_second_archive_is_named_before_anything_changes(self):
        s = self.scenario
        theirs = [(0x10, b"logo"), (0xA1B2, b"their title")]
        finding = (e2e.gbk("补丁的资源包不是制作补丁时的那些：\r") + s.win("game\\gfx.wdf") +
                   e2e.gbk("：条目 0000A1B2 与制作补丁时的不同\r\r仍要应用此补丁吗？（原文件将保留为备份）"))
        # (answer to the finding, boxes in all, the archives after)
        cases = [("cancel", 1, {"gfx.wdf": theirs, "data\\snd.wdf": OLD["data\\snd.wdf"]}),
                 ("ok", 3, NEW)]
        for answer, boxes, after in cases:
            with self.subTest(answer):
                for folder in ("game", "modder"):
                    shutil.rmtree(s.path(folder), ignore_errors=True)
                self.make_mod()
                s.write_wdf("game\\gfx.wdf", theirs)
                result = self.open_script("game\\my-mod\\mod.vlm", [answer, "ok", "ok"])
                self.assertEqual(boxes, len(result.boxes), result.describe())
                self.assertBox(result, result.boxes[0], finding, "question",
                               (e2e.IDOK, e2e.IDCANCEL))
                self.assertExit(result, 0)
                self.assertArchives(after)
                self.assertEqual(answer == "ok", s.exists("game\\gfx.wdf.1.bak"))
                self.assertFalse(s.exists("game\\velmora-mod.vlmjournal"))

    def test_a_second_archive_held_by_another_program_leaves_both_as_they_were(self):
        s = self.scenario
        self.make_mod()
        # The second part's archive is held by another program: the mod cannot finish.
        result = self.open_script("game\\my-mod\\mod.vlm", ["ok", "ok", "ok"],
                                  lock_exclusive="game\\gfx.wdf")
        self.assertExit(result, 0)
        self.assertIn(e2e.gbk("补丁的资源包都保持原样，没有任何改动。"), result.boxes[-1].text,
                      result.describe())
        self.assertArchives(OLD)
        self.assertEqual(["data", "gfx.wdf", "my-mod"],
                         sorted(n for n in os.listdir(s.path("game"))))

    def test_the_terminal_tool_writes_the_archives_together_and_all_or_none(self):
        s = self.scenario

        def entry_files_gone(part):
            folder = s.path("game\\my-mod\\" + part)
            for name in os.listdir(folder):
                if not name.endswith(".vlm"):
                    os.remove(os.path.join(folder, name))

        # (case, change before the run, exit code, the archives after)
        cases = [("every archive", None, 0, NEW),
                 ("the second archive fails", lambda: entry_files_gone("2"), 1, OLD)]
        for name, change, code, after in cases:
            with self.subTest(name):
                for folder in ("game", "modder"):
                    shutil.rmtree(s.path(folder), ignore_errors=True)
                self.make_mod()
                if change:
                    change()
                codes = e2e.run_cli_batch(s, CLI, [
                    b"CLI run -y game\\my-mod\\mod.vlm > run.txt 2>&1",
                    b"echo run=%ERRORLEVEL%> codes.txt",
                ])
                self.assertEqual({"run": code}, codes, s.read("run.txt"))
                self.assertArchives(after)
                self.assertEqual(code == 0, s.exists("game\\gfx.wdf.1.bak"))
                self.assertEqual(["data", "gfx.wdf"] + (["gfx.wdf.1.bak", "gfx.wdf.1.bak.info"]
                                                       if code == 0 else []) + ["my-mod"],
                                 sorted(n for n in os.listdir(s.path("game"))))


if __name__ == "__main__":
    e2e.main()
