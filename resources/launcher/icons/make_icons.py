#!/usr/bin/env python3
"""Writes the status window's two animation icons, 2017.png and 2018.png: a ring of eight
dots whose bright dots move on by one between the two."""
import math
import struct
import zlib

SIZE = 32


def png(pixels):
    raw = b"".join(b"\x00" + bytes(row) for row in pixels)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def icon(phase):
    rows = [[0] * (SIZE * 4) for _ in range(SIZE)]
    for dot in range(8):
        angle = dot * math.pi / 4
        cx, cy = 16 + 11 * math.cos(angle), 16 + 11 * math.sin(angle)
        bright = dot % 2 == phase
        colour = (0, 90, 200) if bright else (150, 180, 220)
        for y in range(SIZE):
            for x in range(SIZE):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= 9:
                    rows[y][x * 4:x * 4 + 4] = [*colour, 255]
    return png(rows)


for phase, name in ((0, "2017.png"), (1, "2018.png")):
    with open(name, "wb") as f:
        f.write(icon(phase))
