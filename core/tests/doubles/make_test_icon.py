#!/usr/bin/env python3
"""Writes the 32 x 32 icon of a test fixture as an .ico file with one 32-bit image.

"alpha":    an icon with an alpha channel and a clear AND mask.
"no-alpha": an icon whose colour bitmap has alpha 0 in every pixel; only its AND mask says
            which pixels show, as in older icons (whose masked pixels are black).
The tests compute the same pixels (support/icon_fixtures.h): change both together.
"""
import struct
import sys

SIZE = 32


def pixel(kind, x, y):
    """(r, g, b, a, mask bit) of the pixel at column x, row y (row 0 at the top)."""
    if kind == "alpha":
        a = 255 if y < 16 else 64 + 4 * x
        return 8 * x, 8 * y, 255 - 4 * (x + y), a, 0
    if y < 6 or x < 3 or x == y:  # masked: black, as an icon's transparent pixels are
        return 0, 0, 0, 0, 1
    return 8 * x, 255 - 8 * y, 128, 0, 0


def ico(kind):
    colour = bytearray()
    mask = bytearray()
    for y in reversed(range(SIZE)):  # bitmap rows go bottom-up
        bits = 0
        for x in range(SIZE):
            r, g, b, a, m = pixel(kind, x, y)
            colour += bytes((b, g, r, a))
            bits = bits << 1 | m
        mask += bits.to_bytes(SIZE // 8, "big")  # 32 bits: a row is already 4-byte aligned
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 32, 0, 0, 0, 0, 0, 0)
    image = header + bytes(colour) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    kind, out = sys.argv[1], sys.argv[2]
    with open(out, "wb") as f:
        f.write(ico(kind))
