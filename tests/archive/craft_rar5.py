#!/usr/bin/env python3
"""Writes a RAR5 archive (stored items) with link entries as RAR writes them: the link's
target in a redirection record, no data, the unpacked size and CRC of what it stands for.

    craft_rar5.py OUT [unknown-block]

With unknown-block, a block of a header type the format does not define stands between the
first two items instead, and the items are plain files.
"""
import struct
import sys
import zlib


def vint(n):
    out = bytearray()
    while True:
        out.append((n & 0x7F) | (0x80 if n > 0x7F else 0))
        n >>= 7
        if not n:
            return bytes(out)


def header(htype, body, extra=b"", data_size=None):
    flags, sizes = 0, b""
    if extra:
        flags |= 0x01
        sizes += vint(len(extra))
    if data_size is not None:
        flags |= 0x02
        sizes += vint(data_size)
    content = vint(htype) + vint(flags) + sizes + body + extra
    h = vint(len(content)) + content
    return struct.pack("<I", zlib.crc32(h)) + h


def item(name, data, link=None, stands_for=None):
    """A stored file, or a link (type 1 Unix symlink, 4 hard link) to target."""
    whole = data if stands_for is None else stands_for
    attrs = 0o100644 if link is None else 0o120777
    body = vint(0x04) + vint(len(whole)) + vint(attrs) + struct.pack("<I", zlib.crc32(whole))
    body += vint(0) + vint(1) + vint(len(name.encode())) + name.encode()  # stored, made on Unix
    extra = b""
    if link:
        kind, target = link
        record = vint(5) + vint(kind) + vint(0) + vint(len(target.encode())) + target.encode()
        extra = vint(len(record)) + record
    return header(2, body, extra, len(data)) + data


def main():
    out = b"Rar!\x1a\x07\x01\x00" + header(1, vint(0))
    if sys.argv[2:] == ["unknown-block"]:
        out += item("one.txt", b"one\n")
        out += header(9, vint(0) + b"\0" * 8)
        for name in ("two.txt", "three.txt", "four.txt"):
            out += item(name, name.encode())
        out += header(5, vint(0))
        open(sys.argv[1], "wb").write(out)
        return
    out += item("real.txt", b"real content\n")
    out += item("sym.txt", b"", (1, "real.txt"), b"real.txt")
    out += item("hard.txt", b"", (4, "real.txt"), b"real content\n")
    out += item("out.txt", b"", (1, "../../outside"), b"../../outside")
    out += item("after.txt", b"after\n")
    out += header(5, vint(0))
    open(sys.argv[1], "wb").write(out)


if __name__ == "__main__":
    main()
