#!/usr/bin/python3
"""Draws the Vistrel icon (a framed picture: sky, sun and two hills on a dark
frame) at several sizes and writes resources/vistrel.ico."""
import os
from PIL import Image, ImageDraw

SIZES = [16, 24, 32, 48, 64, 128, 256]


def draw(size):
    scale = 4  # draw large, then reduce for smooth edges
    n = size * scale
    img = Image.new("RGBA", (n, n), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    r = n // 8
    d.rounded_rectangle([0, 0, n - 1, n - 1], radius=r, fill=(32, 36, 48, 255))
    m = n // 10
    inner = [m, m, n - 1 - m, n - 1 - m]
    d.rectangle(inner, fill=(88, 160, 230, 255))
    sun_r = n // 9
    cx, cy = int(n * 0.68), int(n * 0.33)
    d.ellipse([cx - sun_r, cy - sun_r, cx + sun_r, cy + sun_r], fill=(255, 210, 70, 255))
    d.polygon([(m, n - 1 - m), (int(n * 0.38), int(n * 0.45)), (int(n * 0.7), n - 1 - m)],
              fill=(46, 139, 87, 255))
    d.polygon([(int(n * 0.45), n - 1 - m), (int(n * 0.72), int(n * 0.55)), (n - 1 - m, int(n * 0.72)),
               (n - 1 - m, n - 1 - m)], fill=(34, 110, 70, 255))
    return img.resize((size, size), Image.LANCZOS)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = os.path.join(here, "..", "resources", "vistrel.ico")
    images = [draw(s) for s in SIZES]
    images[-1].save(out, format="ICO", sizes=[(s, s) for s in SIZES], append_images=images[:-1])


if __name__ == "__main__":
    main()
