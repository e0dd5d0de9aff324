#!/usr/bin/env python3
"""Takes the guide's pictures of VelmoraStudio.exe from the real program under Wine.

    tools/make-studio-screenshots.py BUILD_DIR

BUILD_DIR is the win32 build with VelmoraStudio.exe and tests/ui_driver.exe built and its Wine
session started (tests/wine/session.sh start BUILD_DIR). Writes docs/images/studio-*.png."""

import os
import shutil
import struct
import sys
import zlib

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
sys.path.insert(0, os.path.join(TOP, "tests", "e2e"))
sys.path.insert(0, os.path.join(TOP, "tools"))
import wdf  # noqa: E402


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


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    build = os.path.abspath(sys.argv[1])
    import velmora_e2e as e2e
    e2e.BUILD_DIR = build
    e2e.WINE_RUN = os.path.join(TOP, "tests", "wine", "wine-run.sh")
    e2e.UI_DRIVER = os.path.join(build, "tests", "ui_driver.exe")
    e2e.SCENARIO_ROOT = os.path.join(build, "e2e")
    e2e.map_scenario_drive()
    scenario = e2e.Scenario("studio-screenshots")
    shutil.copytree(os.path.join(TOP, "examples", "demo"), scenario.path("demo"))
    # The example script opened as a modder continues it: its rules are the pending changes,
    # and the entry that takes the title picture shows that picture.
    scenario.run(b'"' + scenario.win("demo\\demo.vlm") + b'"',
                 program=os.path.join(build, "VelmoraStudio.exe"), main_window="VelmoraStudio",
                 screenshots=True, steps=["select 4", "wait-ms 300", "screenshot studio-script",
                                          "close"], answers=("no",))
    # A damaged archive: the findings above the list, the entry outside the file in red, and a
    # picture over the checkerboard where it is transparent.
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
    sizes[2] = 0x7FFFFFF0  # reaches far beyond the end of the file
    index = b"".join(wdf.index_entry(0xA100 + k, offsets[k], sizes[k]) for k in range(4))
    scenario.write("damaged.wdf", wdf.header(4, 12 + len(data)) + data + index)
    scenario.run(b'"' + scenario.win("damaged.wdf") + b'"',
                 program=os.path.join(build, "VelmoraStudio.exe"), main_window="VelmoraStudio",
                 screenshots=True, steps=["select 1", "wait-ms 300", "screenshot studio-damaged",
                                          "close"])
    images = os.path.join(TOP, "docs", "images")
    os.makedirs(images, exist_ok=True)
    for name in ("studio-script", "studio-damaged"):
        png_from_bmp(scenario.path(name + ".bmp"), os.path.join(images, name + ".png"))
        print("written: docs/images/%s.png" % name)
    return 0


if __name__ == "__main__":
    sys.exit(main())
