#!/usr/bin/env python3
"""Draws Zelvo's application icon and writes it as a Windows .ico file.

The picture is a small window whose toolbar band carries a striped skin.
Each size has its own geometry, tuned by hand so the 16-pixel icon stays
crisp instead of being a blurred copy of the large one.

Entries are 32-bit BGRA DIBs with an AND mask: the form windres and every
LoadIcon implementation accept.

    python3 res/icon/make_icon.py [OUTPUT]      (default: res/zelvo.ico)
"""

import os
import struct
import sys

OUTLINE = (0x1B, 0x25, 0x3D)
TITLE_TOP = (0x3C, 0x7B, 0xE8)
TITLE_BOTTOM = (0x1F, 0x4F, 0xB5)
CLOSE = (0xE5, 0x48, 0x4D)
PAGE = (0xFF, 0xFF, 0xFF)
TEXT_LINE = (0xB9, 0xC1, 0xCE)
BUTTON = (0xFF, 0xFF, 0xFF)
BUTTON_EDGE = (0x6B, 0x4A, 0x2A)
# The skin: one stripe per colour, repeated along the band.
STRIPES = [
    (0xE8, 0x3A, 0x6B),
    (0xF7, 0x93, 0x1E),
    (0xF9, 0xD2, 0x3C),
    (0x3D, 0xB8, 0x6B),
    (0x2B, 0xA8, 0xD8),
]

# Hand-tuned geometry per size; rectangles are (left, top, right, bottom),
# inclusive, in pixels.
DESIGNS = {
    16: dict(
        window=(0, 1, 15, 14), corner=0, shadow=False,
        title=(1, 2, 14, 4), close=None,
        band=(1, 5, 14, 9), stripe=2, slant=1, samples=1,
        buttons=[],
        lines=[(3, 11, 12), (3, 13, 9)],
    ),
    32: dict(
        window=(1, 2, 29, 28), corner=1, shadow=True,
        title=(2, 3, 28, 7), close=(24, 4, 26, 6),
        band=(2, 8, 28, 16), stripe=4, slant=1, samples=4,
        buttons=[(4, 10, 8, 14), (10, 10, 14, 14)],
        lines=[(5, 20, 25), (5, 23, 22), (5, 26, 17)],
    ),
    48: dict(
        window=(2, 4, 44, 42), corner=2, shadow=True,
        title=(3, 5, 43, 11), close=(37, 6, 41, 10),
        band=(3, 12, 43, 24), stripe=6, slant=1, samples=4,
        buttons=[(6, 15, 12, 21), (15, 15, 21, 21), (24, 15, 30, 21)],
        lines=[(7, 29, 38), (7, 33, 34), (7, 37, 26)],
    ),
}


class Canvas:
    def __init__(self, size):
        self.size = size
        self.px = [[(0, 0, 0, 0)] * size for _ in range(size)]

    def blend(self, x, y, rgb, alpha=1.0):
        if not (0 <= x < self.size and 0 <= y < self.size) or alpha <= 0:
            return
        r0, g0, b0, a0 = self.px[y][x]
        a0 /= 255.0
        a = alpha + a0 * (1 - alpha)
        mix = [(c * alpha + c0 * a0 * (1 - alpha)) / a for c, c0 in zip(rgb, (r0, g0, b0))]
        self.px[y][x] = tuple(int(round(c)) for c in mix) + (int(round(a * 255)),)

    def rect(self, box, rgb, alpha=1.0):
        left, top, right, bottom = box
        for y in range(top, bottom + 1):
            for x in range(left, right + 1):
                self.blend(x, y, rgb, alpha)

    def gradient(self, box, top_rgb, bottom_rgb):
        left, top, right, bottom = box
        rows = max(bottom - top, 1)
        for y in range(top, bottom + 1):
            t = (y - top) / rows
            rgb = tuple(a + (b - a) * t for a, b in zip(top_rgb, bottom_rgb))
            self.rect((left, y, right, y), rgb)

    def rounded(self, box, radius, rgb, alpha=1.0):
        """Fills a rectangle whose corners are cut by `radius` pixels."""
        left, top, right, bottom = box
        for y in range(top, bottom + 1):
            for x in range(left, right + 1):
                dx = max(left + radius - x, x - (right - radius), 0)
                dy = max(top + radius - y, y - (bottom - radius), 0)
                if dx + dy <= radius:
                    self.blend(x, y, rgb, alpha)


def stripe_colour(u):
    return STRIPES[int(u) % len(STRIPES)]


def draw_band(canvas, d):
    # Large sizes are supersampled for smooth stripe edges; 16 px uses one
    # sample so every stripe is a run of solid pixels.
    left, top, right, bottom = d["band"]
    width, slant, n = d["stripe"], d["slant"], d["samples"]
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            acc = [0.0, 0.0, 0.0]
            for sy in range(n):
                for sx in range(n):
                    fx = x + (sx + 0.5) / n
                    fy = y + (sy + 0.5) / n
                    c = stripe_colour((fx + slant * (fy - top)) / width)
                    for i in range(3):
                        acc[i] += c[i]
            canvas.blend(x, y, tuple(v / (n * n) for v in acc))
    # A light top edge and a dark bottom edge make the band read as a bar.
    canvas.rect((left, top, right, top), (255, 255, 255), 0.35)
    canvas.rect((left, bottom, right, bottom), (0, 0, 0), 0.25)


def draw(size):
    d = DESIGNS[size]
    c = Canvas(size)
    left, top, right, bottom = d["window"]
    r = d["corner"]
    if d["shadow"]:
        c.rounded((left + 1, top + 1, right + 1, bottom + 1), r, (0, 0, 0), 0.28)
        c.rounded((left + 2, top + 2, right + 2, bottom + 2), r + 1, (0, 0, 0), 0.12)
    c.rounded(d["window"], r, OUTLINE)
    c.rect((left + 1, top + 1, right - 1, bottom - 1), PAGE)
    c.gradient(d["title"], TITLE_TOP, TITLE_BOTTOM)
    if d["close"]:
        cl, ct, cr, cb = d["close"]
        c.rect(d["close"], CLOSE)
        # The cross needs a red margin around it, which only 48 px affords.
        for i in range(cr - cl - 1 if cr - cl >= 4 else 0):
            c.blend(cl + 1 + i, ct + 1 + i, (0xFF, 0xFF, 0xFF))
            c.blend(cr - 1 - i, ct + 1 + i, (0xFF, 0xFF, 0xFF))
    draw_band(c, d)
    for box in d["buttons"]:
        bl, bt, br, bb = box
        c.rect((bl, bt, br, bb), BUTTON_EDGE, 0.55)
        c.rect((bl, bt, br - 1, bb - 1), BUTTON)
        c.rect((bl + 1, bb - 2, br - 1, bb - 1), (0xD8, 0xDE, 0xE8))
    for x0, y, x1 in d["lines"]:
        c.rect((x0, y, x1, y), TEXT_LINE)
    return c


def dib_entry(canvas):
    size = canvas.size
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for row in reversed(canvas.px):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask_stride = (size + 31) // 32 * 4
    mask = bytearray()
    for row in reversed(canvas.px):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + bytes(xor) + bytes(mask)


def write_ico(path, sizes):
    images = [dib_entry(draw(s)) for s in sizes]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "zelvo.ico")
    write_ico(path, sorted(DESIGNS))
    print(os.path.normpath(path))


if __name__ == "__main__":
    main()
