#!/usr/bin/env python3
"""Draws Mantole's icons: 32x32 images in the 16 colours of the standard VGA
palette, each a 744-byte icon image (the size the writer patches).

  make_icons.py OUTDIR

writes OUTDIR/stub.ico (the extractor stub's own icon), OUTDIR/icon-NN.ico
and OUTDIR/icones.rc (the icon library, one group per icon).
"""
import math
import os
import struct
import sys

PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
SIZE = 32


def inside(shape, x, y):
    """Whether pixel (x, y), y downwards, belongs to the shape."""
    cx, cy = x - 15.5, y - 15.5
    r = math.hypot(cx, cy)
    if shape == "disc":
        return r <= 14
    if shape == "ring":
        return 8 <= r <= 14
    if shape == "square":
        return 3 <= x <= 28 and 3 <= y <= 28
    if shape == "diamond":
        return abs(cx) + abs(cy) <= 15
    if shape == "triangle":
        return y >= 4 and abs(cx) <= (y - 4) * 0.55 and y <= 28
    if shape == "arrow":  # pointing down: extracting
        return (abs(cx) <= 4 and 2 <= y <= 18) or (y >= 16 and abs(cx) <= 29 - y and y <= 29)
    if shape == "box":  # a parcel with its string
        return 4 <= x <= 27 and 8 <= y <= 27
    if shape == "folder":
        return (3 <= x <= 28 and 10 <= y <= 27) or (3 <= x <= 13 and 6 <= y <= 10)
    if shape == "cross":
        return abs(cx) <= 4 or abs(cy) <= 4
    if shape == "star":
        angle = math.atan2(cy, cx)
        return r <= 8 + 6 * abs(math.cos(2.5 * angle))
    raise ValueError(shape)


def detail(shape, x, y):
    """Whether the pixel is drawn in the second colour."""
    if shape == "box":
        return x in (15, 16) or y in (16, 17)
    if shape == "folder":
        return y == 10 or y == 11
    if shape in ("disc", "square", "diamond", "triangle"):
        return (x + y) % 8 < 2
    return False


def image(shape, main, second):
    pixels, mask = [], []
    for y in range(SIZE):
        row, bits = [], []
        for x in range(SIZE):
            if inside(shape, x, y):
                row.append(second if detail(shape, x, y) else main)
                bits.append(0)
            else:
                row.append(0)
                bits.append(1)  # transparent
        pixels.append(row)
        mask.append(bits)
    xor = b"".join(bytes((row[i] << 4) | row[i + 1] for i in range(0, SIZE, 2)) for row in reversed(pixels))
    andmask = b"".join(bytes(int("".join(map(str, bits[i:i + 8])), 2) for i in range(0, SIZE, 8))
                       for bits in reversed(mask))
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, len(xor) + len(andmask), 0, 0, 16, 0)
    data = header + palette + xor + andmask
    assert len(data) == 744, len(data)
    return data


def icon_file(data):
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(data), 22) + data


ICONS = [
    ("box", 3, 1), ("arrow", 12, 4), ("folder", 11, 3), ("disc", 9, 15), ("disc", 10, 15), ("disc", 12, 15),
    ("square", 6, 14), ("square", 13, 5), ("diamond", 11, 9), ("diamond", 14, 4), ("triangle", 11, 0),
    ("triangle", 10, 2), ("ring", 12, 4), ("ring", 9, 1), ("cross", 9, 15), ("cross", 2, 10),
    ("star", 11, 9), ("star", 14, 12),
]


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "stub.ico"), "wb") as f:
        f.write(icon_file(image("box", 3, 1)))
    lines = ["// Made by make_icons.py: one icon group per icon, numbered from 1.\n"]
    for n, (shape, main_colour, second) in enumerate(ICONS, 1):
        name = "icon-%02d.ico" % n
        with open(os.path.join(out, name), "wb") as f:
            f.write(icon_file(image(shape, main_colour, second)))
        lines.append('%d ICON "%s"\n' % (n, name))
    with open(os.path.join(out, "icones.rc"), "w") as f:
        f.writelines(lines)


if __name__ == "__main__":
    main()
