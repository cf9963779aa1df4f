#!/usr/bin/env python3
"""Writes the small TIFF files the image tests read, byte by byte, without
libtiff: an independent writer to check the reader against.

Every file is 13 pixels wide and 7 high; the pixel values follow the formulas
below, which the tests repeat.

    grey8(x, y)  = (37 x + 11 y) mod 256
    grey16(x, y) = (4099 x + 257 y + 5) mod 65536
    rgb(x, y)    = (20 x, 30 y, 5 (x + y) + 1)   (each mod 256)
    alpha(x, y)  = 255 - 10 x
    index(x, y)  = (x + 13 y) mod 256,   palette cell i = (i, 255 - i, 3 i mod 256)
                   stored as 16-bit entries whose low byte is junk
"""

import os
import struct

W, H = 13, 7

SHORT, LONG, RATIONAL = 3, 4, 5


def grey8(x, y):
    return (37 * x + 11 * y) % 256


def grey16(x, y):
    return (4099 * x + 257 * y + 5) % 65536


def rgb(x, y):
    return ((20 * x) % 256, (30 * y) % 256, (5 * (x + y) + 1) % 256)


def alpha(x, y):
    return 255 - 10 * x


def index(x, y):
    return (x + 13 * y) % 256


def packbits(row):
    """PackBits, runs of three or more equal bytes packed, the rest literal."""
    out = bytearray()
    i = 0
    n = len(row)
    while i < n:
        j = i
        while j + 1 < n and row[j + 1] == row[i] and j - i < 127:
            j += 1
        if j - i >= 2:
            out.append((257 - (j - i + 1)) % 256)
            out.append(row[i])
            i = j + 1
            continue
        start = i
        while i < n and i - start < 128:
            if i + 2 < n and row[i] == row[i + 1] == row[i + 2]:
                break
            i += 1
        out.append(i - start - 1)
        out += row[start:i]
    return bytes(out)


def tiff(path, order, rows, bits, samples, photometric, rows_per_strip,
         compression=1, xres=None, yres=None, colormap=None, extra=None,
         planar=None):
    """rows: list of bytes objects, each one row in the file's byte order."""
    e = '<' if order == 'II' else '>'
    strips = []
    for s in range(0, H, rows_per_strip):
        chunk = rows[s:s + rows_per_strip]
        if compression == 32773:
            strips.append(b''.join(packbits(r) for r in chunk))
        else:
            strips.append(b''.join(chunk))

    data = bytearray()
    data += order.encode() + struct.pack(e + 'H', 42) + b'\0\0\0\0'
    offsets = []
    for s in strips:
        offsets.append(len(data))
        data += s
        if len(data) % 2:
            data += b'\0'

    entries = [
        (256, SHORT, [W]),
        (257, SHORT, [H]),
        (258, SHORT, [bits] * samples),
        (259, SHORT, [compression]),
        (262, SHORT, [photometric]),
        (273, LONG, offsets),
        (277, SHORT, [samples]),
        (278, SHORT, [rows_per_strip]),
        (279, LONG, [len(s) for s in strips]),
    ]
    if xres is not None:
        entries.append((282, RATIONAL, [xres]))
    if yres is not None:
        entries.append((283, RATIONAL, [yres]))
    if planar is not None:
        entries.append((284, SHORT, [planar]))
    if colormap is not None:
        entries.append((320, SHORT, colormap))
    if extra is not None:
        entries.append((338, SHORT, [extra]))
    entries.sort()

    def encode(kind, values):
        if kind == SHORT:
            return b''.join(struct.pack(e + 'H', v) for v in values)
        if kind == LONG:
            return b''.join(struct.pack(e + 'I', v) for v in values)
        return b''.join(struct.pack(e + 'II', n, d) for n, d in values)

    ifd = len(data)
    data[4:8] = struct.pack(e + 'I', ifd)
    tail = ifd + 2 + 12 * len(entries) + 4
    table = bytearray(struct.pack(e + 'H', len(entries)))
    extra_data = bytearray()
    for tag, kind, values in entries:
        payload = encode(kind, values)
        table += struct.pack(e + 'HHI', tag, kind, len(values))
        if len(payload) <= 4:
            table += payload.ljust(4, b'\0')
        else:
            table += struct.pack(e + 'I', tail + len(extra_data))
            extra_data += payload
            if len(extra_data) % 2:
                extra_data += b'\0'
    table += b'\0\0\0\0'
    data += table + extra_data
    with open(path, 'wb') as f:
        f.write(data)


def main():
    here = os.path.dirname(os.path.abspath(__file__))

    def rows8(f):
        return [bytes(f(x, y) for x in range(W)) for y in range(H)]

    def rows16(order):
        e = '<' if order == 'II' else '>'
        return [b''.join(struct.pack(e + 'H', grey16(x, y)) for x in range(W))
                for y in range(H)]

    def rowsrgb(with_alpha):
        out = []
        for y in range(H):
            row = bytearray()
            for x in range(W):
                row += bytes(rgb(x, y))
                if with_alpha:
                    row.append(alpha(x, y))
            out.append(bytes(row))
        return out

    tiff(os.path.join(here, 'grey8_ii.tif'), 'II', rows8(grey8), 8, 1, 1, 3,
         xres=(2000, 1), yres=(4000, 1))
    tiff(os.path.join(here, 'grey8_mm_packbits.tif'), 'MM', rows8(grey8), 8, 1, 1, 2,
         compression=32773)
    cmap = ([(i << 8) | (255 - i) for i in range(256)] +
            [((255 - i) << 8) | 0x5A for i in range(256)] +
            [(((3 * i) % 256) << 8) | (i % 7) for i in range(256)])
    tiff(os.path.join(here, 'palette8_ii.tif'), 'II', rows8(index), 8, 1, 3, 4,
         colormap=cmap)
    tiff(os.path.join(here, 'grey16_mm.tif'), 'MM', rows16('MM'), 16, 1, 1, 7,
         xres=(72, 1))
    tiff(os.path.join(here, 'grey16_ii.tif'), 'II', rows16('II'), 16, 1, 1, 1)
    tiff(os.path.join(here, 'rgb8_mm.tif'), 'MM', rowsrgb(False), 8, 3, 2, 5, planar=1)
    tiff(os.path.join(here, 'rgba8_ii.tif'), 'II', rowsrgb(True), 8, 4, 2, 7, extra=2)
    rgb16 = [b''.join(struct.pack('<HHH', *(v * 257 for v in rgb(x, y))) for x in range(W))
             for y in range(H)]
    tiff(os.path.join(here, 'rgb16_ii.tif'), 'II', rgb16, 16, 3, 2, 7)


if __name__ == '__main__':
    main()
