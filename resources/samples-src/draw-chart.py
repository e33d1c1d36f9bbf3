#!/usr/bin/env python3
"""Draws the bar chart that the quarterly report sample shows: three months of
bread and pastry sales as paired bars over a light grid. Plain Python, no
imaging library; writes a PNG to the path given on the command line."""
import struct
import sys
import zlib

WIDTH, HEIGHT = 480, 300
WHITE = (255, 255, 255)
GRID = (225, 229, 235)
AXIS = (70, 70, 70)
BREAD = (46, 94, 170)
PASTRY = (230, 140, 40)

# Sales in hundreds, as the report's table lists them.
MONTHS = [(124, 86), (131, 95), (148, 112)]


def draw():
    pixels = [[WHITE] * WIDTH for _ in range(HEIGHT)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(max(0, y0), min(HEIGHT, y1)):
            row = pixels[y]
            for x in range(max(0, x0), min(WIDTH, x1)):
                row[x] = colour

    left, right, top, bottom = 50, WIDTH - 20, 20, HEIGHT - 40
    scale = (bottom - top) / 160.0
    for value in range(0, 161, 20):
        y = int(bottom - value * scale)
        rect(left, y, right, y + 1, GRID)
    group = (right - left) // len(MONTHS)
    for i, (bread, pastry) in enumerate(MONTHS):
        x = left + i * group + group // 6
        bar = group // 3
        rect(x, int(bottom - bread * scale), x + bar, bottom, BREAD)
        rect(x + bar, int(bottom - pastry * scale), x + 2 * bar, bottom, PASTRY)
    rect(left - 1, top, left + 1, bottom + 1, AXIS)
    rect(left - 1, bottom, right, bottom + 2, AXIS)
    # A small legend: a square of each colour in the top left corner.
    rect(left + 12, top + 8, left + 26, top + 22, BREAD)
    rect(left + 34, top + 8, left + 48, top + 22, PASTRY)
    return pixels


def png(pixels):
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as out:
        out.write(png(draw()))
