#!/usr/bin/env python3
"""Make a sample game folder for trying the installer.

usage: mkdemo.py OUTDIR --strings resources/strings-en.csv

OUTDIR/Data/sharedassets0.assets   fake asset file holding the string table
OUTDIR/TechnicalManual/package.nw  the demo's manual (stored ZIP)
OUTDIR/README-demo.txt

The asset file is: random filler, then the record  "English" 00 len32 TABLE,
9 filler bytes, "French" 00 00 len32 and a short placeholder table, then more
random filler.  The table starts 12 bytes after "English"; the next "French"
follows 9 bytes after its end.  Output is the same on every run.
"""
import argparse
import hashlib
import os
import random
import struct

from mkzip import make_zip

SEED = 20261210
HEAD_FILLER = 256 * 1024
TAIL_FILLER = 64 * 1024
NAMES = (b"English", b"French")
GAP = b"\x00\x00\x00\x00\x06\x00\x00\x00\x00"
README = b"Sample game folder for trying the Varnholt localization installer.\r\n"

OTHER_ROWS = [
    "Commencer une nouvelle expedition", "Continuer le voyage", "Ouvrir un journal de bord",
    "Options", "Manuel technique", "Quitter vers le bureau", "Volume principal",
    "Quitter l'expedition ? Tout ce qui n'est pas inscrit au journal sera perdu.",
    "Charbon : {0} / {1} sacs", "Pression de la chaudiere : {0} bar",
    "Glace devant ! Reduisez la vitesse.", "Le charbon s'epuise. Trouvez un depot.",
    "Tenez le cap.", "En avant toute. Qu'elle la brise.", "La barre a babord !",
    "Varnholt a deja envoye des navires au nord. Aucun n'est revenu avec des reponses.",
    "Gardez les fusees au sec et l'equipage occupe.", "Le phare brule de nouveau.",
    "Soixante sacs de charbon, quarante de farine et une chevre tres tetue.",
    "Ce n'est pas du bruit. Cela se repete toutes les onze secondes, exactement.",
]


def other_table():
    """About 1 KiB of placeholder text in the second language (ASCII only)."""
    lines = ["NumberId,StringId,Text,CharacterId,FabricEventString,FabricFilePath"]
    for i, text in enumerate(OTHER_ROWS, start=1):
        field = '"%s"' % text if "," in text else text
        lines.append("%d,ID_ROW_%03d,%s,,," % (i, i, field))
    return ("\r\n".join(lines) + "\r\n").encode("ascii")


def filler(rng, size):
    """Random bytes with any accidental language name broken up."""
    data = bytearray(rng.getrandbits(8) for _ in range(size))
    for name in NAMES:
        pos = data.find(name)
        while pos != -1:
            data[pos] ^= 0x20
            pos = data.find(name)
    return bytes(data)


def asset_bytes(table):
    for name in NAMES:
        if name in table:
            raise SystemExit("mkdemo: the string table contains %r" % name)
    rng = random.Random(SEED)
    head = filler(rng, HEAD_FILLER)
    other = other_table()
    record = (NAMES[0] + b"\x00" + struct.pack("<I", len(table)) + table + GAP
              + NAMES[1] + b"\x00\x00" + struct.pack("<I", len(other)) + other)
    data = head + record + filler(rng, TAIL_FILLER)
    check_layout(data, len(head), len(table))
    return data


def check_layout(data, start, table_len):
    """The locator's view: first "English" at a, next "French" at a + 7 + b."""
    a = data.find(NAMES[0])
    b = data.find(NAMES[1], a) - (a + 7)
    assert a == start and b - 14 == table_len, (a, b, table_len)
    assert data.count(NAMES[0]) == 1 and data.count(NAMES[1]) == 1


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main():
    p = argparse.ArgumentParser(description="make a sample game folder")
    p.add_argument("outdir")
    p.add_argument("--strings", required=True, help="the game's string table")
    a = p.parse_args()
    here = os.path.dirname(os.path.abspath(__file__))
    with open(a.strings, "rb") as f:
        table = f.read()
    write(os.path.join(a.outdir, "Data", "sharedassets0.assets"), asset_bytes(table))
    nw = make_zip(os.path.join(here, "demo", "manual"),
                  os.path.join(a.outdir, "TechnicalManual", "package.nw"), stored=True)
    write(os.path.join(a.outdir, "README-demo.txt"), README)
    print("package.nw md5 " + hashlib.md5(nw).hexdigest().upper())


if __name__ == "__main__":
    main()
