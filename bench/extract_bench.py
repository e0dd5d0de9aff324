#!/usr/bin/env python3
"""Times `extract` of an archive of many small entries against a plain program writing the same
files into an empty folder (bench/entry_files_baseline), in the same run.

    bench/extract_bench.py VELMORA BASELINE [ENTRIES] [RUNS]

VELMORA is the terminal tool and BASELINE the plain program built beside it: the native pair
(build/native-release/velmora, build/native-release/bench/entry_files_baseline), or the Windows
pair (build/win32/velmora-cli.exe, build/win32/bench/entry_files_baseline.exe), which runs under
Wine with
the session of tests/wine/wine-run.sh. Makes an archive of ENTRIES entries (default 100,000) of
16 to 200 bytes in a temporary folder, then extracts it RUNS times (default 3) with each program,
taking turns, into a fresh folder, and prints the median times and their ratio.

Under Wine every new file name is looked up among the folder's names without regard to letter
case by Wine itself, so both programs grow with the square of the count there: 20,000 entries
take minutes, 100,000 hours. The ratio is what the figure means."""

import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tools"))
import wdf  # noqa: E402


def command_of(program):
    """The command line that starts a program: a Windows program through Wine."""
    if program.lower().endswith(".exe"):
        return [os.path.join(HERE, "..", "tests", "wine", "wine-run.sh"), program]
    return [program]


def timed(command, cwd):
    start = time.perf_counter()
    subprocess.run(command, cwd=cwd, check=True, stdout=subprocess.DEVNULL, timeout=3600)
    return time.perf_counter() - start


def main():
    velmora = os.path.abspath(sys.argv[1])
    plain = os.path.abspath(sys.argv[2])
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 100000
    runs = int(sys.argv[4]) if len(sys.argv) > 4 else 3
    work = tempfile.mkdtemp(prefix="velmora-extract-bench-")
    try:
        wdf.write_file(os.path.join(work, "small.wdf"),
                       ((k, bytes([k % 251]) * (16 + (k * 7919) % 185)) for k in range(count)))
        times = {"extract": [], "plain": []}
        # Every run writes into a folder of its own, and none is removed before the last run:
        # the file system makes new files slower for a while after many were deleted, which would
        # charge one program for the other's clean-up.
        for run in range(runs):
            for name in ("plain", "extract"):
                out = "out-%s-%d" % (name, run)
                command = (command_of(plain) + ["small.wdf", out] if name == "plain" else
                           command_of(velmora) + ["extract", "-o", out, "small.wdf"])
                times[name].append(timed(command, work))
                if len(os.listdir(os.path.join(work, out))) != count:
                    raise SystemExit("%s did not write %d files" % (name, count))
        plain_time = statistics.median(times["plain"])
        extract_time = statistics.median(times["extract"])
        print("%d entries of 16 to 200 bytes; median of %d runs" % (count, runs))
        print("%-34s %8.3f s" % ("plain writer (baseline)", plain_time))
        print("%-34s %8.3f s  %5.2f x plain" % ("extract", extract_time,
                                                 extract_time / plain_time))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
