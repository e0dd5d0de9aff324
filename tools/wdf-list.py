#!/usr/bin/env python3
"""Prints the header and the index of a WDF archive, one entry a line, with a preview of each
entry's bytes."""
import struct
import sys


def main(path):
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 12 or data[:4] != b"PFDW":
        sys.exit("%s: not a WDF archive" % path)
    count, index_offset = struct.unpack_from("<II", data, 4)
    print("%s: %d bytes, %d entries, index at %d" % (path, len(data), count, index_offset))
    print("%-10s %10s %10s %6s  %s" % ("id", "offset", "size", "space", "first bytes"))
    for k in range(count):
        at = index_offset + 16 * k
        if at + 16 > len(data):
            print("index entry %d lies beyond the end of the file" % k)
            break
        ident, offset, size, space = struct.unpack_from("<IIII", data, at)
        preview = data[offset:offset + min(size, 24)]
        text = "".join(chr(b) if 32 <= b < 127 else "." for b in preview)
        print("%08X   %10d %10d %6d  %s" % (ident, offset, size, space, text))


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: wdf-list.py ARCHIVE")
    main(sys.argv[1])
