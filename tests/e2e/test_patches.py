"""A patch shared as a modder makes it and a player applies it on Windows: velmora-cli.exe diff
--patch writes it, Velmora.exe runs its script as the shell opens it (the question, the report
naming the backup), velmora-cli.exe diff finds the archive identical to the modder's, and
velmora-cli.exe restore brings back the old bytes."""

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
        result = s.run(command_line=b'"' + e2e.windows_path(e2e.VELMORA_EXE) + b'" "' + script +
                       b'"', answers=["ok", "ok"])
        self.assertEqual(2, len(result.boxes), result.describe())
        self.assertBox(result, result.boxes[0],
                       "此补丁将修改 ui.wdf：更改 1 个条目，新增 1 个，删除 1 个。\r"
                       "原文件将保留为备份（ui.wdf.N.bak），可用 velmora restore 恢复。\r\r"
                       "确定执行这个脚本吗？", "question", (e2e.IDOK, e2e.IDCANCEL))
        backup = s.win("game\\ui.wdf.1.bak")
        self.assertBox(result, result.boxes[1],
                       e2e.gbk("补丁已应用到 ui.wdf。\r\r新文件中资源数共 4 个，被删除 1 个\r新增资源 1 个"
                               "\r\r原文件已备份为 ") + backup, "information")
        self.assertExit(result, 0)
        self.assertEqual(wdf.archive(old), s.read("game\\ui.wdf.1.bak"))

        codes = e2e.run_cli_batch(s, CLI, [
            b"CLI diff game\\ui.wdf modder\\ui-mod.wdf > same.txt",
            b"echo same=%ERRORLEVEL%> codes.txt",
            b"CLI restore --list game\\ui.wdf > list.txt",
            b"echo list=%ERRORLEVEL%>> codes.txt",
            b"CLI restore game\\ui.wdf > restore.txt 2>&1",
            b"echo restore=%ERRORLEVEL%>> codes.txt",
        ])
        self.assertEqual({"same": 0, "list": 0, "restore": 0}, codes, s.read("restore.txt"))
        self.assertIn(b"ui.wdf.1.bak", s.read("list.txt"))
        self.assertEqual(wdf.archive(old), s.read("game\\ui.wdf"))
        # The patched archive is kept as the next backup: a second restore undoes the first.
        self.assertEqual(wdf.entries(wdf.archive(new)),
                         wdf.entries(s.read("game\\ui.wdf.2.bak")))
        self.assertFalse(s.exists("game\\ui.wdf.1.bak"))


if __name__ == "__main__":
    e2e.main()
