#!/usr/bin/env python3
"""Draws the program's icon (32x32 and 16x16, 32-bit) and writes it as an .ico file.

usage: make_icon.py OUT.ico

The picture: a steel vault door with a gold pick-shaped handle, drawn from shapes at each
size so both stay crisp.
"""
import struct
import sys


def draw(size):
    """Returns size*size BGRA pixels, top row first."""
    pixels = []
    c = (size - 1) / 2.0
    outer = size * 0.47
    inner = size * 0.36
    hub = size * 0.11
    for y in range(size):
        row = []
        for x in range(size):
            dx, dy = x - c, y - c
            r = (dx * dx + dy * dy) ** 0.5
            color = (0, 0, 0, 0)
            # The door: a dark rim round a lighter steel face.
            if r <= outer:
                color = (70, 62, 58, 255)
            if r <= inner:
                shade = int(150 + 60 * (-(dx + dy) / (2 * inner)))
                color = (shade + 10, shade, shade - 10, 255)
            # Four gold spokes of the handle, and its hub.
            if r <= inner * 0.9 and (abs(dx) <= size * 0.045 or abs(dy) <= size * 0.045):
                color = (40, 170, 230, 255)
            if r <= hub:
                color = (30, 140, 200, 255)
            # The bolts around the rim.
            for bx, by in ((0, -1), (1, 0), (0, 1), (-1, 0)):
                ox, oy = c + bx * (inner + outer) / 2, c + by * (inner + outer) / 2
                if (x - ox) ** 2 + (y - oy) ** 2 <= (size * 0.05) ** 2 + 0.3:
                    color = (200, 200, 205, 255)
            row.append(color)
        pixels.append(row)
    return pixels


def icon_image(size):
    """The image as an icon directory entry's data: BITMAPINFOHEADER, XOR pixels, AND mask."""
    pixels = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(bytes(p) for row in reversed(pixels) for p in row)
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + xor + bytes(mask)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUT.ico")
    images = [icon_image(s) for s in (32, 16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
