"""The pack run as a person meets it: the archive written, the progress dialog, the final
report, cancelling, and failures that must leave no target behind."""

import os
import re
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import velmora_e2e as e2e  # noqa: E402
import wdf  # noqa: E402

SUCCEEDED = "文件打包成功    \r\r从： %s\r到： %s"
FAILED = "文件打包失败，任务被中断    \r\r从： %s\r到： %s"
SCRIPT_ERROR = "脚本执行错误\r\r%s\r%s"
PROGRESS = "正在生成文件..."


def filled(template, *values):
    parts = e2e.gbk(template).replace(b"%d", b"%s").split(b"%s")
    out = parts[0]
    for value, part in zip(values, parts[1:]):
        out += (str(value).encode() if isinstance(value, int) else e2e.gbk(value)) + part
    return out


def many_entries(count):
    return [(n + 1, bytes([n & 0xFF])) for n in range(count)]


# Entries enough for a run that is still going well after the cancels below, which come once
# the bar stands at 1,000: a run costs little more than its bytes, so it takes many entries to
# last beyond the display's first updates.
LONG_RUN_ENTRIES = 600000


class PackRunTest(e2e.E2eTestCase):
    def assertArchive(self, expected_entries, relative):
        got = self.scenario.read(relative)
        expected = wdf.archive(expected_entries)
        if got != expected:
            self.fail("archive %s differs\n  got entries:      %s\n  expected entries: %s\n"
                      "  got %d bytes, expected %d" % (
                          relative, self.describe_archive(got),
                          self.describe_archive(expected), len(got), len(expected)))

    @staticmethod
    def describe_archive(blob):
        try:
            return ", ".join("%X:%r" % (i, d[:16]) for i, d in wdf.entries(blob)[:20])
        except Exception as failure:  # a broken archive is shown as what it is
            return "unreadable (%s): %r" % (failure, blob[:40])

    def simple_job(self, entries, rules="", run_end=None, dest="new.wdf"):
        self.scenario.write_wdf("gfx.wdf", entries)
        text = "#SrcFile=gfx.wdf\r\n#DestFile=%s\r\n" % dest
        if run_end is not None:
            text += "#RunEnd=%s\r\n" % run_end
        self.scenario.write("job.vlm", text + rules)
        return self.scenario.win("job.vlm")

    def test_worked_example_gives_the_exact_archive_and_report(self):
        s = self.scenario
        s.write("proj/scripts/ui.vlm", (
            "#RunBegin=Replace the title pictures.\\nBack up the archive first!   ; shown first\r\n"
            "#SrcPath=..\\\r\n#SrcFile=data\\ui.wdf\r\n#DestPath=..\\\r\n"
            "#DestFile=build\\ui.wdf\r\n#Author=\r\n#Date=Spring edition\r\n"
            "#RunEnd=Title pictures replaced.\r\n@0000A1B2=\r\n@0000a1b3=@0000A1B2\r\n"
            "@0000A1B4=@delete\r\n@0000A1B5=extra\\icons.wdf/@00000010\r\n"
            "@0000A1B6=pictures\\title.bmp   ; new title picture\r\n;@0000A1B7=@Delete\r\n"
            "@0000A1B7 =@Delete\r\n"))
        s.write_wdf("proj/data/ui.wdf", [(0xA1B2, b"logo"), (0xA1B3, b"old title"),
                                         (0xA1B4, b"unused"), (0xA1B5, b"old icon"),
                                         (0xA1B6, b"old picture"), (0xA1B7, b"kept as is")])
        s.write_wdf("proj/data/extra/icons.wdf", [(0x0F, b"other"), (0x10, b"new icon")])
        s.write("proj/scripts/pictures/title.bmp", b"BM new title picture")
        result = s.run(s.win("proj\\scripts\\ui.vlm"), answers=["ok", "ok"])
        self.assertEqual(2, len(result.boxes), result.describe())
        self.assertBox(result, result.boxes[0], "Replace the title pictures.\rBack up the archive "
                       "first!\r\r确定执行这个脚本吗？", "question", (e2e.IDOK, e2e.IDCANCEL))
        self.assertBox(result, result.boxes[1],
                       "Title pictures replaced.\r\r新文件中资源数共 5 个，被删除 1 个\r\r"
                       "请注意，以下脚本未被执行：\r@0000A1B7 =@Delete", "information")
        self.assertTrue(result.boxes[1].owned, "the report belongs to the dialog")
        self.assertExit(result, 0)
        self.assertArchive([(0xA1B2, b"logo"), (0xA1B3, b"logo"), (0xA1B5, b"new icon"),
                            (0xA1B6, b"BM new title picture"), (0xA1B7, b"kept as is")],
                           "proj/build/ui.wdf")
        # While the report is open the dialog shows the finished run and its two lines.
        last = result.dialog_samples[-1] if result.dialog_samples else None
        self.assertIsNotNone(last, result.describe())
        self.assertEqual(e2e.gbk("从：") + s.win("proj\\data\\ui.wdf"),
                         last.texts[1001], result.describe())
        self.assertEqual(b"Spring edition", last.texts[1002], result.describe())
        self.assertEqual((0, 6), last.range, result.describe())
        self.assertEqual(6, last.pos, result.describe())

    def test_script_without_run_end_closes_without_a_box(self):
        entries = [(1, b"one"), (2, b"two"), (3, b"three")]
        job = self.simple_job(entries, "@00000002=@delete\r\n@00000099=@delete\r\n")
        result = self.scenario.run(job)
        self.assertEqual([], result.boxes, result.describe())
        self.assertNoOtherWindows(result)
        self.assertExit(result, 0)
        self.assertArchive([(1, b"one"), (3, b"three")], "new.wdf")

    def test_rule_failure_names_the_rule_and_leaves_no_target(self):
        job = self.simple_job([(1, b"one"), (2, b"two")], "@00000002=@00000099  ; broken\r\n")
        result = self.scenario.run(job)
        self.assertOnlyBox(result, filled(SCRIPT_ERROR, "@00000002=@00000099",
                                          "引用的内部资源ID 00000099 不存在"), "error")
        self.assertExit(result, 0)
        self.assertFalse(self.scenario.exists("new.wdf"), "the failed run left its target")

    def test_reference_to_the_target_itself_cannot_be_opened(self):
        job = self.simple_job([(1, b"one")], "@00000001=new.wdf/@00000001\r\n")
        result = self.scenario.run(job)
        self.assertEqual(1, len(result.boxes), result.describe())
        prefix = filled("脚本执行错误\r\r%s\r打开引用的WDF文件 %s 失败\r",
                        "@00000001=new.wdf/@00000001", self.scenario.win("new.wdf"))
        box = result.boxes[0]
        self.assertBox(result, box, None, "error")
        self.assertTrue(box.text.startswith(prefix) and len(box.text) > len(prefix) + 4,
                        "text %s\nexpected to start with %s and give the system's reason" % (
                            e2e.shown(box.text), e2e.shown(prefix)))
        self.assertExit(result, 0)
        self.assertFalse(self.scenario.exists("new.wdf"))

    def cancel_long_run(self, **key):
        job = self.simple_job(many_entries(LONG_RUN_ENTRIES))
        result = self.scenario.run(job, timeout_ms=600000, **key)
        self.assertOnlyBox(result, filled(FAILED, self.scenario.win("gfx.wdf"),
                                          self.scenario.win("new.wdf")), "error")
        self.assertTrue(result.boxes[0].owned, result.describe())
        self.assertExit(result, 0)
        return result

    def test_esc_during_a_run_reports_failure_and_leaves_no_target(self):
        result = self.cancel_long_run(esc_at_progress=1000)
        self.assertIn("dialog-key esc", result.events)
        self.assertFalse(self.scenario.exists("new.wdf"), result.describe())

    def test_close_box_during_a_run_keeps_the_old_target(self):
        self.scenario.write("new.wdf", b"the old target")
        job = self.simple_job(many_entries(LONG_RUN_ENTRIES))
        result = self.scenario.run(job, answers=["ok"], close_at_progress=1000,
                                   timeout_ms=600000)
        self.assertEqual(2, len(result.boxes), result.describe())
        self.assertBox(result, result.boxes[1], filled(FAILED, self.scenario.win("gfx.wdf"),
                                                       self.scenario.win("new.wdf")), "error")
        self.assertExit(result, 0)
        self.assertEqual(b"the old target", self.scenario.read("new.wdf"))

    def test_progress_shown_during_a_run(self):
        count = 3000
        job = self.simple_job(many_entries(count), run_end="")
        result = self.scenario.run(job, timeout_ms=600000)
        samples = [s for s in result.dialog_samples if 0 < s.pos <= count]
        self.assertTrue(samples, result.describe())
        consistent = 0
        for sample in samples:
            self.assertEqual((0, count), sample.range, str(sample))
            match = re.fullmatch(rb"Velmora (\d+)%", sample.title)
            self.assertIsNotNone(match, "title %s" % e2e.shown(sample.title))
            caption = re.fullmatch(re.escape(e2e.gbk(PROGRESS)) + rb" (\d+)/(\d+)",
                                   sample.texts[1003])
            self.assertIsNotNone(caption, "caption %s" % e2e.shown(sample.texts[1003]))
            self.assertEqual(b"%d" % count, caption.group(2))
            number = int(caption.group(1))
            if number == sample.pos and int(match.group(1)) == (number - 1) * 100 // (count - 1):
                consistent += 1
        self.assertTrue(consistent, "no sample showed title, caption and bar of one entry\n" +
                        "\n".join(str(s) for s in samples[:10]))
        self.assertOnlyBox(result, filled(SUCCEEDED, self.scenario.win("gfx.wdf"),
                                          self.scenario.win("new.wdf")), "information")
        self.assertExit(result, 0)

    def test_empty_source_succeeds_with_an_empty_archive(self):
        job = self.simple_job([], run_end="")
        result = self.scenario.run(job)
        self.assertOnlyBox(result, filled(SUCCEEDED, self.scenario.win("gfx.wdf"),
                                          self.scenario.win("new.wdf")), "information")
        self.assertExit(result, 0)
        self.assertEqual(wdf.archive([]), self.scenario.read("new.wdf"))
        if result.dialog_samples:
            self.assertEqual(b"Velmora", result.dialog_samples[-1].title)
            self.assertEqual(e2e.gbk(PROGRESS), result.dialog_samples[-1].texts[1003])

    def test_single_entry_source(self):
        job = self.simple_job([(7, b"only one")], run_end="done")
        result = self.scenario.run(job)
        self.assertOnlyBox(result, "done", "information")
        self.assertExit(result, 0)
        self.assertArchive([(7, b"only one")], "new.wdf")

    @unittest.skipUnless(e2e.long_tests_wanted(), "Wine runs under a CPU emulator here (about "
                         "30 minutes); set VELMORA_E2E_LONG=1 to run it")
    def test_seventy_thousand_entries_succeed(self):
        # More entries than the bar's 16-bit range holds: the run must still count as complete.
        entries = many_entries(70000)
        job = self.simple_job(entries, run_end="")
        result = self.scenario.run(job, timeout_ms=3600000)
        self.assertOnlyBox(result, filled(SUCCEEDED, self.scenario.win("gfx.wdf"),
                                          self.scenario.win("new.wdf")), "information")
        self.assertExit(result, 0)
        self.assertArchive(entries, "new.wdf")


if __name__ == "__main__":
    e2e.main()
