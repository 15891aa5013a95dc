#!/usr/bin/env python3
"""Wrap a 256x256 PNG unchanged into a single-image Windows .ico file.

usage: mkico.py PNG OUT.ico
"""
import struct
import sys

PNG_SIG = b"\x89PNG\r\n\x1a\n"


def png_size(data):
    if data[:8] != PNG_SIG or data[12:16] != b"IHDR":
        raise SystemExit("mkico: input is not a PNG file")
    return struct.unpack(">II", data[16:24])


def ico_bytes(png):
    width, height = png_size(png)
    if width > 256 or height > 256:
        raise SystemExit("mkico: image larger than 256x256")
    # ICONDIR: reserved, type 1 (icon), one entry.
    head = struct.pack("<HHH", 0, 1, 1)
    # ICONDIRENTRY: a size byte of 0 means 256; planes 1, 32 bits per pixel.
    entry = struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32,
                        len(png), len(head) + 16)
    return head + entry + png


def main():
    if len(sys.argv) != 3:
        raise SystemExit("usage: mkico.py PNG OUT.ico")
    with open(sys.argv[1], "rb") as f:
        png = f.read()
    with open(sys.argv[2], "wb") as f:
        f.write(ico_bytes(png))


if __name__ == "__main__":
    main()
