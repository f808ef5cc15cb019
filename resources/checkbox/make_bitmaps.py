#!/usr/bin/env python3
"""Writes the check box bitmaps of checkboxes.txt as 16-colour BMP files."""
import struct
import sys

# The standard 16-colour palette, as RGB.
PALETTE = [0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0x808080,
           0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF]
LETTERS = {'G': 0x808080, 'F': 0xFF00FF, 'R': 0xFF0000, 'W': 0xFFFFFF, 'B': 0x0000FF}


def bmp(rows):
    height, width = len(rows), len(rows[0])
    stride = ((width * 4 + 31) // 32) * 4
    pixels = b''
    for row in reversed(rows):  # bottom-up
        line = bytearray(stride)
        for x, ch in enumerate(row):
            index = PALETTE.index(LETTERS[ch])
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
        pixels += bytes(line)
    palette = b''.join(struct.pack('<BBBB', c & 0xFF, (c >> 8) & 0xFF, c >> 16, 0) for c in PALETTE)
    offset = 14 + 40 + len(palette)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 4, 0, len(pixels), 2835, 2835, 16, 0)
    head = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    return head + info + palette + pixels


def main(source, outdir):
    images, name = {}, None
    for line in open(source, encoding='ascii'):
        line = line.strip()
        if not line or line.startswith('#'):
            continue
        if line.startswith('CHECKBOX_'):
            name = line
            images[name] = []
        else:
            images[name].append(line)
    for name, rows in images.items():
        if len(rows) != 13 or any(len(r) != 13 for r in rows):
            sys.exit(f'{name}: not 13 x 13')
        with open(f'{outdir}/{name}.bmp', 'wb') as f:
            f.write(bmp(rows))


if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2])
