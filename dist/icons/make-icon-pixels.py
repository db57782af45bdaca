#!/usr/bin/env python3
"""Writes shell/ProgramIconPixels.inc: the small program icons (16-64 px) as
ready pixels, so a window's icon is not decoded from PNG at every start.
Run after changing dist/icons/qz5801-{16,24,32,48,64}.png; a test checks the
two agree. Standard library only (8-bit RGBA, non-interlaced PNG)."""
import os
import struct
import sys
import zlib

SIZES = (16, 24, 32, 48, 64)
HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, '..', '..', 'shell', 'ProgramIconPixels.inc')


def decode(path):
    data = open(path, 'rb').read()
    if data[:8] != b'\x89PNG\r\n\x1a\n':
        sys.exit(f'{path}: not a PNG file')
    pos, idat, header = 8, b'', None
    while pos < len(data):
        length, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b'IHDR':
            header = struct.unpack('>IIBBBBB', body)
        elif kind == b'IDAT':
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if (depth, colour, interlace) != (8, 6, 0):
        sys.exit(f'{path}: 8-bit RGBA without interlace expected')
    raw, stride, rows, prev = zlib.decompress(idat), width * 4, [], bytearray(width * 4)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 4] if i >= 4 else 0
            b = prev[i]
            c = prev[i - 4] if i >= 4 else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line)
        prev = line
    # 0xAARRGGBB, as QImage::Format_ARGB32 holds a pixel
    return width, [r[i + 3] << 24 | r[i] << 16 | r[i + 1] << 8 | r[i + 2] for r in rows for i in range(0, stride, 4)]


def main():
    out = ['// Made by dist/icons/make-icon-pixels.py from dist/icons/qz5801-N.png; do not edit.']
    for size in SIZES:
        width, pixels = decode(os.path.join(HERE, f'qz5801-{size}.png'))
        if width != size:
            sys.exit(f'qz5801-{size}.png is {width} px wide')
        out.append(f'alignas(4) const uint32_t kIconPixels{size}[{size * size}] = {{')
        for i in range(0, len(pixels), 8):
            out.append('    ' + ', '.join(f'0x{p:08x}' for p in pixels[i:i + 8]) + ',')
        out.append('};')
    open(OUT, 'w').write('\n'.join(out) + '\n')


if __name__ == '__main__':
    main()
