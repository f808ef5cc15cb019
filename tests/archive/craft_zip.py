#!/usr/bin/env python3
"""Writes zip archives with crafted names and modes for the archive binding's tests."""
import sys
import warnings
import zipfile


def entry(zf, name, data=b"", mode=None):
    info = zipfile.ZipInfo(name, date_time=(2020, 1, 1, 0, 0, 0))
    info.compress_type = zipfile.ZIP_DEFLATED
    if mode is not None:
        info.create_system = 3  # Unix, so the mode bits are read
        info.external_attr = mode << 16
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
