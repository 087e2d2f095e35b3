#!/usr/bin/env bash
# Makes the viewer benchmark's pictures and runs it under Wine: two 6000 x 4000
# JPEGs and copies of the first under other names, a 4000 x 3000 PNG, a
# progressive 6000 x 4000 JPEG, a GIF of 20 frames of 1920 x 1080, one of
# 300 frames of 5792 x 5792 and a small one of 20 ms frames, a BMP, an ICO,
# ten different progressive 6000 x 4000 JPEGs and a progressive JPEG of
# 20000 x 15000.
#   scripts/run-viewer-bench.sh [build folder, default build/win] [rounds] [baseline build folder]
# With a baseline build (an older tree built with this benchmark's source),
# both run in the same session on the same pictures, the baseline first, and
# a table sets each figure against the baseline's.
# VISTREL_BENCH_PICTURES=folder keeps the pictures there and makes only the
# missing ones; VISTREL_DISPLAY=:n runs on that X display instead of a
# virtual one of its own (it should be at least 1920 x 1080).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win}
rounds=${2:-7}
baseline=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pictures=${VISTREL_BENCH_PICTURES:-$work/pictures}
mkdir -p "$pictures"
python=/usr/bin/python3

once() {   # once NAME COMMAND...: runs the command unless NAME exists
  local name=$1
  shift
  [ -s "$pictures/$name" ] || "$@"
}
cd "$pictures"
once first.jpg convert -size 6000x4000 plasma:fractal -quality 90 first.jpg
once second.jpg convert -size 6000x4000 gradient:navy-orange -attenuate 0.3 +noise Gaussian -quality 90 second.jpg
# Other names, the same file: a step onto each is a step onto a picture not held.
for i in $(seq 0 $((rounds > 9 ? rounds : 9))); do
  once "copy$i.jpg" ln -f first.jpg "copy$i.jpg"
done
once picture.png convert first.jpg -resize 4000x3000 picture.png
once progressive.jpg convert first.jpg -interlace JPEG -quality 90 progressive.jpg
once picture.bmp convert first.jpg -resize 2000x1500 -type TrueColor BMP3:picture.bmp
once icon.ico convert first.jpg -resize 128x128! icon.ico
# Every frame different all over (noise): the decoder's worst case.
once animation.gif "$python" - animation.gif <<'PYTHON'
import sys
from PIL import Image
frames = []
for k in range(20):
    grey = Image.radial_gradient("L").resize((1920, 1080)).point(lambda v, k=k: (v * 3 + k * 13) & 255)
    noise = Image.effect_noise((1920, 1080), 40 + k)
    turned = Image.linear_gradient("L").resize((1920, 1080)).rotate(k * 18)
    frames.append(Image.merge("RGB", (grey, noise, turned)).convert("P", palette=Image.ADAPTIVE, colors=256))
frames[0].save(sys.argv[1], save_all=True, append_images=frames[1:], duration=50, loop=0, optimize=False)
PYTHON
# A 5792 x 5792 animation of 300 frames of 100 ms, made cheaply: one picture
# of sixteen colour bands is compressed once, and every frame repeats its
# data with a colour table of its own, turned by one, so that every frame
# differs all over. And a small one of 20 ms frames.
once large_animation.gif "$python" - large_animation.gif <<'PYTHON'
import io, sys
from PIL import Image, ImageChops
size, frames = 5792, 300
rings = Image.radial_gradient("L").resize((size, size))
slope = Image.linear_gradient("L").rotate(30).resize((size, size))
bands = ImageChops.add_modulo(rings, slope).point(lambda v: v // 16)
picture = Image.frombytes("P", (size, size), bands.tobytes())
picture.putpalette([v for i in range(16) for v in (i * 16, 255 - i * 16, (i * 80) % 256)])
encoded = io.BytesIO()
picture.save(encoded, "GIF")
data = encoded.getvalue()
# The image data: after the descriptor (and a local table, if any), the
# code size and the sub-blocks up to the empty one.
at = 13 + ((3 << ((data[10] & 7) + 1)) if data[10] & 0x80 else 0)
while data[at] == 0x21:
    at += 2
    while data[at]:
        at += data[at] + 1
    at += 1
assert data[at] == 0x2C
flags = data[at + 9]
at += 10 + ((3 << ((flags & 7) + 1)) if flags & 0x80 else 0)
start = at
at += 1
while data[at]:
    at += data[at] + 1
image = data[start:at + 1]
colours = [(i * 16, 255 - i * 16, (i * 80) % 256) for i in range(16)]
with open(sys.argv[1], "wb") as out:
    out.write(b"GIF89a" + size.to_bytes(2, "little") * 2 + bytes([0x70, 0, 0]))
    out.write(b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00")
    for k in range(frames):
        out.write(bytes([0x21, 0xF9, 4, 0, 10, 0, 0, 0]))
        out.write(b"\x2C\x00\x00\x00\x00" + size.to_bytes(2, "little") * 2 + bytes([0x83]))
        out.write(bytes(v for i in range(16) for v in colours[(i + k) % 16]))
        out.write(image)
    out.write(b"\x3B")
PYTHON
once ticker.gif "$python" - ticker.gif <<'PYTHON'
import sys
from PIL import Image
frames = [Image.new("P", (64, 64), k) for k in range(10)]
for frame in frames:
    frame.putpalette([v for i in range(10) for v in (i * 25, 128, 255 - i * 25)])
frames[0].save(sys.argv[1], save_all=True, append_images=frames[1:], duration=20, loop=0, optimize=False)
PYTHON
# Ten progressive JPEGs, each the first picture shifted and turned
# differently; and one of 20000 x 15000 tiled from it, mirrored so that no
# seam is flat.
once progressive9.jpg "$python" - <<'PYTHON'
from PIL import Image, ImageChops, ImageOps
source = Image.open("first.jpg").convert("RGB")
for k in range(10):
    picture = ImageChops.offset(source, k * 577, k * 391)
    if k % 2:
        picture = ImageOps.mirror(picture)
    picture.save("progressive%d.jpg" % k, quality=90, progressive=True)
PYTHON
once huge.jpg "$python" - <<'PYTHON'
from PIL import Image, ImageOps
source = Image.open("first.jpg").convert("RGB")
width, height = 20000, 15000
tiles = [source, ImageOps.mirror(source), ImageOps.flip(source), ImageOps.flip(ImageOps.mirror(source))]
huge = Image.new("RGB", (width, height))
for y in range(0, height, source.height):
    for x in range(0, width, source.width):
        huge.paste(tiles[(x // source.width) % 2 + 2 * ((y // source.height) % 2)], (x, y))
huge.save("huge.jpg", quality=90, progressive=True)
PYTHON
cd "$root"

run() {
  local folder="Z:${pictures//\//\\}"
  if [ -n "${VISTREL_DISPLAY:-}" ]; then
    DISPLAY=$VISTREL_DISPLAY "$root/scripts/wine-run.sh" --prefix "$1/wineprefix" \
      "$1/bench/viewer_bench.exe" "$folder" "$rounds"
  else
    # A screen larger than the 3840 x 2160 frame is not needed: the window is
    # 1920 x 1080, the larger frame is composed off screen.
    xvfb-run -a -s "-screen 0 2560x1600x24 -nolisten tcp" "$root/scripts/wine-run.sh" --prefix "$1/wineprefix" \
      "$1/bench/viewer_bench.exe" "$folder" "$rounds"
  fi
}

if [ -n "$baseline" ]; then
  echo "== baseline: $baseline"
  run "$baseline" | tee "$work/before.txt"
  echo
fi
echo "== this build: $build"
run "$build" | tee "$work/after.txt"
if [ -n "$baseline" ]; then
  echo
  printf '%-22s %10s %10s %8s\n' figure before after after/before
  awk 'NR == FNR { if ($1 == "figure") before[$2] = $3; next }
       $1 == "figure" {
         b = ($2 in before) ? before[$2] : "";
         ratio = (b != "" && b + 0 != 0) ? sprintf("%.2f", $3 / b) : "-";
         printf "%-22s %10s %10s %8s\n", $2, (b == "" ? "-" : b), $3, ratio
       }' "$work/before.txt" "$work/after.txt"
fi
