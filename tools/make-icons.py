#!/usr/bin/env python3
"""Draws the program's icons: res/icons/main.ico (the program's own icon, an archive crate
with a rebuild arrow) and res/icons/picture.ico (the progress dialog's picture, a script page
beside a crate). Each file holds one 32x32 image with a 256-colour palette. Standard library
only; the output is the same on every run.

Usage: tools/make-icons.py [output directory, default res/icons]
"""

import math
import os
import struct
import sys

SIZE = 32
SAMPLES = 4  # supersampling per axis, for smooth edges


def make_palette():
    """A 6x6x6 colour cube, then greys, padded to 256 entries."""
    palette = []
    for r in range(6):
        for g in range(6):
            for b in range(6):
                palette.append((r * 51, g * 51, b * 51))
    for i in range(40):
        level = round(i * 255 / 39)
        palette.append((level, level, level))
    assert len(palette) == 256
    return palette


PALETTE = make_palette()


def nearest(colour):
    r, g, b = colour
    return min(range(256), key=lambda i: (PALETTE[i][0] - r) ** 2 * 3
               + (PALETTE[i][1] - g) ** 2 * 4 + (PALETTE[i][2] - b) ** 2 * 2)


class Canvas:
    """RGBA pixels; shapes are given as functions telling whether a point lies inside."""

    def __init__(self):
        self.pixels = [[(0.0, 0.0, 0.0, 0.0)] * SIZE for _ in range(SIZE)]

    def fill(self, inside, colour):
        for y in range(SIZE):
            for x in range(SIZE):
                hits = 0
                for sy in range(SAMPLES):
                    for sx in range(SAMPLES):
                        if inside(x + (sx + 0.5) / SAMPLES, y + (sy + 0.5) / SAMPLES):
                            hits += 1
                if hits:
                    self.blend(x, y, colour, hits / (SAMPLES * SAMPLES))

    def blend(self, x, y, colour, coverage):
        r, g, b, a = self.pixels[y][x]
        out_a = coverage + a * (1 - coverage)
        mix = [(colour[i] * coverage + (r, g, b)[i] * a * (1 - coverage)) / out_a
               for i in range(3)]
        self.pixels[y][x] = (mix[0], mix[1], mix[2], out_a)


def rounded_rect(x0, y0, x1, y1, radius):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + radius), x1 - radius)
        cy = min(max(y, y0 + radius), y1 - radius)
        return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2
    return inside


def polygon(points):
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i, (xi, yi) in enumerate(points):
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    return inside


def ring(cx, cy, outer, inner, start_deg, end_deg):
    """Part of a ring, from start to end angle (degrees, clockwise from the right)."""
    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        if not inner <= d <= outer:
            return False
        angle = math.degrees(math.atan2(y - cy, x - cx)) % 360
        return start_deg <= angle <= end_deg
    return inside


def segment(x0, y0, x1, y1, width):
    def inside(x, y):
        dx, dy = x1 - x0, y1 - y0
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy)))
        return math.hypot(x - (x0 + t * dx), y - (y0 + t * dy)) <= width / 2
    return inside


def draw_crate(canvas, x0, y0, x1, y1):
    """An archive: a wooden crate with a darker lid and a metal clasp."""
    canvas.fill(rounded_rect(x0, y0, x1, y1, 2.0), (102, 51, 0))
    canvas.fill(rounded_rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 1.5), (204, 153, 51))
    lid = y0 + (y1 - y0) * 0.3
    canvas.fill(rounded_rect(x0 + 1, y0 + 1, x1 - 1, lid, 1.5), (153, 102, 0))
    for k in (0.35, 0.65):  # planks
        canvas.fill(segment(x0 + 2, lid + (y1 - lid) * k, x1 - 2, lid + (y1 - lid) * k, 0.8),
                    (153, 102, 51))
    mid = (x0 + x1) / 2
    canvas.fill(rounded_rect(mid - 2.5, lid - 2, mid + 2.5, lid + 3, 1.0), (51, 51, 51))
    canvas.fill(rounded_rect(mid - 1.5, lid - 1, mid + 1.5, lid + 2, 0.5), (204, 204, 204))


def draw_main_icon():
    canvas = Canvas()
    draw_crate(canvas, 2, 7, 26, 29)
    # The rebuild arrow: a green circular arrow over the crate's lower right corner.
    cx, cy = 23.0, 23.0
    canvas.fill(lambda x, y: math.hypot(x - cx, y - cy) <= 8.2, (255, 255, 255))
    canvas.fill(ring(cx, cy, 6.8, 4.0, 0, 280), (0, 153, 51))
    tip = math.radians(280)
    px, py = cx + 5.4 * math.cos(tip), cy + 5.4 * math.sin(tip)
    canvas.fill(polygon([(px - 3.6, py - 3.2), (px + 4.2, py + 0.2), (px - 3.2, py + 3.6)]),
                (0, 153, 51))
    return canvas


def draw_picture_icon():
    canvas = Canvas()
    # A script page with a folded corner and lines of text.
    page = [(3, 1), (19, 1), (25, 7), (25, 27), (3, 27)]
    canvas.fill(polygon(page), (102, 102, 102))
    canvas.fill(polygon([(4, 2), (18.6, 2), (24, 7.4), (24, 26), (4, 26)]), (255, 255, 255))
    canvas.fill(polygon([(18.5, 1.5), (18.5, 7.5), (24.5, 7.5)]), (204, 204, 204))
    for row, length in enumerate((10, 14, 12, 15, 9)):
        y = 6.5 + row * 3.5
        canvas.fill(segment(7, y, 7 + length * (0.8 if row == 0 else 1.0), y, 1.6),
                    (0, 51, 153) if row == 0 else (51, 102, 204))
    draw_crate(canvas, 14, 16, 31, 31)
    return canvas


def encode_ico(canvas):
    """One 32x32 image, 8 bits per pixel with its palette, and the transparency mask."""
    indices = []
    mask_rows = []
    for y in range(SIZE - 1, -1, -1):  # bitmaps are stored bottom-up
        mask_bits = 0
        for x in range(SIZE):
            r, g, b, a = canvas.pixels[y][x]
            if a < 0.5:
                indices.append(0)
                mask_bits |= 1 << (SIZE - 1 - x)
            else:
                indices.append(nearest((r, g, b)))
        mask_rows.append(struct.pack(">I", mask_bits))
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    xor = bytes(indices)
    and_mask = b"".join(mask_rows)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 8, 0,
                         len(xor) + len(and_mask), 0, 0, 256, 0)
    image = header + palette + xor + and_mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(image), 6 + 16)
    return directory + entry + image


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "res", "icons")
    os.makedirs(out_dir, exist_ok=True)
    for name, draw in (("main.ico", draw_main_icon), ("picture.ico", draw_picture_icon)):
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(encode_ico(draw()))


if __name__ == "__main__":
    main()
