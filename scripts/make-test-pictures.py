#!/usr/bin/python3
"""Writes the small pictures the viewer's tests open into tests/data/pictures.

Run with the system Python (it needs PIL): /usr/bin/python3 scripts/make-test-pictures.py
The files are committed; run this again only to change them.
"""
import os
from PIL import Image

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
out = os.path.join(root, "tests", "data", "pictures")
os.makedirs(out, exist_ok=True)


def pattern(width, height, seed):
    """A picture whose every pixel differs from its neighbours, so that a
    wrong sample shows in a pixel-for-pixel comparison."""
    img = Image.new("RGB", (width, height))
    px = img.load()
    for y in range(height):
        for x in range(width):
            px[x, y] = ((x * 7 + seed) % 256, (y * 5 + seed * 3) % 256, ((x ^ y) * 3 + seed) % 256)
    return img


# Lossless pictures for the composed-frame comparisons.
pattern(400, 300, 11).save(os.path.join(out, "landscape.png"))
pattern(90, 160, 29).save(os.path.join(out, "portrait.png"))
pattern(48, 36, 51).save(os.path.join(out, "small.bmp"))
# A photograph-like JPEG: smooth, so the decoder's output is stable.
photo = Image.new("RGB", (320, 200))
ppx = photo.load()
for y in range(200):
    for x in range(320):
        ppx[x, y] = (x * 255 // 319, y * 255 // 199, 128)
photo.save(os.path.join(out, "gradient.jpg"), quality=90)
# An icon.
pattern(32, 32, 77).convert("RGBA").save(os.path.join(out, "icon.ico"), sizes=[(32, 32)])

# An animation of three solid frames, 100 ms each, looping.
frames = [Image.new("P", (64, 48)) for _ in range(3)]
palette = [255, 0, 0, 0, 255, 0, 0, 0, 255] + [0] * (256 * 3 - 9)
for i, frame in enumerate(frames):
    frame.putpalette(palette)
    frame.paste(i, (0, 0, 64, 48))
frames[0].save(os.path.join(out, "animation.gif"), save_all=True, append_images=frames[1:],
               duration=100, loop=0, optimize=False, disposal=1)
# A GIF of one frame without a delay: shown still.
still = pattern(40, 30, 5).convert("P", palette=Image.ADAPTIVE, colors=64)
still.save(os.path.join(out, "still.gif"))
# Not a picture, with a picture's extension.
with open(os.path.join(out, "corrupt.png"), "wb") as f:
    f.write(b"\x89PNG\r\n\x1a\n" + b"not really a picture" * 4)
