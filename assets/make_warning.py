#!/usr/bin/env python3
"""Draws the program's warning picture (a yellow triangle with an exclamation mark) as a PNG."""
import sys, math

from pngfile import rgba_png

W = H = 75
S = W / 32.0
SS = 4  # supersampling per axis

def inside_triangle(x, y, pts):
    (x1, y1), (x2, y2), (x3, y3) = pts
    d1 = (x - x2) * (y1 - y2) - (x1 - x2) * (y - y2)
    d2 = (x - x3) * (y2 - y3) - (x2 - x3) * (y - y3)
    d3 = (x - x1) * (y3 - y1) - (x3 - x1) * (y - y1)
    neg = d1 < 0 or d2 < 0 or d3 < 0
    pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (neg and pos)

def shrink(pts, d):
    cx = sum(p[0] for p in pts) / 3
    cy = sum(p[1] for p in pts) / 3
    return [(cx + (px - cx) * d, cy + (py - cy) * d) for px, py in pts]

outer = [(W / 2, 2.0), (W - 2.0, H - 5.0), (2.0, H - 5.0)]
inner = shrink(outer, 0.80)

def sample(x, y):
    """Colour (r, g, b, a) of one sub-sample."""
    if not inside_triangle(x, y, outer):
        return (0, 0, 0, 0)
    if not inside_triangle(x, y, inner):
        return (150, 90, 0, 255)          # dark amber rim
    cx = W / 2
    # the bar of the exclamation mark, narrowing downwards
    if 10.5 * S <= y <= 21.5 * S:
        half = (2.2 - (y / S - 10.5) * 0.07) * S
        if abs(x - cx) <= half:
            return (20, 20, 20, 255)
    if math.hypot(x - cx, y - 25.2 * S) <= 2.0 * S:
        return (20, 20, 20, 255)
    return (255, 200, 20, 255)            # amber

rows = []
for py in range(H):
    row = bytearray([0])
    for px in range(W):
        acc = [0, 0, 0, 0]
        for sy in range(SS):
            for sx in range(SS):
                r, g, b, a = sample(px + (sx + 0.5) / SS, py + (sy + 0.5) / SS)
                acc[0] += r * a; acc[1] += g * a; acc[2] += b * a; acc[3] += a
        n = SS * SS
        a = acc[3] / n
        if acc[3]:
            row += bytes([round(acc[0] / acc[3]), round(acc[1] / acc[3]), round(acc[2] / acc[3]), round(a)])
        else:
            row += bytes([0, 0, 0, 0])
    rows.append(bytes(row))

png = rgba_png(W, H, rows)
open(sys.argv[1], "wb").write(png)
