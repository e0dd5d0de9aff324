"""WDF archives for the tests, tools and benchmarks: written from (id, bytes) pairs in the layout
the program writes, read back into header, index and entry bytes, and the layout's pieces for
the damaged archives a test builds by hand.

The layout, every number a little-endian 32-bit word: "PFDW", the entry count, the index
offset; the entries' bytes one after another from offset 12; the index at the end, 16 bytes an
entry: id, offset, size, space.

Import it with the tools folder on the path, relative to the importing file, e.g.
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
    import wdf
"""

import collections
import io
import struct

MAGIC = b"PFDW"
HEADER_SIZE = 12
INDEX_ENTRY_SIZE = 16

IndexEntry = collections.namedtuple("IndexEntry", "id offset size space")
Archive = collections.namedtuple("Archive", "count index_offset index")


class WdfError(ValueError):
    """The bytes are not an archive that can be read as a whole."""


def header(count, index_offset):
    return MAGIC + struct.pack("<II", count, index_offset)


def index_entry(entry_id, offset, size, space=0):
    return struct.pack("<IIII", entry_id, offset, size, space)


def write(stream, entries):
    """Writes the archive of entries, (id, bytes) pairs in index order, at the start of a
    seekable binary stream. The entries may come from a generator: their bytes stream through,
    so an archive may be larger than memory; the header is filled in at the end."""
    stream.write(header(0, 0))
    index = bytearray()
    offset = HEADER_SIZE
    for entry_id, content in entries:
        stream.write(content)
        index += index_entry(entry_id, offset, len(content))
        offset += len(content)
    stream.write(index)
    end = stream.tell()
    stream.seek(0)
    stream.write(header(len(index) // INDEX_ENTRY_SIZE, offset))
    stream.seek(end)


def archive(entries):
    """The bytes of the archive of entries, (id, bytes) pairs in index order."""
    stream = io.BytesIO()
    write(stream, entries)
    return stream.getvalue()


def write_file(path, entries):
    with open(path, "wb") as f:
        write(f, entries)


def read(blob):
    """The header and the index of an archive; WdfError when the header or the index does not
    lie within the bytes."""
    if len(blob) < HEADER_SIZE or blob[:4] != MAGIC:
        raise WdfError("not a WDF archive: starts with %r" % bytes(blob[:HEADER_SIZE]))
    count, index_offset = struct.unpack_from("<II", blob, 4)
    if index_offset + count * INDEX_ENTRY_SIZE > len(blob):
        raise WdfError("the index of %d entries at %d does not lie within the %d bytes"
                       % (count, index_offset, len(blob)))
    index = [IndexEntry(*struct.unpack_from("<IIII", blob, index_offset + INDEX_ENTRY_SIZE * k))
             for k in range(count)]
    return Archive(count, index_offset, index)


def entries(blob):
    """The entries of an archive as (id, bytes) pairs in index order; WdfError when an entry's
    bytes do not lie within the archive."""
    found = []
    for k, entry in enumerate(read(blob).index):
        if entry.offset + entry.size > len(blob):
            raise WdfError("entry %d (id %08X) does not lie within the %d bytes"
                           % (k, entry.id, len(blob)))
        found.append((entry.id, bytes(blob[entry.offset:entry.offset + entry.size])))
    return found
