"""Velmora.exe and velmora-cli.exe on a Windows of any language, with scripts as editors save
them: UTF-8 with and without a byte-order mark, and GBK as always. In the Chinese prefix and in
an English one (ANSI code page 1252, tests/wine/wine-run.sh with VELMORA_WINE_LANGUAGE=en): names
are found, the script's own texts shown as written, the target that exists is replaced on the
second run, a target that is the source under another spelling refused, and an archive another
program holds named as in use."""

import os
import unittest

import velmora_e2e as e2e
import wdf

CLI = os.environ.get("VELMORA_CLI", "")
BOM = b"\xef\xbb\xbf"
ENTRIES = [(0x10, b"ten"), (0x20, b"twenty"), (0x30, b"thirty")]
# The run's archive: entry 0x20 from the picture, entry 0x30 deleted.
EXPECTED = wdf.archive([(0x10, b"ten"), (0x20, b"new picture")])


def script(encoding, run_begin="", dest="out\\新界面.wdf"):
    """A script naming Chinese files, in the encoding given ("utf-8", "utf-8-sig" or "gbk")."""
    lines = ["#SrcFile=界面.wdf", "#DestFile=" + dest, "#RunEnd=完成了",
             "@00000020=图片\\标题.bmp", "@00000030=@Delete"]
    if run_begin:
        lines.insert(0, "#RunBegin=" + run_begin)
    return ("\r\n".join(lines) + "\r\n").encode(encoding)


class AnyLanguageTest(e2e.E2eTestCase):

    def prepare(self, encoding, name="mod.vlm", **options):
        self.scenario.write_wdf("界面.wdf", ENTRIES)
        self.scenario.write("图片/标题.bmp", b"new picture")
        self.scenario.write(name, script(encoding, **options))

    def run_batch(self, lines):
        return e2e.run_cli_batch(self.scenario, CLI, lines)

    # ---- Chinese prefix --------------------------------------------------------------------

    def test_utf8_scripts_double_clicked_find_their_chinese_names(self):
        for encoding in ("utf-8", "utf-8-sig"):
            with self.subTest(encoding=encoding):
                self.scenario = e2e.Scenario(self.id().split(".", 1)[-1] + "_" + encoding)
                self.prepare(encoding)
                result = self.scenario.run(b'"' + self.scenario.win("mod.vlm") + b'"')
                self.assertExit(result, 0)
                self.assertEqual(1, len(result.boxes), result.describe())
                self.assertTrue(result.boxes[0].text.startswith(e2e.gbk("完成了")),
                                result.describe())
                self.assertEqual(EXPECTED, self.scenario.read("out/新界面.wdf"))

    def test_batch_file_runs_twice_and_refuses_only_the_source_itself(self):
        self.prepare("utf-8", name="utf8.vlm")
        self.scenario.write("gbk.vlm", script("gbk", dest="out\\旧.wdf"))
        self.scenario.write("bom.vlm", script("utf-8-sig", dest="out\\bom.wdf"))
        # Another spelling of the source: a step into a folder and out again.
        self.scenario.write("same.vlm", script("utf-8", dest="out\\..\\界面.wdf"))
        os.makedirs(self.scenario.path("out"), exist_ok=True)
        self.scenario.write("out/旧.wdf", b"an unrelated file")
        codes = self.run_batch([
            b"CLI run --yes utf8.vlm > first.txt 2>&1",
            b"echo first=%ERRORLEVEL%> codes.txt",
            b"CLI run --yes utf8.vlm > second.txt 2>&1",
            b"echo second=%ERRORLEVEL%>> codes.txt",
            b"CLI run --yes gbk.vlm > gbk.txt 2>&1",
            b"echo gbk=%ERRORLEVEL%>> codes.txt",
            b"CLI run --yes bom.vlm > bom.txt 2>&1",
            b"echo bom=%ERRORLEVEL%>> codes.txt",
            b"CLI run --yes same.vlm > same.txt 2>&1",
            b"echo same=%ERRORLEVEL%>> codes.txt",
        ])
        outputs = {name: self.scenario.read(name + ".txt").decode("gbk", "replace")
                   for name in ("first", "second", "gbk", "bom", "same")}
        self.assertEqual({"first": 0, "second": 0, "gbk": 0, "bom": 0, "same": 1}, codes,
                         outputs)
        for name in ("out/新界面.wdf", "out/旧.wdf", "out/bom.wdf"):
            self.assertEqual(EXPECTED, self.scenario.read(name), name)
        self.assertIn("两个名字指向同一个文件", outputs["same"])
        self.assertEqual(wdf.archive(ENTRIES), self.scenario.read("界面.wdf"))

    def test_archive_held_by_another_program_is_named_in_use(self):
        self.scenario.write_wdf("ui.wdf", ENTRIES)
        self.scenario.write("pic.bmp", b"new picture")
        self.scenario.write("inplace.vlm", b"#SrcFile=ui.wdf\r\n#DestFile=ui.wdf\r\n#InPlace=yes\r\n"
                                           b"@00000020=pic.bmp\r\n@00000030=@Delete\r\n")
        in_use = e2e.gbk("文件 ") + self.scenario.win("ui.wdf") + e2e.gbk(" 正被另一个程序使用")
        gui = self.scenario.run(b'"' + self.scenario.win("inplace.vlm") + b'"', lock="ui.wdf")
        self.assertExit(gui, 0)
        self.assertEqual(1, len(gui.boxes), gui.describe())
        self.assertIn(in_use, gui.boxes[0].text, gui.describe())
        self.assertEqual(wdf.archive(ENTRIES), self.scenario.read("ui.wdf"))
        # The terminal tool, started by the same driver while the driver holds the archive.
        cmd = os.path.join(e2e.BUILD_DIR, "wine", "prefix", "drive_c", "windows", "system32",
                           "cmd.exe")
        cli = self.scenario.run(program=cmd, lock="ui.wdf", command_line=(
            b'cmd /c ""' + e2e.windows_path(CLI) + b'" run --yes inplace.vlm > held.txt 2>&1"'))
        self.assertExit(cli, 1)
        self.assertIn(in_use, self.scenario.read("held.txt"))
        self.assertEqual(wdf.archive(ENTRIES), self.scenario.read("ui.wdf"))


class EnglishWindowsTest(e2e.E2eTestCase):
    """The same programs in a prefix whose interface is English: texts read through the Unicode
    calls (the driver reports them in UTF-8)."""

    @classmethod
    def setUpClass(cls):
        e2e.check_environment()
        cls.saved = dict(os.environ)
        os.environ["VELMORA_WINE_LANGUAGE"] = "en"
        os.environ["VELMORA_DRIVER_UTF8"] = "1"
        e2e.subprocess.run([e2e.WINE_RUN, "--prepare-only"], check=True, timeout=1800,
                           env=dict(os.environ, VELMORA_BUILD_DIR=e2e.BUILD_DIR))
        os.makedirs(e2e.SCENARIO_ROOT, exist_ok=True)
        link = os.path.join(e2e.BUILD_DIR, "wine", "prefix-en", "dosdevices", "v:")
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(os.path.abspath(e2e.SCENARIO_ROOT), link)

    @classmethod
    def tearDownClass(cls):
        os.environ.clear()
        os.environ.update(cls.saved)

    def test_gbk_script_runs_with_its_own_texts_and_english_boxes(self):
        self.scenario.write_wdf("界面.wdf", ENTRIES)
        self.scenario.write("图片/标题.bmp", b"new picture")
        self.scenario.write("mod.vlm", script("gbk", run_begin="换上新的标题图片"))
        result = self.scenario.run(b'"' + self.scenario.win("mod.vlm") + b'"')
        self.assertExit(result, 0)
        self.assertEqual(2, len(result.boxes), result.describe())
        question = result.boxes[0].text.decode("utf-8")
        self.assertTrue(question.startswith("换上新的标题图片\r\rRun this script?"), question)
        self.assertTrue(result.boxes[1].text.decode("utf-8").startswith("完成了"),
                        result.describe())
        self.assertEqual(EXPECTED, self.scenario.read("out/新界面.wdf"))

    def test_utf8_script_with_the_terminal_tool_twice(self):
        self.scenario.write_wdf("界面.wdf", ENTRIES)
        self.scenario.write("图片/标题.bmp", b"new picture")
        self.scenario.write("mod.vlm", script("utf-8"))
        self.scenario.write("gbk.vlm", script("gbk", dest="out\\gbk.wdf"))
        codes = self.run_batch([
            b"CLI run --yes mod.vlm > first.txt 2>&1",
            b"echo first=%ERRORLEVEL%> codes.txt",
            b"CLI run --yes mod.vlm > second.txt 2>&1",
            b"echo second=%ERRORLEVEL%>> codes.txt",
            b"CLI run --yes gbk.vlm > gbk.txt 2>&1",
            b"echo gbk=%ERRORLEVEL%>> codes.txt",
        ])
        self.assertEqual({"first": 0, "second": 0, "gbk": 0}, codes,
                         self.scenario.read("second.txt"))
        self.assertIn(b"Entries in the new archive: 2", self.scenario.read("second.txt"))
        self.assertEqual(EXPECTED, self.scenario.read("out/新界面.wdf"))
        self.assertEqual(EXPECTED, self.scenario.read("out/gbk.wdf"))

    def run_batch(self, lines):
        return e2e.run_cli_batch(self.scenario, CLI, lines)


if __name__ == "__main__":
    e2e.main()
