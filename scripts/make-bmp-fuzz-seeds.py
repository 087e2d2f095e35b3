#!/usr/bin/env python3
"""Writes the seeds of the BMP reader's fuzz target into the folder given as
first argument: small pictures of each kind the reader takes (1, 4, 8, 16,
24 and 32 bits, colour tables short and full, bit fields, top-down, the
core, V4 and V5 headers) and one left to the loader (run lengths)."""
import os
import struct
import sys


def bmp(width, height, bits, header=40, compression=0, used=0, masks=(0, 0, 0)):
    core = header == 12
    entries = (used or 1 << bits) if bits <= 8 else 0
    masks_after = header == 40 and compression == 3
    table = b"".join(struct.pack("<BBB", i * 37 & 255, i * 91 & 255, i * 53 & 255) + (b"" if core else b"\0")
                     for i in range(entries))
    if core:
        info = struct.pack("<IHHHH", 12, width, height, 1, bits)
    else:
        info = struct.pack("<IiiHHIIiiII", header, width, height, 1, bits, compression, 0, 2835, 2835, used, 0)
        if header > 40 or masks_after:
            info += struct.pack("<III", *masks)
        info = info.ljust(header + (12 if masks_after else 0), b"\0")
    stride = (width * bits + 31) // 32 * 4
    rows = bytes((i * 29 + i // stride * 7) & 255 for i in range(stride * abs(height)))
    offset = 14 + len(info) + len(table)
    return b"BM" + struct.pack("<IHHI", offset + len(rows), 0, 0, offset) + info + table + rows


seeds = {
    "1bit": bmp(13, 5, 1),
    "1bit_one_colour": bmp(13, 5, 1, used=1),
    "4bit": bmp(11, 4, 4, used=5),
    "8bit": bmp(7, 3, 8),
    "8bit_top_down_v4": bmp(7, -3, 8, header=108, used=20),
    "16bit_555": bmp(5, 3, 16),
    "16bit_565": bmp(5, 3, 16, compression=3, masks=(0xF800, 0x7E0, 0x1F)),
    "24bit": bmp(5, 3, 24),
    "32bit": bmp(5, 3, 32),
    "32bit_fields_v5": bmp(9, -7, 32, header=124, compression=3, masks=(0x3FF00000, 0xFFC00, 0x3FF)),
    "core_4bit": bmp(7, 3, 4, header=12),
    "core_24bit": bmp(5, 3, 24, header=12),
    "rle8": bmp(8, 4, 8, compression=1)[:-32] + bytes([3, 1, 0, 0, 5, 2, 0, 1]),
}
os.makedirs(sys.argv[1], exist_ok=True)
for name, data in seeds.items():
    with open(os.path.join(sys.argv[1], name + ".bmp"), "wb") as f:
        f.write(data)
