"""velmora-cli.exe under Wine, as a batch file uses it: exit codes through %ERRORLEVEL%, output
redirected to files (code page 936 bytes), and the example's run making the same archive as
Velmora.exe."""

import os
import shutil

import velmora_e2e as e2e

CLI = os.environ.get("VELMORA_CLI", "")
EXAMPLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples", "demo")


class CliTest(e2e.E2eTestCase):

    def copy_example(self, relative):
        shutil.copytree(EXAMPLE, self.scenario.path(relative))

    def run_batch(self, lines):
        return e2e.run_cli_batch(self.scenario, CLI, lines)

    def test_batch_file_sees_exit_codes_and_the_same_archive_as_the_gui(self):
        self.copy_example("cli")
        self.copy_example("gui")
        codes = self.run_batch([
            b"CLI --version > version.txt",
            b"echo version=%ERRORLEVEL%> codes.txt",
            b"CLI --bogus 2> bogus.txt",
            b"echo bogus=%ERRORLEVEL%>> codes.txt",
            b"CLI run cli\\demo.vlm > refused-out.txt 2> refused-err.txt",
            b"echo refused=%ERRORLEVEL%>> codes.txt",
            b"CLI check cli\\demo.vlm > check-out.txt 2> check-err.txt",
            b"echo check=%ERRORLEVEL%>> codes.txt",
            b"CLI run --yes cli\\demo.vlm > run-out.txt 2> run-err.txt",
            b"echo run=%ERRORLEVEL%>> codes.txt",
            b"CLI nosuch.vlm 2> missing.txt",
            b"echo missing=%ERRORLEVEL%>> codes.txt",
        ])
        self.assertEqual({"version": 0, "bogus": 2, "refused": 1, "check": 0, "run": 0,
                          "missing": 1}, codes)
        self.assertEqual(b"velmora-cli 1.0.0.9\n", self.scenario.read("version.txt"))
        # The prefix's user interface is Chinese, and so are the tool's own texts.
        self.assertIn(e2e.gbk("未知选项 '--bogus'"), self.scenario.read("bogus.txt"))
        self.assertIn(b"--yes", self.scenario.read("refused-err.txt"))
        # The report of success, in code page 936 with the catalogue's words.
        self.assertIn(e2e.gbk("新文件中资源数共 5 个"), self.scenario.read("run-out.txt"))
        self.assertIn(e2e.gbk("新资源包：5 个条目"), self.scenario.read("check-out.txt"))
        self.assertIn(e2e.gbk("脚本文件 ") + self.scenario.win("nosuch.vlm"),
                      self.scenario.read("missing.txt"))

        gui = self.scenario.run(b'"' + self.scenario.win("gui\\demo.vlm") + b'"',
                                default_answer="ok")
        self.assertExit(gui, 0)
        self.assertEqual(self.scenario.read("gui/out/ui-new.wdf"),
                         self.scenario.read("cli/out/ui-new.wdf"))


if __name__ == "__main__":
    e2e.main()
