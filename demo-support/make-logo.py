#!/usr/bin/env python3
"""Draws the demo logo, a flame beside the word PORTAVEL, as a PNG.

Every page shows /Logo.png at its top. The demo and the browser test draw
their own so no artwork has to be shipped.

    make-logo.py OUTPUT.png
"""
import struct
import sys
import zlib

WIDTH, HEIGHT = 306, 80
SCALE = 5  # pixels per dot of the letters

# 5x7 dot letters, one string per row.
GLYPHS = {
    "P": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "V": ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
}

WHITE = (255, 255, 255)
NAVY = (24, 52, 94)
FLAME_OUTER = (235, 110, 20)
FLAME_INNER = (250, 200, 40)
FLAME_BASE = (40, 110, 200)


def inside_flame(x, y, cx, top, bottom, half_width):
    """A teardrop: a circle at the bottom drawn up to a point."""
    radius = half_width
    centre_y = bottom - radius
    if y >= centre_y:
        return (x - cx) ** 2 + (y - centre_y) ** 2 <= radius**2
    if y < top:
        return False
    # The sides narrow linearly from the circle's widest row to the tip.
    reach = radius * (y - top) / (centre_y - top)
    return abs(x - cx) <= reach


def draw():
    pixels = [[WHITE] * WIDTH for _ in range(HEIGHT)]
    cx, top, bottom = 36, 6, 74
    for y in range(HEIGHT):
        for x in range(WIDTH):
            if inside_flame(x, y, cx, top, bottom, 24):
                pixels[y][x] = FLAME_BASE if y > bottom - 12 else FLAME_OUTER
            if inside_flame(x, y, cx, top + 22, bottom - 8, 13):
                pixels[y][x] = FLAME_INNER

    left, text_top = 76, (HEIGHT - 7 * SCALE) // 2
    for glyph in "PORTAVEL":
        for row, dots in enumerate(GLYPHS[glyph]):
            for column, dot in enumerate(dots):
                if dot != "#":
                    continue
                for dy in range(SCALE):
                    for dx in range(SCALE):
                        pixels[text_top + row * SCALE + dy][left + column * SCALE + dx] = NAVY
        left += 6 * SCALE - 2
    return pixels


def png(pixels):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x00" + bytes(v for pixel in row for v in pixel) for row in pixels)
    header = struct.pack(">IIBBBBB", len(pixels[0]), len(pixels), 8, 2, 0, 0, 0)
    return (
        b"\x89PNG\r\n\x1a\n"
        + chunk(b"IHDR", header)
        + chunk(b"IDAT", zlib.compress(raw, 9))
        + chunk(b"IEND", b"")
    )


def main():
    if len(sys.argv) == 2 and sys.argv[1] in ("-h", "--help"):
        print("usage: make-logo.py OUTPUT.png\n\n" + __doc__.strip())
        return 0
    if len(sys.argv) != 2:
        sys.exit("usage: make-logo.py OUTPUT.png")
    with open(sys.argv[1], "wb") as out:
        out.write(png(draw()))


if __name__ == "__main__":
    main()
