#!/usr/bin/env python3
"""Times VelmoraStudio.exe under Wine: opening a large archive until its list can be scrolled,
the memory it then holds per entry, filtering it by kind right after it is shown, and the
preview of a 10 MB picture.

    bench/studio_bench.py BUILD_DIR [ENTRIES] [RUNS]

BUILD_DIR is the win32 build (VelmoraStudio.exe and tests/ui_driver.exe built, its Wine session
started: tests/wine/session.sh start BUILD_DIR). Each case runs RUNS times (default 3); the
figures are medians, each beside its baseline from the same rounds: the start of the Studio on
an empty archive, the memory it then holds, the same filter by an id prefix (which needs no
kinds), and the preview of a picture of 100 x 100 pixels."""

import os
import statistics
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
sys.path.insert(0, os.path.join(HERE, "..", "tools"))
import wdf  # noqa: E402


def archive_of_small_entries(path, count):
    """count entries of 4 bytes each, ids in ascending order."""
    wdf.write_file(path, ((k, struct.pack("<I", k)) for k in range(count)))


def archive_of_two_kinds(path, count):
    """count small entries, text and data by turns, so that a filter by kind keeps half."""
    wdf.write_file(path, ((k, b"ab\r\n" if k % 2 == 0 else struct.pack("<I", k) + b"\0")
                          for k in range(count)))


def bmp(width, height):
    row = bytes((x * 7 + 13) % 256 for x in range(width * 3))
    row += b"\0" * ((4 - len(row) % 4) % 4)
    pixels = row * height
    return (struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54) +
            struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0,
                        0) + pixels)


def png(width, height):
    """A picture whose bytes do not compress, so that the file is as large as its pixels."""
    state = 12345
    raw = bytearray()
    for _ in range(height):
        raw.append(0)
        row = bytearray(width * 3)
        for k in range(0, len(row), 4):
            state = (state * 1103515245 + 12345) & 0xFFFFFFFF
            row[k:k + 4] = state.to_bytes(4, "little")[:len(row) - k]
        raw += row

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 1)) + chunk(b"IEND", b""))


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    build = os.path.abspath(sys.argv[1])
    entries = int(sys.argv[2]) if len(sys.argv) > 2 else 1000000
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    os.environ.setdefault("VELMORA_BUILD_DIR", build)
    os.environ.setdefault("VELMORA_WINE_RUN", os.path.join(HERE, "..", "tests", "wine",
                                                           "wine-run.sh"))
    os.environ.setdefault("VELMORA_UI_DRIVER", os.path.join(build, "tests", "ui_driver.exe"))
    import velmora_e2e as e2e
    e2e.BUILD_DIR = build
    e2e.WINE_RUN = os.environ["VELMORA_WINE_RUN"]
    e2e.UI_DRIVER = os.environ["VELMORA_UI_DRIVER"]
    e2e.SCENARIO_ROOT = os.path.join(build, "e2e")
    e2e.map_scenario_drive()
    studio = os.path.join(build, "VelmoraStudio.exe")
    scenario = e2e.Scenario("studio-bench")
    archive_of_small_entries(scenario.path("empty.wdf"), 0)
    archive_of_small_entries(scenario.path("large.wdf"), entries)
    archive_of_two_kinds(scenario.path("kinds.wdf"), entries)
    small_picture = bmp(100, 100)
    scenario.write_wdf("pictures.wdf", [(1, small_picture), (2, bmp(1870, 1870)),
                                        (3, png(1860, 1860))])
    sizes = [len(small_picture), len(bmp(1870, 1870)), len(png(1860, 1860))]

    def open_case(name, count):
        result = scenario.run(b'"' + scenario.win(name) + b'"', program=studio,
                              main_window="VelmoraStudio", timeout_ms=120000,
                              steps=["wait-count %d" % count, "memory", "close"])
        waited = e2e.event_fields(result, "waited")[0]
        memory = e2e.event_fields(result, "memory")[0]
        return int(waited["since-start"]), int(memory["working"]), int(memory["peak"])

    def filter_case(text, expected):
        """ms from the list shown to the list filtered by `text`, and ms to the list shown."""
        result = scenario.run(b'"' + scenario.win("kinds.wdf") + b'"', program=studio,
                              main_window="VelmoraStudio", timeout_ms=120000,
                              steps=["wait-count %d" % entries, "set-text 3200 " + text,
                                     "wait-count %d" % expected, "close"])
        shown, filtered = e2e.event_fields(result, "waited")
        if int(filtered[0]) >= 60000:
            raise SystemExit("the filter %r did not give %d rows:\n%s" % (
                text, expected, result.describe()))
        began = [int(f["ms"]) for f in e2e.event_fields(result, "step") if f[1] == "set-text"][0]
        return int(filtered["since-start"]) - began, int(shown["since-start"])

    def preview_case():
        result = scenario.run(b'"' + scenario.win("pictures.wdf") + b'"', program=studio,
                              main_window="VelmoraStudio", timeout_ms=120000,
                              steps=["select-wait 0 3210", "select-wait 1 3210",
                                     "select-wait 2 3210", "close"])
        return [int(f[0]) for f in e2e.event_fields(result, "waited")]

    empty, large, previews, by_kind, by_id = [], [], [], [], []
    # Ids 0x10000-0x1FFFF: a sixteenth of a million, the same work for the list as a kind's half.
    id_prefix, id_count = "0001", min(entries, 0x20000) - min(entries, 0x10000)
    for _ in range(runs):
        empty.append(open_case("empty.wdf", 0))
        large.append(open_case("large.wdf", entries))
        by_kind.append(filter_case("text", (entries + 1) // 2))
        by_id.append(filter_case(id_prefix, id_count))
        previews.append(preview_case())
    median = statistics.median
    empty_ms = median(e[0] for e in empty)
    large_ms = median(e[0] for e in large)
    per_entry = (median(e[1] for e in large) - median(e[1] for e in empty)) / max(1, entries)
    peak_per_entry = (median(e[2] for e in large) - median(e[2] for e in empty)) / max(1, entries)
    print("open %d entries until the list holds them: %d ms from the start (empty archive: %d ms,"
          " ratio %.2f)" % (entries, large_ms, empty_ms, large_ms / max(1, empty_ms)))
    print("memory beyond an empty archive, once the list is up: %.1f bytes per entry (working set;"
          " peak working set while opening %.1f)" % (per_entry, peak_per_entry))
    kind_ms = median(k[0] for k in by_kind)
    id_ms = median(k[0] for k in by_id)
    print("filter %d entries by kind right after the list is shown: %d ms (by an id prefix: %d ms,"
          " ratio %.2f); the list was shown %d ms from the start" % (
              entries, kind_ms, id_ms, kind_ms / max(1, id_ms), median(k[1] for k in by_kind)))
    small_ms = median(p[0] for p in previews)
    for k, label in ((1, "BMP"), (2, "PNG")):
        ms = median(p[k] for p in previews)
        print("preview of a %.1f MB %s picture: %d ms (100 x 100 BMP: %d ms, ratio %.1f)" % (
            sizes[k] / 1e6, label, ms, small_ms, ms / max(1, small_ms)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
