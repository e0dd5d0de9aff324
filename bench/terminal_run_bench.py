#!/usr/bin/env python3
"""What the terminal costs a run: velmora run over a large archive with standard error redirected
(no progress line) and on a terminal (the progress line, redrawn at most ten times a second),
against cat of the same bytes, median of several runs.

    bench/terminal_run_bench.py build/native-release/velmora [entries] [runs]
"""

import os
import pty
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import wdf  # noqa: E402


def timed(function):
    start = time.perf_counter()
    extra = function()
    return time.perf_counter() - start, extra


def main():
    velmora = os.path.abspath(sys.argv[1])
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 100000
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    work = tempfile.mkdtemp(prefix="velmora-bench-")
    os.chdir(work)
    wdf.write_file("big.wdf", ((n, (b"%07d" % n) * 64) for n in range(count)))
    with open("big.vlm", "wb") as f:
        f.write(b"#SrcFile=big.wdf\r\n#DestFile=new.wdf\r\n")

    def cat():
        subprocess.run(["sh", "-c", "cat big.wdf > copy.bin"], check=True)

    def redirected():
        subprocess.run([velmora, "run", "--yes", "big.vlm"], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True)

    def on_terminal():
        master, slave = pty.openpty()
        process = subprocess.Popen([velmora, "run", "--yes", "big.vlm"],
                                   stdout=subprocess.DEVNULL, stderr=slave)
        os.close(slave)
        redraws = 0
        try:
            while True:
                chunk = os.read(master, 65536)
                if not chunk:
                    break
                redraws += chunk.count(b"\r")
        except OSError:
            pass
        process.wait()
        os.close(master)
        return redraws

    times = {"cat": [], "redirected": [], "terminal": []}
    redraws = []
    for _ in range(runs):
        times["cat"].append(timed(cat)[0])
        times["redirected"].append(timed(redirected)[0])
        seconds, drawn = timed(on_terminal)
        times["terminal"].append(seconds)
        redraws.append(drawn)
    median = {name: statistics.median(values) for name, values in times.items()}
    size = os.path.getsize("big.wdf")
    print("%d entries, %.1f MiB, median of %d runs" % (count, size / 2**20, runs))
    for name in ("cat", "redirected", "terminal"):
        print("  %-10s %7.3f s  %5.2f x cat" % (name, median[name], median[name] / median["cat"]))
    print("  carriage returns on the terminal per run: %s" % redraws)
    subprocess.run(["rm", "-rf", work], check=True)


if __name__ == "__main__":
    main()
