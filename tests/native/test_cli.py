"""The real velmora program as a user meets it: help, version, a wrong option, the example
script (code page 936 with CR LF line ends) making the archive its rules describe, and Ctrl-C
in a long run."""

import os
import pty
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import wdf  # noqa: E402

VELMORA = os.environ.get("VELMORA", "")
EXAMPLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples", "demo")


def read_terminal(fd, until=None, seconds=60):
    """What a terminal shows until `until` appears (or, with None, until the program closes
    it); fails after `seconds` rather than waiting on a program that hangs."""
    seen = b""
    deadline = time.monotonic() + seconds
    while until is None or until not in seen:
        ready, _, _ = select.select([fd], [], [], max(0, deadline - time.monotonic()))
        if not ready:
            raise AssertionError("after %d s the terminal shows %r" % (seconds, seen[-200:]))
        try:
            chunk = os.read(fd, 4096)
        except OSError:  # the program's end of the terminal is closed
            chunk = b""
        if not chunk:
            if until is None:
                return seen
            raise AssertionError("the program closed the terminal after %r" % seen[-200:])
        seen += chunk
    return seen


def end_process(process):
    if process.poll() is None:
        process.kill()
    process.wait()


class VelmoraTest(unittest.TestCase):

    def setUp(self):
        if not VELMORA:
            raise unittest.SkipTest("run through ctest; VELMORA names the program")
        self.dir = tempfile.mkdtemp(prefix="velmora-native-")
        self.addCleanup(shutil.rmtree, self.dir)

    def start(self, *words, stdin, stderr):
        """velmora in the background; killed at the test's end should it still run."""
        process = subprocess.Popen([VELMORA] + list(words), cwd=self.dir, stdin=stdin,
                                   stdout=subprocess.DEVNULL, stderr=stderr)
        self.addCleanup(end_process, process)
        return process

    def velmora(self, *words, env=None):
        completed = subprocess.run([VELMORA] + list(words), cwd=self.dir, capture_output=True,
                                   stdin=subprocess.DEVNULL, timeout=300,
                                   env={**os.environ, "LANGUAGE": "", "LC_ALL": "C", **(env or {})})
        return completed.returncode, completed.stdout, completed.stderr

    def test_help_version_and_wrong_usage(self):
        code, out, err = self.velmora("--help")
        self.assertEqual((0, b""), (code, err))
        self.assertIn(b"Usage: velmora COMMAND", out)
        self.assertIn(b"check", out)
        code, out, _ = self.velmora("--help", env={"LC_ALL": "zh_CN.UTF-8"})
        self.assertIn("用法".encode(), out)
        self.assertEqual((0, b"velmora 1.0.0.9\n", b""), self.velmora("--version"))
        code, out, err = self.velmora("run", "--frob", "x.vlm")
        self.assertEqual((2, b""), (code, out))
        self.assertEqual(1, err.count(b"\n"))
        self.assertIn(b"--frob", err)

    def test_one_language_per_locale_in_its_encoding_without_trailing_blanks(self):
        """Every line in the locale's language and encoding; the script's own texts (Chinese in
        the example) and paths aside, an English line holds no Chinese and a Chinese one no
        English words of the tool; no line ends in blanks."""
        shutil.copytree(EXAMPLE, os.path.join(self.dir, "demo"))
        os.remove(os.path.join(self.dir, "demo", "extra", "icons.wdf"))  # a failing rule
        cases = [("C", "utf-8", b"Error in the script"), ("zh_CN.UTF-8", "utf-8", None),
                 ("zh_CN.GBK", "gbk", None)]
        for locale, encoding, english in cases:
            with self.subTest(locale=locale):
                words = {}
                for command in (["check", "demo/demo.vlm"], ["run", "--yes", "demo/demo.vlm"],
                                ["verify", "demo/ui.wdf", "demo"], ["chekc"]):
                    _, out, err = self.velmora(*command, env={"LC_ALL": locale})
                    text = (out + err).decode(encoding)
                    for line in text.split("\n"):
                        self.assertEqual(line, line.rstrip(" \t"), (command, line))
                    words[command[0]] = text
                if english:
                    self.assertIn(english.decode(), words["run"])
                    self.assertNotIn("脚本执行错误", words["run"])
                else:
                    self.assertIn("脚本执行错误", words["run"])
                    self.assertNotIn("Error in the script", words["run"])
                    self.assertIn("未知命令", words["chekc"])
                    self.assertIn("是一个目录", words["verify"])

    def test_example_script_makes_the_archive_of_its_rules(self):
        shutil.copytree(EXAMPLE, os.path.join(self.dir, "demo"))
        script = os.path.join(self.dir, "demo", "demo.vlm")
        with open(script, "rb") as f:
            self.assertIn(b"\r\n", f.read(), "the example is a script saved on Windows")
        code, out, err = self.velmora("check", "demo/demo.vlm")
        self.assertEqual(0, code, err)
        self.assertFalse(os.path.exists(os.path.join(self.dir, "demo", "out")))
        code, out, err = self.velmora("run", "demo/demo.vlm")
        self.assertEqual(1, code)
        self.assertIn(b"--yes", err)
        code, out, err = self.velmora("run", "--yes", "demo/demo.vlm")
        self.assertEqual(0, code, err)
        self.assertIn(b"Entries in the new archive: 5; deleted: 1", out)
        self.assertIn(b"@0000FFFF=@Delete", out)

        def read(*parts):
            with open(os.path.join(self.dir, "demo", *parts), "rb") as f:
                return f.read()
        source = dict(wdf.entries(read("ui.wdf")))
        icons = dict(wdf.entries(read("extra", "icons.wdf")))
        expected = [(1, source[1]), (2, source[1]), (4, icons[0x10]),
                    (5, read("pictures", "title.bmp")), (6, source[6])]
        self.assertEqual(wdf.archive(expected), read("out", "ui-new.wdf"))

    def test_ctrl_c_in_a_long_run_keeps_the_old_target(self):
        entries = [(n, b"%07d" % n * 10) for n in range(200000)]
        with open(os.path.join(self.dir, "big.wdf"), "wb") as f:
            f.write(wdf.archive(entries))
        with open(os.path.join(self.dir, "big.vlm"), "wb") as f:
            f.write(b"#SrcFile=big.wdf\r\n#DestFile=new.wdf\r\n")
        with open(os.path.join(self.dir, "new.wdf"), "wb") as f:
            f.write(b"the old target")
        # Standard error on a terminal: the progress line tells that the run has begun.
        master, slave = pty.openpty()
        self.addCleanup(os.close, master)
        process = self.start("run", "--yes", "big.vlm", stdin=subprocess.DEVNULL, stderr=slave)
        os.close(slave)
        read_terminal(master, b"entries")
        process.send_signal(signal.SIGINT)
        process.send_signal(signal.SIGINT)
        read_terminal(master, seconds=300)
        self.assertEqual(130, process.wait(timeout=60))
        with open(os.path.join(self.dir, "new.wdf"), "rb") as f:
            self.assertEqual(b"the old target", f.read())
        self.assertEqual(["big.vlm", "big.wdf", "new.wdf"], sorted(os.listdir(self.dir)))

    def test_ctrl_c_at_a_question_cancels_it(self):
        with open(os.path.join(self.dir, "src.wdf"), "wb") as f:
            f.write(wdf.archive([(1, b"one")]))
        with open(os.path.join(self.dir, "job.vlm"), "wb") as f:
            f.write(b"#SrcFile=src.wdf\r\n#DestFile=new.wdf\r\n")
        with open(os.path.join(self.dir, "new.wdf"), "wb") as f:
            f.write(b"the old target")
        # The question waits on a terminal for its answer.
        master, slave = pty.openpty()
        self.addCleanup(os.close, master)
        process = self.start("run", "job.vlm", stdin=slave, stderr=slave)
        os.close(slave)
        read_terminal(master, b"[y/N]")
        process.send_signal(signal.SIGINT)
        self.assertEqual(130, process.wait(timeout=60))
        with open(os.path.join(self.dir, "new.wdf"), "rb") as f:
            self.assertEqual(b"the old target", f.read())
        self.assertEqual(["job.vlm", "new.wdf", "src.wdf"], sorted(os.listdir(self.dir)))


if __name__ == "__main__":
    unittest.main(verbosity=2)
