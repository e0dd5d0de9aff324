"""The script file type's association as a new user meets it: written at the first start,
left alone while in place, mended where it differs, and removed with -u."""

import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import velmora_e2e as e2e  # noqa: E402

ROOT = "HKEY_CLASSES_ROOT"
EXTENSION = ".vlm"
PROG_ID = "vlmfile"
OTHER_PROG_ID = "vlmotherfile"

REG_SZ = "REG_SZ"
REG_EXPAND_SZ = "REG_EXPAND_SZ"
REG_DWORD = "REG_DWORD"


def reg_string(text):
    return '"%s"' % text.replace("\\", "\\\\").replace('"', '\\"')


def reg_data(kind, text):
    """A default value as a line of a registry file: texts keep their zero byte."""
    if kind == REG_SZ:
        return "@=" + reg_string(text)
    if kind == REG_EXPAND_SZ:
        data = e2e.gbk(text) + b"\0"
        return "@=hex(2):" + ",".join("%02x" % b for b in data)
    if kind == REG_DWORD:
        return "@=dword:%08x" % text
    raise ValueError(kind)


def plant(scenario, values):
    """Stores default values below the classes root: {key: (type, data) or None for a key with
    no value}. Keys named first are created first."""
    lines = ["REGEDIT4", ""]
    for key, value in values.items():
        lines.append("[%s\\%s]" % (ROOT, key))
        if value is not None:
            lines.append(reg_data(*value))
        lines.append("")
    scenario.write("planted.reg", "\r\n".join(lines) + "\r\n")
    code, output = e2e.reg("import", scenario.win("planted.reg").decode("gbk"))
    if code != 0:
        raise AssertionError("reg import failed (%d): %s" % (code, output))


def remove_keys(*keys):
    for key in keys:
        e2e.reg_delete_key("%s\\%s" % (ROOT, key))


def unescaped(quoted):
    """The text of a quoted string of a registry file: a backslash takes the next character."""
    text = []
    escaped = False
    for c in quoted[1:-1]:
        if escaped or c != "\\":
            text.append(c)
            escaped = False
        else:
            escaped = True
    return "".join(text)


def parse_export(text, root=ROOT):
    """The keys of a registry export: {path below root: {value name: (type, data)}}, texts
    without their zero byte."""
    # Exports of version 5 hold expandable texts as UTF-16, older ones in the code page.
    wide = text.startswith("Windows Registry Editor Version 5")
    keys = {}
    current = None
    logical = []
    lines = text.replace("\r\n", "\n").split("\n")
    # Long hexadecimal data continues on the next line after a backslash.
    for line in lines:
        if logical and logical[-1].endswith("\\") and "=hex" in logical[-1]:
            logical[-1] = logical[-1][:-1] + line.strip()
        else:
            logical.append(line)
    for line in logical:
        if line.startswith("[") and line.endswith("]"):
            path = line[1:-1]
            prefix = root + "\\"
            current = keys.setdefault(path[len(prefix):] if path.startswith(prefix) else path,
                                      {})
        elif current is not None and "=" in line:
            name, _, data = line.partition("=")
            name = "" if name == "@" else unescaped(name)
            if data.startswith('"'):
                value = (REG_SZ, unescaped(data))
            elif data.startswith("hex(2):"):
                raw = bytes(int(b, 16) for b in data[7:].split(",") if b)
                value = (REG_EXPAND_SZ, raw.decode("utf-16-le" if wide else "gbk").rstrip("\0"))
            elif data.startswith("dword:"):
                value = (REG_DWORD, int(data[6:], 16))
            else:
                value = ("other", data)
            current[name] = value
    return keys


def stored_tree(scenario, key, root=ROOT):
    """The key below root and everything below it as parse_export gives it; None when the key
    is absent."""
    export = scenario.path("export-%s.reg" % key.strip(".").replace("\\", "_"))
    if os.path.exists(export):
        os.remove(export)
    code, _ = e2e.reg("export", "%s\\%s" % (root, key), scenario.win(os.path.basename(export))
                      .decode("gbk"), "/y")
    if code != 0 or not os.path.exists(export):
        return None
    with open(export, "rb") as f:
        data = f.read()
    if data[:2] in (b"\xff\xfe", b"\xfe\xff"):
        text = data.decode("utf-16").lstrip("\ufeff")
    else:
        text = data.decode("gbk")
    return parse_export(text, root)


def association(program):
    """The keys the program's start leaves, for a program file at `program` (a Windows path)."""
    return {
        EXTENSION: {"": (REG_SZ, PROG_ID)},
        PROG_ID: {"": (REG_SZ, "Velmora Script")},
        PROG_ID + "\\DefaultIcon": {"": (REG_SZ, program + ",1")},
        PROG_ID + "\\Shell": {},
        PROG_ID + "\\Shell\\Open": {},
        PROG_ID + "\\Shell\\Open\\Command": {"": (REG_SZ, '"%s" "%%1"' % program)},
    }


class RegistrationTest(e2e.E2eTestCase):
    def setUp(self):
        super().setUp()
        remove_keys(EXTENSION, PROG_ID, OTHER_PROG_ID)

    def tearDown(self):
        remove_keys(OTHER_PROG_ID)

    def program(self):
        if not e2e.VELMORA_EXE:
            self.skipTest("Velmora.exe is not built")
        return e2e.windows_path(e2e.VELMORA_EXE).decode("gbk")

    def stored(self):
        """Both keys of the association merged into one dictionary of keys."""
        keys = {}
        for key in (EXTENSION, PROG_ID):
            keys.update(stored_tree(self.scenario, key) or {})
        return keys

    def assertStored(self, expected, message=""):
        got = self.stored()
        if got != expected:
            lines = ["stored association differs %s" % message]
            for key in sorted(set(got) | set(expected)):
                if got.get(key) != expected.get(key):
                    lines.append("  %s\n      got:      %r\n      expected: %r" % (
                        key, got.get(key, "(no key)"), expected.get(key, "(no key)")))
            self.fail("\n".join(lines))

    def start(self, arguments=b"", program=None):
        result = self.scenario.run(arguments, program=program)
        self.assertNoWindow(result)
        self.assertExit(result, 0)
        return result

    def test_first_start_writes_the_association_with_a_quoted_command(self):
        program = self.program()
        self.start()
        self.assertStored(association(program))

    def test_second_start_writes_nothing(self):
        # Values of the expandable type with the wanted texts are in place; a write would turn
        # them into plain texts.
        program = self.program()
        expected = association(program)
        planted = {key: {"": (REG_EXPAND_SZ, values[""][1])} if values else {}
                   for key, values in expected.items()}
        plant(self.scenario, {key: values.get("") for key, values in planted.items()})
        self.assertStored(planted, "after planting")
        self.start()
        self.assertStored(planted, "after the second start")

    def test_moved_program_rewrites_only_icon_and_command(self):
        self.start()
        plant(self.scenario, {EXTENSION: (REG_EXPAND_SZ, PROG_ID),
                              PROG_ID: (REG_EXPAND_SZ, "Velmora Script")})
        # A folder with a blank: the command must keep the path in one piece.
        moved = self.scenario.path("Program Files/Velmora.exe")
        os.makedirs(os.path.dirname(moved))
        shutil.copyfile(e2e.VELMORA_EXE, moved)
        moved_win = self.scenario.win(r"Program Files\Velmora.exe").decode("gbk")

        self.start(program=moved)

        expected = association(moved_win)
        expected[EXTENSION] = {"": (REG_EXPAND_SZ, PROG_ID)}
        expected[PROG_ID] = {"": (REG_EXPAND_SZ, "Velmora Script")}
        self.assertStored(expected)

    def test_unquoted_command_is_rewritten(self):
        program = self.program()
        self.start()
        plant(self.scenario, {PROG_ID + "\\Shell\\Open\\Command":
                              (REG_SZ, '%s "%%1"' % program)})
        self.start()
        self.assertStored(association(program))

    def test_extension_naming_another_prog_id_is_set_back(self):
        program = self.program()
        self.start()
        plant(self.scenario, {EXTENSION: (REG_SZ, OTHER_PROG_ID),
                              OTHER_PROG_ID: (REG_SZ, "Other Script"),
                              OTHER_PROG_ID + "\\Shell\\Open\\Command":
                                  (REG_SZ, r'C:\other.exe "%1"')})
        other = stored_tree(self.scenario, OTHER_PROG_ID)
        self.assertIn(OTHER_PROG_ID + "\\Shell\\Open\\Command", other or {})

        self.start()

        self.assertStored(association(program))
        self.assertEqual(other, stored_tree(self.scenario, OTHER_PROG_ID),
                         "the other file type's key must stay as it was")

    def test_number_on_the_extension_stops_before_anything_is_written(self):
        self.program()
        plant(self.scenario, {EXTENSION: (REG_DWORD, 1)})
        self.start()
        self.assertStored({EXTENSION: {"": (REG_DWORD, 1)}})

    def test_removal_takes_both_keys_with_every_subkey(self):
        self.program()
        self.start()
        plant(self.scenario, {PROG_ID + "\\Shell\\Edit\\Command": (REG_SZ, r'C:\edit.exe "%1"'),
                              PROG_ID + "\\a\\b\\c\\d": (REG_SZ, "deep"),
                              EXTENSION + "\\ShellNew": None})
        self.assertIn(PROG_ID + "\\a\\b\\c\\d", self.stored())
        self.start("-u")
        self.assertStored({})

    def test_removal_with_nothing_registered_changes_nothing(self):
        self.program()
        plant(self.scenario, {OTHER_PROG_ID: (REG_SZ, "Other Script")})
        other = stored_tree(self.scenario, OTHER_PROG_ID)
        self.assertEqual({OTHER_PROG_ID: {"": (REG_SZ, "Other Script")}}, other)
        self.start("-u")
        self.assertStored({})
        self.assertEqual(other, stored_tree(self.scenario, OTHER_PROG_ID))


if __name__ == "__main__":
    e2e.main()
