#!/usr/bin/env python3
"""Puts the Windows download together: the two programs, the guide as text files a Windows
editor shows as they are, the license and the example folder, in one zip whose bytes depend only
on its contents and the given time (members sorted, one fixed date, fixed attributes).

    make-zip.py OUTPUT.zip FOLDER-NAME WIN32-BUILD-DIR EPOCH

The guide becomes 使用说明.txt (Chinese, code page 936, the encoding of the Windows it is written
for) and README-en.txt (English with the Chinese messages, so UTF-8 with a byte-order mark, which
every Windows editor recognises); both with CR LF line ends. Names are stored in code page 936
with their UTF-8 form beside them (see WindowsNamedMember)."""

import os
import struct
import sys
import time
import zipfile
import zlib

TOP = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
DOS_DIRECTORY = 0x10
DOS_ARCHIVE = 0x20


def read(path):
    with open(path, "rb") as f:
        return f.read()


def windows_text(path, encoding, byte_order_mark=b""):
    """A UTF-8 text of the repository in the given encoding with CR LF line ends."""
    text = read(path).decode("utf-8").replace("\r\n", "\n").replace("\n", "\r\n")
    return byte_order_mark + text.encode(encoding)


def contents(build_dir):
    """Every file of the download: (path inside the folder, bytes)."""
    files = {
        "Velmora.exe": read(os.path.join(build_dir, "Velmora.exe")),
        "velmora-cli.exe": read(os.path.join(build_dir, "velmora-cli.exe")),
        "VelmoraStudio.exe": read(os.path.join(build_dir, "VelmoraStudio.exe")),
        "使用说明.txt": windows_text(os.path.join(TOP, "docs", "guide.zh.md"), "gbk"),
        "README-en.txt": windows_text(os.path.join(TOP, "docs", "guide.en.md"), "utf-8",
                                      b"\xef\xbb\xbf"),
        "LICENSE": windows_text(os.path.join(TOP, "LICENSE"), "utf-8"),
    }
    example = os.path.join(TOP, "examples", "demo")
    for root, _, names in os.walk(example):
        for name in names:
            path = os.path.join(root, name)
            files["example/" + os.path.relpath(path, example).replace(os.sep, "/")] = read(path)
    return files


class WindowsNamedMember(zipfile.ZipInfo):
    """A member whose name is stored as Windows writes it: in code page 936, which the zip
    folders of Chinese Windows read, followed by the same name in UTF-8 in the extra field that
    other unpackers read (0x7075: version 1, the CRC-32 of the stored name, the name)."""

    def __init__(self, name, date_time):
        super().__init__(name, date_time)
        stored = name.encode("gbk")
        utf8 = name.encode("utf-8")
        if stored != utf8:
            self.extra = struct.pack("<HHBI", 0x7075, 5 + len(utf8), 1,
                                     zlib.crc32(stored)) + utf8

    def _encodeFilenameFlags(self):
        return self.filename.encode("gbk"), self.flag_bits


def member(name, date_time, directory=False):
    info = WindowsNamedMember(name, date_time)
    info.create_system = 0  # attributes in the Windows form
    info.external_attr = DOS_DIRECTORY if directory else DOS_ARCHIVE
    info.compress_type = zipfile.ZIP_STORED if directory else zipfile.ZIP_DEFLATED
    return info


def write_zip(output, folder, files, epoch):
    # Zip times are local times without a zone, from 1980 on: the epoch's UTC time, as is.
    date_time = time.gmtime(max(epoch, 315532800))[:6]
    paths = {folder + "/" + name: data for name, data in files.items()}
    directories = {folder + "/"}
    for path in paths:
        parts = path.split("/")[:-1]
        directories.update("/".join(parts[:n]) + "/" for n in range(1, len(parts) + 1))
    with zipfile.ZipFile(output, "w") as archive:
        for name in sorted(directories | set(paths)):
            if name in directories:
                archive.writestr(member(name, date_time, directory=True), b"")
            else:
                archive.writestr(member(name, date_time), paths[name], compresslevel=9)


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    output, folder, build_dir, epoch = sys.argv[1:]
    write_zip(output, folder, contents(build_dir), int(epoch))


if __name__ == "__main__":
    main()
