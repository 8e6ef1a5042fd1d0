#!/usr/bin/env python3
"""Draws the pictures of the main window's photo panel as PNGs with alpha:

  panelbuttons.png  five 16 x 16 button pictures side by side: enlarge (a magnifier), turn left,
                    turn right, copy (two sheets) and delete (a red cross);
  logo.png          the lab's 250 x 70 logo: a camera aperture and the word ФОТО on a blue plate.

Usage: make_panel.py OUTDIR
"""
import math, os, sys

from pngfile import rgba_png

SS = 4  # supersampling per axis


def render(width, height, sample):
    """Rows of an RGBA picture; sample(x, y) gives (r, g, b, a) of one sub-sample or None."""
    rows = []
    for py in range(height):
        row = bytearray([0])
        for px in range(width):
            acc = [0, 0, 0, 0]
            for sy in range(SS):
                for sx in range(SS):
                    c = sample(px + (sx + 0.5) / SS, py + (sy + 0.5) / SS)
                    if c:
                        r, g, b, a = c
                        acc[0] += r * a; acc[1] += g * a; acc[2] += b * a; acc[3] += a
            if acc[3]:
                row += bytes([round(acc[0] / acc[3]), round(acc[1] / acc[3]), round(acc[2] / acc[3]),
                              round(acc[3] / (SS * SS))])
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return rows


def ring(x, y, cx, cy, r, w):
    return abs(math.hypot(x - cx, y - cy) - r) <= w / 2


def segment(x, y, x1, y1, x2, y2, w):
    dx, dy = x2 - x1, y2 - y1
    t = max(0.0, min(1.0, ((x - x1) * dx + (y - y1) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - (x1 + t * dx), y - (y1 + t * dy)) <= w / 2


def in_triangle(x, y, pts):
    (x1, y1), (x2, y2), (x3, y3) = pts
    d1 = (x - x2) * (y1 - y2) - (x1 - x2) * (y - y2)
    d2 = (x - x3) * (y2 - y3) - (x2 - x3) * (y - y3)
    d3 = (x - x1) * (y3 - y1) - (x3 - x1) * (y - y1)
    return not ((d1 < 0 or d2 < 0 or d3 < 0) and (d1 > 0 or d2 > 0 or d3 > 0))


INK = (40, 60, 110, 255)
GLASS = (170, 210, 240, 255)
PAPER = (255, 255, 255, 255)
RED = (200, 30, 30, 255)


def enlarge(x, y):
    if segment(x, y, 10.0, 10.0, 14.5, 14.5, 2.6):
        return INK
    if ring(x, y, 6.5, 6.5, 4.5, 1.6):
        return INK
    if math.hypot(x - 6.5, y - 6.5) < 4.5:
        if segment(x, y, 4.5, 6.5, 8.5, 6.5, 1.2) or segment(x, y, 6.5, 4.5, 6.5, 8.5, 1.2):
            return INK
        return GLASS
    return None


def turn(clockwise):
    def sample(x, y):
        # An arc of three quarters with its arrow head at the upper end.
        if not clockwise:
            x = 16 - x
        a = math.degrees(math.atan2(y - 9, x - 8)) % 360
        if ring(x, y, 8, 9, 5, 2.0) and not (200 < a < 290):
            return INK
        if in_triangle(x, y, [(7.5, 0.8), (7.5, 7.6), (12.0, 4.2)]):
            return INK
        return None
    return sample


def copy(x, y):
    for left, top in ((6.0, 6.0), (1.5, 1.5)):
        if left <= x <= left + 8.5 and top <= y <= top + 8.5:
            if left + 1.0 <= x <= left + 7.5 and top + 1.0 <= y <= top + 7.5:
                return PAPER
            return INK
    return None


def delete(x, y):
    if segment(x, y, 3.5, 3.5, 12.5, 12.5, 2.8) or segment(x, y, 12.5, 3.5, 3.5, 12.5, 2.8):
        return RED
    return None


def panel_buttons():
    pictures = [enlarge, turn(False), turn(True), copy, delete]
    return render(16 * len(pictures), 16, lambda x, y: pictures[min(int(x // 16), 4)](x % 16, y))


# The letters of the logo on a grid of 5 x 7 cells.
LETTERS = {
    "Ф": ["..#..", ".###.", "#.#.#", "#.#.#", ".###.", "..#..", "..#.."],
    "О": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "Т": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
}


def logo(x, y):
    W, H, R = 250.0, 70.0, 12.0
    # a plate with rounded corners
    cx = min(max(x, R), W - R)
    cy = min(max(y, R), H - R)
    if math.hypot(x - cx, y - cy) > R:
        return None
    # the aperture: six blades round a dark centre
    ax, ay, ar = 36.0, 35.0, 24.0
    d = math.hypot(x - ax, y - ay)
    if d <= ar:
        if d <= 7.0:
            return (20, 30, 60, 255)
        blade = int((math.degrees(math.atan2(y - ay, x - ax)) + 360 + 15 * d / ar) % 360 // 60)
        shade = 210 - blade * 18
        return (shade, shade, 255 if blade % 2 else 235, 255)
    # the word, 6 pixels a cell
    word, cell, left, top = "ФОТО", 6.0, 80.0, 14.0
    col = int((x - left) // cell)
    row = int((y - top) // cell)
    if 0 <= row < 7 and col >= 0 and col // 6 < len(word) and col % 6 < 5:
        if LETTERS[word[col // 6]][row][col % 6] == "#":
            return (255, 255, 255, 255)
    # the plate: blue, lighter towards the top
    t = y / H
    return (round(30 + 20 * (1 - t)), round(90 + 50 * (1 - t)), round(170 + 60 * (1 - t)), 255)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(out, "panelbuttons.png"), "wb") as f:
        f.write(rgba_png(80, 16, panel_buttons()))
    with open(os.path.join(out, "logo.png"), "wb") as f:
        f.write(rgba_png(250, 70, render(250, 70, logo)))


if __name__ == "__main__":
    main()
