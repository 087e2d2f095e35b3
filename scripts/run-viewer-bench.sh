#!/usr/bin/env bash
# Makes two 6000 x 4000 JPEGs and runs the viewer benchmark on them under Wine.
#   scripts/run-viewer-bench.sh [build folder, default build/win] [rounds]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win}
rounds=${2:-7}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert -size 6000x4000 plasma:fractal -quality 90 "$work/first.jpg"
convert -size 6000x4000 gradient:navy-orange -attenuate 0.3 +noise Gaussian -quality 90 "$work/second.jpg"
# A screen larger than the 3840 x 2160 frame is not needed: the window is
# 1920 x 1080, the larger frame is composed off screen.
xvfb-run -a -s "-screen 0 2560x1600x24 -nolisten tcp" "$root/scripts/wine-run.sh" --prefix "$build/wineprefix" "$build/bench/viewer_bench.exe" \
  "Z:${work//\//\\}\\first.jpg" "Z:${work//\//\\}\\second.jpg" "$rounds"
