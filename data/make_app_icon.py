#!/usr/bin/env python3
"""Draws Mantole's program icon for the desktop: a parcel with its string
and an arrow out of it, as PNG files in the hicolor theme's layout.

  make_app_icon.py OUTDIR SIZE...

writes OUTDIR/hicolor/SIZExSIZE/apps/mantole.png for each size. Every file
carries the text "X-Mantole-Entry" near its start: the per-user copies the
wizard installs are removed by that mark, as its other menu entries are.
"""
import os
import struct
import sys
import zlib

SAMPLES = 4  # per side of a pixel, for smooth edges

BOX = (196, 140, 78)
BOX_DARK = (120, 78, 34)
STRING = (244, 226, 180)
ARROW = (40, 150, 60)
ARROW_DARK = (20, 90, 35)


def colour_at(u, v):
    """The colour at (u, v) in a unit square, y downwards, or None."""
    # The arrow sits over the parcel's lower right corner.
    ax, ay = u - 0.74, v - 0.70
    if (abs(ax) <= 0.09 and -0.24 <= ay <= 0.04) or (0.0 <= ay <= 0.26 and abs(ax) <= 0.24 - ay):
        edge = abs(ax) > 0.065 and ay < 0.02 or (ay >= 0.0 and abs(ax) > 0.2 - ay)
        return ARROW_DARK if edge else ARROW
    if 0.08 <= u <= 0.80 and 0.16 <= v <= 0.84:
        if u < 0.12 or u > 0.76 or v < 0.20 or v > 0.80:
            return BOX_DARK
        if abs(u - 0.44) < 0.04 or abs(v - 0.50) < 0.04:
            return STRING
        if v < 0.30:
            return tuple(min(255, c + 24) for c in BOX)  # the lid
        return BOX
    return None


def draw(size):
    rows = []
    for y in range(size):
        row = bytearray([0])  # no filter
        for x in range(size):
            r = g = b = a = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at((x + (sx + 0.5) / SAMPLES) / size, (y + (sy + 0.5) / SAMPLES) / size)
                    if c:
                        r, g, b, a = r + c[0], g + c[1], b + c[2], a + 1
            row += bytes((r // a, g // a, b // a, 255 * a // SAMPLES ** 2) if a else (0, 0, 0, 0))
        rows.append(bytes(row))
    return b"".join(rows)


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png(size):
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"tEXt", b"Comment\0X-Mantole-Entry")
            + chunk(b"IDAT", zlib.compress(draw(size), 9)) + chunk(b"IEND", b""))


def main():
    if len(sys.argv) < 3:
        sys.exit("usage: make_app_icon.py OUTDIR SIZE...")
    for size in map(int, sys.argv[2:]):
        folder = os.path.join(sys.argv[1], "hicolor", "%dx%d" % (size, size), "apps")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "mantole.png"), "wb") as f:
            f.write(png(size))


if __name__ == "__main__":
    main()
