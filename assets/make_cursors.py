#!/usr/bin/env python3
"""Draws the program's cursors as cursor files (one 32 x 32 PNG image with its hot spot).

headersplit.cur: the list view header's column-split cursor, a bar with an arrow to each side,
black with a white outline, hot spot in the middle of the bar.
"""
import struct, sys

from pngfile import rgba_png

W = H = 32

def split_shape():
    fill = set()
    for y in range(6, 26):              # the bar, two pixels wide
        fill.update({(15, y), (16, y)})
    for x in range(6, 26):              # the shaft through it
        fill.update({(x, 15), (x, 16)})
    for i in range(5):                  # the arrow heads
        for y in range(15 - i, 17 + i):
            fill.add((3 + i, y))
            fill.add((28 - i, y))
    return fill, (15, 15)

def png_of(fill):
    outline = set()
    for (x, y) in fill:
        for dx in (-1, 0, 1):
            for dy in (-1, 0, 1):
                p = (x + dx, y + dy)
                if p not in fill and 0 <= p[0] < W and 0 <= p[1] < H:
                    outline.add(p)
    rows = []
    for y in range(H):
        row = bytearray([0])
        for x in range(W):
            if (x, y) in fill:
                row += bytes([0, 0, 0, 255])
            elif (x, y) in outline:
                row += bytes([255, 255, 255, 255])
            else:
                row += bytes([0, 0, 0, 0])
        rows.append(bytes(row))

    return rgba_png(W, H, rows)

def cursor_file(png, hot):
    header = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", W, H, 0, 0, hot[0], hot[1], len(png), 6 + 16)
    return header + entry + png

fill, hot = split_shape()
open(sys.argv[1] if len(sys.argv) > 1 else "headersplit.cur", "wb").write(cursor_file(png_of(fill), hot))
