#!/usr/bin/env python3
"""Checks the compiled resources of Velmora.exe against what the program needs: the progress
dialog template field by field, the string table against res/catalogue.def, the version block,
the two icon groups and the manifest. Compiles res/velmora.rc with windres unless a .res file or a
program file is given. Exit code 0 when everything matches; every difference is printed as expected/got.

Usage: tools/check-resources.py [file.res | Velmora.exe]
"""

import os
import re
import subprocess
import sys
import tempfile

TOOLS = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(TOOLS)
sys.path.insert(0, TOOLS)
import resfile  # noqa: E402

WS_CHILD, WS_VISIBLE, WS_GROUP = 0x40000000, 0x10000000, 0x00020000
WS_CAPTION, WS_SYSMENU, WS_MINIMIZEBOX = 0x00C00000, 0x00080000, 0x00020000
DS_SETFONT, DS_CENTER = 0x40, 0x800
SS_RIGHT, SS_ICON, SS_LEFTNOWORDWRAP, PBS_SMOOTH = 0x2, 0x3, 0xC, 0x1
WS_EX_TRANSPARENT = 0x20
LANG_ZH_CN = 0x0804
CREDIT = "Velmora 项目组"

DIALOG = {
    "version": 1, "signature": 0xFFFF, "help_id": 0, "ex_style": 0,
    "style": WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_CENTER | DS_SETFONT,
    "rect": (10, 10, 264, 70), "menu": "", "class": "", "caption": "Velmora",
    "font": (9, 0, 0, 1, "宋体"),
}
CHILD = WS_CHILD | WS_VISIBLE
CONTROLS = [  # id, class, text, style, extended style, rectangle
    (1000, "static", 2000, CHILD | SS_ICON, WS_EX_TRANSPARENT, (12, 8, 32, 32)),
    (1001, "static", "", CHILD | SS_LEFTNOWORDWRAP, 0, (44, 8, 208, 12)),
    (1002, "static", "", CHILD | SS_LEFTNOWORDWRAP, 0, (44, 20, 208, 12)),
    (1004, "static", CREDIT, CHILD | WS_GROUP | SS_RIGHT, 0, (0, 40, 252, 12)),
    (1003, "static", "正在生成文件... 0/0", CHILD | SS_LEFTNOWORDWRAP, 0, (12, 40, 108, 12)),
    (1005, "msctls_progress32", "", CHILD | PBS_SMOOTH, 0, (12, 52, 240, 10)),
]
VERSION_STRINGS = {
    "Comments": CREDIT, "CompanyName": CREDIT, "LegalCopyright": CREDIT,
    "FileDescription": "Velmora", "ProductName": "Velmora", "FileVersion": "1.0.0.9",
    "ProductVersion": "1.0", "OriginalFilename": "Velmora.exe", "InternalName": "Velmora",
}

failures = []
checks = 0


def expect(what, expected, got):
    global checks
    checks += 1
    if expected != got:
        failures.append(f"{what}: expected {expected!r}, got {got!r}")


def class_matches(expected, got):
    """Classes compare without case; the static class may be stored as its atom."""
    if isinstance(got, int):
        return expected == "static" and got == 0x82
    return got.lower() == expected


def catalogue():
    """{id: text} from the one catalogue list, with C escapes resolved."""
    texts = {}
    pattern = re.compile(r'^VELMORA_MESSAGE\((\w+), (\d+), "((?:[^"\\]|\\.)*)", "(?:[^"\\]|\\.)*"\)\s*$')
    with open(os.path.join(ROOT, "res", "catalogue.def"), encoding="utf-8") as f:
        for line in f:
            m = pattern.match(line)
            if m:
                texts[int(m.group(2))] = re.sub(
                    r'\\(.)', lambda e: {"r": "\r", "n": "\n", "t": "\t"}.get(e.group(1),
                                                                           e.group(1)),
                    m.group(3))
    return texts


def compile_rc():
    out = os.path.join(tempfile.mkdtemp(), "velmora.res")
    subprocess.run(["i686-w64-mingw32-windres", "-c", "65001", "-I", os.path.join(ROOT, "res"),
                    "-I", os.path.join(ROOT, "src"), os.path.join(ROOT, "res", "velmora.rc"),
                    "-O", "res", "-o", out], check=True, timeout=120)
    return out


def check(res_path):
    found = {(t, n): (lang, body) for t, n, lang, body in resfile.read_resources(res_path)}

    lang, body = found.get((resfile.RT_DIALOG, 100), (None, None))
    expect("dialog 100 present", True, body is not None)
    if body is not None:
        expect("dialog language", LANG_ZH_CN, lang)
        dialog = resfile.parse_dialog(body)
        for field, value in DIALOG.items():
            got = dialog.get(field)
            if field in ("style", "ex_style"):
                expect(f"dialog {field}", hex(value), hex(got))
            else:
                expect(f"dialog {field}", value, got)
        expect("control count", len(CONTROLS), len(dialog["controls"]))
        for (cid, cls, text, style, ex, rect), c in zip(CONTROLS, dialog["controls"]):
            expect(f"control {cid} in order", cid, c["id"])
            expect(f"control {cid} class", True, class_matches(cls, c["class"]))
            expect(f"control {cid} text", text, c["text"])
            expect(f"control {cid} style", hex(style), hex(c["style"]))
            expect(f"control {cid} extended style", hex(ex), hex(c["ex_style"]))
            expect(f"control {cid} help id", 0, c["help_id"])
            expect(f"control {cid} rectangle", rect, c["rect"])

    strings = {}
    for (t, n), (lang, body) in found.items():
        if t == resfile.RT_STRING:
            expect(f"string block {n} language", 0, lang)
            strings.update(resfile.parse_strings(n, body))
    expect("string table", catalogue(), strings)

    for name in ("MAINICON", 2000):
        lang, body = found.get((resfile.RT_GROUP_ICON, name), (None, None))
        expect(f"icon group {name} present", True, body is not None)
        if body is not None:
            images = resfile.parse_group_icon(body)
            expect(f"icon group {name} images", [(32, 32, 256, 1, 8)],
                   [image[:5] for image in images])
            for image in images:
                expect(f"icon {image[6]} present", True,
                       (resfile.RT_ICON, image[6]) in found)

    lang, body = found.get((resfile.RT_VERSION, 1), (None, None))
    expect("version block present", True, body is not None)
    if body is not None:
        fixed, tree = resfile.parse_version(body)
        expect("fixed file version", "1.0.0.9", resfile.version_string(fixed["file_version"]))
        expect("fixed product version", "1.0.0.9",
               resfile.version_string(fixed["product_version"]))
        children = {key: (value, kids) for key, value, kids in tree[2]}
        string_info = children.get("StringFileInfo", (None, []))[1]
        expect("string blocks", ["080403A8"], [key for key, _, _ in string_info])
        values = {key: value for key, value, _ in string_info[0][2]} if string_info else {}
        expect("version strings", VERSION_STRINGS, values)
        var_info = children.get("VarFileInfo", (None, []))[1]
        expect("translation", [("Translation", [0x0804, 936])],
               [(key, value) for key, value, _ in var_info])

    lang, body = found.get((resfile.RT_MANIFEST, 1), (None, None))
    expect("manifest present", True, body is not None)
    if body is not None:
        text = body.decode("utf-8")
        expect("manifest asks for common controls 6", True,
               'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' in text)
        expect("manifest runs as invoker", True, 'level="asInvoker"' in text)


def main():
    check(sys.argv[1] if len(sys.argv) > 1 else compile_rc())
    for failure in failures:
        print(failure)
    print(f"{checks - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
