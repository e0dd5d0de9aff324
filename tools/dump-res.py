#!/usr/bin/env python3
"""Prints the resources of a compiled .res file (i686-w64-mingw32-windres -O res) in readable
form: dialog templates field by field with their style values, string tables, the version
block, icon groups and the manifest.

Usage: tools/dump-res.py file.res | program.exe
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import resfile  # noqa: E402


def class_name(c):
    return f"{resfile.CLASS_ATOMS.get(c, '?')} (atom {c:#x})" if isinstance(c, int) else repr(c)


def print_dialog(d):
    print(f"  DIALOGEX version {d['version']} signature {d['signature']:#06x}"
          f" help id {d['help_id']}")
    print(f"  style {d['style']:#010x} extended style {d['ex_style']:#010x}")
    print(f"  rect {d['rect']}; {len(d['controls'])} controls")
    print(f"  menu {d['menu']!r} class {d['class']!r} caption {d['caption']!r}")
    if "font" in d:
        point, weight, italic, charset, face = d["font"]
        print(f"  font {point} pt weight {weight} italic {italic} charset {charset}"
              f" face {face!r}")
    for c in d["controls"]:
        print(f"  control {c['id']}: class {class_name(c['class'])} text {c['text']!r}"
              f" style {c['style']:#010x} exstyle {c['ex_style']:#010x} help {c['help_id']}"
              f" rect {c['rect']}")


def print_version(body):
    fixed, tree = resfile.parse_version(body)
    print(f"  fixed file version {resfile.version_string(fixed['file_version'])}"
          f" product version {resfile.version_string(fixed['product_version'])}"
          f" flags mask {fixed['flags_mask']:#x} flags {fixed['flags']:#x} os {fixed['os']:#x}"
          f" type {fixed['type']} subtype {fixed['subtype']}")

    def walk(node, depth):
        key, value, children = node
        if depth:
            shown = [hex(w) for w in value] if isinstance(value, list) else value
            print("  " * (depth + 1) + (f"{key} = {shown!r}" if value is not None else key))
        for child in children:
            walk(child, depth + 1)
    walk(tree, 0)


def main():
    for type_, name, language, body in resfile.read_resources(sys.argv[1]):
        print(f"{resfile.RT_NAMES.get(type_, type_)} {name!r} language {language:#06x}"
              f" ({len(body)} bytes)")
        if type_ == resfile.RT_DIALOG:
            print_dialog(resfile.parse_dialog(body))
        elif type_ == resfile.RT_STRING:
            for string_id, text in resfile.parse_strings(name, body).items():
                print(f"  {string_id}: {text!r}")
        elif type_ == resfile.RT_VERSION:
            print_version(body)
        elif type_ == resfile.RT_GROUP_ICON:
            for w, h, colours, planes, bits, size, icon_id in resfile.parse_group_icon(body):
                print(f"  image {w}x{h} colours {colours} planes {planes} bits {bits}"
                      f" bytes {size} icon id {icon_id}")
        elif type_ == resfile.RT_MANIFEST:
            print("  " + body.decode("utf-8").splitlines()[1][:100])


if __name__ == "__main__":
    main()
