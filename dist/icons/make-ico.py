#!/usr/bin/env python3
"""Writes dist/icons/qz5801.ico, the icon of qz5801.exe and of the Windows
Start-menu entry, from dist/icons/qz5801-{16..256}.png: one PNG-compressed
entry per size, as Windows Vista and later read them. Run after changing the
PNGs; with --check it only says whether qz5801.ico is up to date (exit 1 if
not). Standard library only."""
import os
import struct
import sys

SIZES = (16, 24, 32, 48, 64, 128, 256)
HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, 'qz5801.ico')


def icon_bytes():
    images = []
    for size in SIZES:
        data = open(os.path.join(HERE, f'qz5801-{size}.png'), 'rb').read()
        if data[:8] != b'\x89PNG\r\n\x1a\n':
            sys.exit(f'qz5801-{size}.png: not a PNG file')
        width, height = struct.unpack('>II', data[16:24])
        if (width, height) != (size, size):
            sys.exit(f'qz5801-{size}.png is {width}x{height}')
        images.append((size, data))
    out = struct.pack('<HHH', 0, 1, len(images))  # reserved, type 1 = icon, count
    offset = 6 + 16 * len(images)
    for size, data in images:
        side = size % 256  # 0 means 256
        out += struct.pack('<BBBBHHII', side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b''.join(data for _, data in images)


def main():
    made = icon_bytes()
    if sys.argv[1:] == ['--check']:
        try:
            current = open(OUT, 'rb').read()
        except OSError:
            current = b''
        if current != made:
            sys.exit('dist/icons/qz5801.ico does not match the PNGs: run dist/icons/make-ico.py')
        return
    open(OUT, 'wb').write(made)


if __name__ == '__main__':
    main()
