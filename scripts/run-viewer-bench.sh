#!/usr/bin/env bash
# Makes two 6000 x 4000 JPEGs, a 4000 x 3000 PNG, a progressive 6000 x 4000
# JPEG and an animated GIF of 20 frames of 1920 x 1080, and runs the viewer
# benchmark on them under Wine.
#   scripts/run-viewer-bench.sh [build folder, default build/win] [rounds] [baseline build folder]
# With a baseline build (an older tree built with this benchmark's source),
# both run in the same session on the same pictures, the baseline first, and
# a table sets each figure against the baseline's.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win}
rounds=${2:-7}
baseline=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert -size 6000x4000 plasma:fractal -quality 90 "$work/first.jpg"
convert -size 6000x4000 gradient:navy-orange -attenuate 0.3 +noise Gaussian -quality 90 "$work/second.jpg"
convert "$work/first.jpg" -resize 4000x3000 "$work/picture.png"
convert "$work/first.jpg" -interlace JPEG -quality 90 "$work/progressive.jpg"
# Every frame different all over (noise): the decoder's worst case.
/usr/bin/python3 - "$work/animation.gif" <<'PYTHON'
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

windows() { echo "Z:${work//\//\\}\\$1"; }

run() {
  # A screen larger than the 3840 x 2160 frame is not needed: the window is
  # 1920 x 1080, the larger frame is composed off screen.
  xvfb-run -a -s "-screen 0 2560x1600x24 -nolisten tcp" "$root/scripts/wine-run.sh" --prefix "$1/wineprefix" \
    "$1/bench/viewer_bench.exe" "$(windows first.jpg)" "$(windows second.jpg)" "$rounds" \
    "$(windows picture.png)" "$(windows progressive.jpg)" "$(windows animation.gif)"
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
  printf '%-18s %10s %10s %8s\n' figure before after after/before
  awk 'NR == FNR { if ($1 == "figure") before[$2] = $3; next }
       $1 == "figure" {
         b = ($2 in before) ? before[$2] : "";
         ratio = (b != "" && b + 0 != 0) ? sprintf("%.2f", $3 / b) : "-";
         printf "%-18s %10s %10s %8s\n", $2, (b == "" ? "-" : b), $3, ratio
       }' "$work/before.txt" "$work/after.txt"
fi
