"""The program's entry as a person meets it: the command line, the script path in messages, and
the report of a script that cannot be opened."""

import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import velmora_e2e as e2e  # noqa: E402

NOT_FOUND = "脚本文件 %s 不存在"


def not_found(path):
    return e2e.gbk(NOT_FOUND.replace("%s", "\0")).replace(b"\0", path)


class EntryTest(e2e.E2eTestCase):
    def assertMissingScript(self, result, path):
        self.assertOnlyBox(result, not_found(path), "error")
        self.assertFalse(result.boxes[0].owned, "no dialog exists yet, so the box has no owner")
        self.assertNoOtherWindows(result)
        self.assertExit(result, 0)

    def test_no_argument_ends_without_window(self):
        result = self.scenario.run()
        self.assertNoWindow(result)
        self.assertExit(result, 0)

    def test_removal_arguments_end_without_window(self):
        # Even when a file of that name exists, no script is loaded.
        self.scenario.write("-u.txt", "#SrcFile=none.wdf\r\n")
        for argument in ["-u", "-U", r"C:\scripts\-u.vlm", "-u.txt"]:
            with self.subTest(argument=argument):
                result = self.scenario.run(argument)
                self.assertNoWindow(result)
                self.assertExit(result, 0)

    def test_slash_u_is_a_script_path(self):
        result = self.scenario.run("/u")
        self.assertMissingScript(result, self.scenario.win() + b"\\/u")

    def test_missing_script_is_named_with_its_absolute_path(self):
        result = self.scenario.run(self.scenario.win("missing.vlm"))
        self.assertMissingScript(result, self.scenario.win("missing.vlm"))

    def test_script_with_chinese_name_is_named_byte_for_byte(self):
        result = self.scenario.run(self.scenario.win("界面脚本.vlm"))
        self.assertMissingScript(result, self.scenario.win("界面脚本.vlm"))

    def test_directory_given_as_script_counts_as_missing(self):
        os.makedirs(self.scenario.path("folder.vlm"))
        result = self.scenario.run(self.scenario.win("folder.vlm"))
        self.assertMissingScript(result, self.scenario.win("folder.vlm"))

    def test_relative_path_is_joined_to_the_working_directory_unsimplified(self):
        os.makedirs(self.scenario.path("work"))
        result = self.scenario.run(r"..\name.vlm", directory="work")
        self.assertMissingScript(result, self.scenario.win("work") + rb"\..\name.vlm")

    def test_quoted_path_with_blanks_is_one_argument(self):
        os.makedirs(self.scenario.path("my scripts"))
        path = self.scenario.win(r"my scripts\missing one.vlm")
        result = self.scenario.run(b'"' + path + b'" second-argument')
        self.assertMissingScript(result, path)

    def test_script_that_loads_is_not_reported_missing(self):
        self.scenario.write("plain.vlm", "; nothing to do\r\n")
        result = self.scenario.run(self.scenario.win("plain.vlm"))
        # Preparation may refuse the script (it names no source); it is not reported missing.
        for box in result.boxes:
            self.assertFalse(box.text.startswith(e2e.gbk("脚本文件 ")), result.describe())
            self.assertNotEqual(b"Application Error", box.caption, result.describe())
        self.assertNoOtherWindows(result)
        self.assertExit(result, 0)

    def test_locked_script_gives_the_last_resort_report(self):
        self.scenario.write("locked.vlm", "#SrcFile=ui.wdf\r\n")
        result = self.scenario.run(self.scenario.win("locked.vlm"), lock="locked.vlm")
        self.assertEqual(1, len(result.boxes), result.describe())
        box = result.boxes[0]
        self.assertBox(result, box, None, "error", caption="Application Error")
        self.assertFalse(box.owned, result.describe())
        # "Exception <type> in module <module> at <offset>.\r\n<message><full stop>\r\n"; the
        # message ends with the system's own text, which carries its own CR LF.
        pattern = (rb'Exception EFOpenError in module Velmora\.exe at [0-9A-F]{8}\.\r\n'
                   rb'Cannot open file "' + re.escape(self.scenario.win("locked.vlm")) +
                   rb'"\. (.+)\r\n$')
        match = re.match(pattern, box.text, re.DOTALL)
        self.assertIsNotNone(match, "text %s\ndoes not match %s\n%s" % (
            e2e.shown(box.text), e2e.shown(pattern), result.describe()))
        self.assertTrue(match.group(1).strip(b"\r\n."), "no system text\n" + result.describe())
        self.assertExit(result, 1)


if __name__ == "__main__":
    e2e.main()
