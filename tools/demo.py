#!/usr/bin/env python3
"""The headless half of tools/demo.sh: runs the example script through Velmora.exe under the UI
driver, answers every box with OK, prints what the program showed, keeps a screenshot of the
progress dialog and lists the new archive with the terminal tool.

    tools/demo.py EXAMPLE_DIR VELMORA"""
import glob
import os
import shutil
import struct
import subprocess
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
import velmora_e2e as e2e  # noqa: E402


def png_from_bmp(bmp_path):
    """Writes a PNG beside a 32-bit top-down BMP of the UI driver; returns its path."""
    with open(bmp_path, "rb") as f:
        data = f.read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    rows = range(abs(height)) if height < 0 else range(height - 1, -1, -1)
    raw = bytearray()
    for y in rows:
        raw.append(0)
        line = data[offset + y * width * 4:offset + (y + 1) * width * 4]
        for x in range(width):
            b, g, r = line[4 * x:4 * x + 3]
            raw += bytes((r, g, b))

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    png_path = os.path.splitext(bmp_path)[0] + ".png"
    with open(png_path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" +
                chunk(b"IHDR", struct.pack(">IIBBBBB", width, abs(height), 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(bytes(raw))) + chunk(b"IEND", b""))
    return png_path


def main(example_dir, velmora):
    e2e.check_environment()
    e2e.map_scenario_drive()
    scenario = e2e.Scenario("demo")
    shutil.rmtree(scenario.dir)
    shutil.copytree(example_dir, scenario.dir)
    print("Running %s (every box is answered with OK)" % e2e.shown(scenario.win("demo.vlm")))
    result = scenario.run(e2e.gbk(b'"' + scenario.win("demo.vlm") + b'"'), screenshots=True,
                          timeout_ms=600000)
    for box in result.boxes:
        print("\n--- box %d: %s, icon %s ---" % (box.number, e2e.shown(box.caption), box.icon))
        print(box.text.decode("gbk", errors="replace").replace("\r\n", "\n").replace("\r", "\n"))
    if result.dialog_samples:
        last = result.dialog_samples[-1]
        print("\n--- progress dialog, last seen ---\n%s" % last)
    print("\nexit code: %s" % result.exit_code)
    shots = sorted(glob.glob(os.path.join(scenario.dir, "run-*.bmp")))
    for shot in shots:
        print("screenshot of the progress dialog with its report: %s" % png_from_bmp(shot))
    archive = scenario.path("out/ui-new.wdf")
    if os.path.exists(archive):
        print()
        subprocess.run([velmora, "list", archive], check=True)
    else:
        sys.exit("no new archive was written")


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: tools/demo.py EXAMPLE_DIR VELMORA")
    main(sys.argv[1], sys.argv[2])
