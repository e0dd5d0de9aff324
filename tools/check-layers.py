#!/usr/bin/env python3
"""Checks that every include in src/ runs down the layers, and that the core stays portable.

    sys <- msg, wdf <- job <- ui (Win32 dialogs), cli (terminal) <- app (Velmora.exe), studio
    testing: what only tests, fuzzers and benchmarks use; above every layer, linked by no
    shipped program.

Product code may include its own layer and those below it; a unit test (*_test.cpp) may also
include src/testing/. No file includes a main (main_*.cpp), and the core (msg's portable files,
wdf, job) names no operating-system header. Prints every violation; exit code 1 when there is
one.
"""
import pathlib
import re
import subprocess
import sys

BELOW = {
    "sys": set(),
    "msg": {"sys"},
    "wdf": {"sys"},
    "job": {"sys", "msg", "wdf"},
    "ui": {"sys", "msg", "wdf", "job"},
    "cli": {"sys", "msg", "wdf", "job"},
    "app": {"sys", "msg", "wdf", "job", "ui"},
    "studio": {"sys", "msg", "wdf", "job", "ui"},
    "testing": {"sys", "msg", "wdf", "job", "ui", "cli", "app", "studio"},
}
SYSTEM_HEADERS = re.compile(
    r"^(windows|winbase|winuser|commctrl|shellapi|shlobj|objbase|unistd|fcntl|dlfcn|iconv|"
    r"pthread|signal|termios|dirent|poll|sys/.*)\.h$")
PORTABLE_CORE = {"wdf", "job"}
INCLUDE = re.compile(r'^\s*#\s*include\s+([<"])([^">]+)[">]', re.M)


def violations(src):
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        layer = path.relative_to(src).parts[0]
        if layer not in BELOW:
            yield f"{path}: a folder that is no layer (add it to tools/check-layers.py)"
            continue
        is_test = path.stem.endswith("_test")
        platform = path.stem.split("_test")[0].endswith(("_win32", "_posix"))
        allowed = BELOW[layer] | {layer} | ({"testing"} if is_test else set())
        for kind, name in INCLUDE.findall(path.read_text(encoding="utf-8")):
            if kind == "<":
                if (layer in PORTABLE_CORE and not is_test and not platform and
                        SYSTEM_HEADERS.match(name)):
                    yield f"{path}: the portable core includes the system header <{name}>"
                continue
            head = name.split("/")[0]
            if "/" not in name:
                continue  # res/ (resource ids, the catalogue) and headers of its own folder
            if pathlib.PurePosixPath(name).name.startswith("main_"):
                yield f"{path}: includes a program's main {name}"
            elif head in BELOW and head not in allowed:
                yield f"{path}: {layer} may not include {name} ({head} is not below it)"


# Names that only src/testing/ defines: a shipped program that holds one links test code.
TEST_ONLY_SYMBOLS = re.compile(
    r"velmora::(MemoryFileSystem|MemoryRegistry|RecordingView|MemoryConsole|ScratchDirectory|"
    r"FakeCurrentDirectory|ReferenceRunPack|GbkLeadBytes|pack_run_testing)\b")


def test_code_in(program):
    symbols = subprocess.run(["nm", "-C", program], capture_output=True, text=True, check=True,
                             timeout=120).stdout
    for line in sorted({m.group(0) for m in TEST_ONLY_SYMBOLS.finditer(symbols)}):
        yield f"{program}: holds test-only code ({line})"


def main():
    """check-layers.py [SRC] [--program PROGRAM ...]"""
    args = sys.argv[1:]
    programs = args[args.index("--program") + 1:] if "--program" in args else []
    args = args[:args.index("--program")] if "--program" in args else args
    src = pathlib.Path(args[0] if args else pathlib.Path(__file__).resolve().parent.parent / "src")
    found = list(violations(src))
    for program in programs:
        found += list(test_code_in(program))
    for line in found:
        print(line)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
