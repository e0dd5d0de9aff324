"""Harness of the end-to-end tests: runs Windows programs under Wine through the UI driver and
reads what they showed.

Each test gets its own scenario directory below <build>/e2e, which the build's Wine prefix sees
as drive V: (so paths in messages are short and predictable: V:\\<scenario>\\name.vlm). Texts
are byte strings in code page 936, as the program shows them; helpers accept str and encode it
as GBK. A failing comparison prints both sides decoded as GBK, escapes visible.

Environment (set by tests/CMakeLists.txt): VELMORA_BUILD_DIR, VELMORA_WINE_RUN,
VELMORA_UI_DRIVER, VELMORA_SAMPLE_APP, and VELMORA_EXE when the program is built.
"""

import os
import re
import shutil
import struct
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import wdf  # noqa: E402

BUILD_DIR = os.environ.get("VELMORA_BUILD_DIR", "")
WINE_RUN = os.environ.get("VELMORA_WINE_RUN", "")
UI_DRIVER = os.environ.get("VELMORA_UI_DRIVER", "")
SAMPLE_APP = os.environ.get("VELMORA_SAMPLE_APP", "")
VELMORA_EXE = os.environ.get("VELMORA_EXE", "")

DRIVE = "V:"
SCENARIO_ROOT = os.path.join(BUILD_DIR, "e2e") if BUILD_DIR else ""
BLANKS = b"    "  # every message of the program ends in four blanks
CAPTION = b"Velmora"

IDOK = 1
IDCANCEL = 2


def gbk(text):
    """The bytes of a text in code page 936; bytes pass unchanged."""
    return text if isinstance(text, bytes) else text.encode("gbk")


def shown(data):
    """Bytes in readable form: decoded as GBK, control characters escaped."""
    text = data.decode("gbk", errors="backslashreplace")
    return repr(text)[1:-1]


def windows_path(linux_path):
    """A Linux path as the prefix sees it: V: below the scenario root, Z: elsewhere."""
    path = os.path.abspath(linux_path)
    root = os.path.abspath(SCENARIO_ROOT)
    if path == root or path.startswith(root + os.sep):
        return gbk(DRIVE + path[len(root):].replace("/", "\\") or DRIVE + "\\")
    return gbk("Z:" + path.replace("/", "\\"))


def runs_under_cpu_emulator():
    """Whether Wine's 32-bit code runs through a user-mode CPU emulator on this machine (see
    tools/install-deps.sh): everything works, roughly ten times slower."""
    return os.path.exists("/proc/sys/fs/binfmt_misc/qemu-i386")


def long_tests_wanted():
    """Long runs (tens of thousands of entries) take many minutes under the emulator; there
    they run only when VELMORA_E2E_LONG=1."""
    return os.environ.get("VELMORA_E2E_LONG") == "1" or not runs_under_cpu_emulator()


def check_environment():
    missing = [name for name, value in (("VELMORA_BUILD_DIR", BUILD_DIR),
                                         ("VELMORA_WINE_RUN", WINE_RUN),
                                         ("VELMORA_UI_DRIVER", UI_DRIVER)) if not value]
    if missing:
        raise unittest.SkipTest("run through ctest; not set: " + ", ".join(missing))


def map_scenario_drive():
    """Points drive V: of the build's prefix at the scenario root."""
    os.makedirs(SCENARIO_ROOT, exist_ok=True)
    devices = os.path.join(BUILD_DIR, "wine", "prefix", "dosdevices")
    if not os.path.isdir(devices):
        # A new prefix takes minutes where Wine's 32-bit code runs under a CPU emulator.
        subprocess.run([WINE_RUN, "--prepare-only"], check=True, timeout=1800,
                       env=dict(os.environ, VELMORA_BUILD_DIR=BUILD_DIR))
    link = os.path.join(devices, DRIVE.lower())
    target = os.path.abspath(SCENARIO_ROOT)
    if os.path.islink(link) and os.readlink(link) == target:
        return
    if os.path.lexists(link):
        os.remove(link)
    os.symlink(target, link)


# ---- What the driver saw ----------------------------------------------------------------------

class Box:
    def __init__(self, fields):
        self.number = int(fields[0])
        values = dict(field.split("=", 1) for field in fields[1:])
        self.caption = bytes.fromhex(values["caption"])
        self.text = bytes.fromhex(values["text"])
        self.icon = values["icon"]
        self.buttons = []
        for button in filter(None, values["buttons"].split(",")):
            button_id, label = button.split(":", 1)
            self.buttons.append((int(button_id), bytes.fromhex(label)))
        self.owned = values["owned"] == "1"

    @property
    def button_ids(self):
        return sorted(button_id for button_id, _ in self.buttons)

    def __str__(self):
        return "box %d: caption %s, icon %s, buttons %s, %s\n    text: %s" % (
            self.number, shown(self.caption), self.icon,
            " ".join("%d:%s" % (i, shown(t)) for i, t in self.buttons),
            "owned" if self.owned else "no owner", shown(self.text))


class DialogSample:
    def __init__(self, fields):
        values = dict(field.split("=", 1) for field in fields)
        self.title = bytes.fromhex(values["title"])
        self.texts = {n: bytes.fromhex(values["t%d" % n]) for n in (1001, 1002, 1003, 1004)}
        self.pos = int(values["pos"])
        self.range = (int(values["min"]), int(values["max"]))
        self.enabled = values["enabled"] == "1"

    def __str__(self):
        return "dialog: title %s, 1001 %s, 1002 %s, 1003 %s, 1004 %s, pos %d, range %d-%d%s" % (
            shown(self.title), *(shown(self.texts[n]) for n in (1001, 1002, 1003, 1004)),
            self.pos, *self.range, "" if self.enabled else ", disabled")


class Result:
    """The events of one run, in order."""

    def __init__(self, raw, command_line, driver_output=b""):
        self.raw = raw
        self.command_line = command_line
        self.driver_output = driver_output
        self.events = []
        self.boxes = []
        self.dialog_samples = []
        self.windows = []
        self.exit_code = None
        self.killed_at = None
        self.timed_out = False
        self.errors = []
        for line in raw.decode("ascii", errors="replace").splitlines():
            kind, _, rest = line.partition("\t")
            fields = rest.split("\t") if rest else []
            if kind == "box":
                event = Box(fields)
                self.boxes.append(event)
            elif kind == "dialog":
                event = DialogSample(fields)
                self.dialog_samples.append(event)
            elif kind == "window":
                values = dict(field.split("=", 1) for field in fields)
                event = "window class %s title %s" % (
                    shown(bytes.fromhex(values["class"])), shown(bytes.fromhex(values["title"])))
                self.windows.append(event)
            elif kind == "exit":
                self.exit_code = int(fields[0])
                event = "exit code %d" % self.exit_code
            elif kind == "killed":
                self.killed_at = int(fields[0])
                event = "killed at bar position %d" % self.killed_at
            elif kind == "timeout":
                self.timed_out = True
                event = "killed after %s ms" % fields[0]
            elif kind == "error":
                self.errors.append(rest)
                event = "driver error " + rest
            else:
                event = " ".join([kind] + fields)
            self.events.append(event)

    def describe(self):
        lines = ["command line: " + shown(self.command_line)]
        lines += ["  " + str(event) for event in self.events]
        if self.driver_output.strip():
            lines.append("driver output: " + shown(self.driver_output))
        return "\n".join(lines)


def event_fields(result, kind):
    """The fields of every event of one kind in a run's result (list, text, waited, memory ...),
    as dicts: name=value fields by name, plain fields by their position."""
    found = []
    for line in result.raw.decode("ascii", errors="replace").splitlines():
        name, _, rest = line.partition("\t")
        if name != kind:
            continue
        fields = {}
        for n, field in enumerate(rest.split("\t")):
            key, equal, value = field.partition("=")
            fields[key if equal else n] = value if equal else field
        found.append(fields)
    return found


def read_bmp(path):
    """(width, height, pixel) of a 32-bit BMP the driver saved; pixel(x, y) gives (r, g, b)."""
    with open(path, "rb") as f:
        data = f.read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    top_down = height < 0
    height = abs(height)

    def pixel(x, y):
        at = offset + ((y if top_down else height - 1 - y) * width + x) * 4
        b, g, r = data[at:at + 3]
        return r, g, b
    return width, height, pixel


# ---- Scenarios ----------------------------------------------------------------------------

class Scenario:
    """A directory of its own for one test, visible to the program as V:\\<name>."""

    def __init__(self, name):
        self.name = re.sub(r"[^A-Za-z0-9_.-]", "_", name)
        self.dir = os.path.join(SCENARIO_ROOT, self.name)
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)

    def path(self, relative=""):
        """Linux path of a file of the scenario (relative uses / or \\)."""
        return os.path.join(self.dir, *re.split(r"[\\/]", relative)) if relative else self.dir

    def win(self, relative=""):
        """The same path as the program sees it, as bytes: V:\\<name>\\<relative>."""
        path = gbk(DRIVE + "\\" + self.name)
        return path + b"\\" + gbk(relative).replace(b"/", b"\\") if relative else path

    def write(self, relative, content):
        path = self.path(relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(gbk(content))
        return path

    def write_wdf(self, relative, entries):
        return self.write(relative, wdf.archive(entries))

    def read(self, relative):
        with open(self.path(relative), "rb") as f:
            return f.read()

    def exists(self, relative):
        return os.path.lexists(self.path(relative))

    def files(self):
        """Every file below the scenario directory except the driver's own, relative."""
        found = []
        for root, _, names in os.walk(self.dir):
            for name in names:
                relative = os.path.relpath(os.path.join(root, name), self.dir)
                if not relative.startswith("driver"):
                    found.append(relative.replace(os.sep, "/"))
        return sorted(found)

    def run(self, arguments=b"", program=None, directory=None, answers=(), default_answer="ok",
            esc_after_ms=None, close_after_ms=None, lock=None, lock_exclusive=None,
            kill_at_progress=None, esc_at_progress=None, close_at_progress=None,
            timeout_ms=60000, screenshots=False, command_line=None, main_window=None,
            steps=(), dialog_inputs=()):
        """Runs program (Velmora.exe by default) with the raw argument text after its quoted
        name, in directory (relative to the scenario; default the scenario itself). Returns the
        Result. answers: "ok", "cancel" or "close" for successive boxes. lock: a file held open
        for writing (others may only read it) during the run; lock_exclusive: one held open
        without any sharing. kill_at_progress: the bar position at which the program is ended
        without warning (TerminateProcess); esc_at_progress, close_at_progress: the bar position
        at which Esc or the close box is pressed. command_line: the whole command line instead
        (program name first), as the shell starts a registered command. main_window: the class of
        the program's main window, on which the steps (UI driver step lines) act in turn;
        dialog_inputs: the texts for successive dialogs that are not message boxes (file
        dialogs), "-" to press OK as they stand. program may be given as its Windows path in
        bytes."""
        program = program or VELMORA_EXE
        if not program:
            raise unittest.SkipTest("Velmora.exe is not built")
        # Bytes: the program's Windows path already in the driver's encoding.
        program_win = program if isinstance(program, bytes) else windows_path(program)
        if command_line is not None:
            command_line = gbk(command_line)
        else:
            command_line = b'"' + program_win + b'"'
            if arguments:
                command_line += b" " + gbk(arguments)
        work_dir = self.win(directory) if directory else self.win()
        lines = [b"result " + self.win("driver-result.txt"),
                 b"program " + program_win,
                 b"command-line " + command_line,
                 b"directory " + work_dir,
                 b"timeout-ms %d" % timeout_ms,
                 b"default-answer " + gbk(default_answer)]
        lines += [b"answer " + gbk(answer) for answer in answers]
        if esc_after_ms is not None:
            lines.append(b"esc-dialog-after-ms %d" % esc_after_ms)
        if close_after_ms is not None:
            lines.append(b"close-dialog-after-ms %d" % close_after_ms)
        if kill_at_progress is not None:
            lines.append(b"kill-at-progress %d" % kill_at_progress)
        if esc_at_progress is not None:
            lines.append(b"esc-dialog-at-progress %d" % esc_at_progress)
        if close_at_progress is not None:
            lines.append(b"close-dialog-at-progress %d" % close_at_progress)
        if lock:
            lines.append(b"lock-file " + self.win(lock))
        if lock_exclusive:
            lines.append(b"lock-file-exclusive " + self.win(lock_exclusive))
        if screenshots:
            lines.append(b"screenshots " + self.win())
        if main_window:
            lines.append(b"main-window " + gbk(main_window))
        lines += [b"step " + gbk(step) for step in steps]
        lines += [b"dialog-input " + gbk(text) for text in dialog_inputs]
        self.write("driver-scenario.txt", b"\r\n".join(lines) + b"\r\n")
        result_path = self.path("driver-result.txt")
        if os.path.exists(result_path):
            os.remove(result_path)
        # Output to a file: Wine's helper processes may hold a pipe open long after the run.
        output_path = self.path("driver-output.txt")
        with open(output_path, "wb") as output:
            completed = subprocess.run(
                [WINE_RUN, UI_DRIVER, self.win("driver-scenario.txt").decode("gbk")],
                stdin=subprocess.DEVNULL, stdout=output, stderr=subprocess.STDOUT,
                timeout=timeout_ms / 1000 + 120,
                env=dict(os.environ, VELMORA_BUILD_DIR=BUILD_DIR))
        with open(output_path, "rb") as f:
            driver_output = f.read()
        raw = b""
        if os.path.exists(result_path):
            with open(result_path, "rb") as f:
                raw = f.read()
        result = Result(raw, command_line, driver_output)
        if completed.returncode not in (0, 3) or result.errors:
            raise AssertionError("the UI driver failed (exit code %d)\n%s" % (
                completed.returncode, result.describe()))
        return result


def run_cli_batch(scenario, cli, lines):
    """Runs the lines as a batch file in the scenario directory, with CLI standing for the
    terminal tool velmora-cli.exe; returns the codes the lines echoed into codes.txt
    ("name=%ERRORLEVEL%"), by name."""
    if not cli:
        raise unittest.SkipTest("velmora-cli.exe is not built")
    program = windows_path(cli)
    body = [b"@echo off", b"cd /d " + scenario.win()]
    for line in lines:
        body.append(line.replace(b"CLI", b'"' + program + b'"'))
    scenario.write("job.bat", b"\r\n".join(body) + b"\r\n")
    with open(scenario.path("cmd-output.txt"), "wb") as output:
        subprocess.run([WINE_RUN, "cmd", "/c", scenario.win("job.bat").decode("gbk")],
                       stdin=subprocess.DEVNULL, stdout=output, stderr=subprocess.STDOUT,
                       timeout=600, env=dict(os.environ, VELMORA_BUILD_DIR=BUILD_DIR))
    codes = {}
    for line in scenario.read("codes.txt").decode("ascii").split():
        name, _, code = line.partition("=")
        codes[name] = int(code)
    return codes


# ---- The prefix's registry ------------------------------------------------------------------

def reg(*arguments):
    """Runs Wine's reg tool in the build's prefix; returns (exit code, output as text)."""
    output_path = os.path.join(SCENARIO_ROOT, "reg-output.txt")
    os.makedirs(SCENARIO_ROOT, exist_ok=True)
    with open(output_path, "wb") as output:
        completed = subprocess.run([WINE_RUN, "reg"] + list(arguments), stdin=subprocess.DEVNULL,
                                   stdout=output, stderr=subprocess.STDOUT, timeout=120,
                                   env=dict(os.environ, VELMORA_BUILD_DIR=BUILD_DIR))
    with open(output_path, "rb") as f:
        return completed.returncode, f.read().decode("gbk", errors="replace")


def reg_value(key, name=None):
    """The data of a registry value (None for the default value) as text, or None if absent."""
    code, output = reg("query", key, *(["/v", name] if name else ["/ve"]))
    if code != 0:
        return None
    for line in output.splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) >= 2 and parts[1].startswith("REG_"):
            return parts[2] if len(parts) == 3 else ""
    return None


def reg_set(key, name, data):
    reg("add", key, *(["/v", name] if name else ["/ve"]), "/d", data, "/f")


def reg_delete_key(key):
    reg("delete", key, "/f")


# ---- Test case base ------------------------------------------------------------------------

class E2eTestCase(unittest.TestCase):
    """Gives each test method a scenario and assertions that print what was seen."""

    @classmethod
    def setUpClass(cls):
        check_environment()
        map_scenario_drive()

    def setUp(self):
        self.scenario = Scenario(self.id().split(".", 1)[-1])

    def assertBox(self, result, box, text, icon, buttons=(IDOK,), caption=CAPTION):
        """A message box of the program: caption, text with the four trailing blanks, icon kind
        and button ids."""
        expected = gbk(text) + BLANKS if text is not None else None
        problems = []
        if box.caption != gbk(caption):
            problems.append("caption %s, expected %s" % (shown(box.caption), shown(gbk(caption))))
        if expected is not None and box.text != expected:
            problems.append("text\n      got:      %s\n      expected: %s" % (
                shown(box.text), shown(expected)))
        if box.icon != icon:
            problems.append("icon %s, expected %s" % (box.icon, icon))
        if box.button_ids != sorted(buttons):
            problems.append("buttons %s, expected %s" % (box.button_ids, sorted(buttons)))
        if problems:
            self.fail("box %d differs: %s\nall events:\n%s" % (
                box.number, "; ".join(problems), result.describe()))

    def assertOnlyBox(self, result, text, icon, buttons=(IDOK,), caption=CAPTION):
        self.assertEqual(1, len(result.boxes),
                         "expected exactly one box\n" + result.describe())
        self.assertBox(result, result.boxes[0], text, icon, buttons, caption)

    def assertExit(self, result, code):
        self.assertFalse(result.timed_out, "the program did not end\n" + result.describe())
        self.assertEqual(code, result.exit_code,
                         "exit code %s, expected %d\n%s" % (result.exit_code, code,
                                                            result.describe()))

    def assertNoWindow(self, result):
        self.assertEqual([], result.boxes + result.dialog_samples + result.windows,
                         "expected no window\n" + result.describe())

    def assertNoOtherWindows(self, result):
        self.assertEqual([], result.windows, "unexpected windows\n" + result.describe())


def main():
    unittest.main(verbosity=2)
