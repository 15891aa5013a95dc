#!/usr/bin/env python3
"""Draw the installer icon: a round emblem (icebreaker under the north star).

Writes a 256x256 8-bit RGBA PNG with transparent corners.
usage: genicon.py [OUT.png]     (default: resources/icon.png)
"""
import math
import os
import sys

from pngutil import write_png

SIZE = 256
C = SIZE / 2.0
R_OUT, R_IN = 126.0, 116.0
HORIZON = 166.0
SS = 3  # supersampling per axis, for smooth edges


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def ring(x, y, d):
    """Gold rim with eight compass ticks."""
    gold = mix((236, 192, 92), (150, 100, 36), (y / SIZE))
    if d > R_OUT - 2.0 or d < R_IN + 1.5:
        return mix(gold, (70, 44, 16), 0.6)
    ang = math.atan2(y - C, x - C)
    if abs(math.sin(ang * 4)) < 0.05:
        return mix(gold, (90, 56, 20), 0.7)
    return gold


def sky(x, y):
    col = mix((12, 20, 50), (58, 100, 150), min(1.0, y / HORIZON) ** 1.6)
    band = 74 + 12 * math.sin(x / 26.0)
    glow = math.exp(-((y - band) / 11.0) ** 2) * (0.55 + 0.45 * math.sin(x / 4.5) ** 2)
    return mix(col, (80, 220, 150), 0.55 * glow)


def star(x, y, cx=128.0, cy=46.0, r=17.0):
    """Four-pointed star (astroid) plus a soft halo; returns blend weight."""
    dx, dy = abs(x - cx) / r, abs(y - cy) / r
    if dx ** (2 / 3.0) + dy ** (2 / 3.0) <= 1.0:
        return 1.0
    return 0.5 * math.exp(-((dx * dx + dy * dy) * 6.0))


PEAKS = ((70.0, 108.0, 1.05), (150.0, 92.0, 0.95), (212.0, 122.0, 1.1))


def mountain(x, y):
    """Colour of the range at (x, y), or None above the ridge line."""
    best = None
    for px, py, k in PEAKS:
        top = py + abs(x - px) * k
        if y >= top and (best is None or top < best[0]):
            best = (top, px, py)
    if best is None or y >= HORIZON:
        return None
    top, px, py = best
    snow = y < py + 24 + 6 * math.sin(x / 7.0)
    lit = x < px
    if snow:
        return (236, 242, 250) if lit else (168, 184, 210)
    return (92, 104, 130) if lit else (58, 68, 96)


def ship(x, y):
    """True inside the ship silhouette (bow to the left)."""
    if 154 <= y <= 170 and 92 + (y - 154) * 0.9 <= x <= 170 - (y - 154) * 0.35:
        return True
    if 141 <= y < 154 and 114 <= x <= 146:
        return True
    if 124 <= y < 141 and 128 <= x <= 137:
        return True
    return 118 <= y < 154 and 104 <= x <= 105.5


def sea(x, y):
    col = mix((30, 64, 110), (10, 26, 56), (y - HORIZON) / 80.0)
    if math.sin(y * 1.3 + 2.2 * math.sin(x * 0.06)) > 0.9:
        col = mix(col, (120, 170, 215), 0.6)
    return col


def scene(x, y):
    if ship(x, y):
        if 124 <= y < 130 and 128 <= x <= 137:
            return (190, 44, 40)  # funnel band
        return (22, 22, 32)
    if y >= HORIZON:
        return sea(x, y)
    col = mountain(x, y)
    if col is None:
        col = mix(sky(x, y), (255, 248, 214), star(x, y))
    return col


def sample(x, y):
    d = math.hypot(x - C, y - C)
    if d > R_OUT:
        return None
    if d >= R_IN:
        return ring(x, y, d)
    return scene(x, y)


def pixel(px, py):
    """Average SS*SS samples; premultiplied so edges blend to transparent."""
    acc = [0.0, 0.0, 0.0]
    hits = 0
    for sy in range(SS):
        for sx in range(SS):
            col = sample(px + (sx + 0.5) / SS, py + (sy + 0.5) / SS)
            if col is not None:
                hits += 1
                for i in range(3):
                    acc[i] += col[i]
    if hits == 0:
        return (0, 0, 0, 0)
    rgb = tuple(int(round(v / hits)) for v in acc)
    return rgb + (int(round(255.0 * hits / (SS * SS))),)


def render():
    rows = []
    for py in range(SIZE):
        row = bytearray()
        for px in range(SIZE):
            row += bytes(pixel(px, py))
        rows.append(bytes(row))
    return rows


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources", "icon.png")
    write_png(out, SIZE, SIZE, render(), 4)
    print("wrote", out)


if __name__ == "__main__":
    main()
