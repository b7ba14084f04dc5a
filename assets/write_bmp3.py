#!/usr/bin/env python3
"""Writes a binary PPM (P6) from stdin as an uncompressed BMP3 file with a palette.

usage: write_bmp3.py OUT.bmp

The image must already be reduced to at most 256 colours. Black, when present, becomes colour 0
(the screen's background is palette entry 0, which the logo loads). Colour components from 1 to
63 are raised to 64, since the boot screen's DAC would take them as 6-bit values. Images of up to
16 colours get 4 bits per pixel, others 8; biClrUsed holds the exact count.
"""
import struct
import sys


def read_ppm(data):
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b'#':
            pos = data.index(b'\n', pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b'P6' or int(fields[3]) != 255:
        sys.exit('expected an 8-bit binary PPM')
    width, height = int(fields[1]), int(fields[2])
    pixels = data[pos + 1:pos + 1 + width * height * 3]
    return width, height, [tuple(pixels[i:i + 3]) for i in range(0, len(pixels), 3)]


def lift(rgb):
    return tuple(64 if 0 < v < 64 else v for v in rgb)


def main():
    width, height, pixels = read_ppm(sys.stdin.buffer.read())
    pixels = [lift(p) for p in pixels]
    counts = {}
    for p in pixels:
        counts[p] = counts.get(p, 0) + 1
    colours = sorted(counts, key=lambda c: (c != (0, 0, 0), -counts[c], c))
    if len(colours) > 256:
        sys.exit('%d colours; reduce to 256 first' % len(colours))
    index = {c: i for i, c in enumerate(colours)}
    bits = 4 if len(colours) <= 16 else 8
    row_bytes = (width + 1) // 2 if bits == 4 else width
    stride = (row_bytes + 3) // 4 * 4
    rows = bytearray()
    for y in range(height - 1, -1, -1):  # bottom row first
        line = [index[p] for p in pixels[y * width:(y + 1) * width]]
        if bits == 4:
            line += [0] * (width % 2)
            packed = bytes(line[i] << 4 | line[i + 1] for i in range(0, len(line), 2))
        else:
            packed = bytes(line)
        rows += packed + bytes(stride - len(packed))
    table = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in colours)
    off_bits = 14 + 40 + len(table)
    header = struct.pack('<2sIHHI', b'BM', off_bits + len(rows), 0, 0, off_bits)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, 0, len(rows), 2835, 2835,
                       len(colours), 0)
    with open(sys.argv[1], 'wb') as out:
        out.write(header + info + table + rows)


if __name__ == '__main__':
    main()
