#!/usr/bin/env python3
"""Prints the resources of a compiled .res file (i686-w64-mingw32-windres -O res) in readable
form: dialog templates field by field with their style values, string tables, the version
block, icon groups and the manifest. Used to check that the resource compiler produced exactly
the program's resources.

Usage: tools/dump-res.py file.res
"""

import struct
import sys

RT_NAMES = {1: "CURSOR", 3: "ICON", 5: "DIALOG", 6: "STRING", 14: "GROUP_ICON",
            16: "VERSION", 24: "MANIFEST"}
CLASS_ATOMS = {0x80: "Button", 0x81: "Edit", 0x82: "Static", 0x83: "ListBox",
               0x84: "ScrollBar", 0x85: "ComboBox"}


def read_sz_or_ord(data, pos):
    """A name or ordinal as resource headers and dialog templates store them."""
    if struct.unpack_from("<H", data, pos)[0] == 0xFFFF:
        return struct.unpack_from("<H", data, pos + 2)[0], pos + 4
    end = pos
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[pos:end].decode("utf-16-le"), end + 2


def align4(pos):
    return (pos + 3) & ~3


def resources(data):
    pos = 0
    while pos < len(data):
        data_size, header_size = struct.unpack_from("<II", data, pos)
        type_, p = read_sz_or_ord(data, pos + 8)
        name, p = read_sz_or_ord(data, p)
        p = align4(p)
        _, _, language, _, _ = struct.unpack_from("<IHHII", data, p)
        body = data[pos + header_size:pos + header_size + data_size]
        if not (type_ == 0 and name == 0 and data_size == 0):
            yield type_, name, language, body
        pos = align4(pos + header_size + data_size)


def dump_dialog(body):
    dlg_ver, signature, help_id, ex_style, style, count, x, y, cx, cy = struct.unpack_from(
        "<HHIIIHhhhh", body, 0)
    print(f"  DIALOGEX version {dlg_ver} signature {signature:#06x} help id {help_id}")
    print(f"  style {style:#010x} extended style {ex_style:#010x}")
    print(f"  rect {x}, {y}, {cx}, {cy}; {count} controls")
    p = 26
    menu, p = read_sz_or_ord(body, p)
    cls, p = read_sz_or_ord(body, p)
    caption, p = read_sz_or_ord(body, p)
    print(f"  menu {menu!r} class {cls!r} caption {caption!r}")
    if style & 0x40:  # DS_SETFONT
        point, weight, italic, charset = struct.unpack_from("<HHBB", body, p)
        face, p = read_sz_or_ord(body, p + 6)
        print(f"  font {point} pt weight {weight} italic {italic} charset {charset} face {face!r}")
    for _ in range(count):
        p = align4(p)
        c_help, c_ex, c_style, cx_, cy_, cw, ch, c_id = struct.unpack_from("<IIIhhhhI", body, p)
        p += 24
        c_class, p = read_sz_or_ord(body, p)
        text, p = read_sz_or_ord(body, p)
        extra = struct.unpack_from("<H", body, p)[0]
        p += 2 + extra
        class_name = CLASS_ATOMS.get(c_class, c_class) if isinstance(c_class, int) else c_class
        if isinstance(c_class, int):
            class_name = f"{class_name} (atom {c_class:#x})"
        print(f"  control {c_id}: class {class_name} text {text!r} style {c_style:#010x} "
              f"exstyle {c_ex:#010x} help {c_help} rect {cx_}, {cy_}, {cw}, {ch}")


def dump_strings(name, body):
    p = 0
    for i in range(16):
        length = struct.unpack_from("<H", body, p)[0]
        text = body[p + 2:p + 2 + length * 2].decode("utf-16-le")
        p += 2 + length * 2
        if length:
            print(f"  {(name - 1) * 16 + i}: {text!r}")


def dump_version(body, indent="  "):
    def node(p, depth):
        length, value_length, kind = struct.unpack_from("<HHH", body, p)
        key, q = read_sz_or_ord(body, p + 6)
        q = align4(q)
        end = p + length
        if key == "VS_VERSION_INFO":
            fixed = struct.unpack_from("<13I", body, q)
            ms, ls, pms, pls = fixed[2:6]
            print(f"{indent}fixed file version {ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
                  f" product version {pms >> 16}.{pms & 0xFFFF}.{pls >> 16}.{pls & 0xFFFF}"
                  f" flagsmask {fixed[6]:#x} flags {fixed[7]:#x} os {fixed[8]:#x}"
                  f" type {fixed[9]} subtype {fixed[10]}")
            q = align4(q + value_length)
        elif kind == 1 and value_length:
            value = body[q:q + value_length * 2].decode("utf-16-le").rstrip("\0")
            print(f"{indent}{'  ' * depth}{key} = {value!r}")
            q = align4(q + value_length * 2)
        elif value_length:
            words = struct.unpack_from(f"<{value_length // 2}H", body, q)
            print(f"{indent}{'  ' * depth}{key} = {[hex(w) for w in words]}")
            q = align4(q + value_length)
        else:
            print(f"{indent}{'  ' * depth}{key}")
        while q < end:
            q = align4(node(q, depth + 1))
        return end
    node(0, 0)


def main():
    data = open(sys.argv[1], "rb").read()
    for type_, name, language, body in resources(data):
        type_name = RT_NAMES.get(type_, type_)
        print(f"{type_name} {name!r} language {language:#06x} ({len(body)} bytes)")
        if type_ == 5:
            dump_dialog(body)
        elif type_ == 6:
            dump_strings(name, body)
        elif type_ == 16:
            dump_version(body)
        elif type_ == 14:
            _, _, count = struct.unpack_from("<HHH", body, 0)
            for i in range(count):
                w, h, colours, _, planes, bits, size, icon_id = struct.unpack_from(
                    "<BBBBHHIH", body, 6 + i * 14)
                print(f"  image {w or 256}x{h or 256} colours {colours or 256} planes {planes}"
                      f" bits {bits} bytes {size} icon id {icon_id}")
        elif type_ == 24:
            print("  " + body.decode("utf-8").splitlines()[1][:100])


if __name__ == "__main__":
    main()
