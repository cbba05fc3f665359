#!/usr/bin/env python3
"""Writes quarnimo.ico: a blue floppy disk cut in two, the right half shifted
down, as three 16-colour (4 bits a pixel) images of 16, 32 and 48 pixels.

The drawing is done in unit coordinates and sampled at each size, so the three
images show the same picture. Run it again after changing the drawing and
commit the .ico; the build only reads the file.

Usage: python3 make_icon.py [OUTPUT]   (default: quarnimo.ico beside this script)
"""
import os
import struct
import sys

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, NAVY, SILVER, GRAY, RED, BLUE, WHITE = 0, 4, 7, 8, 9, 12, 15
CLEAR = None  # transparent: AND mask bit set

SIZES = (16, 32, 48)


def disk(u, v):
    """Colour of the whole (uncut) disk at (u, v), or CLEAR outside it."""
    if not (0.06 <= u <= 0.94 and 0.06 <= v <= 0.94):
        return CLEAR
    if u + (0.94 - v) > 1.72:  # the cut-off corner at the top right
        return CLEAR
    if 0.30 <= u <= 0.74 and v <= 0.38:  # metal shutter with its window
        if 0.56 <= u <= 0.67 and 0.11 <= v <= 0.32:
            return NAVY
        return SILVER
    if 0.18 <= u <= 0.82 and v >= 0.52:  # paper label with two written lines
        if 0.26 <= u <= 0.74 and (0.64 <= v <= 0.69 or 0.78 <= v <= 0.83):
            return RED
        return WHITE
    return BLUE


def cut(v):
    """Where the crack crosses row v: a zigzag around the middle."""
    phase = (v * 4.0) % 1.0
    tooth = phase * 2.0 if phase < 0.5 else (1.0 - phase) * 2.0
    return 0.44 + 0.10 * tooth


SHIFT_U, SHIFT_V, GAP = 0.05, 0.07, 0.05


def picture(u, v):
    """Colour of the drawn icon at (u, v): the left half in place, the right
    half moved down and right, a gap between them."""
    if u < cut(v):
        return disk(u, v)
    su, sv = u - SHIFT_U, v - SHIFT_V
    if su >= cut(sv) + GAP:
        return disk(su, sv)
    return CLEAR


def raster(size):
    """Pixel rows (top first) of colour indices or CLEAR, outlined in black
    wherever the disk borders on transparency."""
    pixels = [[picture((x + 0.5) / size, (y + 0.5) / size) for x in range(size)] for y in range(size)]
    outlined = [row[:] for row in pixels]
    for y in range(size):
        for x in range(size):
            if pixels[y][x] is CLEAR:
                continue
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                nx, ny = x + dx, y + dy
                if not (0 <= nx < size and 0 <= ny < size) or pixels[ny][nx] is CLEAR:
                    outlined[y][x] = BLACK
                    break
    return outlined


def image_bytes(size):
    """One icon image: BITMAPINFOHEADER, palette, colour bits, mask bits."""
    rows = raster(size)
    colour_stride = ((size * 4 + 31) // 32) * 4
    mask_stride = ((size + 31) // 32) * 4
    colour = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bitmaps are stored bottom-up
        line = bytearray(colour_stride)
        bits = bytearray(mask_stride)
        for x, index in enumerate(row):
            value = 0 if index is CLEAR else index
            line[x // 2] |= value << (4 if x % 2 == 0 else 0)
            if index is CLEAR:
                bits[x // 8] |= 0x80 >> (x % 8)
        colour += line
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(colour) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(colour) + bytes(mask)


def icon_file():
    images = [image_bytes(size) for size in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main():
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                                 "quarnimo.ico")
    with open(target, "wb") as f:
        f.write(icon_file())


if __name__ == "__main__":
    main()
