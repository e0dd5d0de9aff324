#!/usr/bin/env python3
"""The rebuild benchmark: what a run of Velmora costs against copying the same bytes with `cat`.

Generates its cases once into a scratch directory (kept between runs; VELMORA_BENCH_DIR, by
default ~/.cache/velmora-bench), then runs each case several times with the native `velmora`
and, where asked, with Velmora.exe under Wine through the UI driver (which answers the boxes).
Every run of the program is paired with `cat SOURCE > COPY` of the same source in the same
round (the copy flushed to the disk, as Velmora flushes its target); the table gives the medians, their ratio, and the peak memory of the native runs.

  bench/rebuild_bench.py [--runs N] [--wine-runs N] [--cases a,b] [--wine-cases a,b] [--no-wine]

Normally started by bench/rebuild_bench.sh, which builds the programs and the Wine session first.
"""
import argparse
import os
import random
import re
import shutil
import statistics
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(HERE, "..", "tests", "e2e"), os.path.join(HERE, "..", "tools")]
import velmora_e2e as e2e  # noqa: E402
import wdf  # noqa: E402

BENCH_DIR = os.environ.get("VELMORA_BENCH_DIR",
                           os.path.join(os.path.expanduser("~"), ".cache", "velmora-bench"))
FORMAT_VERSION = "3"  # bump when the generated cases change


# ---- Generating the cases ---------------------------------------------------------------------

class Filler:
    """Pseudo-random bytes, cheap enough for gibibytes: slices of one random block."""

    def __init__(self, seed):
        rng = random.Random(seed)
        self.block = bytes(rng.getrandbits(8) for _ in range(1 << 16)) * 64  # 4 MiB
        self.at = 0

    def take(self, n):
        out = bytearray()
        while n > 0:
            piece = min(n, len(self.block) - self.at)
            out += self.block[self.at:self.at + piece]
            self.at = (self.at + piece + 4099) % (len(self.block) - 1)
            n -= piece
        return bytes(out)


def write_archive(path, entries, filler):
    """entries: (id, size) pairs in index order, filled with the filler's bytes. Written under
    another name first, so that a generation cut short leaves no archive that looks done."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    wdf.write_file(path + ".part", ((entry_id, filler.take(size)) for entry_id, size in entries))
    os.replace(path + ".part", path)


def key(entry_id):
    return "@%08X" % entry_id


def script_text(source, target, lines):
    head = ["#SrcFile=" + source, "#DestFile=" + target]
    return ("\r\n".join(head + lines) + "\r\n").encode("gbk")


def make_empty(d):
    write_archive(os.path.join(d, "empty.wdf"), [], Filler(0))
    with open(os.path.join(d, "empty.vlm"), "wb") as f:
        f.write(script_text("empty.wdf", "out\\empty-new.wdf", []))


def make_bulk(d):
    rng = random.Random(1)
    ids = [0x10000000 + k for k in range(4096)]
    write_archive(os.path.join(d, "bulk.wdf"), [(i, 256 * 1024) for i in ids], Filler(1))
    chosen = rng.sample(ids, 200)
    lines = []
    for n, entry_id in enumerate(chosen):
        if n % 3 == 0:
            lines.append(key(entry_id) + "=")  # keep
        elif n % 3 == 1:
            lines.append(key(entry_id) + "=" + key(rng.choice(ids)))
        else:
            lines.append(key(entry_id) + "=@Delete")
    with open(os.path.join(d, "bulk.vlm"), "wb") as f:
        f.write(script_text("bulk.wdf", "out\\bulk-new.wdf", lines))


def make_small(d):
    ids = [0x10000000 + k for k in range(4096)]
    write_archive(os.path.join(d, "small.wdf"), [(i, 4096) for i in ids], Filler(2))
    with open(os.path.join(d, "small.vlm"), "wb") as f:
        f.write(script_text("small.wdf", "out\\small-new.wdf", []))


def make_many(d, name, scale, cp936_lines):
    """200,000 entries x scale of 16 to 4,096 bytes, and 50,000 rule lines x scale: internal
    references, deletes, entries of another archive of 100,000 entries x scale, small external
    files, and lines that match no entry; optionally comment-like lines named in code page 936."""
    rng = random.Random(10 + scale)
    entries = 200000 * scale
    other_entries = 100000 * scale
    ids = [0x10000000 + k for k in range(entries)]
    other_ids = [0x20000000 + k for k in range(other_entries)]
    source = "many%d.wdf" % scale
    other = "other%d.wdf" % scale
    if not os.path.exists(os.path.join(d, source)):
        write_archive(os.path.join(d, source), [(i, rng.randint(16, 4096)) for i in ids],
                      Filler(3))
        write_archive(os.path.join(d, other),
                      [(i, rng.randint(16, 4096)) for i in other_ids], Filler(4))
        files_dir = os.path.join(d, "files")
        os.makedirs(files_dir, exist_ok=True)
        filler = Filler(5)
        for k in range(5000 * scale):
            path = os.path.join(files_dir, "f%06d.bin" % k)
            if not os.path.exists(path):
                with open(path, "wb") as f:
                    f.write(filler.take(rng.randint(16, 4096)))
    ruled = rng.sample(ids, 45000 * scale)
    lines = []
    at = 0
    for _ in range(20000 * scale):
        lines.append(key(ruled[at]) + "=" + key(rng.choice(ids)) + " ; another entry")
        at += 1
    for _ in range(10000 * scale):
        lines.append(key(ruled[at]) + "=@Delete")
        at += 1
    for _ in range(10000 * scale):
        lines.append(key(ruled[at]) + "=%s/@%X" % (other, rng.choice(other_ids)))
        at += 1
    for k in range(5000 * scale):
        lines.append(key(ruled[at]) + "=files\\f%06d.bin" % k)
        at += 1
    for k in range(5000 * scale):
        lines.append(key(0x30000000 + k) + "=@Delete ; no such entry")
    rng.shuffle(lines)
    if cp936_lines:
        notes = ["；第%d条说明：替换标题图片@%05d=旧版本" % (k, k) for k in range(cp936_lines)]
        merged = []
        for k, line in enumerate(lines):
            merged.append(line)
            if k % 2 == 0 and notes:
                merged.append(notes.pop())
        lines = merged + notes
    with open(os.path.join(d, name + ".vlm"), "wb") as f:
        f.write(script_text(source, "out\\%s-new.wdf" % name, lines))


CASES = {
    # name: (maker, source file, description, target ratio native, target wine)
    "bulk": (make_bulk, "bulk.wdf", "1 GiB, 4,096 entries of 256 KiB, 200 rules", 1.2, 3.0),
    "small": (make_small, "small.wdf", "16 MiB, 4,096 entries, no rules", None, None),
    "many": (lambda d: make_many(d, "many", 1, 0), "many1.wdf",
             "200,000 entries, 50,000 rule lines", 3.0, 15.0),
    "many2x": (lambda d: make_many(d, "many2x", 2, 0), "many2.wdf",
               "400,000 entries, 100,000 rule lines", None, None),
    "cp936": (lambda d: make_many(d, "cp936", 1, 25000), "many1.wdf",
              "the many case and 25,000 lines named in code page 936", None, None),
}


def prepare(cases):
    stamp = os.path.join(BENCH_DIR, "generated")
    done = set()
    if os.path.exists(stamp):
        with open(stamp) as f:
            words = f.read().split()
        if words and words[0] == FORMAT_VERSION:
            done = set(words[1:])
    os.makedirs(BENCH_DIR, exist_ok=True)
    if "empty" not in done:
        make_empty(BENCH_DIR)
        done.add("empty")
    for name in cases:
        if name in done:
            continue
        print("generating %s in %s ..." % (name, BENCH_DIR), flush=True)
        CASES[name][0](BENCH_DIR)
        done.add(name)
        with open(stamp, "w") as f:
            f.write(" ".join([FORMAT_VERSION] + sorted(done)))
    with open(stamp, "w") as f:
        f.write(" ".join([FORMAT_VERSION] + sorted(done)))


# ---- Running ------------------------------------------------------------------------------------

def timed(argv, stdout_path=os.devnull):
    """Wall time in seconds, peak resident memory in KiB and processor time (user and system)
    in seconds of one process. Memory and processor time are read by /usr/bin/time, since a
    child's own usage would include the benchmark's before exec."""
    usage_path = os.path.join(BENCH_DIR, "usage.txt")
    wrapped = (["/usr/bin/time", "-f", "%M %U %S", "-o", usage_path] + argv
               if os.path.exists("/usr/bin/time") else argv)
    with open(stdout_path, "wb") as out:
        start = time.perf_counter()
        completed = subprocess.run(wrapped, stdin=subprocess.DEVNULL, stdout=out,
                                   stderr=subprocess.STDOUT, cwd=BENCH_DIR)
        elapsed = time.perf_counter() - start
    if completed.returncode != 0:
        raise SystemExit("%s failed with exit code %d" % (" ".join(argv), completed.returncode))
    peak, cpu = 0, elapsed
    if wrapped is not argv:
        with open(usage_path) as f:
            fields = f.read().split()[-3:]
        peak, cpu = int(fields[0]), float(fields[1]) + float(fields[2])
    return elapsed, peak, cpu


def cat_once(source):
    copy = os.path.join(BENCH_DIR, "out", "cat-copy.bin")
    os.makedirs(os.path.dirname(copy), exist_ok=True)
    # Flushed to the disk as Velmora flushes its target before it takes the target's name.
    seconds, _, cpu = timed(["sh", "-c", 'cat "$1" > "$2" && sync "$2"', "sh", source, copy])
    os.remove(copy)
    return seconds, cpu


def remove_target(name):
    target = os.path.join(BENCH_DIR, "out", name + "-new.wdf")
    if os.path.exists(target):
        os.remove(target)
    return target


def native_command(velmora):
    """`velmora run --yes` where the program knows the command, `velmora --yes` before it."""
    shown = subprocess.run([velmora, "--help"], stdin=subprocess.DEVNULL, capture_output=True)
    text = (shown.stdout + shown.stderr).decode("utf-8", errors="replace")
    if re.search(r"^\s*(velmora\s+)?run\b", text, re.MULTILINE):
        return [velmora, "run", "--yes"]
    return [velmora, "--yes"]


def run_native(command, name):
    target = remove_target(name)
    result = timed(command + [os.path.join(BENCH_DIR, name + ".vlm")])
    if not os.path.exists(target):
        raise SystemExit("velmora wrote no %s" % target)
    return result


def process_cpu_seconds(pid):
    """User and system time of a process so far (also of one that has ended and not yet been
    waited for), or None once it is gone."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
    except OSError:
        return None
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def wineserver_pid():
    """The prefix's persistent wineserver, which serves every call the program makes of it."""
    try:
        with open(os.path.join(e2e.BUILD_DIR, "wine", "wineserver.pid")) as f:
            return int(f.read().split()[0])
    except (OSError, ValueError, IndexError):
        return None


class ProgramWatch(threading.Thread):
    """Follows the processor time of the Wine process running `image` (its /proc entry, read
    every few milliseconds until it is gone), and of each of its threads other than the first:
    the busiest of them is the run's worker. Wine starts the program outside the benchmark's
    own children, so its time cannot be had by waiting for it."""

    def __init__(self, image, prefix):
        super().__init__(daemon=True)
        self.image = image.encode()
        self.prefix = b"WINEPREFIX=" + prefix.encode()
        self.seconds = {}
        self.threads = {}
        # Processes found to be something else, with the time they were first seen: one is
        # looked at again only while it is young, since a new one runs its parent's program
        # until it starts its own.
        self.others = {}
        self.done = threading.Event()

    def look_at_threads(self, pid):
        try:
            tids = [int(t) for t in os.listdir("/proc/%d/task" % pid)]
        except OSError:
            return
        for tid in tids:
            if tid == pid:
                continue
            try:
                with open("/proc/%d/task/%d/stat" % (pid, tid)) as f:
                    fields = f.read().rsplit(")", 1)[1].split()
            except OSError:
                continue
            self.threads[tid] = (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def run(self):
        while not self.done.is_set():
            for entry in os.listdir("/proc"):
                if not entry.isdigit():
                    continue
                pid = int(entry)
                if pid in self.others and time.monotonic() - self.others[pid] > 0.5:
                    continue
                if pid not in self.seconds:
                    # Others may run the same program meanwhile, in prefixes of their own. A
                    # process is looked at once: reading every process's command line at every
                    # round would take a processor's fifth from the run being measured.
                    try:
                        with open("/proc/%d/cmdline" % pid, "rb") as f:
                            command_line = f.read()
                        if self.image not in command_line:
                            self.others.setdefault(pid, time.monotonic())
                            continue
                        with open("/proc/%d/environ" % pid, "rb") as f:
                            if self.prefix not in f.read().split(b"\0"):
                                self.others.setdefault(pid, time.monotonic())
                                continue
                    except OSError:
                        continue
                cpu = process_cpu_seconds(pid)
                if cpu is not None:
                    self.seconds[pid] = cpu
                    self.look_at_threads(pid)
            time.sleep(0.005)

    def total(self):
        self.done.set()
        self.join()
        return sum(self.seconds.values())

    def busiest_thread(self):
        return max(self.threads.values(), default=0.0)


def run_wine(name, timeout_s):
    """Velmora.exe with the script, through the UI driver; seconds for the whole driven run
    (Wine's start of the driver and of the program included), the processor time of
    Velmora.exe, and that of the wineserver during the run."""
    target = remove_target(name)
    velmora_exe = e2e.windows_path(e2e.VELMORA_EXE)
    script = e2e.windows_path(os.path.join(BENCH_DIR, name + ".vlm"))
    result = os.path.join(BENCH_DIR, "driver-result.txt")
    lines = [b"result " + e2e.windows_path(result),
             b"program " + velmora_exe,
             b"command-line \"" + velmora_exe + b"\" \"" + script + b"\"",
             b"directory " + e2e.windows_path(BENCH_DIR),
             b"timeout-ms %d" % (timeout_s * 1000),
             b"default-answer ok"]
    scenario = os.path.join(BENCH_DIR, "driver-scenario.txt")
    with open(scenario, "wb") as f:
        f.write(b"\r\n".join(lines) + b"\r\n")
    if os.path.exists(result):
        os.remove(result)
    server = wineserver_pid()
    server_before = process_cpu_seconds(server) if server else None
    watch = ProgramWatch(os.path.basename(e2e.VELMORA_EXE), os.path.join(e2e.BUILD_DIR, "wine", "prefix"))
    watch.start()
    start = time.perf_counter()
    with open(os.path.join(BENCH_DIR, "driver-output.txt"), "wb") as out:
        subprocess.run([e2e.WINE_RUN, e2e.UI_DRIVER, e2e.windows_path(scenario).decode("gbk")],
                       stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT,
                       timeout=timeout_s + 120, env=dict(os.environ, VELMORA_BUILD_DIR=e2e.BUILD_DIR))
    seconds = time.perf_counter() - start
    program_cpu = watch.total()
    worker_cpu = watch.busiest_thread()
    server_after = process_cpu_seconds(server) if server else None
    server_cpu = server_after - server_before if server_before is not None and server_after is not None else 0.0
    with open(result, "rb") as f:
        outcome = e2e.Result(f.read(), b"")
    if outcome.timed_out or outcome.exit_code != 0 or outcome.boxes:
        raise SystemExit("Velmora.exe did not finish %s cleanly:\n%s" % (name, outcome.describe()))
    if name != "empty" and not os.path.exists(target):
        raise SystemExit("Velmora.exe wrote no %s" % target)
    final = outcome.dialog_samples[-1] if outcome.dialog_samples else None
    return seconds, final, program_cpu, server_cpu, worker_cpu


def median(values):
    return statistics.median(values)


def verdict(ratio, target):
    if target is None:
        return ""
    return "  (target %.1fx: %s)" % (target, "met" if ratio <= target else "NOT met")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--wine-runs", type=int, default=3)
    parser.add_argument("--cases", default="bulk,small,many,many2x,cp936")
    parser.add_argument("--wine-cases", default="small,bulk,many,cp936")
    parser.add_argument("--no-wine", action="store_true")
    parser.add_argument("--wine-timeout", type=int, default=1800, help="seconds per run")
    parser.add_argument("--velmora", default=os.environ.get("VELMORA_NATIVE", ""))
    args = parser.parse_args()
    cases = [c for c in args.cases.split(",") if c]
    wine_cases = [] if args.no_wine or not e2e.VELMORA_EXE else [
        c for c in args.wine_cases.split(",") if c]
    unknown = [c for c in cases + wine_cases if c not in CASES]
    if unknown:
        raise SystemExit("unknown cases: %s (known: %s)" % (", ".join(unknown), ", ".join(CASES)))
    prepare(sorted(set(cases + wine_cases)))

    command = native_command(args.velmora)
    print("native: %s   data: %s" % (" ".join(command), BENCH_DIR))
    print("%d runs per case, medians; cat = `cat SOURCE > COPY` + sync COPY in the same rounds\n" % args.runs)
    for _ in range(2):  # the page cache holds every source before anything is timed
        cat_once(os.path.join(BENCH_DIR, "empty.wdf"))
    idle_peaks = [run_native(command, "empty")[1] for _ in range(3)]  # KiB
    idle_peak = median(idle_peaks)
    print("%-8s %9s %9s %7s   %9s %9s %7s   %s" % (
        "case", "velmora", "cat", "ratio", "cpu", "cat cpu", "ratio", "peak memory"))
    native_medians = {}
    for name in cases:
        source = os.path.join(BENCH_DIR, CASES[name][1])
        cat_once(source)
        run_native(command, name)  # warm-up: the page cache holds what the run reads
        own, cats, peaks, own_cpu, cat_cpu = [], [], [], [], []
        for _ in range(args.runs):
            seconds, cpu = cat_once(source)
            cats.append(seconds)
            cat_cpu.append(cpu)
            seconds, peak, cpu = run_native(command, name)
            own.append(seconds)
            peaks.append(peak)
            own_cpu.append(cpu)
        ratio = median(own) / median(cats)
        native_medians[name] = (median(own), median(own_cpu))
        print("%-8s %8.3fs %8.3fs %6.2fx   %8.3fs %8.3fs %6.2fx   %.1f MiB (idle run + %.1f MiB)%s"
              % (name, median(own), median(cats), ratio, median(own_cpu), median(cat_cpu),
                 median(own_cpu) / max(median(cat_cpu), 0.001), max(peaks) / 1024.0,
                 (max(peaks) - idle_peak) / 1024.0, verdict(ratio, CASES[name][3])), flush=True)
    if "many" in native_medians and "many2x" in native_medians:
        scaling = native_medians["many2x"][0] / native_medians["many"][0]
        cpu_scaling = native_medians["many2x"][1] / native_medians["many"][1]
        print("scaling: many2x takes %.2fx the time (%.2fx the processor time) of many for 2x the"
              " work (target at most 2.2x: %s)" % (scaling, cpu_scaling,
                                                     "met" if scaling <= 2.2 else "NOT met"))

    if not wine_cases:
        return
    print("\nVelmora.exe under Wine through the UI driver (%d runs per case; each figure includes"
          " Wine starting the driver and the program)%s" % (
              args.wine_runs,
              "; Wine runs under a CPU emulator here" if e2e.runs_under_cpu_emulator() else ""))
    e2e.map_scenario_drive()
    idle_runs = [run_wine("empty", args.wine_timeout) for _ in range(args.wine_runs)]
    idle = median([run[0] for run in idle_runs])
    idle_cpu = median([run[2] + run[3] for run in idle_runs])
    print("idle run (an empty archive): %.2fs, processor time %.2fs (Velmora.exe and wineserver)"
          % (idle, idle_cpu))
    print("processor time: of Velmora.exe (exe), of its worker thread alone (worker), and of the"
          " wineserver during the run; the ratio is (exe + wineserver) to cat's, the idle run's"
          " processor time subtracted in the last column")
    print("%-8s %9s %9s %7s %10s   %9s %9s %9s %9s %7s %10s  %s" % (
        "case", "Velmora", "cat", "ratio", "less idle", "exe cpu", "worker", "server", "cat cpu",
        "ratio", "less idle", "final dialog"))
    for name in wine_cases:
        source = os.path.join(BENCH_DIR, CASES[name][1])
        own, cats, own_cpu, server_cpu, worker_cpu, cat_cpu, final = [], [], [], [], [], [], None
        for _ in range(args.wine_runs):
            seconds, cpu = cat_once(source)
            cats.append(seconds)
            cat_cpu.append(cpu)
            seconds, final, program, server, worker = run_wine(name, args.wine_timeout)
            own.append(seconds)
            own_cpu.append(program)
            server_cpu.append(server)
            worker_cpu.append(worker)
        ratio = median(own) / median(cats)
        less_idle = max(median(own) - idle, 0.0) / median(cats)
        both = median([a + b for a, b in zip(own_cpu, server_cpu)])
        cat = max(median(cat_cpu), 0.001)
        print("%-8s %8.2fs %8.3fs %6.1fx %9.1fx   %8.2fs %8.2fs %8.2fs %8.3fs %6.1fx %9.1fx  %s%s" % (
            name, median(own), median(cats), ratio, less_idle, median(own_cpu),
            median(worker_cpu), median(server_cpu), median(cat_cpu), both / cat, max(both - idle_cpu, 0.0) / cat,
            final, verdict(ratio, CASES[name][4])), flush=True)


if __name__ == "__main__":
    main()
