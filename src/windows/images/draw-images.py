#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws the main window's toolbar pictures and the small application icons as PNG files.

The pictures are pixel art in the 16 colours of the classic desktop palette, drawn
from simple shapes so that they stay crisp at 16 x 16. The application icon is drawn
here up to 32 x 32; the larger sizes and the toolbar's double-size pictures are rendered
from the SVG drawings by render-icons.sh. Run it from anywhere; it rewrites the PNG files
beside itself. --preview FILE also writes an enlarged sheet.
"""
import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

PALETTE = {
    "k": (0x00, 0x00, 0x00), "m": (0x80, 0x00, 0x00), "G": (0x00, 0x80, 0x00),
    "o": (0x80, 0x80, 0x00), "n": (0x00, 0x00, 0x80), "p": (0x80, 0x00, 0x80),
    "t": (0x00, 0x80, 0x80), "s": (0xC0, 0xC0, 0xC0), "g": (0x80, 0x80, 0x80),
    "r": (0xFF, 0x00, 0x00), "l": (0x00, 0xFF, 0x00), "y": (0xFF, 0xFF, 0x00),
    "b": (0x00, 0x00, 0xFF), "f": (0xFF, 0x00, 0xFF), "c": (0x00, 0xFF, 0xFF),
    "w": (0xFF, 0xFF, 0xFF),
}


class Canvas:
    def __init__(self, size):
        self.size = size
        self.px = [[None] * size for _ in range(size)]

    def set(self, x, y, c):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.px[y][x] = c

    def get(self, x, y):
        if 0 <= x < self.size and 0 <= y < self.size:
            return self.px[y][x]
        return None

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.set(x, y0, c)
            self.set(x, y1, c)
        for y in range(y0, y1 + 1):
            self.set(x0, y, c)
            self.set(x1, y, c)

    def line(self, x0, y0, x1, y1, c):
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            self.set(x0, y0, c)
            if x0 == x1 and y0 == y1:
                return
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def grid(self, x0, y0, rows):
        for dy, row in enumerate(rows):
            for dx, ch in enumerate(row):
                if ch != ".":
                    self.set(x0 + dx, y0 + dy, ch)

    def png(self):
        raw = bytearray()
        for row in self.px:
            raw.append(0)
            for c in row:
                raw.extend((0, 0, 0, 0) if c is None else PALETTE[c] + (255,))
        return encode_png(self.size, self.size, bytes(raw))


def encode_png(width, height, raw_rgba):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw_rgba, 9)) + chunk(b"IEND", b""))


def page(cv, x0, y0, x1, y1, fold):
    """A white sheet with a black outline and its top right corner folded."""
    cv.rect(x0, y0, x1, y1, "w")
    cv.frame(x0, y0, x1, y1, "k")
    for i in range(fold + 1):
        for j in range(fold + 1 - i):
            cv.set(x1 - j, y0 + i, None)
    cv.line(x1 - fold, y0, x1, y0 + fold, "k")
    cv.line(x1 - fold, y0, x1 - fold, y0 + fold, "k")
    cv.line(x1 - fold, y0 + fold, x1, y0 + fold, "k")


def open_icon():
    cv = Canvas(16)
    cv.grid(0, 2, [
        ".kkkkk..........",
        "koooook.........",
        "koooooookkkkkk..",
        "koooooooooooook.",
        "kooookkkkkkkkkkk",
        "koookyyyyyyyyyyk",
        "kookyyyyyyyyyyk.",
        "kookyyyyyyyyyyk.",
        "kokyyyyyyyyyyk..",
        "kokyyyyyyyyyyk..",
        "kkyyyyyyyyyyk...",
        "kkkkkkkkkkkkk...",
    ])
    return cv


def save_icon():
    cv = Canvas(16)
    cv.grid(0, 0, [
        ".kkkkkkkkkkkkkk.",
        ".kbkwwwwwwwwkbk.",
        ".kbkwwwwwwwwkbk.",
        ".kbkwggggggwkbk.",
        ".kbkwwwwwwwwkbk.",
        ".kbkwggggggwkbk.",
        ".kbkwwwwwwwwkbk.",
        ".kbbkkkkkkkkbbk.",
        ".kbbbbbbbbbbbbk.",
        ".kbbssssssssbbk.",
        ".kbbsskkssssbbk.",
        ".kbbsskkssssbbk.",
        ".kbbsskkssssbbk.",
        ".kbbssssssssbbk.",
        ".kkkkkkkkkkkkkk.",
        "................",
    ])
    return cv


def fix_icon():
    cv = Canvas(16)
    page(cv, 1, 0, 11, 14, 3)
    for y in (3, 5, 7, 9, 11):
        cv.line(3, y, 8 if y in (3, 9) else 9, y, "g")
    # A green tick over the lower right corner, outlined so it reads on the page.
    tick = [(6, 10), (7, 11), (8, 12), (9, 13), (10, 12), (11, 11), (12, 10), (13, 9),
            (14, 8), (15, 7)]
    for x, y in tick:
        for dx, dy in ((0, 1), (0, 2), (-1, 1), (1, 1), (0, 0), (0, 3), (-1, 2), (1, 2)):
            if cv.get(x + dx, y + dy - 1) != "G":
                cv.set(x + dx, y + dy - 1, "k")
    for x, y in tick:
        cv.set(x, y, "G")
        cv.set(x, y + 1, "G")
    return cv


def list_lines(cv):
    page(cv, 0, 0, 10, 14, 0)
    for y in (3, 6, 9, 12):
        cv.rect(2, y - 1, 3, y, "n")
        cv.line(5, y, 8, y, "k")
        cv.line(5, y - 1, 8, y - 1, "g")


def skip_icon():
    cv = Canvas(16)
    list_lines(cv)
    # A red minus: the entries that are left out (the include list shows a plus).
    cv.grid(8, 7, [
        "kkkkkkkk",
        "krrrrrrk",
        "krrrrrrk",
        "kkkkkkkk",
    ])
    return cv


def include_icon():
    cv = Canvas(16)
    list_lines(cv)
    # A green plus: the entries that are taken in.
    cv.grid(8, 5, [
        "..kkkk..",
        "..kGGk..",
        "kkkGGkkk",
        "kGGGGGGk",
        "kGGGGGGk",
        "kkkGGkkk",
        "..kGGk..",
        "..kkkk..",
    ])
    return cv


def newlines_icon():
    cv = Canvas(16)
    # The return symbol: down from the top right, then left to an arrow head.
    cv.rect(11, 1, 12, 10, "n")
    cv.rect(3, 9, 12, 10, "n")
    cv.grid(0, 6, [
        "...n....",
        "..nn....",
        ".nnn....",
        "nnnn....",
        "nnnn....",
        ".nnn....",
        "..nn....",
        "...n....",
    ])
    # A red stroke through it: the line ends go.
    for i in range(12):
        cv.set(2 + i, 14 - i, "r")
        cv.set(3 + i, 14 - i, "r")
    return cv


def spaces_icon():
    cv = Canvas(16)
    # Two words, and two arrows squeezing the space between them.
    cv.rect(0, 2, 1, 13, "k")
    cv.rect(14, 2, 15, 13, "k")
    cv.grid(2, 3, [
        "...b....b...",
        "...bb..bb...",
        "bbbbbbbbbbbb",
        "bbbbbbbbbbbb",
        "...bb..bb...",
        "...b....b...",
    ])
    # The space, marked by its bracket below.
    cv.grid(4, 10, [
        "r......r",
        "r......r",
        "rrrrrrrr",
        "rrrrrrrr",
    ])
    return cv


def quill_icon(size):
    """The application icon: a sheet of text with a quill pen across it."""
    cv = Canvas(size)
    u = size / 32.0
    x0, y0, x1, y1 = round(3 * u), round(2 * u), round(22 * u), round(29 * u)
    page(cv, x0, y0, x1, y1, max(2, round(5 * u)))
    step = max(2, round(3 * u))
    y = y0 + max(3, round(6 * u))
    n = 0
    while y < y1 - 1:
        right = x1 - max(2, round(3 * u)) - (round(4 * u) if n % 3 == 2 else 0)
        cv.line(x0 + max(2, round(3 * u)), y, right, y, "g")
        y += step
        n += 1
    # The feather: a vane around the axis from its tip (top right) to the nib.
    tip = (30.5 * u, 0.5 * u)
    nib = (8.0 * u, 28.5 * u)
    ax, ay = nib[0] - tip[0], nib[1] - tip[1]
    length = math.hypot(ax, ay)
    ux, uy = ax / length, ay / length
    vane = set()
    for py in range(size):
        for px in range(size):
            cx, cy = px + 0.5 - tip[0], py + 0.5 - tip[1]
            t = (cx * ux + cy * uy) / length
            d = cx * -uy + cy * ux
            if 0.0 <= t <= 0.68:
                width = 5.2 * u * math.sin(math.pi * min(1.0, t / 0.68)) ** 0.7
                # The vane is wider on the upper side, like a real feather.
                if -width * 0.75 <= d <= width:
                    vane.add((px, py))
    for px, py in vane:
        cv.set(px, py, "c")
    for px, py in vane:
        for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
            if (px + dx, py + dy) not in vane:
                cv.set(px, py, "t")
                break
    # Barbs: a few darker strokes across the vane.
    for k in range(1, 5):
        t = 0.12 * k
        bx, by = tip[0] + ax * t, tip[1] + ay * t
        for s in range(1, max(2, round(4 * u))):
            cv.set(int(bx - uy * s + ux * s * 0.6), int(by + ux * s + uy * s * 0.6), "t")
    # The shaft along the axis, then the nib with a drop of red ink.
    steps = int(length * 2)
    for i in range(steps + 1):
        t = i / steps
        if t < 0.08:
            continue
        px, py = int(tip[0] + ax * t), int(tip[1] + ay * t)
        cv.set(px, py, "n" if t < 0.68 else "k")
    cv.set(int(nib[0]), int(nib[1]), "r")
    if size >= 32:
        cv.set(int(nib[0]) - 1, int(nib[1]), "m")
        cv.set(int(nib[0]), int(nib[1]) - 1, "m")
    return cv


IMAGES = {
    "open.png": open_icon,
    "save.png": save_icon,
    "fix.png": fix_icon,
    "skip.png": skip_icon,
    "include.png": include_icon,
    "newlines.png": newlines_icon,
    "spaces.png": spaces_icon,
    "quillet-16.png": lambda: quill_icon(16),
    "quillet-22.png": lambda: quill_icon(22),
    "quillet-24.png": lambda: quill_icon(24),
    "quillet-32.png": lambda: quill_icon(32),
}


def preview(path, canvases, scale=8):
    """An enlarged sheet of all pictures side by side on silver, for looking at them."""
    pad = 8
    width = sum(c.size * scale + pad for c in canvases) + pad
    height = max(c.size for c in canvases) * scale + 2 * pad
    rows = [[(0xC0, 0xC0, 0xC0)] * width for _ in range(height)]
    x = pad
    for c in canvases:
        for y in range(c.size * scale):
            for xx in range(c.size * scale):
                v = c.px[y // scale][xx // scale]
                if v is not None:
                    rows[pad + y][x + xx] = PALETTE[v]
        x += c.size * scale + pad
    raw = bytearray()
    for r in rows:
        raw.append(0)
        for p in r:
            raw.extend(p + (255,))
    with open(path, "wb") as f:
        f.write(encode_png(width, height, bytes(raw)))


def main():
    canvases = []
    for name, draw in IMAGES.items():
        cv = draw()
        canvases.append(cv)
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(cv.png())
    if len(sys.argv) == 3 and sys.argv[1] == "--preview":
        preview(sys.argv[2], canvases)


if __name__ == "__main__":
    main()
