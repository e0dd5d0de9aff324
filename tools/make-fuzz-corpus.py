#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

Each seed is a small input in the target's own layout (described at the top of
fuzz/<target>_fuzzer.cpp) showing one thing the fuzzer should start from: every kind of rule,
the line breaks, double-byte names, broken archives. Seeds are named by what they show, so the
corpus can be regenerated at any time; files that libFuzzer found and that were kept in the
corpus (names of 40 hexadecimal digits) are left alone.
"""
import os
import re
import struct
import sys

import wdf

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "fuzz", "corpus")
PART = b"\0part\0"


def lines(*texts, eol=b"\r\n"):
    return b"".join(t + eol for t in texts)


SOURCE = wdf.archive([(0xA1B2, b"first"), (0xA1B3, b"second"), (0xA1B4, b"third"),
                  (0xA1B5, b"fourth"), (0xA1B6, b"fifth")])
OTHER = wdf.archive([(0x10, b"from the other archive"), (0x11, b"")])
PICTURE = b"BM picture bytes"

WORKED_SCRIPT = lines(
    b"#RunBegin=Replace the title pictures.\\nBack up the archive first!   ; shown first",
    b"#SrcFile=a.wdf",
    b"#Author=",
    b"#Date=Spring edition",
    b"#RunEnd=Title pictures replaced.",
    b"@0000A1B2=",
    b"@0000a1b3=@0000A1B2",
    b"@0000A1B4=@delete",
    b"@0000A1B5=b.wdf/@00000010",
    b"@0000A1B6=c.bin   ; new title picture",
    b";@0000A1B7=@Delete",
    b"@0000A1B7 =@Delete")


def script_seeds():
    gbk = 1
    return {
        "worked-example": bytes([0]) + WORKED_SCRIPT,
        "lone-cr-breaks": bytes([0]) + lines(b"#SrcFile=a.wdf", b"@00000001=x", eol=b"\r"),
        "lone-lf-breaks": bytes([0]) + lines(b"#SrcFile=a.wdf", b"@00000001=x", eol=b"\n"),
        "lf-then-cr": bytes([0]) + b"#SrcFile=a.wdf\n\r@00000001=@Delete",
        "zero-byte-ends-text": bytes([0]) + b"#SrcFile=a.wdf\r\n\0#RunEnd=never seen\r\n",
        "byte-order-mark": bytes([0]) + b"\xef\xbb\xbf#SrcFile=a.wdf\r\n#SrcFile=b.wdf",
        "blanks-and-case": bytes([0]) + lines(b"#SRCFILE=a.wdf", b"#SrcFile =b.wdf",
                                              b" #SrcFile=c.wdf", b"#Author=a=b"),
        "values-to-clean": bytes([0]) + lines(b"#SrcFile=  a.wdf ; note", b"#Date=;a.wdf",
                                              b"#RunEnd=\\\\n\\N\\n", b"#RunBegin=\t\\n x \\n\x01"),
        "entry-keys": bytes([0]) + lines(b"@00001A2B=1", b"@00001a2b=2", b"@1A2B=3",
                                         b"@00001A2B =4", b"@0000-A2B=5", b"@FFFFFFFF=6"),
        "gbk-trail-bytes": bytes([gbk]) + lines(b"#Author=\x81\\n\x95\\n", b"\x81=x=y",
                                                b"#Date=\xb0\x3d\xb0\x41", b"@\x81\x40=1"),
        "gbk-lead-at-end": bytes([gbk]) + b"#SrcFile=a\x81",
    }


def wdf_seeds():
    three = wdf.archive([(1, b"12345"), (2, b""), (3, b"1234567")])
    return {
        "three-entries": three,
        "empty-index": wdf.archive([]),
        "duplicate-ids": wdf.archive([(7, b"a"), (7, b"bb"), (0x80000007, b"c")]),
        "other-byte-order": b"WDFP" + three[4:],
        "short-header": wdf.header(0, 0)[:8],
        "index-one-byte-short": three[:-1],
        "index-at-file-end": wdf.header(0, 12),
        "index-beyond-file": wdf.header(0, 13),
        "count-2-pow-28": wdf.header(0x10000000, 0) + bytes(20),
        "count-all-ones": wdf.header(0xFFFFFFFF, 0xFFFFFFFF) + bytes(20),
        "entry-with-space": wdf.header(1, 16) + b"data" + wdf.index_entry(9, 12, 2, 2),
        "entry-beyond-32-bits": wdf.header(1, 12) + wdf.index_entry(5, 0x10, 0xFFFFFFF0),
        "index-inside-header": wdf.header(1, 0) + bytes(4),
    }


def run_input(script, *files, flags=0, parameter=0):
    return bytes([flags, parameter]) + PART.join((script,) + files)


def pack_run_seeds():
    basic = lines(b"#SrcFile=a.wdf")
    return {
        "worked-example": run_input(WORKED_SCRIPT, SOURCE, OTHER, PICTURE),
        "copy-without-rules": run_input(basic, SOURCE),
        "empty-source": run_input(basic, wdf.archive([])),
        "delete-everything": run_input(
            basic + lines(*(b"@0000A1B%d=@Delete" % k for k in range(2, 7))), SOURCE),
        "internal-chain": run_input(
            basic + lines(b"@0000A1B2=@0000A1B3", b"@0000A1B4=@A1B2", b"@0000A1B5=@0000A1B5",
                          b"@0000A1B6=@000000000000A1B4"), SOURCE),
        "invalid-internal-ids": run_input(basic + lines(b"@0000A1B3=@Deleted"), SOURCE),
        "value-ending-with-slash": run_input(basic + lines(b"@0000A1B3=pics/"), SOURCE),
        "other-archive-missing-id": run_input(basic + lines(b"@0000A1B2=b.wdf/@99"), SOURCE,
                                              OTHER),
        "other-archive-bad-id": run_input(basic + lines(b"@0000A1B2=b.wdf/@zz"), SOURCE, OTHER),
        "source-as-other-archive": run_input(basic + lines(b"@0000A1B2=a.wdf/@A1B6"), SOURCE),
        "target-as-reference": run_input(basic + lines(b"@0000A1B2=ui.wdf/@1"), SOURCE),
        "missing-file": run_input(basic + lines(b"@0000A1B2=nothing.bin"), SOURCE),
        "wildcard-file": run_input(basic + lines(b"@0000A1B2=*.bin"), SOURCE, OTHER, PICTURE),
        "script-as-file": run_input(basic + lines(b"@0000A1B2=ui.vlm"), SOURCE),
        "third-entry-out-of-bounds": run_input(
            basic, wdf.header(3, 12) + wdf.index_entry(1, 0, 4) + wdf.index_entry(2, 0, 4)
            + wdf.index_entry(3, 0, 49)),
        "reference-beyond-file": run_input(
            basic + lines(b"@00000001=@2"),
            wdf.header(2, 12) + wdf.index_entry(1, 0, 4) + wdf.index_entry(2, 4096, 4)),
        "old-target-replaced": run_input(WORKED_SCRIPT, SOURCE, OTHER, PICTURE, flags=2),
        "old-target-kept-on-failure": run_input(basic + lines(b"@0000A1B4=@xyz"), SOURCE,
                                                flags=2),
        "stopped-after-two": run_input(WORKED_SCRIPT, SOURCE, OTHER, PICTURE, flags=4,
                                       parameter=2),
        "disk-full": run_input(WORKED_SCRIPT, SOURCE, OTHER, PICTURE, flags=8, parameter=9),
        "paths-up-and-down": run_input(
            lines(b"#SrcPath=..\\", b"#SrcFile=p\\a.wdf", b"#DestPath=..", b"#DestFile=p\\x\\n.wdf",
                  b"@0000A1B2=b.wdf/@10"), SOURCE, OTHER),
        "gbk-names": run_input(
            lines(b"#SrcFile=a.wdf", b"#DestFile=\xb0\x5c.wdf", b"@0000A1B2=\x81\\/@10",
                  b"@0000A1B3=\xb0\x41\\c.bin"), SOURCE, OTHER, PICTURE, flags=1),
        "target-equals-source": run_input(lines(b"#SrcFile=a.wdf", b"#DestFile=A.WDF"), SOURCE),
    }


def rule_value_seeds():
    values = [b"", b"   ", b";comment", b"@0000A1B2", b"@a1b2", b"@000000000000A1B2",
              b"@1A2B3C4D5", b"@-1", b"@ A1B2", b"@0xA1B2", b"@", b"@FFFFFFFF", b"@DE",
              b"@delete", b"@DELETE", b"@Delete   ", b"@Deleted", b"@00000002",
              b"b.wdf/@10", b"b.wdf/@zz", b"b.wdf/@", b"sub/b.wdf/@1", b"pics/", b"/",
              b"c.bin", b"c.bin ; picture", b"a.wdf/@DE", b"c.bin/@1", b"out.wdf/@1",
              b"out.wdf", b"*.bin", b"c.?in", b"CON", b"NUL", b"..\\..\\c.bin", b"\\c.bin"]
    seeds = {}
    for k, value in enumerate(values):
        seeds["value-%02d" % k] = bytes([0]) + value
    seeds["gbk-trail-slash"] = bytes([1]) + b"\x81/@10"
    seeds["gbk-trail-at"] = bytes([1]) + b"b.wdf/\x81@10"
    # Found by the fuzzer (flags byte "w", bit 0 set: the double-byte code page): the target's
    # name in another letter case is still the target.
    seeds["target-in-other-letter-case"] = b"w" + b"oUt.wdf"
    return seeds


def command_line_seeds():
    texts = [b"Velmora.exe", b"Velmora.exe name.vlm", b"Velmora.exe sub\\name.vlm extra",
             b"\"C:\\Program Files\\Velmora.exe\" \"D:\\my scripts\\ui.vlm\"",
             b"Velmora.exe \"\" x.vlm", b"Velmora.exe a\"b c\"d", b"Velmora.exe \"open",
             b"Velmora.exe x \"", b"Velmora.exe -u", b"Velmora.exe -U", b"Velmora.exe /u",
             b"Velmora.exe C:\\scripts\\-u.vlm", b"Velmora.exe ..\\name.vlm",
             b"Velmora.exe \\x\\name.vlm", b"Velmora.exe D:name.vlm", b"Velmora.exe d:name.vlm",
             b"Velmora.exe E:name.vlm", b"Velmora.exe D:sub\\name.vlm",
             b"Velmora.exe \\\\srv\\share\\name.vlm", b"Velmora.exe \\\\srv",
             b"\tVelmora.exe\x01a\x1fb", b"Velmora.exe a\0b"]
    seeds = {}
    for k, text in enumerate(texts):
        seeds["line-%02d" % k] = bytes([0]) + text
    seeds["at-drive-root"] = bytes([2]) + b"Velmora.exe name.vlm"
    seeds["unreadable-current"] = bytes([4]) + b"Velmora.exe name.vlm D:name.vlm"
    seeds["gbk-trail-quote"] = bytes([1]) + b"Velmora.exe \x81\" x\" \x81\\ \x81:y"
    seeds["gbk-drive"] = bytes([1]) + b"Velmora.exe \x81:name.vlm"
    return seeds


def archive_seeds():
    seeds = dict(wdf_seeds())
    seeds["entry-kinds"] = wdf.archive([
        (1, b"BM" + bytes(60)), (2, b"\x89PNG\r\n\x1a\n" + bytes(8)), (3, b"\xff\xd8\xff\xe0JFIF"),
        (4, b"GIF89a" + bytes(6)), (5, b"RIFF" + struct.pack("<I", 12) + b"WAVEfmt "), (6, b"OggS" + bytes(8)),
        (7, b"ID3\x03" + bytes(8)), (8, wdf.archive([(9, b"nested")])), (9, b"plain text\r\n"),
        (10, bytes(range(256))), (11, b"")])
    seeds["overlapping-and-uncovered"] = (wdf.header(3, 40) + b"0123456789" + b"gap!" * 4
                                          + b"tail" + wdf.index_entry(1, 12, 8)
                                          + wdf.index_entry(1, 16, 8, 2)
                                          + wdf.index_entry(2, 100, 0))
    return seeds


TARGETS = {
    "archive": archive_seeds,
    "script": script_seeds,
    "wdf": wdf_seeds,
    "pack_run": pack_run_seeds,
    "rule_value": rule_value_seeds,
    "command_line": command_line_seeds,
}

FOUND = re.compile(r"^[0-9a-f]{40}$")  # inputs libFuzzer found, kept on purpose


def main():
    wanted = sys.argv[1:] or sorted(TARGETS)
    for target in wanted:
        folder = os.path.join(ROOT, target)
        os.makedirs(folder, exist_ok=True)
        seeds = TARGETS[target]()
        for name in os.listdir(folder):
            if not FOUND.match(name) and name not in seeds:
                os.remove(os.path.join(folder, name))
        for name, data in seeds.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
