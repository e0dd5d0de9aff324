#!/usr/bin/env python3
"""Writes the demo example of Velmora: a small archive, another archive, a picture made for
this project, and a script that uses every kind of rule and #RunEnd.

The files are committed; run this again only to change them."""
import os
import struct
import zlib

import wdf

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "examples", "demo")


def title_bmp(width=48, height=24):
    """A 24-bit picture: a sunrise over a sea, drawn from arithmetic."""
    row_size = (width * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(height):  # bottom-up rows
        row = bytearray()
        for x in range(width):
            if y < height // 3:  # the sea
                b, g, r = 160 + (x * 2) % 60, 90, 30
            else:  # the sky, with a sun
                dx, dy = x - width // 2, y - height // 3
                if dx * dx + dy * dy * 4 < 60:
                    b, g, r = 40, 200, 255
                else:
                    b, g, r = 230, 170 + y * 2, 120 + y * 4
            row += bytes((b, g, min(r, 255)))
        row += b"\0" * (row_size - len(row))
        pixels += row
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + bytes(pixels)


SCRIPT = "\r\n".join([
    "; Velmora 演示脚本：每一种规则各用一次",
    "#RunBegin=演示：从 ui.wdf 生成 out\\ui-new.wdf\\n源文件保持不变。",
    "#SrcFile=ui.wdf",
    "#DestFile=out\\ui-new.wdf",
    "#Author=",
    "#Date=",
    "#RunEnd=演示完成。\\n新文件已写好。",
    "@00000001=                            ; keep: the entry's own bytes",
    "@00000002=@00000001                   ; another entry of the same archive",
    "@00000003=@Delete                     ; left out of the new archive",
    "@00000004=extra\\icons.wdf/@00000010   ; an entry of another archive",
    "@00000005=pictures\\title.bmp          ; the whole contents of a file",
    "@0000FFFF=@Delete                     ; no such entry: reported as not executed",
    "",
])


def main():
    os.makedirs(os.path.join(OUT, "extra"), exist_ok=True)
    os.makedirs(os.path.join(OUT, "pictures"), exist_ok=True)
    source = [(i, ("resource %d of ui.wdf\n" % i).encode() * i) for i in range(1, 7)]
    wdf.write_file(os.path.join(OUT, "ui.wdf"), source)
    icons = [(0x10, zlib.compress(b"icon sixteen " * 20)), (0x11, b"icon seventeen")]
    wdf.write_file(os.path.join(OUT, "extra", "icons.wdf"), icons)
    with open(os.path.join(OUT, "pictures", "title.bmp"), "wb") as f:
        f.write(title_bmp())
    with open(os.path.join(OUT, "demo.vlm"), "wb") as f:
        f.write(SCRIPT.encode("gbk"))


if __name__ == "__main__":
    main()
