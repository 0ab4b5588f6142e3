#!/usr/bin/env python3
"""Draws Tappy's icons: a smiling orange key-cap.

    python3 tools/make_icons.py res

Writes res/icon129.png (32 x 32, the program's icon), res/icon131.png (16 x 16),
res/tappy.png (256 x 256, for the desktop entry) and res/tappy-48.png, tappy-64.png and
tappy-128.png (the menu's other sizes, installed by the Debian package). Standard library only: the shapes are
sampled here and the PNG files are written by hand, so the same script always writes the
same bytes.

The two small icons keep to 16 colours, as icons of that size traditionally do: each pixel
takes the colour that covers most of it, which keeps the edges crisp at 16 pixels instead of
smearing the smile into the key. The large one is full colour with smoothed edges.
"""

import argparse
import math
import os
import struct
import zlib

TRANSPARENT = (0, 0, 0, 0)
OUTLINE = (92, 52, 16, 255)
SKIRT = (230, 126, 20, 255)
TOP = (255, 196, 64, 255)
SHINE = (255, 226, 140, 255)
INK = (60, 36, 20, 255)
CHEEK = (255, 128, 112, 255)
PALETTE = [TRANSPARENT, OUTLINE, SKIRT, TOP, SHINE, INK, CHEEK]


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        dx = max(x0 + r - x, 0.0, x - (x1 - r))
        dy = max(y0 + r - y, 0.0, y - (y1 - r))
        return dx * dx + dy * dy <= r * r and x0 <= x <= x1 and y0 <= y <= y1

    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def smile(cx, cy, r, width):
    """The lower part of a ring: a grin between 25 and 155 degrees below the centre."""

    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        if abs(d - r) > width / 2 or y <= cy:
            return False
        angle = math.degrees(math.atan2(y - cy, x - cx))
        return 25 <= angle <= 155

    return inside


def shapes(size):
    """The drawing in unit coordinates (origin top-left, y down), back to front. Strokes and
    eyes have a floor of about one pixel so the face survives at 16 x 16."""
    px = 1.0 / size
    stroke = max(0.05, 1.15 * px)
    # At 32 x 32 a smaller eye falls on the pixel grid as a plus sign rather than a dot.
    eye = 0.08 if size == 32 else max(0.065, 1.0 * px)
    return [
        (rounded_rect(0.04, 0.08, 0.96, 0.96, 0.18), OUTLINE),
        (rounded_rect(0.04 + stroke, 0.08 + stroke, 0.96 - stroke, 0.96 - stroke, 0.16), SKIRT),
        (rounded_rect(0.15, 0.12, 0.85, 0.76, 0.13), TOP),
        (rounded_rect(0.21, 0.16, 0.55, 0.24, 0.04), SHINE) if size >= 64 else None,
        (circle(0.375, 0.375, eye), INK),
        (circle(0.625, 0.375, eye), INK),
        (circle(0.26, 0.53, 0.055), CHEEK) if size >= 32 else None,
        (circle(0.74, 0.53, 0.055), CHEEK) if size >= 32 else None,
        (smile(0.5, 0.45, 0.17, stroke), INK),
    ]


def colour_at(layers, x, y):
    colour = TRANSPARENT
    for inside, c in layers:
        if inside(x, y):
            colour = c
    return colour


def render(size, samples=6):
    """Rows of per-pixel sample counts: for each pixel, how many of its samples fell on each
    colour."""
    layers = [layer for layer in shapes(size) if layer is not None]
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            counts = {}
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) / size
                    y = (py + (sy + 0.5) / samples) / size
                    c = colour_at(layers, x, y)
                    counts[c] = counts.get(c, 0) + 1
            row.append(counts)
        rows.append(row)
    return rows


def blend(counts):
    """Average of the samples with premultiplied alpha, so a transparent edge does not darken."""
    total = sum(counts.values())
    a = sum(c[3] * n for c, n in counts.items())
    if a == 0:
        return TRANSPARENT
    rgb = [round(sum(c[i] * c[3] * n for c, n in counts.items()) / a) for i in range(3)]
    return (*rgb, round(a / total))


def majority(counts):
    # Ties go to the colour listed first in the palette, so the result does not depend on
    # the order in which the samples were counted.
    return max(counts.items(), key=lambda item: (item[1], -PALETTE.index(item[0])))[0]


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def write_png(path, size, ihdr_tail, raw_rows, extra=b""):
    data = b"".join(b"\x00" + row for row in raw_rows)
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">II", size, size) + ihdr_tail)
    png += extra
    png += chunk(b"IDAT", zlib.compress(data, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def write_indexed(path, size):
    """4-bit palette PNG with a tRNS entry for the transparent index."""
    rows = []
    for row in render(size):
        indices = [PALETTE.index(majority(counts)) for counts in row]
        packed = bytes((indices[i] << 4) | indices[i + 1] for i in range(0, size, 2))
        rows.append(packed)
    plte = b"".join(bytes(c[:3]) for c in PALETTE)
    trns = bytes(c[3] for c in PALETTE)
    write_png(path, size, struct.pack(">BBBBB", 4, 3, 0, 0, 0), rows,
              chunk(b"PLTE", plte) + chunk(b"tRNS", trns))


def write_rgba(path, size):
    rows = [b"".join(bytes(blend(counts)) for counts in row) for row in render(size, 4)]
    write_png(path, size, struct.pack(">BBBBB", 8, 6, 0, 0, 0), rows)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("out", help="folder for icon129.png, icon131.png and tappy*.png")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    write_indexed(os.path.join(args.out, "icon129.png"), 32)
    write_indexed(os.path.join(args.out, "icon131.png"), 16)
    write_rgba(os.path.join(args.out, "tappy.png"), 256)
    for size in (48, 64, 128):
        write_rgba(os.path.join(args.out, "tappy-%d.png" % size), size)


if __name__ == "__main__":
    main()
