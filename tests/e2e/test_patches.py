"""A patch shared as a modder makes it and a player applies it on Windows: velmora-cli.exe diff
--patch writes it, Velmora.exe runs its script as the shell opens it (the question, the report
naming the backup and the undo), a second double-click finds it applied already, velmora-cli.exe
diff finds the archive identical to the modder's, a double-click on the undo script brings back
the old bytes, and velmora-cli.exe restore lists what made each backup."""

import os

import velmora_e2e as e2e
import wdf  # noqa: E402  (on the path through velmora_e2e)

CLI = os.environ.get("VELMORA_CLI", "")


class PatchesTest(e2e.E2eTestCase):

    def test_patch_applied_by_opening_its_script_and_undone_with_restore(self):
        s = self.scenario
        old = [(0x10, b"logo"), (0xA1B2, b"old title"), (0xA1B3, b"old icon"), (0xA1B9, b"gone")]
        new = [(0x10, b"logo"), (0xA1B2, b"BM new title"), (0xA1B3, b"old icon"),
               (0xA1B5, "新的文字".encode("gbk"))]
        s.write_wdf("modder\\ui.wdf", old)
        s.write_wdf("modder\\ui-mod.wdf", new)
        s.write_wdf("game\\ui.wdf", old)
        codes = e2e.run_cli_batch(s, CLI, [
            b"CLI diff --format tsv modder\\ui.wdf modder\\ui-mod.wdf > diff.txt",
            b"echo diff=%ERRORLEVEL%> codes.txt",
            b"CLI diff --patch game\\ui-patch modder\\ui.wdf modder\\ui-mod.wdf > patch.txt 2>&1",
            b"echo patch=%ERRORLEVEL%>> codes.txt",
        ])
        self.assertEqual({"diff": 1, "patch": 0}, codes, s.read("patch.txt"))
        self.assertEqual(b"change\tid\tn\told_size\tnew_size\n"
                         b"changed\t0000A1B2\t1\t9\t12\n"
                         b"removed\t0000A1B9\t1\t4\t\n"
                         b"added\t0000A1B5\t1\t\t8\n", s.read("diff.txt").replace(b"\r\n", b"\n"))

        script = s.win("game\\ui-patch\\ui-patch.vlm")
        undo = s.win("game\\ui-patch\\ui-undo.vlm")
        archive = s.win("game\\ui.wdf")
        velmora = b'"' + e2e.windows_path(e2e.VELMORA_EXE) + b'" "'
        undo_line = "\r要撤销此补丁，双击补丁文件夹中的 ui-undo.vlm。"
        result = s.run(command_line=velmora + script + b'"', answers=["ok", "ok"])
        self.assertEqual(2, len(result.boxes), result.describe())
        self.assertBox(result, result.boxes[0],
                       "此补丁将修改 ui.wdf：更改 1 个条目，新增 1 个，删除 1 个。\r"
                       "原文件将保留为备份（ui.wdf.N.bak）。" + undo_line + "\r\r"
                       "确定执行这个脚本吗？", "question", (e2e.IDOK, e2e.IDCANCEL))
        backup = s.win("game\\ui.wdf.1.bak")
        self.assertBox(result, result.boxes[1],
                       e2e.gbk("补丁已应用到 ui.wdf。\r\r新文件中资源数共 4 个，被删除 1 个\r新增资源 1 个"
                               "\r\r原文件已备份为 ") + backup + e2e.gbk(undo_line), "information")
        self.assertExit(result, 0)
        self.assertEqual(wdf.archive(old), s.read("game\\ui.wdf.1.bak"))
        patched = s.read("game\\ui.wdf")

        # Opened again: the patch finds its own result, asks nothing and changes nothing.
        result = s.run(command_line=velmora + script + b'"', answers=["ok"])
        self.assertEqual(1, len(result.boxes), result.describe())
        self.assertBox(result, result.boxes[0],
                       e2e.gbk("此补丁已应用到 ") + archive +
                       e2e.gbk("：补丁所改的条目已是它的结果。\r\r未做任何改动，也没有生成新的备份。"),
                       "information")
        self.assertEqual(patched, s.read("game\\ui.wdf"))
        self.assertFalse(s.exists("game\\ui.wdf.2.bak"))

        codes = e2e.run_cli_batch(s, CLI, [
            b"CLI diff game\\ui.wdf modder\\ui-mod.wdf > same.txt",
            b"echo same=%ERRORLEVEL%> codes.txt",
        ])
        self.assertEqual({"same": 0}, codes)

        # The undo, double-clicked: the archive the patch replaced comes back.
        result = s.run(command_line=velmora + undo + b'"', answers=["ok", "ok"])
        self.assertEqual(2, len(result.boxes), result.describe())
        self.assertBox(result, result.boxes[0],
                       "此操作将撤销补丁 ui-patch.vlm：把 ui.wdf 放回应用补丁前的内容。\r"
                       "当前的 ui.wdf 也将保留为备份。\r\r确定执行这个脚本吗？",
                       "question", (e2e.IDOK, e2e.IDCANCEL))
        self.assertBox(result, result.boxes[1],
                       e2e.gbk("已撤销补丁 ui-patch.vlm。\r\r") + archive + e2e.gbk(" 已恢复为备份 ") +
                       backup + e2e.gbk(" 的内容\r原文件已备份为 ") + s.win("game\\ui.wdf.2.bak"),
                       "information")
        self.assertExit(result, 0)
        self.assertEqual(wdf.archive(old), s.read("game\\ui.wdf"))
        self.assertEqual(patched, s.read("game\\ui.wdf.2.bak"))

        codes = e2e.run_cli_batch(s, CLI, [
            b"CLI restore --list game\\ui.wdf > list.txt",
            b"echo list=%ERRORLEVEL%> codes.txt",
            b"CLI restore --to 2 game\\ui.wdf > restore.txt 2>&1",
            b"echo restore=%ERRORLEVEL%>> codes.txt",
        ])
        self.assertEqual({"list": 0, "restore": 0}, codes, s.read("restore.txt"))
        listed = s.read("list.txt").splitlines()
        self.assertEqual(2, len(listed), listed)
        self.assertIn(b"ui-patch.vlm", listed[0])
        self.assertIn(b"ui-undo.vlm", listed[1])
        self.assertEqual(patched, s.read("game\\ui.wdf"))
        self.assertEqual(wdf.archive(old), s.read("game\\ui.wdf.3.bak"))

if __name__ == "__main__":
    e2e.main()
