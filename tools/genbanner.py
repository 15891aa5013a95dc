#!/usr/bin/env python3
"""Draw the installer banner (resources/banner.txt): VARNHOLT over a frontier
fortress, an icebreaker and the northern range.

Layout: 55 lines of 120 printable ASCII characters + CR LF, then a 56th line
of 151 characters without a line end (6,861 bytes).

The installer shows only the bytes i with (i // 121) % 3 == 0, so what is seen
is mostly every third line (0, 3, 6, ...).  For those rows the right-hand part
comes from two lines further down, shifted two columns: detailed drawing stays
left of that seam (column 121 - line) and horizontal edges sit on lines
divisible by three.

usage: genbanner.py [OUT]      write the banner (default: resources/banner.txt)
       genbanner.py --preview  print the view the installer shows
"""
import os
import random
import sys

LINES, WIDTH = 55, 120
LAST_WIDTH = 151
TOTAL = LINES * (WIDTH + 2) + LAST_WIDTH  # 6,861
BLOCK = 121  # installer shows every third block of this many bytes
SEED = 1887

FONT = {
    "V": ["#...#", "#...#", "#...#", "#...#", ".#.#.", ".#.#.", "..#.."],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "N": ["#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"],
    "H": ["#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
}
WORD = "VARNHOLT"
WORD_TOP, WORD_LEFT = 0, 3      # each font pixel: 2 columns x 3 lines
SUBTITLE = "-=  THE  FRONTIER  COLONY  OF  THE  FROST  REACH  =-"
SUBTITLE_LINE = 24
SEA_LINE = 45

# Fortress on the cliff; sprite rows 0, 3, 6, ... land on shown lines.
FORT_TOP, FORT_LEFT = 30, 1
FORT = [
    r"        |>>>                |>>>     ",
    r"        |                   |        ",
    r"        |                   |        ",
    r"   [_]_[_]_[_]         [_]_[_]_[_]   ",
    r"   |         |         |         |   ",
    r"   |         |         |         |   ",
    r"   |  [] []  |_[_]_[_]_|  [] []  |   ",
    r"   |         |         |         |   ",
    r"   |         |         |         |   ",
    r"   |  [] []  |   __    |  [] []  |   ",
    r"   |         |  |  |   |         |   ",
    r"   |         |  |  |   |         |   ",
    r"  _|_________|__|__|___|_________|_  ",
    r" /:::::::::::::::::::::::::::::::::\ ",
    "/" + ":" * 35 + "\\",
]

# The icebreaker Kestrel leaving harbour.
SHIP_TOP, SHIP_LEFT = 33, 43
SHIP = [
    r"          (  )  (   )        ",
    r"        (    )   (  )        ",
    r"   |      (   ) (  )         ",
    r"   |        ||__    |        ",
    r"   |        ||  |   |        ",
    r"   |        ||  |   |        ",
    r"  _|___ ____||__|___|___     ",
    r"  |  o   o   o   o   o  |    ",
    r"  |  o   o   o   o   o  |    ",
    r" _|______KESTREL________|___ ",
    r" \  o   o   o   o   o   o  / ",
    r"  \  o   o   o   o   o   o/  ",
    r"~~~\______________________/~~",
]

# The Pale Beacon on its rock, far out.  It lies right of the seam on every
# row that shows it, so its shown lines are 26, 29, ... (sprite rows 2, 5, ...).
BEACON_TOP, BEACON_LEFT = 24, 97
BEACON = [
    r"        .        ",
    r"      \ | /      ",
    r"  -- (( O )) --  ",
    r"      / | \      ",
    r"       _|_       ",
    r"     [=====]     ",
    r"      |   |      ",
    r"      |   |      ",
    r"      | # |      ",
    r"      |   |      ",
    r"     |     |     ",
    r"     |  #  |     ",
    r"     |     |     ",
    r"     |     |     ",
    r"    |   #   |    ",
    r"    |       |    ",
    r"    |       |    ",
    r"   |    #    |   ",
    r"   |         |   ",
    r"  _|_________|_  ",
    r" /:::::::::::::\ ",
]

# Peaks as (column, top line); the rightmost keeps column - line <= 28 so the
# range stays left of the seam all the way down to the water.
PEAKS = ((9, 30), (27, 27), (45, 29), (58, 30), (70, 41))


def blank():
    return [[" "] * WIDTH for _ in range(LINES)]


def put(canvas, line, col, text, transparent=" "):
    """Copy text onto the canvas; characters equal to transparent are skipped."""
    for i, ch in enumerate(text):
        c = col + i
        if 0 <= line < LINES and 0 <= c < WIDTH and ch != transparent:
            canvas[line][c] = ch


def draw_sprite(canvas, top, left, rows):
    """Opaque between the first and last drawn character of each row."""
    for i, row in enumerate(rows):
        body = row.strip(" ")
        if body:
            put(canvas, top + i, left + row.index(body[0]), body, transparent="")


def draw_stars(canvas, rng):
    for line in range(0, SEA_LINE):
        for col in range(1, WIDTH - 2):
            if rng.random() < 0.03:
                canvas[line][col] = rng.choice(".....'*+")


def draw_word(canvas):
    """Block letters, each pixel 2 columns by 3 lines, with a drop shadow."""
    col = WORD_LEFT
    cells = set()
    for letter in WORD:
        for py, bits in enumerate(FONT[letter]):
            for px, bit in enumerate(bits):
                if bit == "#":
                    for dl in range(3):
                        for dc in range(2):
                            cells.add((WORD_TOP + 3 * py + dl, col + 2 * px + dc))
        col += 12
    # clear a margin round the letters so stars do not touch them
    for line, c in cells:
        for dl in (-1, 0, 1, 2):
            for dc in (-1, 0, 1, 2):
                put(canvas, line + dl, c + dc, " ", transparent="")
    for line, c in cells:
        if (line + 1, c + 1) not in cells:
            put(canvas, line + 1, c + 1, ":")
    for line, c in cells:
        put(canvas, line, c, "#")


def draw_subtitle(canvas):
    line = SUBTITLE_LINE
    col = WORD_LEFT + (12 * len(WORD) - 2 - len(SUBTITLE)) // 2
    for dl in (-1, 0, 1):
        put(canvas, line + dl, col - 2, " " * (len(SUBTITLE) + 4), transparent="")
    put(canvas, line, col, SUBTITLE)


def ridge(col):
    """Top line of the range at a column (slopes one column per line)."""
    return min(top + abs(col - pc) for pc, top in PEAKS)


def ridge_char(col):
    top, left, right = ridge(col), ridge(col - 1), ridge(col + 1)
    if left > top and right > top:
        return "^"
    if left > top:
        return "/"
    if right > top:
        return "\\"
    return "_"


def draw_mountains(canvas):
    """Outline, snow under the sunlit slopes, shade along the others."""
    for col in range(WIDTH - 2):
        top = ridge(col)
        if top >= SEA_LINE:
            continue
        edge = ridge_char(col)
        canvas[top][col] = edge
        for line in range(top + 1, SEA_LINE):
            depth = line - top
            if depth <= 2 and edge in "/^":
                canvas[line][col] = "."   # snow on the sunlit slope
            elif depth <= 3 and edge == "\\":
                canvas[line][col] = ":"   # shadowed flank
            else:
                canvas[line][col] = " "


def draw_sea(canvas, rng):
    for line in range(SEA_LINE, LINES):
        col = 0
        while col < WIDTH - 2:
            run = rng.randint(2, 7)
            gap = rng.randint(1, 6)
            put(canvas, line, col, "~" * min(run, WIDTH - 2 - col), transparent="")
            col += run + gap
    # floes left of the seam sit on lines 3r, those right of it on lines 3r+2
    for line, col in ((48, 50), (51, 8), (54, 30), (47, 86), (50, 104), (53, 90)):
        put(canvas, line, col, " _.--._ ", transparent="")


def draw_shelf(canvas):
    """Distant ice shelf on the horizon between the ship and the beacon."""
    put(canvas, SEA_LINE - 1, 76, "__.---.___/\\___.--._", transparent="")


def draw_cliff(canvas):
    """Rock below the fortress down to the water."""
    first = FORT_TOP + len(FORT)
    for line in range(first, LINES):
        width = 37 - (line - first)
        put(canvas, line, 0, ":" * width + "\\", transparent="")


def last_line():
    text = ("  VARNHOLT  -  frontier colony of the Frost Reach  -  the icebreaker Kestrel "
            "sails for the Pale Beacon  -  ")
    return (text + "~" * LAST_WIDTH)[:LAST_WIDTH]


def compose():
    rng = random.Random(SEED)
    canvas = blank()
    draw_stars(canvas, rng)
    draw_mountains(canvas)
    draw_word(canvas)
    draw_subtitle(canvas)
    draw_shelf(canvas)
    draw_sea(canvas, rng)
    draw_cliff(canvas)
    draw_sprite(canvas, FORT_TOP, FORT_LEFT, FORT)
    draw_sprite(canvas, SHIP_TOP, SHIP_LEFT, SHIP)
    draw_sprite(canvas, BEACON_TOP, BEACON_LEFT, BEACON)
    for row in canvas:  # two blank columns on the right; column 0 of line 0 blank
        row[-2:] = [" ", " "]
    canvas[0][0] = " "
    return ["".join(row) for row in canvas] + [last_line()]


def banner_bytes():
    lines = compose()
    data = "".join(line + "\r\n" for line in lines[:-1]) + lines[-1]
    data = data.encode("ascii")
    check(data)
    return data


def check(data):
    assert len(data) == TOTAL, len(data)
    parts = data.split(b"\r\n")
    assert len(parts) == LINES + 1
    for i, part in enumerate(parts):
        assert len(part) == (WIDTH if i < LINES else LAST_WIDTH), (i, len(part))
        assert all(0x20 <= b <= 0x7E for b in part), i


def shown_bytes(data):
    return bytes(b for i, b in enumerate(data) if (i // BLOCK) % 3 == 0)


def render_terminal(data):
    """Play the bytes as a console would: CR returns, LF starts a new row."""
    rows, row, col = [], [], 0
    for ch in data.decode("ascii"):
        if ch == "\r":
            col = 0
        elif ch == "\n":
            rows.append("".join(row).rstrip())
            row, col = [], 0
        else:
            row[col:col + 1] = [ch] if col < len(row) else row[col:] + [ch]
            col += 1
    rows.append("".join(row).rstrip())
    return rows


def main():
    data = banner_bytes()
    if "--preview" in sys.argv[1:]:
        print("\n".join(render_terminal(shown_bytes(data))))
        return
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources", "banner.txt")
    with open(out, "wb") as f:
        f.write(data)
    print("wrote %s (%d bytes)" % (out, len(data)))


if __name__ == "__main__":
    main()
