"""The archive commands of the real velmora program: list and extract checked against an
independent reading of the archive, every command on hostile archives, and the modder's whole
loop: extract, edit, script --from-dir, check, run, verify; and in a Chinese locale, not one
English word in what people read."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import wdf  # noqa: E402

VELMORA = os.environ.get("VELMORA", "")
EXAMPLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples", "demo")

PNG = b"\x89PNG\r\n\x1a\n" + b"\0" * 24
WAV = b"RIFF\x24\0\0\0WAVEfmt " + b"\0" * 20
NESTED = wdf.archive([(1, b"inner")])


class ToolkitTest(unittest.TestCase):

    def setUp(self):
        if not VELMORA:
            raise unittest.SkipTest("run through ctest; VELMORA names the program")
        self.dir = tempfile.mkdtemp(prefix="velmora-toolkit-")
        self.addCleanup(shutil.rmtree, self.dir)

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def read(self, *parts):
        with open(self.path(*parts), "rb") as f:
            return f.read()

    def write(self, relative, data):
        os.makedirs(os.path.dirname(self.path(relative)), exist_ok=True)
        with open(self.path(relative), "wb") as f:
            f.write(data)

    def velmora(self, *words):
        completed = subprocess.run([VELMORA] + list(words), cwd=self.dir, capture_output=True,
                                   stdin=subprocess.DEVNULL, timeout=300,
                                   env={**os.environ, "LANGUAGE": "", "LC_ALL": "C"})
        return completed.returncode, completed.stdout, completed.stderr

    def test_list_and_extract_agree_with_an_independent_reading(self):
        # Repeated ids, a zero-size entry, a nested archive, a picture, a sound, and an entry
        # whose bytes lie beyond the end of the file.
        blob = wdf.archive([(0xA1B3, PNG), (7, b"x=1\r\n"), (0xA1B3, WAV), (9, b""),
                            (0x10, NESTED), (0xFFFFFFFF, b"\x00\x01")])
        blob = blob[:-wdf.INDEX_ENTRY_SIZE] + wdf.index_entry(0xFFFFFFFF, 0xFFFFFFF0, 2)
        self.write("a.wdf", blob)
        code, out, err = self.velmora("list", "--format", "tsv", "a.wdf")
        self.assertEqual(0, code, err)
        lines = out.decode().splitlines()
        self.assertEqual("id\toffset\tsize\tspace\tkind", lines[0])
        kinds = ["png", "text", "wav", "empty", "wdf", "out-of-bounds"]
        for line, entry, kind in zip(lines[1:], wdf.read(blob).index, kinds, strict=True):
            self.assertEqual(["%08X" % entry[0]] + [str(v) for v in entry[1:]] + [kind],
                             line.split("\t"))

        code, _, err = self.velmora("extract", "-o", "all", "a.wdf")
        self.assertEqual(1, code)
        self.assertIn(b"does not lie within the 216-byte file", err)
        self.assertFalse(os.path.exists(self.path("all")))
        code, _, err = self.velmora("extract", "-o", "out", "a.wdf", "@0000a1b3", "0x7", "9", "10")
        self.assertEqual(0, code, err)
        self.assertEqual(["00000007.txt", "00000009.dat", "00000010.wdf", "0000A1B3-2.wav",
                          "0000A1B3.png"], sorted(os.listdir(self.path("out"))))
        self.assertEqual(PNG, self.read("out", "0000A1B3.png"))
        self.assertEqual(WAV, self.read("out", "0000A1B3-2.wav"))
        self.assertEqual(NESTED, self.read("out", "00000010.wdf"))
        self.assertEqual((0, PNG, b""), self.velmora("extract", "-o", "-", "a.wdf", "A1B3"))
        code, _, err = self.velmora("extract", "-o", "out", "a.wdf", "7")
        self.assertEqual(1, code)
        self.assertIn(b"exists", err)

    def test_hostile_archives_are_refused_by_every_command(self):
        header = wdf.header(1, 12)
        archives = {
            "empty": b"",
            "cut magic": b"PF",
            "cut count": b"PFDW\x01\x00",
            "cut offset": b"PFDW\x01\x00\x00\x00\x0c",
            "count 0xFFFFFFFF": wdf.header(0xFFFFFFFF, 12) + b"\0" * 64,
            "index beyond the end": wdf.header(1, 0xFFFFFFF0) + b"\0" * 16,
            "cut index": header + b"\0" * 15,
        }
        for name, data in archives.items():
            with self.subTest(name):
                self.write("bad.wdf", data)
                refusal = b"The source archive bad.wdf is not a valid WDF archive\n"
                for words in (["list", "bad.wdf"], ["extract", "-o", "x", "bad.wdf"],
                              ["script", "--from-dir", ".", "-o", "s.vlm", "bad.wdf"]):
                    code, _, err = self.velmora(*words)
                    self.assertEqual(1, code, words)
                    self.assertTrue(err.startswith(refusal), err)
                code, out, _ = self.velmora("verify", "bad.wdf")
                self.assertEqual(1, code)
                self.assertTrue(out.endswith(b"bad.wdf: INVALID\n"), out)
                self.assertEqual(["bad.wdf"], os.listdir(self.dir))
        # Entries beyond the end: listed and judged, never read.
        self.write("far.wdf", header + wdf.index_entry(5, 1000, 10))
        self.assertEqual(0, self.velmora("list", "far.wdf")[0])
        code, out, _ = self.velmora("verify", "far.wdf")
        self.assertEqual(1, code)
        self.assertIn(b"far.wdf: error: entry 1 (id 00000005)", out)

    def test_extract_edit_script_check_run_verify(self):
        shutil.copytree(EXAMPLE, self.path("demo"))
        source = wdf.entries(self.read("demo", "ui.wdf"))
        code, _, err = self.velmora("extract", "-o", "改过", "demo/ui.wdf")
        self.assertEqual(0, code, err)
        self.write("改过/00000002.txt", "第二项，改过\r\n".encode("gbk"))
        self.write("改过/00000005.txt", b"five, edited\n")
        self.write("改过/00000099.txt", b"no such entry")
        os.makedirs(self.path("scripts"))
        code, out, err = self.velmora("script", "--from-dir", "改过", "--dest", "out/new.wdf",
                                      "-o", "scripts/mods.vlm", "demo/ui.wdf")
        self.assertEqual(0, code, err)
        self.assertIn("改过/00000099.txt: the archive has no such entry".encode(), err)
        folder = "改过".encode("gbk")
        self.assertEqual(b"#SrcPath=..\\\r\n#SrcFile=demo\\ui.wdf\r\n#DestPath=..\\\r\n"
                         b"#DestFile=out\\new.wdf\r\n"
                         b"@00000002=..\\" + folder + b"\\00000002.txt\r\n"
                         b"@00000005=..\\" + folder + b"\\00000005.txt\r\n",
                         self.read("scripts", "mods.vlm"))
        code, _, err = self.velmora("script", "--from-dir", "改过", "-o", "scripts/mods.vlm",
                                    "demo/ui.wdf")
        self.assertEqual(1, code)
        self.assertIn(b"--force", err)

        self.assertEqual(0, self.velmora("check", "scripts/mods.vlm")[0])
        code, _, err = self.velmora("run", "--yes", "scripts/mods.vlm")
        self.assertEqual(0, code, err)
        self.assertEqual((0, b"out/new.wdf: OK\n", b""), self.velmora("verify", "out/new.wdf"))
        edited = dict(source)
        edited[2] = self.read("改过", "00000002.txt")
        edited[5] = self.read("改过", "00000005.txt")
        self.assertEqual(wdf.archive([(i, edited[i]) for i, _ in source]),
                         self.read("out", "new.wdf"))

    def test_a_chinese_locale_reads_no_english_word(self):
        # The locale compiled for this test, as a Chinese system has it installed.
        locales = self.path("locales")
        os.makedirs(locales)
        made = subprocess.run(["localedef", "-i", "zh_CN", "-f", "UTF-8",
                               os.path.join(locales, "zh_CN.UTF-8")],
                              capture_output=True, timeout=120)
        if made.returncode not in (0, 1) or not os.path.isdir(os.path.join(locales, "zh_CN.UTF-8")):
            self.skipTest("localedef cannot make zh_CN.UTF-8 here")
        self.write("a.wdf", wdf.archive([(1, PNG), (2, b"x=1\r\n"), (1, b""), (3, b"\1\2")]))
        self.write("b.wdf", wdf.archive([(1, PNG), (2, b"x=2\r\n"), (4, WAV)]))
        self.write("file.txt", b"in the way")
        said = b""
        for words in (["list", "a.wdf"], ["verify", "a.wdf", "b.wdf"], ["diff", "--all", "a.wdf",
                      "b.wdf"], ["extract", "-o", "file.txt/sub", "a.wdf"]):
            completed = subprocess.run(
                [VELMORA] + words, cwd=self.dir, capture_output=True, stdin=subprocess.DEVNULL,
                timeout=300, env={**os.environ, "LANGUAGE": "", "LC_ALL": "zh_CN.UTF-8",
                                  "LOCPATH": locales})
            said += completed.stdout + completed.stderr
        text = said.decode("utf-8")
        # Names, ids and file formats are no words of a language.
        text = re.sub(r"[\w./-]*\.(wdf|txt)\b(/sub)?|\b[0-9A-F]{8}(-\d+)?\b|\b(ID|bmp|png|wav)\b", "", text)
        self.assertEqual([], re.findall(r"[A-Za-z]{2,}", text), said.decode("utf-8"))
        # The system's reason for the failed folder is the system's Chinese text.
        self.assertRegex(said.decode("utf-8"), r"创建目标目录 file.txt/sub 失败\s+\S")


if __name__ == "__main__":
    unittest.main(verbosity=2)
