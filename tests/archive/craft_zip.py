#!/usr/bin/env python3
"""Writes zip archives with crafted names and modes for the archive binding's tests."""
import struct
import sys
import warnings
import zipfile
import zlib


def entry(zf, name, data=b"", mode=None):
    info = zipfile.ZipInfo(name, date_time=(2020, 1, 1, 0, 0, 0))
    info.compress_type = zipfile.ZIP_DEFLATED
    if mode is not None:
        info.create_system = 3  # Unix, so the mode bits are read
        info.external_attr = mode << 16
    zf.writestr(info, data)


class RawNameInfo(zipfile.ZipInfo):
    """An entry whose name is written as the given bytes, without the UTF-8 flag (bit 11),
    as DOS-era tools on Russian Windows wrote them."""

    def __init__(self, raw, **kw):
        super().__init__(raw.decode("latin-1"), **kw)
        self.raw_name = raw

    def _encodeFilenameFlags(self):
        return self.raw_name, self.flag_bits & ~0x800


def raw_entry(zf, raw, data, unicode_path=None, crc_of=None):
    info = RawNameInfo(raw, date_time=(2020, 1, 1, 0, 0, 0))
    info.compress_type = zipfile.ZIP_DEFLATED
    if unicode_path is not None:
        # Info-ZIP's Unicode path field: version 1, CRC-32 of the stored name, UTF-8 name.
        u = unicode_path.encode("utf-8")
        crc = zlib.crc32(raw if crc_of is None else crc_of)
        info.extra = struct.pack("<HHBI", 0x7075, 5 + len(u), 1, crc) + u
    zf.writestr(info, data)


def main():
    kind, out = sys.argv[1], sys.argv[2]
    warnings.simplefilter("ignore")  # duplicate names are the point of one fixture
    with zipfile.ZipFile(out, "w") as zf:
        if kind == "dotdot":
            entry(zf, "good.txt", b"good")
            entry(zf, "../evil.txt", b"evil")
        elif kind == "backslash":
            entry(zf, "good.txt", b"good")
            entry(zf, "..\\..\\evil.txt", b"evil")
        elif kind == "inner-dotdot":
            entry(zf, "a/../../evil.txt", b"evil")
        elif kind == "absolute":
            entry(zf, "/tmp/evil-absolute.txt", b"evil")
        elif kind == "drive":
            entry(zf, "C:\\evil.txt", b"evil")
        elif kind == "symlink":
            entry(zf, "link", b"/etc/passwd", mode=0o120777)
            entry(zf, "link/inside.txt", b"x")
        elif kind == "modes":
            entry(zf, "none.txt", b"no bits", mode=0o100000)
            entry(zf, "setuid.sh", b"#!/bin/sh\n", mode=0o104777)
        elif kind == "dup":
            entry(zf, "dup.txt", b"first")
            entry(zf, "dup.txt", b"second")
        elif kind == "file-then-dir":
            entry(zf, "a", b"file a")
            entry(zf, "a/b", b"file b")
        elif kind == "longname":
            entry(zf, "n" * 300, b"long")
        elif kind == "long-nested":
            entry(zf, "d" * 200 + "/" + "f" * 100, b"nested long")
        elif kind == "many-empty":
            for i in range(100000):
                zf.writestr(zipfile.ZipInfo("e/%05d" % i, date_time=(2020, 1, 1, 0, 0, 0)), b"")
        elif kind == "cp866":
            raw_entry(zf, "Моды/Прицел Ёжик.txt".encode("cp866"), b"cp866 one")
            raw_entry(zf, "Моды/readme.txt".encode("cp866"), b"cp866 two")
            # Valid UTF-8 without the flag, as some tools write it, Latin-1 letters included.
            raw_entry(zf, "Звук/привет.txt".encode("utf-8"), b"utf8 without flag")
            raw_entry(zf, "Звук/café.txt".encode("utf-8"), b"latin utf8 without flag")
            # A DOS name with Info-ZIP's Unicode path beside it: the Unicode path stands.
            raw_entry(zf, "Extra/résumé.txt".encode("cp437"), b"unicode path", "Extra/résumé.txt")
            # Flagged UTF-8 with Latin-1 letters and a character above U+FFFF: kept as read.
            entry(zf, "Café/naïve.txt", b"flagged")
            entry(zf, "Café/\U0001F600.txt", b"flagged astral")
        elif kind == "bad-unicode-path":
            # The Unicode path field's CRC is not the stored name's: readers must ignore the
            # field and decode the stored DOS name.
            raw_entry(zf, "Прицел/Файл 2.txt".encode("cp866"), b"raw name", "Wrong/other.txt", b"not the name")
        elif kind == "cp866-table":
            # Every upper-half byte of the code page, in names short enough for any file
            # system; the names as Python's own codec reads them go to a list beside the zip.
            expected = []
            for start in range(0x80, 0x100, 0x20):
                raw = b"t%02x_" % start + bytes(range(start, start + 0x20))
                raw_entry(zf, raw, b"%02x" % start)
                expected.append(raw.decode("cp866"))
            with open(out + ".names", "w", encoding="utf-8") as f:
                f.write("\n".join(expected) + "\n")
        elif kind == "empty":
            pass
        elif kind in ("big-dup", "big-case"):
            # Enough data for two readers, and one name twice (or twice by case).
            for i in range(60):
                entry(zf, "data/f%02d.bin" % i, bytes((i * 7 + k * 13) % 251 for k in range(40000)))
            entry(zf, "dup.txt", b"first")
            entry(zf, "data/g.bin", b"between")
            entry(zf, "dup.txt" if kind == "big-dup" else "DUP.txt", b"second")
        elif kind == "ordered-failures":
            entry(zf, "a.txt", b"a")
            entry(zf, "b.txt", b"b")
            entry(zf, "../evil.txt", b"evil")
        else:
            raise SystemExit("unknown kind " + kind)


main()
