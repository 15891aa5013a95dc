#!/usr/bin/env python3
"""Draw the technical manual's pictures (small RGB PNGs, no text in them,
only numbered markers that the pages explain).

Writes book/img/hull-section.png and book/img/route-chart.png twice: for the
translated manual (resources/book) and, on a cooler paper tint so the two are
told apart, for the demo game's manual (tools/demo/manual/book).

usage: genmanualart.py [REPO_ROOT]
"""
import math
import os
import sys

from pngutil import write_png

DIGITS = {  # 3x5 glyphs
    "1": [".#.", "##.", ".#.", ".#.", "###"],
    "2": ["##.", "..#", ".#.", "#..", "###"],
    "3": ["##.", "..#", ".#.", "..#", "##."],
    "4": ["#.#", "#.#", "###", "..#", "..#"],
    "5": ["###", "#..", "##.", "..#", "##."],
    "6": [".##", "#..", "###", "#.#", "###"],
}

INK = (40, 52, 70)
RED = (176, 54, 44)
SEA = (120, 160, 196)
PAPERS = {"book": (244, 238, 222), "demo": (232, 238, 244)}


class Canvas:
    def __init__(self, w, h, bg):
        self.w, self.h = w, h
        self.px = [[bg] * w for _ in range(h)]

    def dot(self, x, y, col):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = col

    def rect(self, x0, y0, x1, y1, col):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.dot(x, y, col)

    def polygon(self, pts, col):
        """Even-odd scanline fill."""
        ys = [p[1] for p in pts]
        for y in range(int(min(ys)), int(max(ys)) + 1):
            xs = []
            for (x0, y0), (x1, y1) in zip(pts, pts[1:] + pts[:1]):
                if (y0 <= y < y1) or (y1 <= y < y0):
                    xs.append(x0 + (y - y0) * (x1 - x0) / float(y1 - y0))
            xs.sort()
            for a, b in zip(xs[::2], xs[1::2]):
                for x in range(int(round(a)), int(round(b))):
                    self.dot(x, y, col)

    def line(self, x0, y0, x1, y1, col, width=1, dash=0):
        steps = int(max(abs(x1 - x0), abs(y1 - y0))) + 1
        for i in range(steps):
            if dash and (i // dash) % 2:
                continue
            t = i / float(max(1, steps - 1))
            x, y = x0 + (x1 - x0) * t, y0 + (y1 - y0) * t
            half = width // 2
            self.rect(int(x) - half, int(y) - half, int(x) - half + width,
                      int(y) - half + width, col)

    def outline(self, pts, col, width=1):
        for a, b in zip(pts, pts[1:] + pts[:1]):
            self.line(a[0], a[1], b[0], b[1], col, width)

    def disc(self, cx, cy, r, col):
        for y in range(cy - r, cy + r + 1):
            for x in range(cx - r, cx + r + 1):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.dot(x, y, col)

    def marker(self, cx, cy, digit):
        """Numbered callout: red disc with a white digit (glyph scaled 2x)."""
        self.disc(cx, cy, 8, RED)
        for gy, bits in enumerate(DIGITS[digit]):
            for gx, bit in enumerate(bits):
                if bit == "#":
                    self.rect(cx - 3 + 2 * gx, cy - 5 + 2 * gy, cx - 1 + 2 * gx,
                              cy - 3 + 2 * gy, (255, 255, 255))

    def rows(self):
        return [bytes(v for p in row for v in p) for row in self.px]


def hull_section(paper):
    c = Canvas(360, 200, paper)
    c.rect(0, 128, 360, 200, SEA)                       # water below the line
    hull = [(30, 96), (300, 96), (336, 70), (322, 128), (290, 160), (60, 160), (36, 136)]
    c.polygon(hull, (214, 206, 190))
    c.outline(hull, INK, 2)
    c.line(40, 120, 318, 120, INK, 3)                  # doubled ice belt
    c.line(40, 128, 316, 128, INK, 1)
    c.rect(70, 104, 130, 152, (90, 90, 96))             # coal bunkers
    c.rect(136, 104, 186, 152, (214, 120, 60))          # boiler
    c.rect(192, 108, 250, 152, (160, 60, 52))           # engine room
    c.line(250, 140, 300, 146, INK, 2)                  # shaft
    c.rect(120, 60, 220, 96, (200, 192, 176))           # deckhouse
    c.outline([(120, 60), (220, 60), (220, 96), (120, 96)], INK, 2)
    c.rect(158, 22, 176, 60, (60, 60, 66))              # funnel
    c.rect(158, 22, 176, 30, RED)
    c.line(80, 18, 80, 96, INK, 2)                      # mast
    for n, (x, y) in enumerate(((320, 88), (100, 92), (161, 92), (221, 100), (288, 168), (167, 44)), 1):
        c.marker(x, y, str(n))
    return c


def route_chart(paper):
    c = Canvas(360, 220, (198, 216, 226) if paper == PAPERS["book"] else (190, 210, 228))
    land = (226, 214, 184)
    c.polygon([(0, 220), (0, 150), (40, 160), (70, 190), (120, 200), (150, 220)], land)
    c.polygon([(250, 220), (270, 170), (330, 150), (360, 160), (360, 220)], land)
    c.polygon([(0, 0), (140, 0), (120, 24), (60, 40), (0, 30)], (246, 248, 250))  # shelf ice
    c.polygon([(210, 0), (360, 0), (360, 50), (300, 40), (240, 20)], (246, 248, 250))
    c.polygon([(150, 110), (190, 96), (214, 118), (180, 134)], land)            # island
    route = [(100, 196), (130, 160), (226, 150), (232, 110), (200, 70), (176, 26)]
    for a, b in zip(route, route[1:]):
        c.line(a[0], a[1], b[0], b[1], INK, 2, dash=5)
    for n, (x, y) in enumerate(route[:1] + route[2:], 1):
        c.marker(x, y, str(n))
    compass_rose(c, 320, 92)
    return c


def compass_rose(c, cx, cy):
    for k in range(8):
        ang = k * math.pi / 4
        r = 22 if k % 2 == 0 else 12
        c.line(cx, cy, int(cx + r * math.sin(ang)), int(cy - r * math.cos(ang)), INK, 1)
    c.polygon([(cx - 4, cy), (cx, cy - 24), (cx + 4, cy)], RED)


def write_set(img_dir, paper):
    os.makedirs(img_dir, exist_ok=True)
    for name, draw in (("hull-section.png", hull_section), ("route-chart.png", route_chart)):
        canvas = draw(paper)
        write_png(os.path.join(img_dir, name), canvas.w, canvas.h, canvas.rows(), 3)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..")
    write_set(os.path.join(root, "resources", "book", "img"), PAPERS["book"])
    write_set(os.path.join(root, "tools", "demo", "manual", "book", "img"), PAPERS["demo"])


if __name__ == "__main__":
    main()
