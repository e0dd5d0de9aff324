#!/usr/bin/env python3
"""Times the archive commands on a large archive against reading the same bytes with cat.

    bench/toolkit_bench.py build/native-release/velmora [ENTRIES] [RUNS] [CHANGED_EVERY]

Makes an archive of ENTRIES entries (default 70,000) of 1 to 2,000 bytes each in a temporary
folder, then runs each command RUNS times (default 5) and prints the median time and its ratio
to the median time of `cat ARCHIVE > /dev/null` measured in the same run. extract is compared
with `cp -r` of a folder holding the same files, which writes the same bytes the same way. diff
compares the archive with a copy in which every CHANGED_EVERY-th entry (default 500th) differs,
against `cat` of both archives, and reports its peak memory beside the archives' size. diff
--patch is compared with bench/entry_files_baseline, a plain program that writes the same entry
files (built beside velmora: build/native-release/bench/entry_files_baseline)."""

import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import wdf  # noqa: E402


def make_archive(path, count, changed_every=0):
    """Entries of 1 to 2,000 bytes; with changed_every, every changed_every-th entry holds other
    bytes of the same size."""
    def changed(k):
        return 1 if changed_every and k % changed_every == changed_every - 1 else 0
    wdf.write_file(path, ((k, bytes([(k + changed(k)) % 251]) * (1 + (k * 7919) % 2000))
                          for k in range(count)))


def median_times(command, runs, cwd, before=None):
    """Medians of the wall time and of the processor time (user and system, the command's
    processes together) of RUNS runs of a shell command. On a busy machine the processor time
    is the steadier of the two."""
    walls, cpus = [], []
    for _ in range(runs):
        if before:
            before()
        used = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        subprocess.run(command, cwd=cwd, check=True, stdout=subprocess.DEVNULL, shell=True)
        walls.append(time.perf_counter() - start)
        now = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpus.append(now.ru_utime - used.ru_utime + now.ru_stime - used.ru_stime)
    return statistics.median(walls), statistics.median(cpus)


def median_seconds(command, runs, cwd, before=None):
    return median_times(command, runs, cwd, before)[0]


def print_ratio(name, own, base, base_name):
    print("%-28s %8.3f s  %6.1f x %s   (processor time %.3f s, %.1f x)" % (
        name, own[0], own[0] / base[0], base_name, own[1], own[1] / max(base[1], 0.001)))


def patch_bench(velmora, baseline, work, runs):
    """diff --patch against the plain program writing the same entry files (the patch's files,
    at their entries' places in the new archive), flushed each as the patch flushes them, and
    not flushed."""
    patch = os.path.join(work, "p")
    subprocess.run([velmora, "diff", "--patch", patch, "--force", "big.wdf", "big2.wdf"],
                   cwd=work, check=True, stdout=subprocess.DEVNULL)
    with open(os.path.join(work, "big2.wdf"), "rb") as f:
        index = {entry.id: entry for entry in wdf.read(f.read()).index}
    list_path = os.path.join(work, "entry-files.txt")
    files = [n for n in sorted(os.listdir(patch)) if not n.endswith(".vlm")]
    with open(list_path, "w") as f:
        for name in files:
            entry = index[int(name[:8], 16)]
            f.write("%d %d %s\n" % (entry.offset, entry.size, name))
    plain_dir = os.path.join(work, "plain")
    clear = lambda: (shutil.rmtree(plain_dir, ignore_errors=True), os.mkdir(plain_dir))  # noqa
    plain = {}
    for flush in ("--flush", ""):
        plain[flush] = median_times("%s %s big2.wdf %s %s" % (baseline, flush, plain_dir,
                                                              list_path), runs, work, clear)
    # Into a new folder, as the plain program writes; then over the last patch (--force), where
    # every file is replaced by a rename that is made durable.
    fresh = lambda: shutil.rmtree(patch, ignore_errors=True)  # noqa: E731
    t = median_times("%s diff --patch p big.wdf big2.wdf" % velmora, runs, work, fresh)
    t_over = median_times("%s diff --patch p --force big.wdf big2.wdf" % velmora, runs, work)
    print("%-28s %8.3f s  (%d entry files; processor time %.3f s)" % (
        "plain write, flushed", plain["--flush"][0], len(files), plain["--flush"][1]))
    print("%-28s %8.3f s  (processor time %.3f s)" % ("plain write, not flushed", plain[""][0],
                                                      plain[""][1]))
    print_ratio("diff --patch", t, plain["--flush"], "the flushed plain write")
    print_ratio("", t, plain[""], "the unflushed plain write")
    print_ratio("diff --patch over the last", t_over, plain["--flush"], "the flushed plain write")


def main():
    velmora = os.path.abspath(sys.argv[1])
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 70000
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    changed_every = int(sys.argv[4]) if len(sys.argv) > 4 else 500
    baseline = os.path.join(os.path.dirname(velmora), "bench", "entry_files_baseline")
    if not os.path.exists(baseline):
        raise SystemExit("build the plain program first: cmake --build --preset native-release "
                         "--target entry_files_baseline")
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
        make_archive(os.path.join(work, "big2.wdf"), count, changed_every=changed_every)
        both = median_times("cat big.wdf big2.wdf > /dev/null", runs, work)
        print("%-28s %8.3f s  (processor time %.3f s)" % ("cat of both (baseline)", both[0],
                                                          both[1]))
        t = median_times("%s diff big.wdf big2.wdf || test $? = 1" % velmora, runs, work)
        print_ratio("diff", t, both, "cat")
        patch_bench(velmora, baseline, work, runs)
        measured = subprocess.run(["/usr/bin/time", "-f", "%M", velmora, "diff", "big.wdf",
                                   "big2.wdf"], cwd=work, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.PIPE)
        peak = measured.stderr.decode().split()[-1] if measured.stderr else "?"
        print("diff peak memory: %s KiB (archives: %d KiB each)" % (peak, size // 1024))
        print("%-28s %8.3f s" % ("cp -r of the files (baseline)", copy))
        t = median_seconds("%s extract -o out big.wdf" % velmora, runs, work, clear)
        print("%-28s %8.3f s  %6.1f x cp -r" % ("extract", t, t / copy))
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
