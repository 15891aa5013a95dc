#!/usr/bin/env python3
"""Deterministic ZIP writer: same input tree, same bytes.

usage: mkzip.py SRC_DIR OUT [--prefix PREFIX] [--stored] [--dirs]

Entries are PREFIX + the path relative to SRC_DIR with '/' separators, in
sorted (byte) order.  Every entry gets the time 2020-01-01 00:00:00 and fixed
attributes (files 0644, folders 0755).  Deflate level 9 unless --stored.
--dirs adds an entry for each folder (name ending in '/').
"""
import argparse
import os
import struct
import zlib

DOS_TIME = 0
DOS_DATE = ((2020 - 1980) << 9) | (1 << 5) | 1
MADE_BY = (3 << 8) | 20          # Unix, format version 2.0
FILE_ATTR = 0o100644 << 16
DIR_ATTR = (0o040755 << 16) | 0x10
UTF8_FLAG = 1 << 11


def collect(src, prefix, with_dirs):
    """Sorted (name, path or None) pairs; None marks a folder entry."""
    entries = []
    for root, dirs, files in os.walk(src):
        rel = os.path.relpath(root, src)
        rel = "" if rel == "." else rel.replace(os.sep, "/") + "/"
        if with_dirs and rel:
            entries.append((prefix + rel, None))
        for name in files:
            entries.append((prefix + rel + name, os.path.join(root, name)))
    if with_dirs and prefix.endswith("/"):
        entries.append((prefix, None))
    return sorted(entries, key=lambda e: e[0].encode("utf-8"))


def compress(data, stored):
    if stored:
        return 0, data
    co = zlib.compressobj(9, zlib.DEFLATED, -15)
    return 8, co.compress(data) + co.flush()


def local_header(name, flags, method, crc, csize, usize):
    return struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, flags, method, DOS_TIME,
                       DOS_DATE, crc, csize, usize, len(name), 0) + name


def central_header(name, flags, method, crc, csize, usize, attr, offset):
    return struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, MADE_BY, 20, flags, method,
                       DOS_TIME, DOS_DATE, crc, csize, usize, len(name), 0, 0, 0, 0,
                       attr, offset) + name


def build_zip(entries, stored):
    body, central = bytearray(), bytearray()
    for name, path in entries:
        raw_name = name.encode("utf-8")
        flags = UTF8_FLAG if any(b > 0x7F for b in raw_name) else 0
        data = b""
        if path is not None:
            with open(path, "rb") as f:
                data = f.read()
        method, packed = compress(data, stored or path is None)
        crc = zlib.crc32(data) & 0xFFFFFFFF
        attr = DIR_ATTR if path is None else FILE_ATTR
        central += central_header(raw_name, flags, method, crc, len(packed), len(data),
                                  attr, len(body))
        body += local_header(raw_name, flags, method, crc, len(packed), len(data)) + packed
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries),
                      len(central), len(body), 0)
    return bytes(body + central + end)


def parse_args():
    p = argparse.ArgumentParser(description="deterministic ZIP writer")
    p.add_argument("src")
    p.add_argument("out")
    p.add_argument("--prefix", default="")
    p.add_argument("--stored", action="store_true", help="no compression")
    p.add_argument("--dirs", action="store_true", help="add folder entries")
    return p.parse_args()


def make_zip(src, out, prefix="", stored=False, with_dirs=False):
    if not os.path.isdir(src):
        raise SystemExit("mkzip: not a folder: %s" % src)
    data = build_zip(collect(src, prefix, with_dirs), stored)
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    with open(out, "wb") as f:
        f.write(data)
    return data


def main():
    a = parse_args()
    make_zip(a.src, a.out, a.prefix, a.stored, a.dirs)


if __name__ == "__main__":
    main()
