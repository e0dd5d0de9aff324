#!/usr/bin/env python3
"""The texts that ship beside the programs: the two guides explain every message of the
catalogue, word for word, and no message the program no longer has; the Chinese guide can be
written in code page 936 for the Windows download; the manual page renders without a warning
and names every command and exit code; the Windows zip (tools/make-zip.py, over stand-ins for
the programs) names its members so that every Windows and unzip read them, and holds every
picture its guides name.

In the guides a message is a list item that holds nothing but its text in backquotes:
    - `打开源文件 %s 失败    \\r\\r%s`
written as the catalogue writes it: a carriage return as the two characters \\r, placeholders
as they are."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

TOP = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
GUIDES = ("docs/guide.en.md", "docs/guide.zh.md")
COMMANDS = ("run", "check", "list", "extract", "verify", "script", "diff", "restore", "help")
EXIT_CODES = ("0", "1", "2", "130")


def read(relative):
    with open(os.path.join(TOP, relative), encoding="utf-8") as f:
        return f.read()


def catalogue_texts():
    """Every message of res/catalogue.def as the guides write it."""
    entries = re.findall(r'^VELMORA_MESSAGE\((\w+),\s*\d+,\s*"((?:[^"\\]|\\.)*)",\s*"(?:[^"\\]|\\.)*"\)\s*$',
                         read("res/catalogue.def"), re.MULTILINE)
    escapes = {"r": "\r", "n": "\n", "t": "\t", "\\": "\\", '"': '"'}
    texts = {}
    for key, literal in entries:
        text = re.sub(r"\\(.)", lambda m: escapes[m.group(1)], literal)
        texts[key] = text.replace("\r", "\\r")
    return texts


def guide_messages(text):
    return re.findall(r"^- `([^`]+)`$", text, re.MULTILINE)


class GuideTest(unittest.TestCase):
    def test_catalogue_is_read(self):
        texts = catalogue_texts()
        self.assertGreaterEqual(len(texts), 30, "res/catalogue.def was not understood")
        self.assertEqual("打开源文件 %s 失败    \\r\\r%s", texts["MsgSourceOpenFailed"])

    def test_every_message_is_explained_once_and_nothing_else(self):
        wanted = catalogue_texts()
        for guide in GUIDES:
            with self.subTest(guide=guide):
                listed = guide_messages(read(guide))
                missing = [key for key, text in wanted.items() if text not in listed]
                stale = [text for text in listed if text not in wanted.values()]
                repeated = sorted({text for text in listed if listed.count(text) > 1})
                self.assertEqual([], missing, "messages of the catalogue not in " + guide)
                self.assertEqual([], stale, "messages in %s that the program lacks" % guide)
                self.assertEqual([], repeated, "messages listed twice in " + guide)

    def test_chinese_guide_fits_code_page_936(self):
        text = read("docs/guide.zh.md")
        bad = sorted({c for c in text if not _encodable(c, "gbk")})
        self.assertEqual([], bad, "characters that 使用说明.txt cannot hold")

    def test_guides_name_every_command_and_exit_code(self):
        for guide in GUIDES:
            text = read(guide)
            for command in COMMANDS:
                self.assertIn("velmora %s" % command, text, guide)
            for code in EXIT_CODES:
                self.assertRegex(text, r"\n\| %s \|" % code, guide)


def _encodable(character, codec):
    try:
        character.encode(codec)
        return True
    except UnicodeEncodeError:
        return False


@unittest.skipUnless(shutil.which("man"), "man is not installed")
class ManualPageTest(unittest.TestCase):
    def test_renders_without_warnings_and_names_commands_and_exit_codes(self):
        page = subprocess.run(
            ["man", "--warnings", "-E", "UTF-8", "-l", os.path.join(TOP, "docs", "velmora.1")],
            capture_output=True, text=True, timeout=120,
            env=dict(os.environ, MANWIDTH="80", MANPAGER="cat", LC_ALL="C.UTF-8"))
        self.assertEqual(0, page.returncode, page.stderr)
        self.assertEqual("", page.stderr)
        for command in COMMANDS:
            self.assertRegex(page.stdout, r"velmora %s\b" % command)
        for option in ("--yes", "--quiet", "--codepage", "--format", "--force", "--from-dir",
                       "--all", "--dest", "--help", "--version"):
            self.assertIn(option, page.stdout)
        exit_status = page.stdout.split("EXIT STATUS", 1)[1].split("EXAMPLES", 1)[0]
        self.assertEqual(list(EXIT_CODES), re.findall(r"^ {7}(\d+)\b", exit_status, re.MULTILINE))


class WindowsZipTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="velmora-zip-")
        for program in ("Velmora.exe", "velmora-cli.exe", "VelmoraStudio.exe"):
            with open(os.path.join(cls.work, program), "wb") as f:
                f.write(b"MZ " + program.encode())
        cls.zips = []
        for n in (1, 2):
            cls.zips.append(os.path.join(cls.work, "%d.zip" % n))
            subprocess.run([sys.executable, os.path.join(TOP, "tools", "make-zip.py"),
                            cls.zips[-1], "Velmora-1", cls.work, "1765108800"], check=True,
                           timeout=120)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def test_the_same_contents_give_the_same_bytes(self):
        with open(self.zips[0], "rb") as first, open(self.zips[1], "rb") as second:
            self.assertEqual(first.read(), second.read())

    def test_names_beyond_ascii_are_utf8_with_the_flag(self):
        with zipfile.ZipFile(self.zips[0]) as archive:
            for info in archive.infolist():
                flagged = bool(info.flag_bits & 0x800)
                self.assertEqual(not info.filename.isascii(), flagged, info.filename)
            self.assertIn("Velmora-1/使用说明.txt", archive.namelist())

    @unittest.skipUnless(shutil.which("unzip"), "unzip is not installed")
    def test_unzip_lists_the_chinese_name(self):
        listed = subprocess.run(["unzip", "-l", self.zips[0]], capture_output=True, timeout=60,
                                env=dict(os.environ, LC_ALL="C.UTF-8"))
        self.assertEqual(0, listed.returncode, listed.stderr)
        self.assertIn("Velmora-1/使用说明.txt", listed.stdout.decode("utf-8"))

    def test_guides_are_plain_text_with_their_pictures_beside_them(self):
        with zipfile.ZipFile(self.zips[0]) as archive:
            names = set(archive.namelist())
            guides = {"使用说明.txt": archive.read("Velmora-1/使用说明.txt").decode("gbk"),
                      "README-en.txt": archive.read("Velmora-1/README-en.txt").decode("utf-8-sig")}
        for name, text in guides.items():
            self.assertNotIn("](", text, name + " holds a link in Markdown")
            pictures = re.findall(r"images\\[\w.-]+\.png", text)
            self.assertTrue(pictures, name + " names no picture")
            for picture in pictures:
                self.assertIn("Velmora-1/" + picture.replace("\\", "/"), names, name)


if __name__ == "__main__":
    unittest.main(verbosity=2)
