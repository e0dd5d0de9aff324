#!/usr/bin/env python3
"""The release tried as a new user would (tools/test-release.sh runs it after tools/release.sh):

- the Windows zip, unpacked into a fresh Wine prefix: Velmora.exe started once registers
  itself; the example script opened with the command that the registration holds asks its
  question, writes the new archive and shows its report; velmora-cli.exe check accepts it;
- the Debian package, unpacked into a scratch root: its velmora says its version and runs the
  example, its manual page renders, and its metadata names the package and its dependencies.

Both ways of running the example must write the same archive.

Environment: VELMORA_DIST (the dist/ folder) besides what the end-to-end harness needs
(VELMORA_BUILD_DIR of a fresh prefix, VELMORA_WINE_RUN, VELMORA_UI_DRIVER)."""

import importlib.util
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.abspath(os.path.join(HERE, "..", ".."))
sys.path[:0] = [os.path.join(TOP, "tests", "e2e"), os.path.join(TOP, "tools")]
import velmora_e2e as e2e  # noqa: E402
import wdf  # noqa: E402

MAKE_ZIP_SPEC = importlib.util.spec_from_file_location(
    "make_zip", os.path.join(TOP, "tools", "make-zip.py"))
MAKE_ZIP = importlib.util.module_from_spec(MAKE_ZIP_SPEC)
MAKE_ZIP_SPEC.loader.exec_module(MAKE_ZIP)

DIST = os.environ.get("VELMORA_DIST", os.path.join(TOP, "dist"))
VERSION = re.search(r"project\(Velmora VERSION ([0-9.]+)",
                    open(os.path.join(TOP, "CMakeLists.txt")).read()).group(1)
ZIP = os.path.join(DIST, "Velmora-%s-win32.zip" % VERSION)
DEB = os.path.join(DIST, "velmora_%s_amd64.deb" % VERSION)
FOLDER = "Velmora-%s" % VERSION


def read(path):
    with open(path, "rb") as f:
        return f.read()


def expected_example_archive():
    """The entries the example script makes of examples/demo, from the example's own files."""
    example = os.path.join(TOP, "examples", "demo")
    source = dict(wdf.entries(read(os.path.join(example, "ui.wdf"))))
    icons = dict(wdf.entries(read(os.path.join(example, "extra", "icons.wdf"))))
    return [(1, source[1]), (2, source[1]), (4, icons[0x10]),
            (5, read(os.path.join(example, "pictures", "title.bmp"))), (6, source[6])]


EXAMPLE_QUESTION = ("演示：从 ui.wdf 生成 out\\ui-new.wdf\r源文件保持不变。"
                    "\r\r确定执行这个脚本吗？")
EXAMPLE_REPORT = ("演示完成。\r新文件已写好。\r\r新文件中资源数共 5 个，被删除 1 个"
                  "\r\r请注意，以下脚本未被执行：\r@0000FFFF=@Delete")


def zip_contents():
    """The zip's members in stored order as (name, bytes; None for a folder). A name without
    the UTF-8 flag is stored in code page 936, as Chinese Windows reads it."""
    members = []
    with zipfile.ZipFile(ZIP) as archive:
        for info in archive.infolist():
            name = info.filename
            if not info.flag_bits & 0x800:
                name = name.encode("cp437").decode("gbk")
            members.append((name, None if info.is_dir() else archive.read(info)))
    return members


class ZippedProgramsTest(unittest.TestCase):
    """The programs as the zip holds them, read without running them."""

    def setUp(self):
        self.programs = {name.split("/")[-1]: data for name, data in zip_contents()
                         if name.endswith(".exe")}

    def test_no_link_time_stamp(self):
        for name, data in sorted(self.programs.items()):
            header = struct.unpack_from("<I", data, 0x3C)[0]
            self.assertEqual(b"PE\0\0", data[header:header + 4], name)
            self.assertEqual(0, struct.unpack_from("<I", data, header + 8)[0],
                             "%s carries a link time stamp" % name)

    def test_velmora_resources(self):
        with tempfile.TemporaryDirectory() as work:
            exe = os.path.join(work, "Velmora.exe")
            with open(exe, "wb") as f:
                f.write(self.programs["Velmora.exe"])
            checked = subprocess.run([sys.executable, os.path.join(TOP, "tools",
                                                                   "check-resources.py"), exe],
                                     capture_output=True, text=True, timeout=120)
        self.assertEqual(0, checked.returncode, checked.stdout + checked.stderr)


class WindowsZipTest(e2e.E2eTestCase):
    def setUp(self):
        super().setUp()
        for name, data in zip_contents():
            if data is not None:
                self.scenario.write(name, data)
        self.folder = FOLDER

    def test_members_and_texts(self):
        members = zip_contents()
        names = [name for name, _ in members]
        texts = {name[len(FOLDER) + 1:]: data for name, data in members}
        files = sorted(name[len(FOLDER) + 1:] for name, data in members if data is not None)
        self.assertEqual(sorted(["LICENSE", "README-en.txt", "Velmora.exe", "VelmoraStudio.exe",
                                 "example/demo.vlm", "example/extra/icons.wdf",
                                 "example/pictures/title.bmp", "example/ui.wdf",
                                 "velmora-cli.exe", "使用说明.txt"] + MAKE_ZIP.guide_pictures()),
                         files)
        self.assertEqual(sorted(names), names, "members are not sorted")
        guides = {"使用说明.txt": ("gbk", "guide.zh.md"), "README-en.txt": ("utf-8-sig",
                                                                      "guide.en.md")}
        for name, (encoding, guide) in guides.items():
            text = texts[name]
            self.assertNotIn(b"\n", text.replace(b"\r\n", b""), name + " has line ends other than CR LF")
            self.assertEqual(MAKE_ZIP.plain_guide(guide),
                             text.decode(encoding).replace("\r\n", "\n"), name)
        self.assertIn(b"Copyright (c) 2026 the Velmora developers", texts["LICENSE"])

    def test_example_opened_as_the_shell_opens_it(self):
        exe = self.scenario.path(self.folder + "/Velmora.exe")
        registered = self.scenario.run(b"", program=exe)
        self.assertExit(registered, 0)
        self.assertNoWindow(registered)
        command = e2e.reg_value(r"HKCR\vlmfile\Shell\Open\Command")
        self.assertEqual('"%s" "%%1"' % e2e.windows_path(exe).decode("gbk"), command)

        script = self.scenario.win(self.folder + "/example/demo.vlm").decode("gbk")
        result = self.scenario.run(command_line=command.replace("%1", script),
                                   program=exe, timeout_ms=600000)
        self.assertExit(result, 0)
        self.assertEqual(2, len(result.boxes), result.describe())
        self.assertBox(result, result.boxes[0], EXAMPLE_QUESTION, "question",
                       (e2e.IDOK, e2e.IDCANCEL))
        self.assertBox(result, result.boxes[1], EXAMPLE_REPORT, "information")
        written = self.scenario.read(self.folder + "/example/out/ui-new.wdf")
        self.assertEqual(expected_example_archive(), wdf.entries(written))

    def test_cli_checks_the_example(self):
        cli = self.scenario.path(self.folder + "/velmora-cli.exe")
        script = self.scenario.win(self.folder + "/example/demo.vlm").decode("gbk")
        output_path = self.scenario.path("cli-output.txt")
        with open(output_path, "wb") as output:
            completed = subprocess.run([e2e.WINE_RUN, cli, "check", script],
                                       stdin=subprocess.DEVNULL, stdout=output,
                                       stderr=subprocess.STDOUT, timeout=300,
                                       env=dict(os.environ, VELMORA_BUILD_DIR=e2e.BUILD_DIR))
        shown = read(output_path).decode("gbk", errors="replace")
        self.assertEqual(0, completed.returncode, shown)
        self.assertIn("ui-new.wdf", shown)
        self.assertFalse(self.scenario.exists(self.folder + "/example/out"),
                         "check wrote something")

    def test_batch_file_of_the_guide(self):
        guide = read(os.path.join(TOP, "docs", "guide.en.md")).decode("utf-8")
        batch = re.search(r"### In a Windows batch file\n\n```\n(.*?)```", guide, re.S).group(1)
        self.scenario.write(self.folder + "/rebuild.bat", batch.replace("\n", "\r\n"))
        folder = self.scenario.win(self.folder).decode("gbk")
        output_path = self.scenario.path("batch-output.txt")
        with open(output_path, "wb") as output:
            completed = subprocess.run(
                [e2e.WINE_RUN, "cmd", "/c", "cd /d %s && rebuild.bat" % folder],
                stdin=subprocess.DEVNULL, stdout=output, stderr=subprocess.STDOUT, timeout=600,
                env=dict(os.environ, VELMORA_BUILD_DIR=e2e.BUILD_DIR))
        shown = read(output_path).decode("gbk", errors="replace")
        self.assertEqual(0, completed.returncode, shown)
        self.assertEqual("Done.", shown.strip())
        written = self.scenario.read(self.folder + "/example/out/ui-new.wdf")
        self.assertEqual(expected_example_archive(), wdf.entries(written))


class DebianPackageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="velmora-root-")
        subprocess.run(["dpkg-deb", "-x", DEB, cls.root], check=True, timeout=120)
        cls.velmora = os.path.join(cls.root, "usr", "bin", "velmora")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)

    def field(self, name):
        return subprocess.run(["dpkg-deb", "-f", DEB, name], check=True, capture_output=True,
                              text=True, timeout=60).stdout.strip()

    def test_metadata_and_files(self):
        self.assertEqual("velmora", self.field("Package"))
        self.assertEqual(VERSION, self.field("Version"))
        self.assertEqual("amd64", self.field("Architecture"))
        depends = self.field("Depends")
        for library in ("libc6", "libstdc++6"):
            self.assertIn(library, depends)
        for path in ("usr/share/man/man1/velmora.1.gz", "usr/share/doc/velmora/copyright",
                     "usr/share/doc/velmora/changelog.gz", "usr/share/doc/velmora/guide.en.md.gz",
                     "usr/share/doc/velmora/guide.zh.md.gz",
                     "usr/share/doc/velmora/examples/demo/demo.vlm",
                     "usr/share/doc/velmora/examples/demo/extra/icons.wdf"):
            self.assertTrue(os.path.isfile(os.path.join(self.root, path)), path)

    def test_version(self):
        completed = subprocess.run([self.velmora, "--version"], capture_output=True, text=True,
                                   timeout=60)
        self.assertEqual((0, "velmora %s\n" % VERSION), (completed.returncode, completed.stdout))

    def test_runs_the_example(self):
        work = tempfile.mkdtemp(prefix="velmora-example-")
        try:
            example = os.path.join(work, "example")
            # The example as the package installs it, copied as the manual page says.
            shutil.copytree(os.path.join(self.root, "usr/share/doc/velmora/examples/demo"), example)
            checked = subprocess.run([self.velmora, "check", "example/demo.vlm"], cwd=work,
                                     stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
            self.assertEqual(0, checked.returncode, checked.stderr.decode(errors="replace"))
            self.assertFalse(os.path.exists(os.path.join(example, "out")), "check wrote something")
            ran = subprocess.run([self.velmora, "run", "--yes", "example/demo.vlm"], cwd=work,
                                 stdin=subprocess.DEVNULL, capture_output=True, timeout=120,
                                 env=dict(os.environ, LC_ALL="zh_CN.UTF-8"))
            self.assertEqual(0, ran.returncode, ran.stderr.decode(errors="replace"))
            self.assertIn("新文件中资源数共 5 个，被删除 1 个", ran.stdout.decode("utf-8"))
            written = read(os.path.join(example, "out", "ui-new.wdf"))
            self.assertEqual(expected_example_archive(), wdf.entries(written))
        finally:
            shutil.rmtree(work, ignore_errors=True)

    def test_manual_page_renders(self):
        page = subprocess.run(["man", "--warnings", "-E", "UTF-8", "-l",
                               os.path.join(self.root, "usr/share/man/man1/velmora.1.gz")],
                              capture_output=True, text=True, timeout=120,
                              env=dict(os.environ, MANWIDTH="80", MANPAGER="cat"))
        self.assertEqual((0, ""), (page.returncode, page.stderr))
        self.assertIn("velmora - rebuild WDF resource archives from a script", page.stdout)


if __name__ == "__main__":
    unittest.main(verbosity=2)
