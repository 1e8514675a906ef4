#!/usr/bin/env python3
"""Draws the client's icons: python3 make_icons.py [folder].

128.png is the program's icon, a letter on a blue tile; 137.png is the tray icon for
messages not yet announced, the same with an orange mark. 32x32 RGBA, standard library
only, edges 4x4 supersampled. hicolor/<size>.png is 128.png drawn again at the sizes the
desktop's menus ask for, the application icon the package installs.
"""
import os
import struct
import sys
import zlib

SIZE = 32  # the drawing's own units
SAMPLES = 4
MENU_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
TILE = (0x3b, 0x6e, 0xa5)
PAPER = (0xff, 0xff, 0xff)
FOLD = (0x9f, 0xb8, 0xd3)
MARK = (0xf2, 0x8c, 0x1b)


def in_rounded_rect(x, y, x0, y0, x1, y1, r):
    if not (x0 <= x < x1 and y0 <= y < y1):
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def near_segment(x, y, ax, ay, bx, by, width):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    px, py = ax + t * dx, ay + t * dy
    return (x - px) ** 2 + (y - py) ** 2 <= (width / 2) ** 2


def colour_at(x, y, marked):
    if marked and (x - 25.0) ** 2 + (y - 7.0) ** 2 <= 5.5 ** 2:
        return MARK
    if in_rounded_rect(x, y, 6.0, 10.0, 26.0, 24.0, 1.0):
        if near_segment(x, y, 6.5, 10.5, 16.0, 18.0, 1.6) or near_segment(x, y, 25.5, 10.5, 16.0, 18.0, 1.6):
            return FOLD
        return PAPER
    if in_rounded_rect(x, y, 1.0, 1.0, 31.0, 31.0, 5.0):
        return TILE
    return None


def draw(marked, size=SIZE):
    scale = SIZE / size
    rows = []
    for py in range(size):
        row = bytearray([0])  # filter type none
        for px in range(size):
            acc = [0, 0, 0]
            hits = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at((px + (sx + 0.5) / SAMPLES) * scale, (py + (sy + 0.5) / SAMPLES) * scale, marked)
                    if c is not None:
                        hits += 1
                        for i in range(3):
                            acc[i] += c[i]
            if hits:
                row += bytes([acc[0] // hits, acc[1] // hits, acc[2] // hits, 255 * hits // (SAMPLES * SAMPLES)])
            else:
                row += bytes([0, 0, 0, 0])
        rows.append(bytes(row))
    return b"".join(rows)


def png(pixels, size=SIZE):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(pixels, 9)) + chunk(b"IEND", b"")


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for name, marked in (("128", False), ("137", True)):
        with open(os.path.join(folder, name + ".png"), "wb") as f:
            f.write(png(draw(marked)))
    os.makedirs(os.path.join(folder, "hicolor"), exist_ok=True)
    for size in MENU_SIZES:
        with open(os.path.join(folder, "hicolor", "%d.png" % size), "wb") as f:
            f.write(png(draw(False, size), size))


if __name__ == "__main__":
    main()
