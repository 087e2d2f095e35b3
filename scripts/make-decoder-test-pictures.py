#!/usr/bin/python3
"""Writes the pictures the decoder tests read into the folder given as the
first argument. PNG, GIF, BMP and ICO files are written byte by byte here,
so that every field the tests depend on is exactly as chosen; JPEG files come
from PIL, and djpeg writes their reference output beside them.

The pixel patterns below are repeated in tests/imagefiles/decoder_test.cpp.
"""
import os
import struct
import subprocess
import sys
import zlib

from PIL import Image

out = sys.argv[1]
os.makedirs(out, exist_ok=True)


def write(name, data):
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)


# ---------------------------------------------------------------- PNG

def png_chunk(kind, data):
    crc = zlib.crc32(kind + data) & 0xFFFFFFFF
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", crc)


def pack_row(samples, bit_depth):
    """samples: flat list of sample values of one row."""
    if bit_depth == 16:
        return b"".join(struct.pack(">H", s) for s in samples)
    if bit_depth == 8:
        return bytes(samples)
    per_byte = 8 // bit_depth
    row = bytearray()
    for i in range(0, len(samples), per_byte):
        byte = 0
        group = samples[i:i + per_byte]
        for j in range(per_byte):
            value = group[j] if j < len(group) else 0
            byte |= value << (8 - bit_depth * (j + 1))
        row.append(byte)
    return bytes(row)


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def png(width, height, colour_type, bit_depth, pixels, palette=None, trns=None, interlace=False):
    """pixels[y][x] is a tuple of samples (one per channel)."""
    raw = bytearray()
    if interlace:
        for x0, y0, dx, dy in ADAM7:
            for y in range(y0, height, dy):
                xs = list(range(x0, width, dx))
                if not xs:
                    continue
                raw.append(0)
                raw += pack_row([s for x in xs for s in pixels[y][x]], bit_depth)
    else:
        for y in range(height):
            raw.append(0)
            raw += pack_row([s for x in range(width) for s in pixels[y][x]], bit_depth)
    data = b"\x89PNG\r\n\x1a\n"
    data += png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, bit_depth, colour_type, 0, 0,
                                           1 if interlace else 0))
    if palette is not None:
        data += png_chunk(b"PLTE", bytes(c for rgb in palette for c in rgb))
    if trns is not None:
        data += png_chunk(b"tRNS", trns)
    data += png_chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    data += png_chunk(b"IEND", b"")
    return data


def twin_rgb(x, y):
    return ((x * 19 + y * 7) & 255, (x * 3 + y * 29) & 255, (x * y * 5) & 255)


# 16-bit RGBA: the high byte of each sample is kept, alpha straight.
write("rgba16.png", png(3, 1, 6, 16, [[(0xFFFF, 0, 0, 0x8000), (0x1234, 0xABCD, 0x00FF, 0xFFFF),
                                       (0, 0x8000, 0xFFFF, 0)]]))
# 4-bit palette, with and without tRNS (entries 0 and 2 see-through).
palette = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (10, 20, 30), (200, 150, 100)]
pal_pixels = [[((x + y) % 5,) for x in range(5)] for y in range(3)]
write("palette.png", png(5, 3, 3, 4, pal_pixels, palette=palette))
write("palette_trns.png", png(5, 3, 3, 4, pal_pixels, palette=palette, trns=bytes([0, 255, 128])))
# 1-bit grey: a checkerboard of 1 and 0.
write("grey1.png", png(10, 3, 0, 1, [[((x + y) & 1,) for x in range(10)] for y in range(3)]))
# Grey with a tRNS grey value, which becomes alpha.
write("grey8_trns.png", png(4, 1, 0, 8, [[(0,), (100,), (200,), (255,)]], trns=struct.pack(">H", 100)))
# Interlaced and plain twins.
for w, h in ((13, 11), (1, 1), (7, 2), (3, 5)):
    px = [[twin_rgb(x, y) for x in range(w)] for y in range(h)]
    write("twin_%dx%d.png" % (w, h), png(w, h, 2, 8, px))
    write("twin_%dx%d_interlaced.png" % (w, h), png(w, h, 2, 8, px, interlace=True))
# A corrupted CRC (of the image data).
good = bytearray(png(13, 11, 2, 8, [[twin_rgb(x, y) for x in range(13)] for y in range(11)]))
iend = good.rfind(b"IEND")
good[iend - 8] ^= 0x55   # last byte of the IDAT CRC
write("bad_crc.png", bytes(good))
# A big RGBA picture for the robustness test's seeds (small, kept fast).
write("rgba8.png", png(24, 16, 6, 8, [[(x * 10, y * 15, (x * y) & 255, (x * 7 + y) & 255)
                                        for x in range(24)] for y in range(16)]))
# For the row-by-row decoding: many rows of every kind, interlaced or not,
# and a file cut in the middle of its image data.
def sliced_sample(x, y, channel, maximum):
    return ((x * 37 + y * 11 + channel * 71) * (maximum // 255 if maximum > 255 else 1) + x * y) % (maximum + 1)


def sliced_pixels(width, height, channels, maximum):
    return [[tuple(sliced_sample(x, y, c, maximum) for c in range(channels)) for x in range(width)]
            for y in range(height)]


write("sliced_rgb.png", png(97, 61, 2, 8, sliced_pixels(97, 61, 3, 255)))
write("sliced_grey_alpha16_interlaced.png", png(37, 23, 4, 16, sliced_pixels(37, 23, 2, 65535), interlace=True))
write("sliced_grey_alpha8.png", png(37, 23, 4, 8, sliced_pixels(37, 23, 2, 255)))
write("sliced_rgba16_interlaced.png", png(29, 17, 6, 16, sliced_pixels(29, 17, 4, 65535), interlace=True))
write("sliced_palette_interlaced.png", png(29, 17, 3, 4, [[((x + 2 * y) % 5,) for x in range(29)] for y in range(17)],
                                          palette=palette, trns=bytes([0, 255, 128]), interlace=True))
write("sliced_grey2_interlaced.png", png(31, 9, 0, 2, [[((x + y) % 4,) for x in range(31)] for y in range(9)],
                                         interlace=True))
sliced_rgb = open(os.path.join(out, "sliced_rgb.png"), "rb").read()
write("truncated.png", sliced_rgb[:len(sliced_rgb) // 2])
# A header that claims 100000 x 100000 pixels.
write("huge.png", png(1, 1, 2, 8, [[(1, 2, 3)]]).replace(
    png_chunk(b"IHDR", struct.pack(">IIBBBBB", 1, 1, 8, 2, 0, 0, 0)),
    png_chunk(b"IHDR", struct.pack(">IIBBBBB", 100000, 100000, 8, 2, 0, 0, 0))))


# ---------------------------------------------------------------- GIF

def lzw(indices, junk=0):
    """Codes of minimum size 8 that never grow past 9 bits: a clear code
    every 200 literals keeps giflib's table small. With junk, the end code
    gives way to that many bytes no decoder can follow (codes past the
    table)."""
    clear, end = 256, 257
    codes = [clear]
    for i, index in enumerate(indices):
        if i and i % 200 == 0:
            codes.append(clear)
        codes.append(index)
    if not junk:
        codes.append(end)
    bits = 0
    nbits = 0
    data = bytearray()
    for code in codes:
        bits |= code << nbits
        nbits += 9
        while nbits >= 8:
            data.append(bits & 255)
            bits >>= 8
            nbits -= 8
    if nbits:
        data.append(bits & 255)
    data += b"\xFF" * junk
    blocks = bytearray([8])
    for i in range(0, len(data), 255):
        part = data[i:i + 255]
        blocks.append(len(part))
        blocks += part
    blocks.append(0)
    return bytes(blocks)


def colour_table(colours):
    size_bits = 0
    while (2 << size_bits) < len(colours):
        size_bits += 1
    colours = list(colours) + [(0, 0, 0)] * ((2 << size_bits) - len(colours))
    return size_bits, bytes(c for rgb in colours for c in rgb)


def gif_header(width, height, colours, background):
    bits, table = colour_table(colours)
    return b"GIF89a" + struct.pack("<HHBBB", width, height, 0x80 | 0x70 | bits, background, 0) + table


def gce(delay=0, transparent=None):
    flags = 1 if transparent is not None else 0
    return b"\x21\xF9\x04" + struct.pack("<BHB", flags, delay, transparent or 0) + b"\x00"


def image(left, top, width, height, rows, interlace=False, local=None):
    """rows[y][x] are colour indices in picture order."""
    order = list(range(height))
    if interlace:
        order = [y for start, step in ((0, 8), (4, 8), (2, 4), (1, 2)) for y in range(start, height, step)]
    flags = 0x40 if interlace else 0
    table = b""
    if local is not None:
        bits, table = colour_table(local)
        flags |= 0x80 | bits
    data = b"\x2C" + struct.pack("<HHHHB", left, top, width, height, flags) + table
    return data + lzw([rows[y][x] for y in order for x in range(width)])


GIF_COLOURS = [(0, 0, 0), (255, 255, 255), (10, 20, 30), (200, 0, 0), (0, 200, 0), (0, 0, 200),
               (50, 60, 70), (90, 80, 70)]
TRAILER = b"\x3B"

# Screen 10 x 8, background index 2; a 4 x 3 image at (3, 2) with index 0
# transparent in its middle row.
rows = [[3, 4, 5, 6], [0, 0, 3, 0], [5, 4, 3, 7]]
write("offset.gif", gif_header(10, 8, GIF_COLOURS, 2) + gce(0, 0) + image(3, 2, 4, 3, rows) + TRAILER)
# Screen 6 x 5; a 5 x 4 image at (3, 3) reaches past the right and bottom edges.
rows = [[(x + y) % 6 + 1 for x in range(5)] for y in range(4)]
write("overhang.gif", gif_header(6, 5, GIF_COLOURS, 1) + image(3, 3, 5, 4, rows) + TRAILER)
# Interlaced and plain twins; 1, 2, 4 and 9 rows high.
for h in (1, 2, 4, 9):
    rows = [[(x * 3 + y * 5) % 8 for x in range(5)] for y in range(h)]
    write("twin_5x%d.gif" % h, gif_header(5, h, GIF_COLOURS, 0) + image(0, 0, 5, h, rows) + TRAILER)
    write("twin_5x%d_interlaced.gif" % h,
          gif_header(5, h, GIF_COLOURS, 0) + image(0, 0, 5, h, rows, interlace=True) + TRAILER)
# Two images without a delay: the second over the first.
write("two_images.gif", gif_header(6, 4, GIF_COLOURS, 0)
      + image(0, 0, 6, 4, [[3] * 6 for _ in range(4)])
      + image(2, 1, 2, 2, [[4, 5], [6, 7]]) + TRAILER)
# An animation: delays 10, 1, none; a local colour table in frame 2.
write("animation.gif", gif_header(4, 4, GIF_COLOURS, 0)
      + gce(10) + image(0, 0, 4, 4, [[3] * 4 for _ in range(4)])
      + gce(1) + image(1, 1, 2, 2, [[0, 1], [1, 0]], local=[(1, 2, 3), (4, 5, 6)])
      + image(0, 0, 1, 1, [[5]])
      + TRAILER)
# No image at all.
write("no_image.gif", gif_header(4, 4, GIF_COLOURS, 0) + gce(10) + b"\x21\xFE\x03abc\x00" + TRAILER)
# A logical screen of 65535 x 65535 with one pixel.
write("huge_screen.gif", gif_header(65535, 65535, GIF_COLOURS, 0) + image(0, 0, 1, 1, [[3]]) + TRAILER)
# A larger one for the robustness seeds: 40 x 30, interlaced, three frames.
rows = [[(x * y + x) % 8 for x in range(40)] for y in range(30)]
write("seed.gif", gif_header(40, 30, GIF_COLOURS, 2) + gce(5, 1) + image(0, 0, 40, 30, rows, interlace=True)
      + gce(7) + image(5, 5, 10, 10, [r[:10] for r in rows[:10]]) + gce(3) + image(0, 0, 2, 2, [[1, 2], [3, 4]])
      + TRAILER)


# ---------------------------------------------------------------- BMP

def bmp(width, height, bit_count, pixel_data, compression=0, palette=b"", header_extra=b""):
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bit_count, compression, len(pixel_data),
                       2835, 2835, len(palette) // 4, 0)
    offset = 14 + len(info) + len(palette)
    return b"BM" + struct.pack("<IHHI", offset + len(pixel_data), 0, 0, offset) + info + palette + pixel_data


def bmp_rgb(x, y):
    return ((x * 40) & 255, (y * 50) & 255, (x + y) * 10 & 255)


# 24-bit, 7 x 5 (rows padded to 4 bytes), bottom-up.
data = bytearray()
for y in reversed(range(5)):
    row = bytearray()
    for x in range(7):
        r, g, b = bmp_rgb(x, y)
        row += bytes((b, g, r))
    row += b"\x00" * (-len(row) % 4)
    data += row
write("rgb24.bmp", bmp(7, 5, 24, bytes(data)))
# 32-bit with an alpha channel (alpha varies, the result is opaque).
data = bytearray()
for y in reversed(range(5)):
    for x in range(7):
        r, g, b = bmp_rgb(x, y)
        data += bytes((b, g, r, (x * 30) & 255))
write("rgba32.bmp", bmp(7, 5, 32, bytes(data)))
# RLE8, 8 x 4: each row a run of (y + 1) and a run of (y + 2).
pal = b"".join(bytes((i * 20, i * 10, i * 30, 0)) for i in range(8))
data = bytearray()
for y in reversed(range(4)):
    data += bytes((3, y + 1, 5, y + 2, 0, 0))
data += b"\x00\x01"
write("rle8.bmp", bmp(8, 4, 8, bytes(data), compression=1, palette=pal))


# ---------------------------------------------------------------- ICO

def ico(entries):
    """entries: list of (width, height, bit_count, xor_bytes, and_bytes, palette)."""
    head = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    directory = b""
    images = b""
    for width, height, bit_count, xor, mask, palette in entries:
        info = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, bit_count, 0, len(xor) + len(mask),
                           0, 0, 0, 0)
        body = info + palette + xor + mask
        directory += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, bit_count, len(body),
                                 offset + len(images))
        images += body
    return head + directory + images


def and_mask(width, height, transparent):
    """transparent(x, y) -> bool; rows bottom-up, padded to 4 bytes."""
    data = bytearray()
    for y in reversed(range(height)):
        row = bytearray((width + 7) // 8)
        for x in range(width):
            if transparent(x, y):
                row[x // 8] |= 0x80 >> (x % 8)
        row += b"\x00" * (-len(row) % 4)
        data += row
    return bytes(data)


def xor32(width, height, pixel):
    data = bytearray()
    for y in reversed(range(height)):
        for x in range(width):
            r, g, b, a = pixel(x, y)
            data += bytes((b, g, r, a))
    return bytes(data)


# Only a 48 x 48 image, opaque and of one colour.
write("only48.ico", ico([(48, 48, 32, xor32(48, 48, lambda x, y: (200, 100, 50, 255)),
                          and_mask(48, 48, lambda x, y: False), b"")]))
# 24-bit, 16 x 16: the mask makes the left half transparent.
xor = bytearray()
for y in reversed(range(16)):
    for x in range(16):
        xor += bytes((30, 60, 90)) if x >= 8 else b"\x00\x00\x00"
write("mask.ico", ico([(16, 16, 24, bytes(xor), and_mask(16, 16, lambda x, y: x < 8), b"")]))
# 32-bit, 16 x 16: the top half half-transparent, the bottom half opaque.
write("half.ico", ico([(16, 16, 32, xor32(16, 16, lambda x, y: (200, 100, 40, 128 if y < 8 else 255)),
                        and_mask(16, 16, lambda x, y: False), b"")]))


# ---------------------------------------------------------------- JPEG

def photo(width, height):
    img = Image.new("RGB", (width, height))
    px = img.load()
    for y in range(height):
        for x in range(width):
            px[x, y] = ((x * 255) // max(1, width - 1), (y * 255) // max(1, height - 1), ((x ^ y) * 9) & 255)
    return img


def djpeg(name, reference):
    with open(os.path.join(out, reference), "wb") as f:
        subprocess.run(["djpeg", "-pnm", os.path.join(out, name)], stdout=f, stderr=subprocess.DEVNULL)


photo(67, 45).save(os.path.join(out, "photo.jpg"), quality=85)
djpeg("photo.jpg", "photo.pnm")
photo(40, 24).save(os.path.join(out, "photo444.jpg"), quality=95, subsampling=0)
djpeg("photo444.jpg", "photo444.pnm")
photo(33, 21).convert("L").save(os.path.join(out, "grey.jpg"), quality=90)
djpeg("grey.jpg", "grey.pnm")
# Progressive.
photo(50, 30).save(os.path.join(out, "progressive.jpg"), quality=80, progressive=True)
djpeg("progressive.jpg", "progressive.pnm")
# Cut in the middle of its data: still decodes at full size.
with open(os.path.join(out, "photo.jpg"), "rb") as f:
    whole = f.read()
write("truncated.jpg", whole[:len(whole) // 2])
djpeg("truncated.jpg", "truncated.pnm")
write("empty.jpg", b"")
# For the decoding whose input comes a piece at a time: progressive files
# of several kilobytes, in colour, grey and CMYK, and one cut short.
photo(160, 120).save(os.path.join(out, "progressive_large.jpg"), quality=95, progressive=True)
photo(64, 48).convert("L").save(os.path.join(out, "progressive_grey.jpg"), quality=95, progressive=True)
photo(48, 40).convert("CMYK").save(os.path.join(out, "progressive_cmyk.jpg"), quality=95, progressive=True)
with open(os.path.join(out, "progressive_large.jpg"), "rb") as f:
    whole = f.read()
write("progressive_truncated.jpg", whole[:len(whole) * 3 // 5])
# CMYK, stored inverted as Adobe writes it: all 255 is white; K = 0 is black.
# PIL writes the inverted bytes, with the Adobe marker that says so.
Image.new("CMYK", (16, 16), (0, 0, 0, 0)).save(os.path.join(out, "cmyk_white.jpg"), quality=100)
Image.new("CMYK", (16, 16), (0, 0, 0, 255)).save(os.path.join(out, "cmyk_black.jpg"), quality=100)
# A 6000 x 4000 colour JPEG that claims more lines than it has is left to the
# robustness test's truncations.


# ---------------------------------------------------------------- hostile files
# Each claims far more than it carries, or points where it should not. The
# image loader guard, the decoders' budgets and the program must refuse them
# cheaply (tests/imagefiles/hostile_file_test.cpp).

def png_bytes(width, height):
    return png(width, height, 2, 8, [[(x * 30 % 256, y * 30 % 256, 90) for x in range(width)] for y in range(height)])


def ico_entry(width, height, bit_count, body, offset):
    return struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, bit_count, len(body), offset)


def dib_header(width, height, bit_count, compression=0, image_size=0):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bit_count, compression, image_size, 0, 0, 0, 0)


good16 = xor32(16, 16, lambda x, y: (10, 200, 30, 255)) + and_mask(16, 16, lambda x, y: False)
good_body = dib_header(16, 32, 32) + good16
# A good 16 x 16 image lying 70 000 bytes into the file, past the first 64 KiB.
far = 6 + 16 + 70000
write("far_good.ico", struct.pack("<HHH", 0, 1, 1) + ico_entry(16, 16, 32, good_body, far)
      + b"\x00" * 70000 + good_body)
# The same place, but the header claims 0x7FFFFFFF x 0x40000000 pixels of 64 bits.
bad_body = dib_header(0x7FFFFFFF, -0x80000000, 64) + good16
write("far_overflow.ico", struct.pack("<HHH", 0, 1, 2) + ico_entry(16, 16, 32, good_body, 6 + 32)
      + ico_entry(0, 0, 64, bad_body, 6 + 32 + len(good_body) + 70000) + good_body + b"\x00" * 70000 + bad_body)
# A second image at the end of a small file, 20 bytes: shorter than its header.
write("short_entry.ico", struct.pack("<HHH", 0, 1, 2) + ico_entry(16, 16, 32, good_body, 6 + 32)
      + struct.pack("<BBBBHHII", 16, 16, 0, 0, 1, 32, 20, 6 + 32 + len(good_body)) + good_body
      + dib_header(16, 32, 32)[:20])
# PNG images inside icons: a small true one, and one whose IHDR claims
# 31000 x 31000 (3.8 GB of pixels) with a few bytes of data.
small_png = png_bytes(16, 16)
write("png_inside.ico", struct.pack("<HHH", 0, 1, 1) + ico_entry(16, 16, 32, small_png, 22) + small_png)
huge_png = small_png.replace(png_chunk(b"IHDR", struct.pack(">IIBBBBB", 16, 16, 8, 2, 0, 0, 0)),
                             png_chunk(b"IHDR", struct.pack(">IIBBBBB", 31000, 31000, 8, 2, 0, 0, 0)))
write("png_inside_huge.ico", struct.pack("<HHH", 0, 1, 1) + ico_entry(0, 0, 32, huge_png, 22) + huge_png)
# BMP: width 0x7FFFFFFF and height 0x80000000, whose row bytes overflow 64 bits.
write("overflow.bmp", b"BM" + struct.pack("<IHHI", 14 + 40 + 64, 0, 0, 14 + 40)
      + dib_header(0x7FFFFFFF, -0x80000000, 64) + b"\x00" * 64)
# RLE8 of 1 KB claiming 32768 x 32768 (4 GB of pixels); and one that fits.
rle = bytes((255, 1)) * 500 + b"\x00\x01"
write("rle_huge.bmp", b"BM" + struct.pack("<IHHI", 14 + 40 + 1024 + len(rle), 0, 0, 14 + 40 + 1024)
      + dib_header(32768, 32768, 8, 1, len(rle)) + b"\x00\x00\x00\x00" * 256 + rle)
write("rle_fits.bmp", b"BM" + struct.pack("<IHHI", 14 + 40 + 1024 + len(rle), 0, 0, 14 + 40 + 1024)
      + dib_header(2000, 300, 8, 1, len(rle)) + b"\x00\x00\x00\x00" * 256 + rle)


# PNG ancillary chunks that claim a length of 2 GB in a file of 200 bytes;
# and a picture with small ones, which decodes as without them.
plain = png_bytes(16, 16)
ihdr_end = 8 + 25
write("exif_huge.png", plain[:ihdr_end] + struct.pack(">I", 0x7FFFFF00) + b"eXIf" + b"MM\x00\x2A" * 16)
write("text_huge.png", plain[:ihdr_end] + struct.pack(">I", 0x7FFFFF00) + b"zTXt" + b"key\x00\x00" * 16)
write("small_chunks.png", plain[:ihdr_end] + png_chunk(b"eXIf", b"MM\x00\x2A\x00\x00\x00\x08")
      + png_chunk(b"tEXt", b"Comment\x00made here") + png_chunk(b"gAMA", struct.pack(">I", 45455))
      + plain[ihdr_end:])
write("plain.png", plain)


def jpeg_with_size(name, source, width, height):
    """The JPEG `source` with the size in its frame header changed."""
    data = bytearray(source)
    at = 2
    while at + 4 <= len(data):
        marker, length = data[at + 1], data[at + 2] << 8 | data[at + 3]
        if marker in (0xC0, 0xC1, 0xC2):
            data[at + 5:at + 9] = struct.pack(">HH", height, width)
            break
        at += 2 + length
    write(name, bytes(data))


def jpeg_scans(data):
    """(before the first scan, [each scan from its SOS up to the next SOS or
    the end, tables between scans included], the end marker)."""
    at = 2
    while not (data[at] == 0xFF and data[at + 1] == 0xDA):
        at += 2 + (data[at + 2] << 8 | data[at + 3])
    head, starts = data[:at], []
    while data[at + 1] != 0xD9:
        if data[at + 1] == 0xDA:
            starts.append(at)
            at += 2 + (data[at + 2] << 8 | data[at + 3])
            # Entropy-coded data: up to a marker that is no stuffed byte or restart.
            while not (data[at] == 0xFF and data[at + 1] != 0x00 and not 0xD0 <= data[at + 1] <= 0xD7):
                at += 1
        else:
            at += 2 + (data[at + 2] << 8 | data[at + 3])
    starts.append(at)
    return head, [data[starts[i]:starts[i + 1]] for i in range(len(starts) - 1)], data[at:]


import io
buffer = io.BytesIO()
photo(16, 16).save(buffer, "JPEG", quality=80, progressive=True, subsampling=0)
progressive16 = buffer.getvalue()
# Progressive headers claiming 65500 x 65500 (no bitmap takes it) and
# 23000 x 23000 (a bitmap would, but 587 bytes cannot hold 3 x 8.3 million
# blocks).
jpeg_with_size("progressive_65500.jpg", progressive16, 65500, 65500)
jpeg_with_size("progressive_23000.jpg", progressive16, 23000, 23000)
buffer = io.BytesIO()
photo(16, 16).save(buffer, "JPEG", quality=80)
jpeg_with_size("baseline_65500.jpg", buffer.getvalue(), 65500, 65500)
# The first scan of a small progressive picture repeated 1000 times.
head, scans, rest = jpeg_scans(progressive16)
write("many_scans.jpg", head + scans[0] * 1000 + b"".join(scans[1:]) + rest)
write("few_scans.jpg", head + scans[0] * 20 + b"".join(scans[1:]) + rest)
# Claiming 4096 x 4096 (16.8 megapixels): 300 repeats of the first scan
# are more work than such a picture may take, 100 are not. Bytes after the
# end make the files long enough to hold such a picture (98 KB).
for count in (300, 100):
    jpeg_with_size("scans_4096_%d.jpg" % count, head + scans[0] * count + b"".join(scans[1:]) + rest
                   + b"\x00" * 100000, 4096, 4096)


# Screen 40 x 30. Frame 1: an image 120 x 1000 whose first 30 rows are
# there and whose rest is undecodable: only rows on the screen may be
# decompressed. Frame 2 must then be read from its right place.
tall = b"\x2C" + struct.pack("<HHHHB", 0, 0, 120, 1000, 0) + lzw([3] * (120 * 30), junk=20000)
write("tall_image.gif", gif_header(40, 30, GIF_COLOURS, 0) + gce(10) + tall
      + gce(10) + image(0, 0, 40, 30, [[4] * 40 for _ in range(30)]) + TRAILER)
# An image 60 000 wide on a screen of 40 x 30: refused without decompressing.
wide = b"\x2C" + struct.pack("<HHHHB", 0, 0, 60000, 2, 0) + lzw([3] * 100, junk=2000)
write("wide_image.gif", gif_header(40, 30, GIF_COLOURS, 0) + wide + TRAILER)
write("wide_second_frame.gif", gif_header(40, 30, GIF_COLOURS, 0) + gce(10)
      + image(0, 0, 40, 30, [[4] * 40 for _ in range(30)]) + gce(10) + wide + TRAILER)
# 300 images of 64 x 64 without delays, image k of colour 1 + k % 7: the
# decoding budget of one frame (4 screens and a megapixel) ends after 260.
write("many_images.gif", gif_header(64, 64, GIF_COLOURS, 0)
      + b"".join(image(0, 0, 64, 64, [[1 + k % 7] * 64 for _ in range(64)]) for k in range(300)) + TRAILER)
# Animated screens of 8000 x 8000 (above the animation budget) and 4096 x 4096.
for side in (8000, 4096):
    write("animated_%d.gif" % side, gif_header(side, side, GIF_COLOURS, 0)
          + gce(10) + image(0, 0, 2, 2, [[3, 4], [5, 6]]) + gce(10) + image(0, 0, 1, 1, [[7]]) + TRAILER)


# ---------------------------------------------------------------- what a file can back
# Crafted files that claim far more than their few bytes could ever hold.
# An RLE8 BMP of 1 KB claiming 23000 x 23000.
write("rle8_23000.bmp", b"BM" + struct.pack("<IHHI", 14 + 40 + 1024 + len(rle), 0, 0, 14 + 40 + 1024)
      + dib_header(23000, 23000, 8, 1, len(rle)) + b"\x00\x00\x00\x00" * 256 + rle)
# A baseline JPEG cut to 4 KB whose frame header claims 23000 x 23000.
buffer = io.BytesIO()
photo(256, 256).save(buffer, "JPEG", quality=95)
jpeg_with_size("baseline_23000.jpg", buffer.getvalue()[:4096], 23000, 23000)
# A progressive JPEG's header up to its first scan, claiming 16000 x 16000.
buffer = io.BytesIO()
photo(16, 16).save(buffer, "JPEG", quality=50, progressive=True)
head, scans, rest = jpeg_scans(buffer.getvalue())
sos_length = scans[0][2] << 8 | scans[0][3]
jpeg_with_size("progressive_16000.jpg", head + scans[0][:2 + sos_length], 16000, 16000)

# Files at the edge of what their length can hold (picture_bounds.cpp has the
# derivations): each "able" file opens, each "unable" one is refused.
# JPEG, 4096 x 4096 at 4:2:0: 512 x 512 luma blocks and twice 256 x 256
# chroma blocks, one bit each at the least: 49152 bytes. A small picture's
# file with the size changed, its scan data run on in zero bytes.
buffer = io.BytesIO()
photo(16, 16).save(buffer, "JPEG", quality=80)
small = buffer.getvalue()[:-2]
jpeg_least = (512 * 512 + 2 * 256 * 256) // 8
for name, size in (("able", jpeg_least), ("unable", jpeg_least - 1)):
    jpeg_with_size("bound_%s.jpg" % name, small + b"\x00" * (size - len(small)), 4096, 4096)


def deflate_zeros(count):
    """count zero bytes as one dynamic-Huffman deflate block at deflate's
    greatest compression: a literal, then matches of 258 bytes at distance 1
    whose length and distance codes take one bit each."""
    bits = []

    def put(value, n):  # header fields and extra bits: least significant first
        bits.extend((value >> i) & 1 for i in range(n))

    def code(value, n):  # Huffman codes: most significant first
        bits.extend((value >> (n - 1 - i)) & 1 for i in range(n))

    put(1, 1); put(2, 2)               # last block, dynamic Huffman
    put(29, 5); put(0, 5); put(14, 4)  # 286 length codes, 1 distance code, 18 code-length codes
    order = [16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1]
    lengths = {18: 1, 2: 2, 1: 2}      # codes: 18 -> 0, 1 -> 10, 2 -> 11
    for symbol in order:
        put(lengths.get(symbol, 0), 3)
    cl = {18: (0, 1), 1: (2, 2), 2: (3, 2)}

    def emit(symbol, extra=None):
        code(*cl[symbol])
        if extra is not None:
            put(extra, 7)
    # Literal/length lengths: 0 -> 2, 256 -> 2, 285 -> 1; distance 0 -> 1.
    emit(2); emit(18, 138 - 11); emit(18, 117 - 11); emit(2); emit(18, 28 - 11); emit(1); emit(1)
    # Codes: 285 -> 0, literal 0 -> 10, end of block -> 11; distance 0 -> 0.
    code(2, 2)
    matches, rest = divmod(count - 1, 258)
    for _ in range(matches):
        code(0, 1); code(0, 1)
    for _ in range(rest):
        code(2, 2)
    code(3, 2)
    data = bytearray()
    for i in range(0, len(bits), 8):
        data.append(sum(b << j for j, b in enumerate(bits[i:i + 8])))
    return bytes(data)


def png_least(width, height):
    """PngLeastBytes of a 1-bit grey picture, not interlaced."""
    return 8 + 25 + 12 + 6 + (height * (1 + (width + 7) // 8) + 1031) // 1032


def png_ihdr(width, height):
    return png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 1, 0, 0, 0, 0))


# PNG: a 1-bit grey 4096 x 4096 picture, all black, at deflate's greatest
# compression; and the same file claiming the fewest more rows that its
# length can no longer hold.
raw = 4096 * (1 + 4096 // 8)
stream = b"\x78\x01" + deflate_zeros(raw) + struct.pack(">I", zlib.adler32(bytes(raw)))
assert zlib.decompress(stream) == bytes(raw)
able = b"\x89PNG\r\n\x1a\n" + png_ihdr(4096, 4096) + png_chunk(b"IDAT", stream) + png_chunk(b"IEND", b"")
assert png_least(4096, 4096) <= len(able)
write("bound_able.png", able)
rows = 4096
while png_least(4096, rows) <= len(able):
    rows += 1
assert png_least(4096, rows) == len(able) + 1
write("bound_unable.png", able.replace(png_ihdr(4096, 4096), png_ihdr(4096, rows)))

# GIF, screen and first image 4096 x 4096: an LZW byte stands for at most
# 8192 / 3 pixels, so the file needs 6144 bytes. One real row, then the
# rest of the file after the trailer.
gif_least = 4096 * 4096 * 3 // 8192
start = gif_header(4096, 4096, GIF_COLOURS, 0) + b"\x2C" + struct.pack("<HHHHB", 0, 0, 4096, 4096, 0) \
    + lzw([3] * 4096) + TRAILER
for name, size in (("able", gif_least), ("unable", gif_least - 1)):
    write("bound_%s.gif" % name, start + b"\x00" * (size - len(start)))

# RLE8 BMP: end-of-bitmap makes any size from two bytes; the cap is 2^27
# pixels.
for name, height in (("able", 8192), ("unable", 8193)):
    write("bound_%s.bmp" % name, b"BM" + struct.pack("<IHHI", 14 + 40 + 1024 + 2, 0, 0, 14 + 40 + 1024)
          + dib_header(16384, height, 8, 1, 2) + b"\x00\x00\x00\x00" * 256 + b"\x00\x01")

# ICO holding a PNG image whose IHDR claims 4096 x 4096 (1-bit grey) in the
# bytes of a 16 x 16 one.
small_grey = b"\x89PNG\r\n\x1a\n" + png_ihdr(16, 16) + png_chunk(b"IDAT", zlib.compress(bytes(16 * 3))) \
    + png_chunk(b"IEND", b"")
claiming = small_grey.replace(png_ihdr(16, 16), png_ihdr(4096, 4096))
write("png_inside_unbacked.ico", struct.pack("<HHH", 0, 1, 1) + ico_entry(0, 0, 32, claiming, 22) + claiming)

# GIF images larger than their screen: clipped, not refused. A 100 x 100
# screen whose first image is 1500 x 20: columns 0-49 index 3, 50-99 index
# 4, the rest index 5.
wide_rows = [[3 if x < 50 else 4 if x < 100 else 5 for x in range(1500)] for _ in range(20)]
write("wide_first_image.gif", gif_header(100, 100, GIF_COLOURS, 0) + image(0, 0, 1500, 20, wide_rows) + TRAILER)
# A screen of 8000 x 8000 (too large to animate): a 2 x 2 first image
# without delay, then a delayed 1 x 1 image of index 7 over its corner. The
# picture shown is the first frame alone.
write("first_frame_8000.gif", gif_header(8000, 8000, GIF_COLOURS, 0) + image(0, 0, 2, 2, [[3, 4], [5, 6]])
      + gce(10) + image(0, 0, 1, 1, [[7]]) + TRAILER)

# ---------------------------------------------------------------- headers that mislead
# A baseline file written one scan per component: libjpeg reads all three
# scans before the first row comes out.
script = os.path.join(out, "scan_per_component.txt")
with open(script, "w") as f:
    f.write("0;\n1;\n2;\n")
photo(40, 24).save(os.path.join(out, "photo_for_scans.jpg"), quality=90)
with open(os.path.join(out, "scan_per_component.jpg"), "wb") as f:
    subprocess.run(["jpegtran", "-scans", script, os.path.join(out, "photo_for_scans.jpg")], stdout=f, check=True)
# Bytes FF 00 after the start marker: libjpeg skips them as a stuffed zero
# in data that is no marker and finds the real 16 x 16 frame; read as a
# marker with a length, they would jump to a fake progressive frame header
# claiming 9000 x 9000 placed after the first scan's header.
buffer = io.BytesIO()
photo(16, 16).save(buffer, "JPEG", quality=80)
real = buffer.getvalue()
head, scans, rest = jpeg_scans(real)
sos_end = len(head) + 2 + (scans[0][2] << 8 | scans[0][3])
fake = b"\xFF\xC2\x00\x11\x08" + struct.pack(">HH", 9000, 9000) + b"\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01"
body = real[2:sos_end]
assert (2 + len(body)) & 0xFF != 0xFF
write("stuffed_zero_header.jpg", b"\xFF\xD8\xFF\x00" + struct.pack(">H", 2 + len(body)) + body + fake + real[sos_end:])


def pil_lzw(width, height, index):
    """The LZW data (code size, sub-blocks, end) of a width x height image of
    one colour index, compressed by PIL's encoder, whose string table grows
    as LZW's does: a few KB for a megapixel."""
    img = Image.new("P", (width, height), index)
    img.putpalette([0] * 768)
    buffer = io.BytesIO()
    img.save(buffer, "GIF")
    data = buffer.getvalue()
    at = 13 + (3 << ((data[10] & 7) + 1) if data[10] & 0x80 else 0)
    while data[at] == 0x21:  # extensions: label, then sub-blocks
        at += 2
        while data[at]:
            at += 1 + data[at]
        at += 1
    assert data[at] == 0x2C and not data[at + 9] & 0x80
    return data[at + 10:-1]


# 35 bytes claiming a 23000 x 23000 screen (2 GB of bitmap from nothing):
# one pixel and a graphic control extension.
write("screen_23000.gif", b"GIF89a" + struct.pack("<HHBBB", 23000, 23000, 0, 0, 0)
      + b"\x21\xF9\x04\x00\x00\x00\x00\x00"
      + b"\x2C" + struct.pack("<HHHHB", 0, 0, 1, 1, 0) + b"\x02\x02\x44\x01\x00" + TRAILER)

# Screen 40 x 30, three frames. The second is 65535 x 30 of index 3: its
# first 16 lines take the frame's budget (4 screens and a megapixel), and
# only they are drawn, clipped to the screen; the frames after it follow.
write("budget_second_frame.gif", gif_header(40, 30, GIF_COLOURS, 0)
      + gce(10) + image(0, 0, 40, 30, [[4] * 40 for _ in range(30)])
      + gce(10) + b"\x2C" + struct.pack("<HHHHB", 0, 0, 65535, 30, 0) + pil_lzw(65535, 30, 3)
      + gce(10) + image(0, 0, 40, 30, [[5] * 40 for _ in range(30)]) + TRAILER)
