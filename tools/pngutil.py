"""Minimal deterministic PNG writer (zlib + struct only)."""
import struct
import zlib


def _chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def encode_png(width, height, rows, channels):
    """rows: list of bytes objects, each width*channels long (8-bit samples).

    channels 3 -> colour type 2 (RGB), 4 -> colour type 6 (RGBA).
    """
    colour_type = {3: 2, 4: 6}[channels]
    assert len(rows) == height
    raw = bytearray()
    for row in rows:
        assert len(row) == width * channels
        raw.append(0)  # filter type None keeps the encoder trivial
        raw += row
    ihdr = struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", ihdr)
            + _chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + _chunk(b"IEND", b""))


def write_png(path, width, height, rows, channels):
    with open(path, "wb") as f:
        f.write(encode_png(width, height, rows, channels))
