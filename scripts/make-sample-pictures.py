#!/usr/bin/python3
"""Draws the sample pictures that scripts/run.sh opens and the README's
screenshot shows, into the folder given:

  sunset.jpg   a sunset over a lake: sky gradient, sun, hills, and the water
               below with their rippled reflections and the sun's glitter
  bubbles.png  soap bubbles with transparency over a checkered pattern (the
               colours under every transparent pixel are the pattern, so the
               picture looks the same shown with or without its alpha)
  sunrise.gif  a short looping animation of the sun rising over the sea

Run with the system Python (it needs PIL):
  /usr/bin/python3 scripts/make-sample-pictures.py FOLDER
Drawn the same every time, in about a second; each file is under 150 KB.
"""
import math
import os
import random
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter


def mix(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def gradient(width, height, stops):
    """Rows coloured along (position 0..1, colour) stops, top to bottom."""
    img = Image.new("RGB", (width, height))
    draw = ImageDraw.Draw(img)
    for y in range(height):
        t = y / max(height - 1, 1)
        for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
            if t <= p1:
                draw.line([(0, y), (width, y)], fill=mix(c0, c1, (t - p0) / (p1 - p0)))
                break
    return img


def ridge(width, base, waves, seed):
    """Heights of a hill line: base plus a few smooth waves."""
    rnd = random.Random(seed)
    phases = [rnd.uniform(0, 2 * math.pi) for _ in waves]
    return [base - sum(a * math.sin(x * f + p) for (a, f), p in zip(waves, phases))
            for x in range(width + 1)]


def sunset(path):
    w, h = 960, 640
    horizon = int(h * 0.6)
    sun_x, sun_y, sun_r = int(w * 0.6), horizon - 70, 46

    # Everything above the water: sky, glow, sun, clouds, hills.
    sky = gradient(w, horizon, [(0.0, (28, 24, 78)), (0.35, (104, 48, 112)),
                                (0.7, (232, 112, 62)), (1.0, (255, 196, 104))])
    glow = Image.new("L", (w, horizon), 0)
    ImageDraw.Draw(glow).ellipse([sun_x - 190, sun_y - 150, sun_x + 190, sun_y + 150], fill=150)
    glow = glow.filter(ImageFilter.GaussianBlur(60))
    sky = Image.composite(Image.new("RGB", sky.size, (255, 214, 140)), sky, glow)
    draw = ImageDraw.Draw(sky)
    draw.ellipse([sun_x - sun_r, sun_y - sun_r, sun_x + sun_r, sun_y + sun_r], fill=(255, 240, 190))

    clouds = Image.new("L", (w, horizon), 0)
    cdraw = ImageDraw.Draw(clouds)
    rnd = random.Random(3)
    for _ in range(9):
        cx, cy = rnd.randrange(0, w), rnd.randrange(40, horizon - 150)
        cw, ch = rnd.randrange(120, 300), rnd.randrange(8, 18)
        cdraw.ellipse([cx - cw, cy - ch, cx + cw, cy + ch], fill=rnd.randrange(90, 150))
    clouds = clouds.filter(ImageFilter.GaussianBlur(6))
    sky = Image.composite(Image.new("RGB", sky.size, (250, 150, 150)), sky, clouds)

    draw = ImageDraw.Draw(sky)
    far = ridge(w, horizon - 50, [(22, 0.006), (10, 0.017), (4, 0.05)], 5)
    draw.polygon([(0, horizon)] + [(x, far[x]) for x in range(w + 1)] + [(w, horizon)],
                 fill=(112, 70, 120))
    near = ridge(w, horizon - 14, [(30, 0.004), (14, 0.013), (5, 0.04)], 9)
    # The near hills rise at both ends and dip to the shore under the sun.
    near = [y - 90 * (abs(x - sun_x) / w) ** 1.6 for x, y in enumerate(near)]
    draw.polygon([(0, horizon)] + [(x, min(near[x], horizon)) for x in range(w + 1)] + [(w, horizon)],
                 fill=(50, 30, 62))

    # The water: the scene above mirrored, each row shifted by the ripples,
    # darker and bluer towards the viewer.
    pad = 40   # the edge columns repeated, for rows shifted sideways
    padded = Image.new("RGB", (w + 2 * pad, horizon))
    padded.paste(sky.crop((0, 0, 1, horizon)).resize((pad, horizon)), (0, 0))
    padded.paste(sky.crop((w - 1, 0, w, horizon)).resize((pad, horizon)), (w + pad, 0))
    padded.paste(sky, (pad, 0))
    picture = Image.new("RGB", (w, h))
    picture.paste(sky, (0, 0))
    water_rows = h - horizon
    tint = Image.new("RGB", (w, 1), (18, 28, 66))
    for j in range(water_rows):
        depth = j / water_rows
        source = horizon - 1 - min(int(j * 1.15), horizon - 1)
        shift = int((1 + 14 * depth) * math.sin(j * 0.55) + 3 * math.sin(j * 1.7))
        row = padded.crop((pad - shift, source, pad - shift + w, source + 1))
        picture.paste(Image.blend(row, tint, 0.25 + 0.45 * depth), (0, horizon + j))
    # The sun's glitter: short bright strokes, longer and more scattered
    # towards the viewer.
    glitter = Image.new("L", (w, h), 0)
    draw = ImageDraw.Draw(glitter)
    rnd = random.Random(17)
    for _ in range(170):
        j = int(rnd.random() ** 1.4 * water_rows)
        x = int(sun_x + rnd.gauss(0, 9 + 0.6 * j))
        half = int(4 + j * 0.18 * rnd.random())
        y = horizon + j
        draw.line([(x - half, y), (x + half, y)], fill=rnd.randrange(170, 256), width=1 + j // 90)
    glitter = glitter.filter(ImageFilter.GaussianBlur(0.8))
    picture = Image.composite(Image.new("RGB", (w, h), (255, 228, 156)), picture, glitter)
    picture.save(path, quality=85, optimize=True)


def checkerboard(width, height, cell, light, dark):
    img = Image.new("RGB", (width, height), light)
    draw = ImageDraw.Draw(img)
    for y in range(0, height, cell):
        for x in range((y // cell) % 2 * cell, width, 2 * cell):
            draw.rectangle([x, y, x + cell - 1, y + cell - 1], fill=dark)
    return img


def bubbles(path):
    w, h = 720, 480
    pattern = checkerboard(w, h, 24, (204, 204, 204), (153, 153, 153))
    colour = Image.new("RGB", (w, h), (0, 0, 0))
    alpha = Image.new("L", (w, h), 0)
    rnd = random.Random(23)
    tints = [(40, 150, 255), (255, 70, 170), (40, 220, 120), (255, 180, 20), (150, 90, 255)]
    for i in range(9):
        r = rnd.randrange(40, 110)
        cx, cy = rnd.randrange(r, w - r), rnd.randrange(r, h - r)
        box = [cx - r, cy - r, cx + r, cy + r]
        tint = tints[i % len(tints)]
        bubble = Image.new("L", (w, h), 0)
        bdraw = ImageDraw.Draw(bubble)
        bdraw.ellipse(box, fill=90)                              # the thin film
        bdraw.ellipse(box, outline=190, width=max(3, r // 10))   # its rim
        bubble = bubble.filter(ImageFilter.GaussianBlur(2))
        # Coloured a little beyond its soft edge, which would otherwise darken.
        colour.paste(Image.new("RGB", (w, h), tint), (0, 0), bubble.point(lambda v: min(255, v * 4)))
        alpha = ImageChops.lighter(alpha, bubble)
        shine = Image.new("L", (w, h), 0)
        sx, sy, sr = cx - r // 2, cy - r // 2, max(r // 6, 5)
        ImageDraw.Draw(shine).ellipse([sx - sr, sy - sr, sx + sr, sy + sr], fill=235)
        shine = shine.filter(ImageFilter.GaussianBlur(sr // 3 + 1))
        colour.paste(Image.new("RGB", (w, h), (255, 255, 255)), (0, 0), shine)
        alpha = ImageChops.lighter(alpha, shine)
    # The colours are the bubbles over the pattern; the alpha is theirs alone.
    shown = Image.composite(colour, pattern, alpha)
    shown.putalpha(alpha)
    shown.save(path, optimize=True)


def sunrise(path):
    w, h, frames = 320, 200, 12
    horizon = 128
    sky = gradient(w, horizon, [(0.0, (22, 30, 80)), (0.6, (150, 80, 110)), (1.0, (250, 160, 90))])
    sea = gradient(w, h - horizon, [(0.0, (60, 50, 90)), (1.0, (12, 20, 50))])
    images = []
    for f in range(frames):
        t = f / (frames - 1)
        frame = Image.new("RGB", (w, h))
        frame.paste(sky, (0, 0))
        draw = ImageDraw.Draw(frame)
        r = 22
        cy = int(horizon + 10 - t * 80)
        draw.ellipse([w // 2 - r, cy - r, w // 2 + r, cy + r], fill=(255, 214 + int(30 * t), 120))
        frame.paste(sea, (0, horizon))
        # The sun's path on the water grows as it rises.
        for j in range(0, h - horizon, 4):
            half = int((6 + j * 0.4) * (0.3 + 0.7 * t) * (0.6 + 0.4 * math.sin(j + f)))
            draw.line([(w // 2 - half, horizon + j), (w // 2 + half, horizon + j)],
                      fill=(250, 190, 110))
        images.append(frame.quantize(64, dither=Image.Dither.NONE))
    images[0].save(path, save_all=True, append_images=images[1:], duration=120, loop=0,
                   optimize=True)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make-sample-pictures.py FOLDER")
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    sunset(os.path.join(folder, "sunset.jpg"))
    bubbles(os.path.join(folder, "bubbles.png"))
    sunrise(os.path.join(folder, "sunrise.gif"))


if __name__ == "__main__":
    main()
