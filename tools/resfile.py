"""Reads compiled Windows resources (.res files as i686-w64-mingw32-windres -O res writes them):
the resource list, dialog templates (DIALOGEX), string tables, version blocks and icon groups.
Shared by tools/dump-res.py and tools/check-resources.py."""

import struct

RT_ICON, RT_DIALOG, RT_STRING, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 5, 6, 14, 16, 24
RT_NAMES = {RT_ICON: "ICON", RT_DIALOG: "DIALOG", RT_STRING: "STRING",
            RT_GROUP_ICON: "GROUP_ICON", RT_VERSION: "VERSION", RT_MANIFEST: "MANIFEST"}
CLASS_ATOMS = {0x80: "Button", 0x81: "Edit", 0x82: "Static", 0x83: "ListBox",
               0x84: "ScrollBar", 0x85: "ComboBox"}


def align4(pos):
    return (pos + 3) & ~3


def read_sz_or_ord(data, pos):
    """A name or an ordinal, as resource headers and dialog templates store them."""
    if struct.unpack_from("<H", data, pos)[0] == 0xFFFF:
        return struct.unpack_from("<H", data, pos + 2)[0], pos + 4
    end = pos
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[pos:end].decode("utf-16-le"), end + 2


def resources(data):
    """(type, name, language, body) of every resource in the file."""
    pos = 0
    while pos < len(data):
        data_size, header_size = struct.unpack_from("<II", data, pos)
        type_, p = read_sz_or_ord(data, pos + 8)
        name, p = read_sz_or_ord(data, p)
        p = align4(p)
        _, _, language, _, _ = struct.unpack_from("<IHHII", data, p)
        body = data[pos + header_size:pos + header_size + data_size]
        if not (type_ == 0 and name == 0 and data_size == 0):  # the file's leading marker
            yield type_, name, language, body
        pos = align4(pos + header_size + data_size)


def parse_dialog(body):
    (version, signature, help_id, ex_style, style, count, x, y, cx, cy) = struct.unpack_from(
        "<HHIIIHhhhh", body, 0)
    dialog = {"version": version, "signature": signature, "help_id": help_id,
              "ex_style": ex_style, "style": style, "rect": (x, y, cx, cy), "controls": []}
    p = 26
    dialog["menu"], p = read_sz_or_ord(body, p)
    dialog["class"], p = read_sz_or_ord(body, p)
    dialog["caption"], p = read_sz_or_ord(body, p)
    if style & 0x40:  # DS_SETFONT
        point, weight, italic, charset = struct.unpack_from("<HHBB", body, p)
        face, p = read_sz_or_ord(body, p + 6)
        dialog["font"] = (point, weight, italic, charset, face)
    for _ in range(count):
        p = align4(p)
        c_help, c_ex, c_style, c_x, c_y, c_cx, c_cy, c_id = struct.unpack_from(
            "<IIIhhhhI", body, p)
        p += 24
        c_class, p = read_sz_or_ord(body, p)
        text, p = read_sz_or_ord(body, p)
        extra = struct.unpack_from("<H", body, p)[0]
        p += 2 + extra
        dialog["controls"].append({"id": c_id, "class": c_class, "text": text,
                                   "style": c_style, "ex_style": c_ex, "help_id": c_help,
                                   "rect": (c_x, c_y, c_cx, c_cy)})
    return dialog


def parse_strings(block, body):
    """{string id: text} of one string table block (16 strings, empty ones left out)."""
    strings = {}
    p = 0
    for i in range(16):
        length = struct.unpack_from("<H", body, p)[0]
        if length:
            strings[(block - 1) * 16 + i] = body[p + 2:p + 2 + length * 2].decode("utf-16-le")
        p += 2 + length * 2
    return strings


def parse_version(body):
    """The fixed file information and a tree of (key, value, children) nodes."""
    fixed = {}

    def node(p):
        length, value_length, kind = struct.unpack_from("<HHH", body, p)
        key, q = read_sz_or_ord(body, p + 6)
        q = align4(q)
        end = p + length
        value = None
        if key == "VS_VERSION_INFO":
            words = struct.unpack_from("<13I", body, q)
            fixed.update(signature=words[0], file_version=words[2:4],
                         product_version=words[4:6], flags_mask=words[6], flags=words[7],
                         os=words[8], type=words[9], subtype=words[10])
            q = align4(q + value_length)
        elif kind == 1 and value_length:
            value = body[q:q + value_length * 2].decode("utf-16-le").rstrip("\0")
            q = align4(q + value_length * 2)
        elif value_length:
            value = list(struct.unpack_from(f"<{value_length // 2}H", body, q))
            q = align4(q + value_length)
        children = []
        while q < end:
            child, q = node(q)
            children.append(child)
            q = align4(q)
        return (key, value, children), end

    tree, _ = node(0)
    return fixed, tree


def parse_group_icon(body):
    """(width, height, colours, planes, bits, bytes, icon id) of each image of an icon group."""
    _, _, count = struct.unpack_from("<HHH", body, 0)
    images = []
    for i in range(count):
        w, h, colours, _, planes, bits, size, icon_id = struct.unpack_from(
            "<BBBBHHIH", body, 6 + i * 14)
        images.append((w or 256, h or 256, colours or 256, planes, bits, size, icon_id))
    return images


def version_string(words):
    high, low = words
    return f"{high >> 16}.{high & 0xFFFF}.{low >> 16}.{low & 0xFFFF}"


def resources_from_pe(data):
    """(type, name, language, body) of every resource linked into a PE program file."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    rsrc_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    if not rsrc_rva:
        return
    table = optional + optional_size
    for i in range(sections):
        _, vsize, va, raw_size, raw_ptr = struct.unpack_from("<8sIIII", data, table + i * 40)
        if va <= rsrc_rva < va + max(vsize, raw_size):
            base = raw_ptr + (rsrc_rva - va)
            delta = raw_ptr - va  # file offset of a virtual address in this section
            break
    else:
        return

    def entries(offset):
        named, numbered = struct.unpack_from("<HH", data, base + offset + 12)
        for k in range(named + numbered):
            name, target = struct.unpack_from("<II", data, base + offset + 16 + k * 8)
            if name & 0x80000000:
                length = struct.unpack_from("<H", data, base + (name & 0x7FFFFFFF))[0]
                start = base + (name & 0x7FFFFFFF) + 2
                name = data[start:start + length * 2].decode("utf-16-le")
            yield name, target

    for type_, types in entries(0):
        for name, names in entries(types & 0x7FFFFFFF):
            for language, leaf in entries(names & 0x7FFFFFFF):
                rva, size = struct.unpack_from("<II", data, base + leaf)
                yield type_, name, language, data[rva + delta:rva + delta + size]


def read_resources(path):
    """The resources of a .res file or of a PE program file."""
    data = open(path, "rb").read()
    return list(resources_from_pe(data) if data[:2] == b"MZ" else resources(data))
