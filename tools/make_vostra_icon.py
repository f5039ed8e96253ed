#!/usr/bin/env python3
"""Draws Vostra Studio's application icon: resources/vostra-icon.png.

A 1024 x 1024 RGBA PNG (colour type 6, one IDAT chunk): a navy-to-teal gradient square with a
white "V" of two round-ended strokes and an amber dot between its arms. The square is opaque edge
to edge; the dock-icon code gives it its margin and rounded corners. The output depends on nothing
but this script, so running it again gives the same bytes.

    python3 tools/make_vostra_icon.py [output.png]
"""

import math
import struct
import sys
import zlib

SIDE = 1024
TOP = (34, 46, 112)
BOTTOM = (18, 118, 150)
WHITE = (255, 255, 255)
AMBER = (246, 182, 64)

# The mark, in pixels: two strokes meeting at the bottom point, and the dot.
STROKE_RADIUS = 56.0
LEFT_ARM = ((330.0, 318.0), (512.0, 708.0))
RIGHT_ARM = ((694.0, 318.0), (512.0, 708.0))
DOT_CENTRE = (512.0, 330.0)
DOT_RADIUS = 54.0
MARK_BOX = (250, 250, 775, 780)  # x0, y0, x1, y1: nothing of the mark lies outside


def segment_distance(px, py, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def coverage(distance, radius):
    """Area of a pixel inside an edge `radius - distance` pixels away, for a one-pixel blend."""
    return max(0.0, min(1.0, radius - distance + 0.5))


def blend(under, over, amount):
    return tuple(round(u + (o - u) * amount) for u, o in zip(under, over))


def background(y):
    t = y / (SIDE - 1)
    return tuple(round(a + (b - a) * t) for a, b in zip(TOP, BOTTOM))


def pixel(x, y):
    colour = background(y)
    x0, y0, x1, y1 = MARK_BOX
    if not (x0 <= x < x1 and y0 <= y < y1):
        return colour
    cx, cy = x + 0.5, y + 0.5
    arms = min(segment_distance(cx, cy, *LEFT_ARM), segment_distance(cx, cy, *RIGHT_ARM))
    colour = blend(colour, WHITE, coverage(arms, STROKE_RADIUS))
    dot = math.hypot(cx - DOT_CENTRE[0], cy - DOT_CENTRE[1])
    return blend(colour, AMBER, coverage(dot, DOT_RADIUS))


def rows():
    """Each row with the Sub filter: the background is even along a row, so most bytes are 0."""
    for y in range(SIDE):
        line = bytearray()
        for x in range(SIDE):
            line.extend(pixel(x, y) + (255,))
        filtered = bytearray([1])
        filtered.extend(line[:4])
        filtered.extend((line[i] - line[i - 4]) & 0xFF for i in range(4, len(line)))
        yield bytes(filtered)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def main():
    output = sys.argv[1] if len(sys.argv) > 1 else "resources/vostra-icon.png"
    header = struct.pack(">IIBBBBB", SIDE, SIDE, 8, 6, 0, 0, 0)
    image = zlib.compress(b"".join(rows()), 9)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", image) + chunk(b"IEND", b"")
    with open(output, "wb") as out:
        out.write(png)
    print(f"{output}: {len(png)} bytes")


if __name__ == "__main__":
    main()
