"""The modder's loop on Windows: velmora-cli.exe extracts the example archive into a folder with
a Chinese name, writes a script from the edited folder, and Velmora.exe runs that script."""

import os
import shutil
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import test_cli  # noqa: E402  (its batch-file runner)
import velmora_e2e as e2e  # noqa: E402
import wdf  # noqa: E402

EXAMPLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples", "demo")


class ToolkitTest(e2e.E2eTestCase):

    run_batch = test_cli.CliTest.run_batch

    def test_script_from_an_edited_folder_runs_in_velmora_exe(self):
        shutil.copytree(EXAMPLE, self.scenario.path("demo"))
        source = wdf.entries(self.scenario.read("demo/ui.wdf"))
        codes = self.run_batch([
            e2e.gbk("CLI extract -o 改过 demo\\ui.wdf > extract.txt 2>&1"),
            b"echo extract=%ERRORLEVEL%> codes.txt",
        ])
        self.assertEqual({"extract": 0}, codes, self.scenario.read("extract.txt"))
        self.assertEqual(dict(source)[2], self.scenario.read("改过/00000002.txt"))
        self.scenario.write("改过/00000002.txt", "第二项，改过\r\n")
        self.scenario.write("改过/00000005.txt", "five, edited\n")
        codes = self.run_batch([
            e2e.gbk("CLI script --from-dir 改过 --dest out\\new.wdf -o scripts\\mods.vlm "
                    "demo\\ui.wdf > script.txt 2>&1"),
            b"echo script=%ERRORLEVEL%> codes.txt",
        ])
        self.assertEqual({"script": 0}, codes, self.scenario.read("script.txt"))
        self.assertEqual(e2e.gbk("#SrcPath=..\\\r\n#SrcFile=demo\\ui.wdf\r\n#DestPath=..\\\r\n"
                                 "#DestFile=out\\new.wdf\r\n@00000002=..\\改过\\00000002.txt\r\n"
                                 "@00000005=..\\改过\\00000005.txt\r\n"),
                         self.scenario.read("scripts/mods.vlm"))

        result = self.scenario.run(b'"' + self.scenario.win("scripts\\mods.vlm") + b'"')
        self.assertEqual([], result.boxes, result.describe())
        self.assertExit(result, 0)
        edited = dict(source)
        edited[2] = e2e.gbk("第二项，改过\r\n")
        edited[5] = b"five, edited\n"
        self.assertEqual(wdf.archive([(i, edited[i]) for i, _ in source]),
                         self.scenario.read("out/new.wdf"))


if __name__ == "__main__":
    e2e.main()
