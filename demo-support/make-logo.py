#!/usr/bin/env python3
"""Draws the demo logo, a flame beside the word PORTAVEL, as a PNG.

Every page shows /Logo.png at its top. The demo and the browser test draw
their own so no artwork has to be shipped. With --icon it draws the flame
alone as the site's /favicon.ico (a 32x32 icon holding a PNG), so that
browsers asking for one get an answer instead of a 404.

    make-logo.py OUTPUT.png
    make-logo.py --icon OUTPUT.ico
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

ICON_SIZE = 32

WHITE = (255, 255, 255)
CLEAR = (255, 255, 255, 0)
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


def draw_flame(pixels, cx, top, bottom, half_width, opaque=lambda colour: colour):
    """The flame with its blue base and yellow heart, scaled to its height."""
    height = bottom - top
    for y in range(len(pixels)):
        for x in range(len(pixels[0])):
            if inside_flame(x, y, cx, top, bottom, half_width):
                base = y > bottom - height * 12 // 68
                pixels[y][x] = opaque(FLAME_BASE if base else FLAME_OUTER)
            inner_top, inner_bottom = top + height * 22 // 68, bottom - height * 8 // 68
            if inside_flame(x, y, cx, inner_top, inner_bottom, half_width * 13 // 24):
                pixels[y][x] = opaque(FLAME_INNER)


def draw():
    pixels = [[WHITE] * WIDTH for _ in range(HEIGHT)]
    draw_flame(pixels, 36, 6, 74, 24)

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


def draw_icon():
    """The flame alone on a clear square."""
    pixels = [[CLEAR] * ICON_SIZE for _ in range(ICON_SIZE)]
    draw_flame(pixels, ICON_SIZE // 2, 0, ICON_SIZE - 1, 11, lambda colour: colour + (255,))
    return pixels


def png(pixels):
    """RGB pixels, or RGBA when they carry an alpha value."""

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x00" + bytes(v for pixel in row for v in pixel) for row in pixels)
    colour_type = 6 if len(pixels[0][0]) == 4 else 2
    header = struct.pack(">IIBBBBB", len(pixels[0]), len(pixels), 8, colour_type, 0, 0, 0)
    return (
        b"\x89PNG\r\n\x1a\n"
        + chunk(b"IHDR", header)
        + chunk(b"IDAT", zlib.compress(raw, 9))
        + chunk(b"IEND", b"")
    )


def ico(image):
    """An icon file holding one PNG image: the header, one directory entry."""
    size = len(image)
    entry = struct.pack("<BBBBHHII", ICON_SIZE, ICON_SIZE, 0, 0, 1, 32, size, 6 + 16)
    return struct.pack("<HHH", 0, 1, 1) + entry + image


USAGE = "usage: make-logo.py OUTPUT.png | make-logo.py --icon OUTPUT.ico"


def main():
    args = sys.argv[1:]
    if len(args) == 1 and args[0] in ("-h", "--help"):
        print(USAGE + "\n\n" + __doc__.strip())
        return 0
    if len(args) == 2 and args[0] == "--icon":
        content = ico(png(draw_icon()))
    elif len(args) == 1 and not args[0].startswith("-"):
        content = png(draw())
    else:
        sys.exit(USAGE)
    with open(args[-1], "wb") as out:
        out.write(content)


if __name__ == "__main__":
    main()
