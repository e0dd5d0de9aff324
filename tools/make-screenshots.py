#!/usr/bin/env python3
"""Takes the guide's pictures of every window of Velmora.exe and VelmoraStudio.exe from the real
programs under Wine, once on a Chinese and once on an English Windows.

    tools/make-screenshots.py BUILD_DIR

BUILD_DIR is the win32 build with Velmora.exe, velmora-cli.exe, VelmoraStudio.exe and
tests/ui_driver.exe built and its Wine session started (tests/wine/session.sh start BUILD_DIR);
the English pictures come from its English prefix (tests/wine/wine-run.sh,
VELMORA_WINE_LANGUAGE=en). Writes docs/images/<picture>-<zh|en>.png:

    velmora-question   the question after a double-click on the example script
    velmora-progress   the progress window while a run writes its archive
    velmora-report     the report, in front of the progress window
    studio-archive     the Studio with the example's result open and its picture chosen
    studio-script      the Studio with the example script open: its rules as pending changes
    studio-damaged     a damaged archive: the findings and the bad entry in red
    studio-compare     the archive compared with the example's result, every difference named
    studio-backups     File > Backups with the backups two patches kept

Look at every picture before committing it."""

import os
import shutil
import struct
import subprocess
import sys
import zlib

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
sys.path.insert(0, os.path.join(TOP, "tests", "e2e"))
sys.path.insert(0, os.path.join(TOP, "tools"))
import wdf  # noqa: E402

IMAGES = os.path.join(TOP, "docs", "images")


def png_from_bmp(bmp_path, png_path):
    """The driver's 32-bit screenshot as a PNG (no library needed)."""
    import velmora_e2e as e2e
    width, height, pixel = e2e.read_bmp(bmp_path)
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for x in range(width):
            raw += bytes(pixel(x, y))

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    with open(png_path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" +
                chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def studio_ids():
    ids = {}
    with open(os.path.join(TOP, "res", "studio_ids.h")) as header:
        for line in header:
            parts = line.split()
            if len(parts) == 3 and parts[0] == "#define" and parts[2].isdigit():
                ids[parts[1]] = int(parts[2])
    return ids


def damaged_archive():
    """Four entries: text, a TGA picture with transparent squares, one that reaches far beyond
    the end of the file, and plain bytes."""
    picture = bytearray(struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, 64, 32, 32, 0x28))
    for y in range(32):
        for x in range(64):
            picture += bytes((40 + 3 * x, 90 + 4 * y, 200, 255 if (x // 8 + y // 8) % 3 else 0))
    contents = [b"title text\r\n", bytes(picture), b"lost bytes", b"\x00\x01\x02\x03" * 40]
    offsets, data = [], b""
    for content in contents:
        offsets.append(12 + len(data))
        data += content
    sizes = [len(c) for c in contents]
    sizes[2] = 0x7FFFFFF0
    index = b"".join(wdf.index_entry(0xA100 + k, offsets[k], sizes[k]) for k in range(4))
    return wdf.header(4, 12 + len(data)) + data + index


class Pictures:
    def __init__(self, e2e, build, language):
        self.e2e = e2e
        self.build = build
        self.language = language
        self.ids = studio_ids()
        self.scenario = e2e.Scenario("Game")
        self.taken = []

    def keep(self, bmp, picture):
        png = os.path.join(IMAGES, "%s-%s.png" % (picture, self.language))
        png_from_bmp(self.scenario.path(bmp + ".bmp"), png)
        self.taken.append(os.path.relpath(png, TOP))

    def studio(self, argument, steps, **options):
        return self.scenario.run(b'"' + self.scenario.win(argument) + b'"',
                                 program=os.path.join(self.build, "VelmoraStudio.exe"),
                                 main_window="VelmoraStudio", screenshots=True,
                                 steps=steps + ["close"], timeout_ms=120000, **options)

    def take_all(self):
        s = self.scenario
        shutil.copytree(os.path.join(TOP, "examples", "demo"), s.path("demo"))
        # The example run: its question, then its report in front of the progress window.
        s.run(b'"' + s.win("demo\\demo.vlm") + b'"', answers=("ok", "ok"), screenshots=True,
              timeout_ms=120000)
        self.keep("box-1", "velmora-question")
        self.keep("run-2", "velmora-report")
        # A run long enough for the progress window to be seen at work.
        entries = [(0x1000 + k, bytes([k % 251]) * 150000) for k in range(1200)]
        s.write_wdf("big/ui.wdf", entries)
        s.write("big/big.vlm", "#SrcFile=ui.wdf\r\n#DestFile=ui-new.wdf\r\n@00001000=@Delete\r\n")
        s.run(b'"' + s.win("big\\big.vlm") + b'"', answers=("ok", "ok"), screenshots=True,
              timeout_ms=300000)
        self.keep("dialog", "velmora-progress")

        preview = self.ids["IDC_PREVIEW_INFO"]
        # The example's result: its title picture chosen.
        self.studio("demo\\out\\ui-new.wdf", ["select-wait 3 %d" % preview, "wait-ms 300",
                                             "screenshot archive"])
        self.keep("archive", "studio-archive")
        self.studio("demo\\demo.vlm", ["select 4", "wait-ms 300", "screenshot script"],
                    answers=("no",))
        self.keep("script", "studio-script")
        s.write("damaged.wdf", damaged_archive())
        self.studio("damaged.wdf", ["select 1", "wait-ms 300", "screenshot damaged"])
        self.keep("damaged", "studio-damaged")
        self.studio("demo\\ui.wdf", ["command %d" % self.ids["IDM_COMPARE"], "wait-ms 300",
                                     "screenshot compared"],
                    dialog_inputs=(s.win("demo\\out\\ui-new.wdf").decode("ascii"), "-"))
        self.keep("answered-2", "studio-compare")

        # Two patches applied in place by the terminal tool: two backups with their notes.
        s.write_wdf("patched/ui.wdf", [(1, b"first"), (2, b"second")])
        s.write_wdf("versions/2/ui.wdf", [(1, b"first, better"), (2, b"second")])
        s.write_wdf("versions/3/ui.wdf", [(1, b"first, better"), (2, b"second, better")])
        self.e2e.run_cli_batch(s, os.path.join(self.build, "velmora-cli.exe"), [
            b"CLI diff --patch patched\\p2 patched\\ui.wdf versions\\2\\ui.wdf > made.txt 2>&1",
            b"CLI diff --patch patched\\p3 versions\\2\\ui.wdf versions\\3\\ui.wdf >> made.txt 2>&1",
            b"CLI run --yes patched\\p2\\ui-patch.vlm >> made.txt 2>&1",
            b"CLI run --yes patched\\p3\\ui-patch.vlm >> made.txt 2>&1",
            b"echo done=%ERRORLEVEL%> codes.txt",
        ])
        # The list as it opens; its OK is answered with Cancel at the question that follows.
        self.studio("patched\\ui.wdf", ["command %d" % self.ids["IDM_BACKUPS"]],
                    dialog_inputs=("-",), answers=("cancel",))
        self.keep("answered-1", "studio-backups")


def english_prefix(e2e):
    os.environ.update(VELMORA_WINE_LANGUAGE="en", VELMORA_DRIVER_UTF8="1")
    subprocess.run([e2e.WINE_RUN, "--prepare-only"], check=True, timeout=1800,
                   env=dict(os.environ, VELMORA_BUILD_DIR=e2e.BUILD_DIR))
    link = os.path.join(e2e.BUILD_DIR, "wine", "prefix-en", "dosdevices", "v:")
    if os.path.lexists(link):
        os.remove(link)
    os.symlink(os.path.abspath(e2e.SCENARIO_ROOT), link)


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    build = os.path.abspath(sys.argv[1])
    import velmora_e2e as e2e
    e2e.BUILD_DIR = build
    e2e.WINE_RUN = os.path.join(TOP, "tests", "wine", "wine-run.sh")
    e2e.UI_DRIVER = os.path.join(build, "tests", "ui_driver.exe")
    e2e.VELMORA_EXE = os.path.join(build, "Velmora.exe")
    e2e.SCENARIO_ROOT = os.path.join(build, "e2e")
    e2e.map_scenario_drive()
    os.makedirs(IMAGES, exist_ok=True)
    saved = dict(os.environ)
    for language in ("zh", "en"):
        if language == "en":
            english_prefix(e2e)
        pictures = Pictures(e2e, build, language)
        pictures.take_all()
        for taken in pictures.taken:
            print("written: %s" % taken)
    os.environ.clear()
    os.environ.update(saved)
    return 0


if __name__ == "__main__":
    sys.exit(main())
