#!/usr/bin/env python3
"""Draws the list view's built-in glyphs as 4-bit bitmaps on a magenta background (which the list
view makes transparent):

expanded.bmp, collapsed.bmp: 9 x 9 group buttons, a grey box with a plus (the button that expands a
  collapsed group) or a minus (the button that collapses an expanded group);
sortup.bmp, sortdown.bmp: 16 x 16 column sort arrows, a dark grey triangle.
"""
import struct

PALETTE = [(255, 0, 255), (0, 0, 0), (128, 128, 128), (255, 255, 255), (64, 64, 64)] + [(0, 0, 0)] * 11
MAGENTA, BLACK, GREY, WHITE, DARK = range(5)


def bmp4(pixels):
    h, w = len(pixels), len(pixels[0])
    stride = ((w * 4 + 31) // 32) * 4
    rows = b""
    for y in reversed(range(h)):
        row = bytearray(stride)
        for x in range(w):
            row[x // 2] |= pixels[y][x] << (0 if x % 2 else 4)
        rows += bytes(row)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    offset = 14 + 40 + len(palette)
    head = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 4, 0, len(rows), 2835, 2835, 16, 0)
    return head + info + palette + rows


def button(plus):
    p = [[WHITE] * 9 for _ in range(9)]
    for i in range(9):
        p[0][i] = p[8][i] = p[i][0] = p[i][8] = GREY
    for x in range(2, 7):
        p[4][x] = BLACK
    if plus:
        for y in range(2, 7):
            p[y][4] = BLACK
    return p


def arrow(up):
    p = [[MAGENTA] * 16 for _ in range(16)]
    for row in range(5):
        y = 6 + row if up else 10 - row
        for x in range(8 - row - 1, 8 + row + 1):
            p[y][x] = DARK
    return p


for name, pixels in [("expanded.bmp", button(True)), ("collapsed.bmp", button(False)),
                     ("sortup.bmp", arrow(True)), ("sortdown.bmp", arrow(False))]:
    with open(name, "wb") as f:
        f.write(bmp4(pixels))
