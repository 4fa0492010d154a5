#!/usr/bin/env python3
"""Makes Mantole's side picture and sounds, from nothing but arithmetic.

  make_media.py OUTDIR

writes OUTDIR/matrix.gif, the animated 57x230 picture beside the wizard's
pages (sheets of paper drifting down into a parcel whose zip runs shut), and
the sounds of the Finish sequence: 11.wav and 12.wav (step one starts and is
done), 21.wav and 22.wav (step two starts and is done, the creation begins),
3.wav (the executable is made), 4.wav (all finished) and error.wav (the
creation failed). Sounds are 16-bit mono PCM at 22050 Hz, each under a
second, quiet and faded in and out so that they never click.

The GIF encoder (LZW included) is written here: only the standard library is
used, so the build needs nothing but Python.
"""
import math
import os
import struct
import sys
import wave

# ---------------------------------------------------------------- picture

WIDTH, HEIGHT = 57, 230
FRAMES = 40
DELAY_CS = 10          # hundredths of a second per frame: a loop of 4 s

# The story of one loop, in fractions of it: the sheets drop in while the zip
# is open, it runs shut, a light sweeps the parcel, the zip opens again.
FALL = 0.7                        # how long one sheet takes to fall
ARRIVALS = (0.15, 0.30, 0.45)     # when each sheet is in
SHUT_FROM, SHUT, OPEN_FROM = 0.47, 0.72, 0.9

SKY_TOP = (44, 66, 92)       # deep slate blue
SKY_BOTTOM = (122, 146, 168)  # soft steel, close to the silver page
PAPER = (246, 243, 233)
PAPER_EDGE = (176, 170, 152)
PAPER_FOLD = (214, 208, 190)
INK = (150, 160, 176)
BOX = (214, 190, 142)         # light kraft
BOX_DARK = (158, 130, 86)
BOX_SHADE = (188, 162, 114)
BOX_INSIDE = (92, 76, 56)
TAPE = (96, 124, 150)
TEETH = (205, 210, 218)
PULL = (236, 238, 242)
SHADOW = (34, 48, 66)

BOX_LEFT, BOX_RIGHT = 8, 49        # front face, x in [left, right)
BOX_TOP, BOX_BOTTOM = 176, 216     # front face, y in [top, bottom)
ZIP_Y = BOX_TOP - 4                # the zip runs along the parcel's mouth


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def overlap(a0, a1, b0, b1):
    return max(0.0, min(a1, b1) - max(a0, b0))


class Canvas:
    """An RGB image of floats; shapes are drawn with area coverage, so edges
    are smooth without supersampling."""

    def __init__(self):
        self.px = [[(0.0, 0.0, 0.0)] * WIDTH for _ in range(HEIGHT)]

    def background(self):
        for y in range(HEIGHT):
            t = y / (HEIGHT - 1)
            colour = mix(SKY_TOP, SKY_BOTTOM, t)
            self.px[y] = [colour] * WIDTH

    def blend(self, x, y, colour, alpha):
        if 0 <= x < WIDTH and 0 <= y < HEIGHT and alpha > 0:
            self.px[y][x] = mix(self.px[y][x], colour, min(alpha, 1.0))

    def rect(self, x0, y0, x1, y1, colour, alpha=1.0):
        for y in range(max(0, int(math.floor(y0))), min(HEIGHT, int(math.ceil(y1)))):
            cy = overlap(y, y + 1, y0, y1)
            for x in range(max(0, int(math.floor(x0))), min(WIDTH, int(math.ceil(x1)))):
                self.blend(x, y, colour, alpha * cy * overlap(x, x + 1, x0, x1))

    def ellipse(self, cx, cy, rx, ry, colour, alpha=1.0):
        for y in range(max(0, int(cy - ry) - 1), min(HEIGHT, int(cy + ry) + 2)):
            for x in range(max(0, int(cx - rx) - 1), min(WIDTH, int(cx + rx) + 2)):
                d = math.hypot((x + 0.5 - cx) / rx, (y + 0.5 - cy) / ry)
                self.blend(x, y, colour, alpha * max(0.0, min(1.0, (1.0 - d) * min(rx, ry))))

    def pixels(self):
        return [tuple(int(round(c)) for c in p) for row in self.px for p in row]


def draw_sheet(c, cx, top, tilt):
    """A sheet of paper 13x16 with a folded corner and lines of text."""
    w, h, fold = 13, 16, 4
    x0 = cx - w / 2 + tilt
    # edge, then paper, row by row for the top rows so the corner stays cut
    c.rect(x0 - 0.5, top + fold - 0.5, x0 + w + 0.5, top + h + 0.5, PAPER_EDGE, 0.8)
    c.rect(x0 - 0.5, top - 0.5, x0 + w - fold + 0.5, top + fold, PAPER_EDGE, 0.8)
    c.rect(x0, top + fold, x0 + w, top + h, PAPER)
    for i in range(fold):
        c.rect(x0, top + i, x0 + w - fold, top + i + 1, PAPER)
        c.rect(x0 + w - fold, top + i, x0 + w - fold + i + 1, top + i + 1, PAPER_FOLD)
    for line in range(4):
        length = (8, 9, 6, 8)[line]
        c.rect(x0 + 2, top + 5 + line * 2.6, x0 + 2 + length, top + 6 + line * 2.6, INK, 0.8)


def draw_parcel(c, closed, glint):
    """The parcel: its dark mouth, the zip along it (closed left of the pull,
    open right of it), the front face with a band of tape, a soft shadow."""
    c.ellipse(28.5, BOX_BOTTOM + 3, 25, 4, SHADOW, 0.45)
    # the mouth and the back flap, seen from a little above
    c.rect(BOX_LEFT + 2, ZIP_Y - 6, BOX_RIGHT - 2, ZIP_Y, BOX_SHADE)
    gap = 3.0 * (1.0 - closed)
    pull_x = BOX_LEFT + 2 + (BOX_RIGHT - BOX_LEFT - 4) * closed
    # the opening: wide right of the pull, shut left of it
    c.rect(pull_x, ZIP_Y - 1 - 1.5, BOX_RIGHT - 2, ZIP_Y + 1.5, BOX_INSIDE)
    c.rect(BOX_LEFT + 1, ZIP_Y, BOX_RIGHT - 1, BOX_TOP, BOX_SHADE)
    c.rect(BOX_LEFT, BOX_TOP, BOX_RIGHT, BOX_BOTTOM, BOX)
    c.rect(BOX_LEFT, BOX_TOP, BOX_LEFT + 1, BOX_BOTTOM, BOX_DARK, 0.7)
    c.rect(BOX_RIGHT - 1, BOX_TOP, BOX_RIGHT, BOX_BOTTOM, BOX_DARK, 0.7)
    c.rect(BOX_LEFT, BOX_BOTTOM - 1, BOX_RIGHT, BOX_BOTTOM, BOX_DARK, 0.8)
    c.rect(BOX_LEFT, BOX_TOP, BOX_RIGHT, BOX_TOP + 1, BOX_DARK, 0.5)
    # tape band with a small arrow pointing in: files go in here
    c.rect(BOX_LEFT, BOX_TOP + 14, BOX_RIGHT, BOX_TOP + 21, TAPE, 0.85)
    for i in range(4):
        c.rect(28.5 - 3.5 + i, BOX_TOP + 15 + i, 28.5 + 3.5 - i, BOX_TOP + 16 + i, TEETH, 0.9)
    # zip teeth: interlocked (one line) where closed, two rows apart where open
    for x in range(BOX_LEFT + 2, BOX_RIGHT - 2, 2):
        if x + 1 <= pull_x:
            c.rect(x, ZIP_Y - 1, x + 1, ZIP_Y + 1, TEETH)
            c.rect(x + 1, ZIP_Y - 1, x + 2, ZIP_Y + 1, BOX_DARK, 0.6)
        else:
            c.rect(x, ZIP_Y - 2 - gap / 2, x + 1, ZIP_Y - 1 - gap / 2, TEETH)
            c.rect(x, ZIP_Y + 1 + gap / 2, x + 1, ZIP_Y + 2 + gap / 2, TEETH)
    # the pull tab, hanging from the slider
    c.rect(pull_x - 2, ZIP_Y - 2, pull_x + 2, ZIP_Y + 2, PULL)
    c.rect(pull_x - 1, ZIP_Y + 2, pull_x + 1, ZIP_Y + 7, PULL)
    c.rect(pull_x - 1, ZIP_Y + 6, pull_x + 1, ZIP_Y + 7, BOX_DARK, 0.6)
    if glint is not None:  # a light sweeping across the closed parcel
        for y in range(BOX_TOP + 1, BOX_BOTTOM - 1):
            gx = glint - (y - BOX_TOP) * 0.4
            for x in range(BOX_LEFT + 1, BOX_RIGHT - 1):
                c.blend(x, y, (255, 250, 235), 0.35 * max(0.0, 1.0 - abs(x + 0.5 - gx) / 3.0))


def smooth(u):
    return u * u * (3 - 2 * u)


def closed_at(t):
    """How far the zip is shut at time t of the loop, 0 to 1."""
    if t < SHUT_FROM:
        return 0.0
    if t < SHUT:
        return smooth((t - SHUT_FROM) / (SHUT - SHUT_FROM))
    if t < OPEN_FROM:
        return 1.0
    return 1.0 - smooth((t - OPEN_FROM) / (1.0 - OPEN_FROM))


def render(f):
    t = f / FRAMES
    c = Canvas()
    c.background()
    # faint motes rising slowly, for depth
    for i in range(7):
        x = (i * 23 + 7) % WIDTH
        y = (HEIGHT - 60) - ((f * 4 + i * 29) % 160)
        c.blend(x, y, (200, 214, 230), 0.25 + 0.1 * math.sin((f + i * 5) * 2 * math.pi / FRAMES))
    # the sheets, each seen only while it falls; the parcel hides its end
    for k, arrival in enumerate(ARRIVALS):
        u = ((t - arrival + FALL) % 1.0) / FALL
        if u > 1.0:
            continue
        top = -18 + (ZIP_Y + 2 + 18) * u
        sway = 2 * math.pi * (u * 0.8 + k * 0.3)
        draw_sheet(c, 28.5 + 6.0 * math.sin(sway), top, 1.5 * math.cos(sway))
    glint = None
    if SHUT <= t < OPEN_FROM:
        glint = BOX_LEFT - 6 + (BOX_RIGHT - BOX_LEFT + 24) * (t - SHUT) / (OPEN_FROM - SHUT)
    draw_parcel(c, closed_at(t), glint)
    return c.pixels()


def palette_for(frames):
    """At most 255 colours (index 255 stays free for transparency): the
    colours of all frames, cut by median cut when there are too many."""
    counts = {}
    for frame in frames:
        for p in frame:
            counts[p] = counts.get(p, 0) + 1
    colours = list(counts)
    if len(colours) <= 255:
        return colours
    boxes = [colours]
    while len(boxes) < 255:
        boxes.sort(key=lambda b: max(max(p[i] for p in b) - min(p[i] for p in b) for i in range(3)))
        box = boxes.pop()
        if len(box) < 2:
            boxes.append(box)
            break
        axis = max(range(3), key=lambda i: max(p[i] for p in box) - min(p[i] for p in box))
        box.sort(key=lambda p: p[axis])
        boxes += [box[:len(box) // 2], box[len(box) // 2:]]
    result = []
    for box in boxes:
        weight = sum(counts[p] for p in box)
        result.append(tuple(int(round(sum(p[i] * counts[p] for p in box) / weight)) for i in range(3)))
    return result


def nearest(palette):
    cache = {}

    def index(p):
        if p not in cache:
            cache[p] = min(range(len(palette)),
                           key=lambda i: sum((palette[i][k] - p[k]) ** 2 for k in range(3)))
        return cache[p]
    return index


def lzw_encode(indices, min_size):
    """GIF's variable-width LZW: codes from min_size + 1 up to 12 bits, packed
    least significant bit first; a clear code when the table is full."""
    clear, end = 1 << min_size, (1 << min_size) + 1
    out = bytearray()
    bits = nbits = 0

    def emit(code, size):
        nonlocal bits, nbits
        bits |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8

    def fresh():
        return {(-1, i): i for i in range(clear)}, end + 1, min_size + 1

    table, next_code, size = fresh()
    emit(clear, size)
    prefix = -1
    for symbol in indices:
        key = (prefix, symbol)
        if key in table:
            prefix = table[key]
            continue
        emit(prefix, size)
        if next_code < 4096:
            table[key] = next_code
            if next_code >= 1 << size:
                size += 1
            next_code += 1
        else:
            emit(clear, size)
            table, next_code, size = fresh()
        prefix = table[(-1, symbol)]
    if prefix >= 0:
        emit(prefix, size)
    emit(end, size)
    if nbits:
        out.append(bits & 0xFF)
    return bytes(out)


def sub_blocks(data):
    return b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255] for i in range(0, len(data), 255)) + b"\0"


def encode_gif(frames, delay_cs):
    """An infinitely looping GIF89a. The first frame is whole; each later one
    is the rectangle that changed, with unchanged pixels transparent, drawn
    over the previous frame."""
    palette = palette_for(frames)
    index = nearest(palette)
    indexed = [[index(p) for p in frame] for frame in frames]
    transparent = 255
    table = palette + [(0, 0, 0)] * (256 - len(palette))
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", WIDTH, HEIGHT, 0xF7, 0, 0)
    out += b"".join(bytes(c) for c in table)
    out += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"
    previous = None
    for frame in indexed:
        if previous is None:
            x0, y0, x1, y1 = 0, 0, WIDTH, HEIGHT
            pixels = frame
        else:
            changed = [i for i in range(len(frame)) if frame[i] != previous[i]]
            if not changed:
                changed = [0]
            ys = [i // WIDTH for i in changed]
            xs = [i % WIDTH for i in changed]
            x0, y0, x1, y1 = min(xs), min(ys), max(xs) + 1, max(ys) + 1
            pixels = [frame[y * WIDTH + x] if frame[y * WIDTH + x] != previous[y * WIDTH + x] else transparent
                      for y in range(y0, y1) for x in range(x0, x1)]
        # graphic control: leave in place (1), transparent index on later frames
        flags = (1 << 2) | (1 if previous is not None else 0)
        out += struct.pack("<BBBBHBB", 0x21, 0xF9, 4, flags, delay_cs, transparent, 0)
        out += struct.pack("<BHHHHB", 0x2C, x0, y0, x1 - x0, y1 - y0, 0)
        out += bytes([8]) + sub_blocks(lzw_encode(pixels, 8))
        previous = frame
    out += b"\x3B"
    return bytes(out)


# ----------------------------------------------------------------- sounds

RATE = 22050
PEAK = 0.28   # of full scale, about -11 dBFS


def note(name):
    """Frequency of a note such as 'E5' or 'F#4', equal temperament, A4 = 440."""
    steps = {"C": -9, "C#": -8, "D": -7, "D#": -6, "E": -5, "F": -4, "F#": -3,
             "G": -2, "G#": -1, "A": 0, "A#": 1, "B": 2}
    return 440.0 * 2 ** ((steps[name[:-1]] + 12 * (int(name[-1]) - 4)) / 12)


def tone(buffer, start, freq, length, decay, partials, gain=1.0):
    """Adds a bell-like tone: a few partials under a 6 ms raised-cosine attack,
    an exponential decay and a raised-cosine release over its last 40%."""
    first = int(start * RATE)
    count = int(length * RATE)
    attack = int(0.006 * RATE)
    release_from = int(count * 0.6)
    for n in range(count):
        t = n / RATE
        env = math.exp(-t / decay)
        if n < attack:
            env *= 0.5 - 0.5 * math.cos(math.pi * n / attack)
        if n >= release_from:
            env *= 0.5 + 0.5 * math.cos(math.pi * (n - release_from) / (count - release_from))
        s = sum(a * math.sin(2 * math.pi * freq * m * t) * math.exp(-t * (m - 1) * 6)
                for m, a in partials)
        if first + n < len(buffer):
            buffer[first + n] += gain * env * s


MARIMBA = [(1, 1.0), (4, 0.12)]
BELL = [(1, 1.0), (2, 0.25), (3, 0.08)]
SOFT = [(1, 1.0), (2, 0.15)]

# name: (length in seconds, [(start, note, length, decay, timbre, gain)])
SOUNDS = {
    "11": (0.30, [(0.0, "E5", 0.30, 0.08, MARIMBA, 1.0)]),
    "12": (0.28, [(0.0, "G5", 0.28, 0.07, MARIMBA, 0.9)]),
    "21": (0.30, [(0.0, "A5", 0.30, 0.08, MARIMBA, 1.0)]),
    "22": (0.45, [(0.0, "C5", 0.30, 0.09, MARIMBA, 0.9), (0.12, "G5", 0.33, 0.09, MARIMBA, 0.9)]),
    "3": (0.90, [(0.0, "C5", 0.90, 0.30, BELL, 0.7), (0.10, "E5", 0.80, 0.28, BELL, 0.6),
                 (0.20, "G5", 0.70, 0.26, BELL, 0.55), (0.30, "C6", 0.60, 0.24, BELL, 0.5)]),
    "4": (0.80, [(0.0, "G4", 0.80, 0.32, SOFT, 0.6), (0.0, "C5", 0.80, 0.30, SOFT, 0.5),
                 (0.0, "E5", 0.80, 0.28, SOFT, 0.35)]),
    "error": (0.85, [(0.0, "E4", 0.40, 0.20, SOFT, 1.0), (0.30, "C4", 0.55, 0.28, SOFT, 1.0)]),
}


def synthesise(length, tones):
    buffer = [0.0] * int(length * RATE)
    for start, name, tlen, decay, timbre, gain in tones:
        tone(buffer, start, note(name), min(tlen, length - start), decay, timbre, gain)
    top = max(abs(s) for s in buffer)
    samples = [int(round(s / top * PEAK * 32767)) for s in buffer]
    samples[0] = samples[-1] = 0
    return samples


def write_wav(path, samples):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(struct.pack("<%dh" % len(samples), *samples))


def write_atomically(path, writer):
    partial = path + ".partial"
    writer(partial)
    os.replace(partial, path)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_media.py OUTDIR")
    outdir = sys.argv[1]
    os.makedirs(outdir, exist_ok=True)
    for name, (length, tones) in SOUNDS.items():
        samples = synthesise(length, tones)
        write_atomically(os.path.join(outdir, name + ".wav"), lambda p, s=samples: write_wav(p, s))
    gif = encode_gif([render(f) for f in range(FRAMES)], DELAY_CS)

    def write_gif(p):
        with open(p, "wb") as out:
            out.write(gif)
    write_atomically(os.path.join(outdir, "matrix.gif"), write_gif)


if __name__ == "__main__":
    main()
