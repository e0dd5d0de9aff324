"""Preparation of a run as a person meets it: the confirmation, the source and target settings
of the script, and what each refusal leaves on disk."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import velmora_e2e as e2e  # noqa: E402
import wdf  # noqa: E402

SOURCE = wdf.archive([(1, b"first"), (2, b"second")])


def filled(template, *values):
    """A catalogue text with its %s filled by byte strings."""
    parts = e2e.gbk(template).split(b"%s")
    assert len(parts) == len(values) + 1, template
    out = parts[0]
    for value, part in zip(values, parts[1:]):
        out += e2e.gbk(value) + part
    return out


class PrepareTest(e2e.E2eTestCase):
    def script(self, text, name="job.vlm"):
        self.scenario.write(name, text.replace("\n", "\r\n"))
        return self.scenario.win(name)

    def run_script(self, text, name="job.vlm", **options):
        path = self.script(text, name)
        return self.scenario.run(path, **options)

    def assertRefused(self, result, text, files_before):
        self.assertOnlyBox(result, text, "error")
        self.assertFalse(result.boxes[0].owned, "no dialog exists yet\n" + result.describe())
        self.assertEqual([], result.dialog_samples, result.describe())
        self.assertExit(result, 0)
        self.assertEqual(files_before, self.scenario.files(), "files on disk changed")

    def assertSystemReason(self, result, prefix):
        """One error box whose text is prefix followed by the system's reason and the blanks."""
        self.assertEqual(1, len(result.boxes), result.describe())
        box = result.boxes[0]
        self.assertBox(result, box, None, "error")
        self.assertTrue(box.text.startswith(prefix) and len(box.text) > len(prefix) + 4,
                        "text %s\nexpected it to start with %s and name a reason\n%s" % (
                            e2e.shown(box.text), e2e.shown(prefix), result.describe()))
        self.assertTrue(box.text.endswith(e2e.BLANKS), result.describe())

    # -- Confirmation

    def test_empty_run_begin_asks_about_the_script_and_cancel_touches_nothing(self):
        self.scenario.write("gfx.wdf", SOURCE)
        path = self.script("#RunBegin=\n#SrcFile=gfx.wdf\n#DestFile=out\\new.wdf\n")
        before = self.scenario.files()
        result = self.scenario.run(path, answers=["cancel"])
        self.assertOnlyBox(result, filled("确定要执行脚本 %s 吗？", path), "question",
                           (e2e.IDOK, e2e.IDCANCEL))
        self.assertExit(result, 0)
        self.assertEqual(before, self.scenario.files())
        self.assertFalse(self.scenario.exists("out"))

    def test_run_begin_escape_gives_two_lines_and_the_standard_question(self):
        self.scenario.write("gfx.wdf", SOURCE)
        result = self.run_script(
            "#RunBegin=Replace the title pictures.\\nBack up the archive first!   ; shown first\n"
            "#SrcFile=gfx.wdf\n", answers=["cancel"])
        self.assertOnlyBox(
            result, "Replace the title pictures.\rBack up the archive first!\r\r确定执行这个脚本吗？",
            "question", (e2e.IDOK, e2e.IDCANCEL))
        self.assertExit(result, 0)
        self.assertFalse(self.scenario.exists("job.wdf"))

    # -- Source settings

    def test_no_source_file_even_with_source_path(self):
        self.script("#SrcPath=not a path\n#DestFile=new.wdf\n")
        before = self.scenario.files()
        result = self.scenario.run(self.scenario.win("job.vlm"))
        self.assertRefused(result, "错误的脚本文件 或 源文件没有设定", before)

    def test_invalid_source_path(self):
        self.scenario.write("data/gfx.wdf", SOURCE)
        self.script("#SrcPath=data\\\n#SrcFile=gfx.wdf\n")
        before = self.scenario.files()
        result = self.scenario.run(self.scenario.win("job.vlm"))
        self.assertRefused(result, "源文件路径格式错误", before)

    def test_missing_source(self):
        self.script("#SrcFile=gfx.wdf\n")
        before = self.scenario.files()
        result = self.scenario.run(self.scenario.win("job.vlm"))
        self.assertRefused(result, filled("源文件 %s 不存在", self.scenario.win("gfx.wdf")), before)

    def test_empty_source_file_names_the_directory(self):
        self.script("#SrcFile=\n")
        before = self.scenario.files()
        result = self.scenario.run(self.scenario.win("job.vlm"))
        self.assertRefused(result, filled("源文件 %s 不存在", self.scenario.win() + b"\\"), before)

    def test_source_from_parent_directory(self):
        self.scenario.write("gfx.wdf", b"not an archive at all")
        path = self.script("#SrcPath=..\\\n#SrcFile=gfx.wdf\n", name="sub/job.vlm")
        result = self.scenario.run(path)
        # The source was found one level up, where the script's directory has none.
        self.assertOnlyBox(result, filled("源文件 %s 不是一个有效的WDF文件",
                                          self.scenario.win("gfx.wdf")), "error")
        self.assertExit(result, 0)

    def test_locked_source_names_the_system_reason(self):
        self.scenario.write("gfx.wdf", SOURCE)
        path = self.script("#SrcFile=gfx.wdf\n")
        before = self.scenario.files()
        result = self.scenario.run(path, lock_exclusive="gfx.wdf")
        self.assertSystemReason(result, filled("打开源文件 %s 失败    \r\r",
                                               self.scenario.win("gfx.wdf")))
        self.assertExit(result, 0)
        self.assertEqual(before, self.scenario.files())

    # -- Target settings

    def test_invalid_target_path(self):
        self.scenario.write("gfx.wdf", SOURCE)
        self.script("#SrcFile=gfx.wdf\n#DestPath=out\\\n")
        before = self.scenario.files()
        result = self.scenario.run(self.scenario.win("job.vlm"))
        self.assertRefused(result, "目标文件路径格式错误", before)

    def test_target_equal_to_source_up_to_ascii_case(self):
        self.scenario.write("gfx.wdf", SOURCE)
        self.script("#SrcFile=gfx.wdf\n#DestFile=GFX.WDF\n")
        before = self.scenario.files()
        result = self.scenario.run(self.scenario.win("job.vlm"))
        self.assertRefused(result, filled("目标文件 %s \r与源文件 %s 不能相同",
                                          self.scenario.win("GFX.WDF"),
                                          self.scenario.win("gfx.wdf")), before)
        self.assertEqual(SOURCE, self.scenario.read("gfx.wdf"))

    def test_targets_differing_inside_a_double_byte_character_are_other_files(self):
        # In code page 936 癮 is B0 61 and 癆 is B0 41, 皕 is B0 7A and 癦 is B0 5A: second bytes
        # with the values of letters that differ only in case, yet no letters.
        for source, target in (("癮.wdf", "癆.wdf"), ("皕.wdf", "癦.wdf")):
            self.scenario.write(source, SOURCE)
            result = self.run_script("#SrcFile=%s\n#DestFile=%s\n" % (source, target))
            self.assertEqual([], result.boxes, result.describe())
            self.assertExit(result, 0)
            self.assertEqual(SOURCE, self.scenario.read(target), result.describe())
            self.assertEqual(SOURCE, self.scenario.read(source))
        self.assertEqual(["job.vlm", "癆.wdf", "癦.wdf", "癮.wdf", "皕.wdf"],
                         sorted(self.scenario.files()))

    def test_target_differing_from_a_double_byte_source_only_in_ascii_case(self):
        self.scenario.write("癮.wdf", SOURCE)
        self.script("#SrcFile=癮.wdf\n#DestFile=癮.WDF\n")
        before = self.scenario.files()
        result = self.scenario.run(self.scenario.win("job.vlm"))
        self.assertRefused(result, filled("目标文件 %s \r与源文件 %s 不能相同",
                                          self.scenario.win("癮.WDF"),
                                          self.scenario.win("癮.wdf")), before)
        self.assertEqual(SOURCE, self.scenario.read("癮.wdf"))

    def test_existing_target_and_cancel_leaves_it_untouched(self):
        self.scenario.write("gfx.wdf", SOURCE)
        self.scenario.write("new.wdf", b"previous target")
        path = self.script("#SrcFile=gfx.wdf\n#DestFile=new.wdf\n")
        result = self.scenario.run(path, answers=["cancel"])
        self.assertOnlyBox(result, filled("目标文件 %s 已存在    \r\r是否覆盖？",
                                          self.scenario.win("new.wdf")), "question",
                           (e2e.IDOK, e2e.IDCANCEL))
        self.assertExit(result, 0)
        self.assertEqual(b"previous target", self.scenario.read("new.wdf"))

    def test_existing_target_allowed_but_source_not_wdf_keeps_the_target(self):
        self.scenario.write("gfx.wdf", b"PFDX this is not an archive")
        self.scenario.write("new.wdf", b"previous target")
        path = self.script("#SrcFile=gfx.wdf\n#DestFile=new.wdf\n")
        before = self.scenario.files()
        result = self.scenario.run(path, answers=["ok"])
        self.assertEqual(2, len(result.boxes), result.describe())
        self.assertBox(result, result.boxes[0], filled("目标文件 %s 已存在    \r\r是否覆盖？",
                                                       self.scenario.win("new.wdf")),
                       "question", (e2e.IDOK, e2e.IDCANCEL))
        self.assertBox(result, result.boxes[1], filled("源文件 %s 不是一个有效的WDF文件",
                                                       self.scenario.win("gfx.wdf")), "error")
        self.assertExit(result, 0)
        self.assertEqual(b"previous target", self.scenario.read("new.wdf"))
        self.assertEqual(before, self.scenario.files(), "a temporary file was left behind")

    def test_missing_target_directories_are_created(self):
        self.scenario.write("gfx.wdf", SOURCE)
        result = self.run_script("#SrcFile=gfx.wdf\n#DestFile=out\\deeper\\new.wdf\n")
        for box in result.boxes:
            self.assertNotIn(e2e.gbk("失败"), box.text, result.describe())
        self.assertTrue(os.path.isdir(self.scenario.path("out/deeper")), result.describe())
        self.assertTrue(self.scenario.exists("out/deeper/new.wdf"), result.describe())
        self.assertExit(result, 0)

    def test_target_whose_parent_is_a_file_cannot_be_created(self):
        self.scenario.write("gfx.wdf", SOURCE)
        self.scenario.write("blocker", b"a file where a directory should be")
        result = self.run_script("#SrcFile=gfx.wdf\n#DestFile=blocker\\new.wdf\n")
        self.assertSystemReason(result, filled("创建目标目录 %s 失败    \r\r",
                                               self.scenario.win("blocker\\")))
        self.assertExit(result, 0)
        self.assertEqual(b"a file where a directory should be", self.scenario.read("blocker"))

    def test_default_target_name_from_script_and_source_extension(self):
        self.scenario.write("gfx.wdf", SOURCE)
        result = self.run_script("#SrcFile=gfx.wdf\n")
        self.assertEqual([], [b for b in result.boxes if b.icon == "error"], result.describe())
        self.assertTrue(self.scenario.exists("job.wdf"), result.describe())
        self.assertExit(result, 0)


if __name__ == "__main__":
    e2e.main()
