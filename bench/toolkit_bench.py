#!/usr/bin/env python3
"""Times the archive commands on a large archive against reading the same bytes with cat.

    bench/toolkit_bench.py build/native-release/velmora [ENTRIES] [RUNS]

Makes an archive of ENTRIES entries (default 70,000) of 1 to 2,000 bytes each in a temporary
folder, then runs each command RUNS times (default 5) and prints the median time and its ratio
to the median time of `cat ARCHIVE > /dev/null` measured in the same run. extract is compared
with `cp -r` of a folder holding the same files, which writes the same bytes the same way."""

import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import wdf  # noqa: E402


def make_archive(path, count):
    wdf.write_file(path, ((k, bytes([k % 251]) * (1 + (k * 7919) % 2000)) for k in range(count)))


def median_seconds(command, runs, cwd, before=None):
    times = []
    for _ in range(runs):
        if before:
            before()
        start = time.perf_counter()
        subprocess.run(command, cwd=cwd, check=True, stdout=subprocess.DEVNULL, shell=True)
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def main():
    velmora = os.path.abspath(sys.argv[1])
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 70000
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    work = tempfile.mkdtemp(prefix="velmora-bench-")
    try:
        make_archive(os.path.join(work, "big.wdf"), count)
        subprocess.run([velmora, "extract", "-o", "files", "big.wdf"], cwd=work, check=True,
                       stdout=subprocess.DEVNULL)
        clear = lambda: shutil.rmtree(os.path.join(work, "out"), ignore_errors=True)  # noqa: E731
        cat = median_seconds("cat big.wdf > /dev/null", runs, work)
        copy = median_seconds("cp -r files out", runs, work, clear)
        size = os.path.getsize(os.path.join(work, "big.wdf"))
        print("archive: %d entries, %d bytes; median of %d runs" % (count, size, runs))
        print("%-28s %8.3f s" % ("cat (baseline)", cat))
        for name, command in (("list --format tsv", "list --format tsv big.wdf"),
                              ("verify", "verify big.wdf")):
            t = median_seconds("%s %s" % (velmora, command), runs, work)
            print("%-28s %8.3f s  %6.1f x cat" % (name, t, t / cat))
        print("%-28s %8.3f s" % ("cp -r of the files (baseline)", copy))
        t = median_seconds("%s extract -o out big.wdf" % velmora, runs, work, clear)
        print("%-28s %8.3f s  %6.1f x cp -r" % ("extract", t, t / copy))
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
