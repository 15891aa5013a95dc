#!/usr/bin/env python3
"""Checks the Windows executable as a file: a PE32+ x86-64 console program
that needs no DLL beside it, whose resources hold the payloads (type "TXT",
language 2052), the icon group 120 with one 256x256 PNG image, the manifest
asking for asInvoker, and the version block.

usage: checkexe.py EXE PAYLOAD_ID=FILE...
"""
import struct
import sys

SYSTEM_DLLS = {"kernel32.dll", "msvcrt.dll", "shell32.dll", "user32.dll", "winmm.dll"}
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24


class PE:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise SystemExit("not a PE file")
        self.machine, sections, _, _, _, optsize, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        self.magic = struct.unpack_from("<H", data, opt)[0]
        self.subsystem = struct.unpack_from("<H", data, opt + 68)[0]
        dirs = opt + 112  # PE32+ data directories
        self.directories = [struct.unpack_from("<II", data, dirs + 8 * i) for i in range(16)]
        table = opt + optsize
        self.sections = []
        for i in range(sections):
            name, vsize, va, rawsize, raw = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((va, max(vsize, rawsize), raw))

    def offset(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise SystemExit(f"RVA {rva:#x} outside the sections")

    def cstring(self, rva):
        at = self.offset(rva)
        return self.data[at:self.data.index(b"\0", at)].decode("ascii")

    def imports(self):
        rva, _ = self.directories[1]
        names, at = [], self.offset(rva)
        while True:
            entry = struct.unpack_from("<IIIII", self.data, at)
            if entry == (0, 0, 0, 0, 0):
                return names
            names.append(self.cstring(entry[3]).lower())
            at += 20

    def resources(self):
        """{(type, id, language): bytes}; string names come back as str."""
        base = self.offset(self.directories[2][0])
        found = {}

        def name(value):
            if value & 0x80000000:
                at = base + (value & 0x7FFFFFFF)
                length = struct.unpack_from("<H", self.data, at)[0]
                return self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            return value

        def walk(at, path):
            _, _, _, _, named, ids = struct.unpack_from("<IIHHHH", self.data, base + at)
            for i in range(named + ids):
                key, target = struct.unpack_from("<II", self.data, base + at + 16 + 8 * i)
                if target & 0x80000000:
                    walk(target & 0x7FFFFFFF, path + [name(key)])
                else:
                    rva, size = struct.unpack_from("<II", self.data, base + target)
                    start = self.offset(rva)
                    found[tuple(path + [name(key)])] = self.data[start:start + size]

        walk(0, [])
        return found


def check(condition, message):
    if not condition:
        raise SystemExit("FAILED: " + message)


def main():
    exe = sys.argv[1]
    payloads = dict(arg.split("=", 1) for arg in sys.argv[2:])
    pe = PE(open(exe, "rb").read())
    check(pe.machine == 0x8664 and pe.magic == 0x20B, "not a PE32+ x86-64 file")
    check(pe.subsystem == 3, "not a console program")
    extra = set(pe.imports()) - SYSTEM_DLLS
    check(not extra, f"needs DLLs beside it: {sorted(extra)}")

    res = pe.resources()
    for id_text, path in payloads.items():
        data = res.get(("TXT", int(id_text), 2052))
        check(data is not None, f"payload {id_text} is not a TXT resource of language 2052")
        check(data == open(path, "rb").read(), f"payload {id_text} differs from {path}")

    groups = [data for (kind, rid, _), data in res.items() if kind == RT_GROUP_ICON and rid == 120]
    check(len(groups) == 1, "no icon group 120")
    _, kind, count = struct.unpack_from("<HHH", groups[0], 0)
    check(kind == 1 and count == 1, "icon group 120 must hold exactly one image")
    width, height, _, _, planes, bits, size, icon_id = struct.unpack_from("<BBBBHHIH", groups[0], 6)
    check((width, height, bits) == (0, 0, 32), "the icon image is not 256x256 with 32 bits")
    image = next(data for (kind, rid, _), data in res.items() if kind == RT_ICON and rid == icon_id)
    check(image[:8] == b"\x89PNG\r\n\x1a\n", "the icon image is not a PNG")
    check(struct.unpack(">II", image[16:24]) == (256, 256) and image[25] == 6,
          "the PNG is not 256x256 RGBA")

    manifest = next((data for (kind, rid, _), data in res.items() if kind == RT_MANIFEST and rid == 1), b"")
    check(b'level="asInvoker"' in manifest and b'uiAccess="false"' in manifest,
          "manifest 1 does not ask for asInvoker without uiAccess")

    version = next((data for (kind, _, _), data in res.items() if kind == RT_VERSION), b"")
    text = version.decode("utf-16-le", errors="ignore")
    for needed in ("ProductName", "V1.2.1Beta3", "FileDescription", "汉化包"):
        check(needed in text, f"the version block lacks {needed!r}")
    print(f"{exe}: PE32+ x86-64 console, imports {sorted(set(pe.imports()))}, "
          f"{len(payloads)} payloads, icon 120, manifest, version block")


if __name__ == "__main__":
    main()
