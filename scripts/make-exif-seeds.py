#!/usr/bin/python3
"""Writes the seeds of the Exif orientation fuzz target, and a JPEG and a PNG
recording an orientation for the JPEG and PNG targets, into fuzz/corpus.
The TIFF blocks are written byte by byte: both byte orders, the orientation
alone or after other entries, an APP1 payload with its "Exif" header, and a
few broken ones."""
import io
import os
import struct

from PIL import Image

root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "fuzz", "corpus")


def tiff(order, orientation, before=0, type_=3, count=1, ifd=8):
    e = "<" if order == b"II" else ">"
    entries = [struct.pack(e + "HHI4s", 0x010F + i, 2, 4, b"abc\0") for i in range(before)]
    value = struct.pack(e + "H", orientation) + b"\0\0"
    entries.append(struct.pack(e + "HHI", 0x0112, type_, count) + value)
    return (order + struct.pack(e + "HI", 42, ifd) + struct.pack(e + "H", len(entries)) + b"".join(entries)
            + b"\0\0\0\0")


def write(target, name, data):
    folder = os.path.join(root, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


seeds = {
    "ii_6": tiff(b"II", 6),
    "mm_8_after_two": tiff(b"MM", 8, before=2),
    "app1_ii_3": b"Exif\0\0" + tiff(b"II", 3),
    "app1_mm_5": b"Exif\0\0" + tiff(b"MM", 5, before=1),
    "type_long": tiff(b"II", 6, type_=4),
    "ifd_outside": tiff(b"MM", 6, ifd=0xFFFF),
    "cut": tiff(b"II", 7)[:17],
}
for name, data in seeds.items():
    write("exif_orientation_fuzzer", name, data)

# A small non-square picture turned by the decoders: a quarter turn.
picture = Image.new("RGB", (24, 10))
picture.putdata([(x * 10, y * 25, 128) for y in range(10) for x in range(24)])
exif = Image.Exif()
exif[0x0112] = 6
jpeg = io.BytesIO()
picture.save(jpeg, "JPEG", exif=exif.tobytes())
write("jpeg_fuzzer", "exif_orientation_6.jpg", jpeg.getvalue())
png = io.BytesIO()
exif[0x0112] = 8
picture.save(png, "PNG", exif=exif.tobytes())
write("png_fuzzer", "exif_orientation_8.png", png.getvalue())
