#!/usr/bin/env python3
"""Puts the Windows download together: the two programs, the guide as text files a Windows
editor shows as they are, the license and the example folder, in one zip whose bytes depend only
on its contents and the given time (members sorted, one fixed date, fixed attributes).

    make-zip.py OUTPUT.zip FOLDER-NAME WIN32-BUILD-DIR EPOCH

The guide becomes 使用说明.txt (Chinese, code page 936, the encoding of the Windows it is written
for) and README-en.txt (English with the Chinese messages, so UTF-8 with a byte-order mark, which
every Windows editor recognises); both with CR LF line ends. The pictures the guide shows lie
beside it in images\, and each picture's place in the text names its file. Names are stored in
UTF-8 with the zip's UTF-8 flag, which the zip folders of every Windows since 7 and every unzip
read, whatever the system's language."""

import os
import re
import sys
import time
import zipfile

TOP = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
DOS_DIRECTORY = 0x10
DOS_ARCHIVE = 0x20


def read(path):
    with open(path, "rb") as f:
        return f.read()


# A picture of the guide in Markdown: ![what it shows](images/name.png)
PICTURE = re.compile(r"!\[([^\]]*)\]\((images/[^)\s]+)\)")
PICTURE_WORDS = {"guide.zh.md": "[图：%s（%s）]", "guide.en.md": "[Picture: %s (%s)]"}


def guide_pictures():
    """Every picture a guide shows, by its path below docs/."""
    found = set()
    for guide in PICTURE_WORDS:
        found.update(path for _, path in PICTURE.findall(read_text(guide)))
    return sorted(found)


def read_text(guide):
    return read(os.path.join(TOP, "docs", guide)).decode("utf-8")


def windows_text(text, encoding, byte_order_mark=b""):
    """A UTF-8 text in the given encoding with CR LF line ends."""
    text = text.replace("\r\n", "\n").replace("\n", "\r\n")
    return byte_order_mark + text.encode(encoding)


def plain_guide(guide):
    """The guide as plain text: a picture's place says what it shows and which file holds it."""
    words = PICTURE_WORDS[guide]
    return PICTURE.sub(lambda m: words % (m.group(1), m.group(2).replace("/", "\\")),
                       read_text(guide))


def contents(build_dir):
    """Every file of the download: (path inside the folder, bytes)."""
    files = {
        "Velmora.exe": read(os.path.join(build_dir, "Velmora.exe")),
        "velmora-cli.exe": read(os.path.join(build_dir, "velmora-cli.exe")),
        "VelmoraStudio.exe": read(os.path.join(build_dir, "VelmoraStudio.exe")),
        "使用说明.txt": windows_text(plain_guide("guide.zh.md"), "gbk"),
        "README-en.txt": windows_text(plain_guide("guide.en.md"), "utf-8", b"\xef\xbb\xbf"),
        "LICENSE": windows_text(read(os.path.join(TOP, "LICENSE")).decode("utf-8"), "utf-8"),
    }
    for picture in guide_pictures():
        files[picture] = read(os.path.join(TOP, "docs", picture))
    example = os.path.join(TOP, "examples", "demo")
    for root, _, names in os.walk(example):
        for name in names:
            path = os.path.join(root, name)
            files["example/" + os.path.relpath(path, example).replace(os.sep, "/")] = read(path)
    return files


def member(name, date_time, directory=False):
    # A name beyond ASCII gets the UTF-8 flag (bit 11) from zipfile itself.
    info = zipfile.ZipInfo(name, date_time)
    # Attributes in the Windows form, made on NTFS: unzip takes the names of FAT-made members
    # for the DOS code page even when they carry the UTF-8 flag, and garbles them.
    info.create_system = 11
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
