#!/usr/bin/env python3
"""Writes the fuzzer's seed corpus: small BMP files and packed DIBs of every
depth the reader takes, each behind four bytes of writer settings."""
import os
import struct
import sys

out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus")
os.makedirs(out, exist_ok=True)


def dib(width, height, bits, compression=0, table=(), masks=(), pixel=lambda x, y: 0):
    stride = (width * bits + 31) // 32 * 4
    rows = bytearray()
    for y in range(abs(height)):
        row = bytearray(stride)
        for x in range(width):
            v = pixel(x, y)
            if bits == 1:
                row[x // 8] |= (v & 1) << (7 - x % 8)
            elif bits == 4:
                row[x // 2] |= (v & 15) << (4 if x % 2 == 0 else 0)
            elif bits == 8:
                row[x] = v & 255
            elif bits == 16:
                row[2 * x:2 * x + 2] = struct.pack("<H", v & 0xFFFF)
            elif bits == 24:
                row[3 * x:3 * x + 3] = bytes([v & 255, (v >> 8) & 255, (v >> 16) & 255])
            else:
                row[4 * x:4 * x + 4] = struct.pack("<I", v)
        rows += row
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, len(rows), 3780, 3780,
                         len(table), 0)
    extra = b"".join(struct.pack("<I", m) for m in masks) + b"".join(struct.pack("<I", c) for c in table)
    return header + extra + bytes(rows)


def bmp(packed, table_entries, masks=0):
    offset = 14 + 40 + 4 * masks + 4 * table_entries
    return b"BM" + struct.pack("<IHHI", 14 + len(packed), 0, 0, offset) + packed


def palette(n):
    return [((i * 37) & 255) << 16 | ((i * 91) & 255) << 8 | (i * 53) & 255 for i in range(n)]


seeds = {
    "bmp1_rle_gif": (0x08, bmp(dib(19, 7, 1, table=palette(2), pixel=lambda x, y: (x + y) % 3 == 0), 2)),
    "bmp4_lzw_gif": (0x0A, bmp(dib(17, 15, 4, table=palette(16), pixel=lambda x, y: (x * y) % 16), 16)),
    "bmp8_raw_gif": (0x09, bmp(dib(33, 9, 8, table=palette(256), pixel=lambda x, y: x // 4 + y * 7), 256)),
    "bmp8_png_transparent": (0x50, bmp(dib(12, 12, 8, table=palette(256), pixel=lambda x, y: x ^ y), 256)),
    "bmp24_jpeg": (0x0C, bmp(dib(20, 18, 24, pixel=lambda x, y: x * 10 | (y * 12) << 8 | 0x400000), 0)),
    "bmp24_gif_mosaic": (0x08, bmp(dib(40, 20, 24, pixel=lambda x, y: (x * 7 + y * 3) * 0x010305), 0)),
    "bmp32_png": (0x10, bmp(dib(9, 5, 32, pixel=lambda x, y: 0x11223344 + x * 0x010101), 0)),
    "dib16_bitfields_bmp": (0x04, dib(7, -3, 16, compression=3, masks=(0xF800, 0x07E0, 0x001F),
                                      pixel=lambda x, y: x * 0x0841 + y)),
    "dib8_animation": (0x2A, dib(10, 4, 8, table=palette(20), pixel=lambda x, y: (x + y) % 20)),
}
for name, (flags, body) in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(bytes([flags, 3, 75, 10]) + body)
