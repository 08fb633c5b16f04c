#!/usr/bin/env python3
"""Draws the five 16x16 pictures of the item menu and writes each as a 24-bit bitmap file
(54 bytes of headers, 768 bytes of pixels).

usage: make_menu_bitmaps.py OUT_FOLDER

picture1.bmp  extract: a green arrow down into a tray
picture2.bmp  open with its application: a small window with a blue title bar
picture3.bmp  information: a white "i" on a blue disc
picture4.bmp  defragment: pale scattered blocks, and the same blocks in order
picture5.bmp  save list: a floppy disc
Each keeps a light grey background, the colour of a menu, so it sits on the menu quietly, and
has a colour no other picture uses (the tests find the pictures on screen by them).
"""
import os
import struct
import sys

SIZE = 16
BACKGROUND = (240, 240, 240)


def canvas():
    return [[BACKGROUND for _ in range(SIZE)] for _ in range(SIZE)]


def rect(pixels, left, top, right, bottom, color):
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            pixels[y][x] = color


def extract():
    p = canvas()
    green, dark = (40, 160, 60), (20, 100, 35)
    rect(p, 6, 1, 9, 7, green)
    for row, half in enumerate(range(6, 0, -1)):
        rect(p, 8 - half, 8 + row, 7 + half, 8 + row, green)
    tray = (110, 90, 60)
    rect(p, 1, 11, 1, 14, tray)
    rect(p, 14, 11, 14, 14, tray)
    rect(p, 1, 14, 14, 14, tray)
    p[8][2], p[8][13] = dark, dark
    return p


def open_with():
    p = canvas()
    rect(p, 1, 2, 14, 13, (60, 60, 60))
    rect(p, 2, 3, 13, 12, (255, 255, 255))
    rect(p, 2, 3, 13, 5, (30, 90, 200))
    rect(p, 11, 4, 12, 4, (230, 230, 230))
    for y in (7, 9, 11):
        rect(p, 4, y, 10, y, (150, 150, 150))
    return p


def info():
    p = canvas()
    blue, white = (30, 100, 210), (255, 255, 255)
    c = 7.5
    for y in range(SIZE):
        for x in range(SIZE):
            if (x - c) ** 2 + (y - c) ** 2 <= 7.2 ** 2:
                p[y][x] = blue
    rect(p, 7, 3, 8, 4, white)
    rect(p, 7, 6, 8, 12, white)
    rect(p, 6, 6, 6, 6, white)
    rect(p, 6, 12, 9, 12, white)
    return p


def defragment():
    p = canvas()
    # Pale scattered blocks above, the same blocks in full colour and in order below.
    pale = [(240, 150, 140), (150, 190, 240), (245, 220, 130), (150, 215, 160)]
    full = [(210, 50, 40), (40, 120, 210), (230, 180, 30), (60, 180, 90)]
    for i, (x, y) in enumerate(((1, 1), (9, 2), (5, 4), (12, 5))):
        rect(p, x, y, x + 2, y + 1, pale[i])
    for i in range(4):
        rect(p, 1 + i * 4, 9, 3 + i * 4, 13, full[i])
    return p


def save_list():
    p = canvas()
    body, label, metal = (40, 60, 130), (250, 250, 250), (170, 170, 180)
    rect(p, 1, 1, 14, 14, body)
    rect(p, 4, 1, 11, 5, metal)
    rect(p, 9, 2, 10, 4, body)
    rect(p, 3, 8, 12, 14, label)
    for y in (10, 12):
        rect(p, 4, y, 11, y, (120, 120, 120))
    return p


def bitmap_file(pixels):
    """A BITMAPFILEHEADER, a BITMAPINFOHEADER and the rows bottom up, blue green red."""
    data = b"".join(bytes((b, g, r)) for row in reversed(pixels) for (r, g, b) in row)
    info_header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
    return file_header + info_header + data


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for number, draw in enumerate((extract, open_with, info, defragment, save_list), start=1):
        image = bitmap_file(draw())
        assert len(image) == 822
        with open(os.path.join(folder, "picture%d.bmp" % number), "wb") as out:
            out.write(image)


if __name__ == "__main__":
    main()
