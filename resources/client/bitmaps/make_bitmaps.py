#!/usr/bin/env python3
"""Draws the message window's button images: python3 make_bitmaps.py [folder].

Each base name gets five 32x32 RGBA images: U normal, H hover, D pressed, X disabled and
F focus (a ring only, drawn over the others). Standard library only, so the images can be
redrawn on any build machine; edges are 4x4 supersampled, which gives the soft alpha the
button blends over its parent.
"""
import math
import os
import struct
import sys
import zlib

SIZE = 32
SAMPLES = 4
CENTRE = 16.0
DISC_RADIUS = 13.5           # the button face
RING_INNER, RING_OUTER = 14.2, 15.7   # focus ring, outside the face so it never hides it

# Per variant: face colour, glyph colour, face opacity, glyph offset (pressed sinks by 1).
VARIANTS = {
    "U": ((0x3b, 0x6e, 0xa5), (0xff, 0xff, 0xff), 255, 0.0),
    "H": ((0x4f, 0x95, 0xdc), (0xff, 0xff, 0xff), 255, 0.0),
    "D": ((0x25, 0x47, 0x6c), (0xe6, 0xee, 0xf6), 255, 1.0),
    "X": ((0x9a, 0x9a, 0x9a), (0xe4, 0xe4, 0xe4), 140, 0.0),
}
FOCUS_COLOUR = (0xf2, 0xb1, 0x1b)


def inside_polygon(x, y, points):
    inside = False
    j = len(points) - 1
    for i in range(len(points)):
        xi, yi = points[i]
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def inside_rect(x, y, x0, y0, x1, y1):
    return x0 <= x < x1 and y0 <= y < y1


def trash(x, y):
    if inside_rect(x, y, 13.5, 7.0, 18.5, 9.0) and not inside_rect(x, y, 15.0, 8.0, 17.0, 9.0):
        return True  # handle
    if inside_rect(x, y, 9.5, 9.0, 22.5, 11.2):
        return True  # lid
    body = [(10.5, 12.2), (21.5, 12.2), (20.4, 24.5), (11.6, 24.5)]
    if not inside_polygon(x, y, body):
        return False
    for slot in (13.0, 15.5, 18.0):
        if inside_rect(x, y, slot, 14.2, slot + 1.0, 22.6):
            return False
    return True


def gear(x, y):
    dx, dy = x - CENTRE, y - CENTRE
    r = math.hypot(dx, dy)
    if r < 3.2:
        return False  # axle hole
    turn = (math.atan2(dy, dx) / (2 * math.pi) * 8.0) % 1.0
    return r < (9.6 if turn < 0.45 else 7.4)


def previous(x, y):
    return inside_polygon(x, y, [(10.0, 16.0), (19.5, 9.0), (19.5, 23.0)])


def following(x, y):
    return inside_polygon(x, y, [(22.0, 16.0), (12.5, 9.0), (12.5, 23.0)])


GLYPHS = {"TRASH": trash, "SETTINGS": gear, "PREV": previous, "NEXT": following}


def coverage(test):
    """Fraction of each pixel's samples for which test(x, y) holds."""
    out = []
    step = 1.0 / SAMPLES
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            hits = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    if test(px + (sx + 0.5) * step, py + (sy + 0.5) * step):
                        hits += 1
            row.append(hits / (SAMPLES * SAMPLES))
        out.append(row)
    return out


def face_image(glyph, variant):
    face, ink, opacity, offset = VARIANTS[variant]
    disc = coverage(lambda x, y: math.hypot(x - CENTRE, y - CENTRE) < DISC_RADIUS)
    mark = coverage(lambda x, y: glyph(x - offset, y - offset))
    pixels = []
    for py in range(SIZE):
        for px in range(SIZE):
            g = min(mark[py][px], disc[py][px])
            colour = tuple(round(f * (1 - g) + i * g) for f, i in zip(face, ink))
            pixels.append(colour + (round(disc[py][px] * opacity),))
    return pixels


def focus_image():
    ring = coverage(lambda x, y: RING_INNER <= math.hypot(x - CENTRE, y - CENTRE) < RING_OUTER)
    return [FOCUS_COLOUR + (round(ring[py][px] * 255),) for py in range(SIZE) for px in range(SIZE)]


def write_png(path, pixels):
    raw = b"".join(b"\0" + bytes(c for p in pixels[y * SIZE:(y + 1) * SIZE] for c in p) for y in range(SIZE))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff)

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)  # 8-bit RGBA
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    focus = focus_image()
    for base, glyph in GLYPHS.items():
        for variant in VARIANTS:
            write_png(os.path.join(folder, base + variant + ".png"), face_image(glyph, variant))
        write_png(os.path.join(folder, base + "F.png"), focus)


if __name__ == "__main__":
    main()
