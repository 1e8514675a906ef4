#!/usr/bin/env python3
"""Draws the launcher's page pictures as packed bitmaps: python3 make_bitmaps.py [folder].

The files are bitmap resources as the engine reads them (40-byte header, rows bottom up, no
file header): LOGO with its mask LOGOM (black where the logo shows), the picture button GO,
the hover button NEXT (U up, D down) and the toggle button STAR (U off, D on). Standard
library only, so any build machine can redraw them.
"""
import math
import os
import struct
import sys


def dib24(width, height, pixel):
    rows = b""
    for y in reversed(range(height)):
        row = b"".join(struct.pack("BBB", *reversed(pixel(x, y))) for x in range(width))
        rows += row + b"\0" * (-len(row) % 4)
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0) + rows


def dib1(width, height, bit):
    rows = b""
    for y in reversed(range(height)):
        data = bytearray((width + 7) // 8)
        for x in range(width):
            if bit(x, y):
                data[x // 8] |= 0x80 >> (x % 8)
        rows += bytes(data) + b"\0" * (-len(data) % 4)
    table = struct.pack("BBBB", 0, 0, 0, 0) + struct.pack("BBBB", 255, 255, 255, 0)
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 1, 0, len(rows), 2835, 2835, 2, 0) + table + rows


def in_logo(x, y):
    # A ring with a bar through it, 48 x 48.
    r = math.hypot(x - 23.5, y - 23.5)
    return 14 <= r <= 21 or (abs(y - 23.5) <= 3 and 8 <= x <= 39)


def logo(x, y):
    t = y / 47.0
    return (int(0x1b + t * 0x30), int(0x6e + t * 0x40), int(0xa5 + t * 0x40)) if in_logo(x, y) else (0, 0, 0)


def rounded_button(width, height, face, arrow):
    def pixel(x, y):
        edge = min(x, y, width - 1 - x, height - 1 - y)
        if edge == 0:
            return (0x40, 0x40, 0x40)
        if arrow and x >= width * 0.38 and abs(y - height / 2 + 0.5) <= (width * 0.62 - x) * 0.7:
            return (255, 255, 255)
        shade = 1.0 - 0.25 * y / height
        return tuple(int(c * shade) for c in face)
    return pixel


def star(width, height, on):
    def pixel(x, y):
        cx, cy = (width - 1) / 2, (height - 1) / 2
        angle = math.atan2(y - cy, x - cx)
        radius = math.hypot(x - cx, y - cy)
        limit = (0.45 + 0.25 * math.cos(5 * angle)) * min(width, height) / 2
        if radius <= limit:
            return (0xf2, 0xb1, 0x1b) if on else (0xa0, 0xa0, 0xa0)
        return (0x30, 0x30, 0x30) if on else (0xe8, 0xe8, 0xe8)
    return pixel


def files():
    yield "LOGO", dib24(48, 48, logo)
    yield "LOGOM", dib1(48, 48, lambda x, y: not in_logo(x, y))
    yield "GO", dib24(64, 24, rounded_button(64, 24, (0x2e, 0x8b, 0x57), True))
    yield "NEXTU", dib24(64, 24, rounded_button(64, 24, (0x3b, 0x6e, 0xa5), True))
    yield "NEXTD", dib24(64, 24, rounded_button(64, 24, (0x4f, 0x95, 0xdc), True))
    yield "STARU", dib24(24, 24, star(24, 24, False))
    yield "STARD", dib24(24, 24, star(24, 24, True))


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for name, data in files():
        with open(os.path.join(folder, name + ".dib"), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
