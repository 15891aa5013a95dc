#!/usr/bin/env python3
"""Check the format rules of a payload folder (ours or a translator's).

usage: checkpayloads.py RESOURCES_DIR

Checks strings-en.csv, strings-zh.csv, banner.txt, icon.png and book/.
Prints every problem found and exits 1 if there is any, else prints "ok".
"""
import csv
import os
import struct
import sys
import zlib

HEADER = "NumberId,StringId,Text,CharacterId,FabricEventString,FabricFilePath"
NAMES = (b"English", b"French")
BANNER_LINES, BANNER_WIDTH, BANNER_LAST = 55, 120, 151
BANNER_SIZE = BANNER_LINES * (BANNER_WIDTH + 2) + BANNER_LAST


class Problems(list):
    def check(self, cond, msg):
        if not cond:
            self.append(msg)
        return cond


def read(path):
    with open(path, "rb") as f:
        return f.read()


def split_rows(name, body, errs):
    """Decode and split CR LF separated rows; None if unusable."""
    if not errs.check(not body.startswith(b"\xef\xbb\xbf"), name + ": starts with a BOM"):
        return None
    try:
        text = body.decode("utf-8")
    except UnicodeDecodeError as e:
        errs.append("%s: not UTF-8 (%s)" % (name, e))
        return None
    lines = text.split("\r\n")
    bad = [i + 1 for i, line in enumerate(lines) if "\r" in line or "\n" in line]
    errs.check(not bad, "%s: line end other than CR LF on line(s) %s" % (name, bad[:5]))
    errs.check(lines[0] == HEADER, "%s: first line is not the header %r" % (name, HEADER))
    rows = list(csv.reader(lines[1:]))
    for i, row in enumerate(rows, start=2):
        if not errs.check(len(row) == 6, "%s: line %d has %d fields, not 6" % (name, i, len(row))):
            return None
    errs.check(len(rows) > 0, name + ": no rows")
    return rows


def check_names(name, data, errs):
    for word in NAMES:
        errs.check(word not in data, "%s: contains the bytes %r" % (name, word.decode()))


def check_en(path, errs):
    data = read(path)
    check_names("strings-en.csv", data, errs)
    if not errs.check(data.endswith(b"\r\n" + b"\x00" * 8),
                      "strings-en.csv: must end with CR LF and then exactly 8 zero bytes"):
        return None, data
    body = data[:-8]
    errs.check(not body.endswith(b"\x00"), "strings-en.csv: more than 8 trailing zero bytes")
    errs.check(b"\x00" not in body, "strings-en.csv: zero byte inside the table")
    rows = split_rows("strings-en.csv", body[:-2], errs)
    if rows:
        first = int(rows[0][0]) if rows[0][0].isdigit() else 0
        running = [str(first + i) for i in range(len(rows))]
        errs.check([r[0] for r in rows] == running,
                   "strings-en.csv: NumberId is not a running integer")
    return rows, data


def check_zh(path, en_rows, en_data, errs):
    data = read(path)
    check_names("strings-zh.csv", data, errs)
    errs.check(b"\x00" not in data, "strings-zh.csv: contains zero bytes")
    errs.check(not data.endswith(b"\r\n") and not data.endswith(b"\n"),
               "strings-zh.csv: must not end with a line end")
    if en_data is not None:
        errs.check(len(data) < len(en_data),
                   "strings-zh.csv: %d bytes, must be smaller than strings-en.csv (%d)"
                   % (len(data), len(en_data)))
    rows = split_rows("strings-zh.csv", data.rstrip(b"\x00"), errs)
    if rows is None:
        return
    for row in rows:
        try:
            row[2].encode("gbk")
        except UnicodeEncodeError as e:
            errs.append("strings-zh.csv: %s has a character outside GBK (%s)" % (row[1], e))
    if en_rows is None:
        return
    if not errs.check(len(rows) == len(en_rows), "strings-zh.csv: %d rows, strings-en.csv %d"
                      % (len(rows), len(en_rows))):
        return
    for zh, en in zip(rows, en_rows):
        if zh[:2] + zh[3:] != en[:2] + en[3:]:
            errs.append("strings-zh.csv: row %s differs from strings-en.csv outside Text" % zh[0])
            break


def check_banner(path, errs):
    data = read(path)
    if not errs.check(len(data) == BANNER_SIZE, "banner.txt: %d bytes, must be %d"
                      % (len(data), BANNER_SIZE)):
        return
    parts = data.split(b"\r\n")
    if not errs.check(len(parts) == BANNER_LINES + 1, "banner.txt: must have %d lines ending"
                      " in CR LF and a last line without one" % BANNER_LINES):
        return
    for i, part in enumerate(parts):
        want = BANNER_WIDTH if i < BANNER_LINES else BANNER_LAST
        errs.check(len(part) == want, "banner.txt: line %d has %d characters, must be %d"
                   % (i + 1, len(part), want))
        errs.check(all(0x20 <= b <= 0x7E for b in part),
                   "banner.txt: line %d has a byte outside printable ASCII" % (i + 1))


def png_chunks(data):
    pos = 8
    while pos + 8 <= len(data):
        size, kind = struct.unpack(">I4s", data[pos:pos + 8])
        yield kind, data[pos + 8:pos + 8 + size]
        pos += 12 + size


def unfilter(raw, width, height, bpp):
    """Undo PNG scanline filters; returns a list of rows."""
    stride, rows, prev, pos = width * bpp, [], bytearray(width * bpp), 0
    for _ in range(height):
        ftype, line = raw[pos], bytearray(raw[pos + 1:pos + 1 + stride])
        pos += 1 + stride
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b, c = prev[i], prev[i - bpp] if i >= bpp else 0
            if ftype == 1:
                line[i] = (line[i] + a) & 255
            elif ftype == 2:
                line[i] = (line[i] + b) & 255
            elif ftype == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif ftype == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line)
        prev = line
    return rows


def check_icon(path, errs):
    data = read(path)
    if not errs.check(data[:8] == b"\x89PNG\r\n\x1a\n", "icon.png: not a PNG file"):
        return
    chunks = list(png_chunks(data))
    if not errs.check(chunks and chunks[0][0] == b"IHDR", "icon.png: no IHDR"):
        return
    w, h, depth, ctype, _, _, interlace = struct.unpack(">IIBBBBB", chunks[0][1])
    errs.check((w, h) == (256, 256), "icon.png: %dx%d, must be 256x256" % (w, h))
    if not errs.check((depth, ctype) == (8, 6), "icon.png: must be 8-bit RGBA (colour type 6)"):
        return
    if interlace or (w, h) != (256, 256):
        return
    rows = unfilter(zlib.decompress(b"".join(c for k, c in chunks if k == b"IDAT")), w, h, 4)
    alphas = [row[i] for row in rows for i in range(3, len(row), 4)]
    errs.check(rows[0][3] < 255 and min(alphas) < 255 and max(alphas) == 255,
               "icon.png: needs real alpha (transparent corner, opaque inside)")


def check_book(path, errs):
    if not errs.check(os.path.isdir(path), "book/: folder missing"):
        return
    pages = []
    for root, _, files in os.walk(path):
        pages += [os.path.join(root, f) for f in files if f.endswith(".html")]
    errs.check(pages, "book/: has no .html page")
    for page in sorted(pages):
        try:
            read(page).decode("utf-8")
        except UnicodeDecodeError:
            errs.append("book/: %s is not UTF-8" % os.path.relpath(page, path))


def main():
    if len(sys.argv) != 2:
        raise SystemExit("usage: checkpayloads.py RESOURCES_DIR")
    top = sys.argv[1]
    errs = Problems()
    files = ("strings-en.csv", "strings-zh.csv", "banner.txt", "icon.png")
    missing = [f for f in files if not os.path.isfile(os.path.join(top, f))]
    errs.check(not missing, "missing file(s): %s" % ", ".join(missing))
    en_rows, en_data = None, None
    if "strings-en.csv" not in missing:
        en_rows, en_data = check_en(os.path.join(top, "strings-en.csv"), errs)
    if "strings-zh.csv" not in missing:
        check_zh(os.path.join(top, "strings-zh.csv"), en_rows, en_data, errs)
    if "banner.txt" not in missing:
        check_banner(os.path.join(top, "banner.txt"), errs)
    if "icon.png" not in missing:
        check_icon(os.path.join(top, "icon.png"), errs)
    check_book(os.path.join(top, "book"), errs)
    for msg in errs:
        print("checkpayloads: " + msg, file=sys.stderr)
    if errs:
        sys.exit(1)
    print("checkpayloads: %s ok" % top)


if __name__ == "__main__":
    main()
