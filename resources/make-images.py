#!/usr/bin/env python3
"""Draws Orvane's own images: the application icon (PNG), the hand pointer
(HAND-M.CUR) and the row-drag pointer (drag.ico).

Run it from this folder after changing a drawing; its outputs are committed, so
a build needs nothing but them. Plain Python, no imaging library.
"""
import struct
import zlib

# ---------------------------------------------------------------------------
# Pixel art: '#' outline, 'o' fill, '.' transparent.

HAND = """
..........##....................
.........#oo#...................
.........#oo#...................
.........#oo#...................
.........#oo#...................
.........#oo###.................
.........#oo#oo###..............
.........#oo#oo#oo##............
.....###.#oo#oo#oo#o#...........
.....#oo##oo#oo#oo#oo#..........
.....#ooo#oooooooooooo#.........
......#oo#oooooooooooo#.........
......#ooooooooooooooo#.........
.......#oooooooooooooo#.........
.......#oooooooooooooo#.........
........#ooooooooooooo#.........
........#oooooooooooo#..........
.........#ooooooooooo#..........
.........#ooooooooooo#..........
..........#ooooooooo#...........
..........#ooooooooo#...........
..........###########...........
"""

DRAG = """
...............##...............
..............#oo#..............
.............#oooo#.............
............#oooooo#............
...........#oooooooo#...........
..........#####oo#####..........
..............#oo#..............
..............#oo#..............
..............#oo#..............
......##################........
......#oooooooooooooooo#........
......#oooooooooooooooo#........
......##################........
..............#oo#..............
..............#oo#..............
..............#oo#..............
..........#####oo#####..........
...........#oooooooo#...........
............#oooooo#............
.............#oooo#.............
..............#oo#..............
...............##...............
"""


def art_to_rgba(art, size=32, outline=(0, 0, 0, 255), fill=(255, 255, 255, 255)):
    rows = [r for r in art.strip("\n").split("\n")]
    pixels = [[(0, 0, 0, 0)] * size for _ in range(size)]
    for y, row in enumerate(rows[:size]):
        for x, ch in enumerate(row[:size]):
            if ch == "#":
                pixels[y][x] = outline
            elif ch == "o":
                pixels[y][x] = fill
    return pixels


def draw_icon(size):
    """A page with a folded corner and lines of text, an arrow into a blue band."""
    s = size / 32.0
    px = [[(0, 0, 0, 0)] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(max(0, int(y0 * s)), min(size, int(y1 * s))):
            for x in range(max(0, int(x0 * s)), min(size, int(x1 * s))):
                px[y][x] = colour

    navy = (24, 54, 110, 255)
    blue = (46, 110, 210, 255)
    paper = (252, 252, 250, 255)
    grey = (150, 160, 175, 255)
    # The page and its border.
    rect(5, 2, 27, 30, navy)
    rect(6, 3, 26, 29, paper)
    # The folded corner.
    for y in range(int(3 * s), int(9 * s)):
        for x in range(int(20 * s), int(26 * s)):
            if (x - 20 * s) > (y - 3 * s):
                px[y][x] = (0, 0, 0, 0)
            elif abs((x - 20 * s) - (y - 3 * s)) < max(1, s):
                px[y][x] = navy
    # Lines of text.
    for line_y, length in ((8, 12), (11, 17), (14, 15), (17, 17)):
        rect(8, line_y, 8 + length, line_y + 1.4, grey)
    # The band at the foot: the rich text that comes out.
    rect(6, 21, 26, 29, blue)
    # "R" "T" "F" blocks as three bars of different weights.
    rect(8, 23, 12, 27, paper)
    rect(14, 23, 18, 24.5, paper)
    rect(15.3, 23, 16.7, 27, paper)
    rect(20, 23, 24, 24.5, paper)
    rect(20, 23, 21.4, 27, paper)
    rect(20, 25, 23, 26.2, paper)
    return px


# ---------------------------------------------------------------------------
# Writers

def png(pixels):
    h = len(pixels)
    w = len(pixels[0])
    raw = b"".join(b"\x00" + b"".join(struct.pack("BBBB", *p) for p in row) for row in pixels)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def ico(pixels, kind, hotspot=(0, 0)):
    """An icon (kind 1) or cursor (kind 2) file with one 32-bit BMP image."""
    h = len(pixels)
    w = len(pixels[0])
    xor = b"".join(struct.pack("BBBB", p[2], p[1], p[0], p[3]) for row in reversed(pixels) for p in row)
    mask_row_bytes = ((w + 31) // 32) * 4
    mask = b""
    for row in reversed(pixels):
        bits = 0
        row_bytes = bytearray(mask_row_bytes)
        for x, p in enumerate(row):
            if p[3] == 0:
                row_bytes[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(row_bytes)
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + mask
    planes_or_x, bits_or_y = (1, 32) if kind == 1 else hotspot
    entry = struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, planes_or_x, bits_or_y, len(image), 6 + 16)
    return struct.pack("<HHH", 0, kind, 1) + entry + image


if __name__ == "__main__":
    with open("orvane.png", "wb") as f:
        f.write(png(draw_icon(256)))
    with open("orvane-32.png", "wb") as f:
        f.write(png(draw_icon(32)))
    with open("HAND-M.CUR", "wb") as f:
        f.write(ico(art_to_rgba(HAND), 2, hotspot=(10, 0)))
    with open("drag.ico", "wb") as f:
        f.write(ico(art_to_rgba(DRAG), 1))
