#!/usr/bin/env bash
# Makes docs/screenshot.png for the README: starts the built vistrel.exe on a
# virtual display, opens the sample pictures through Ctrl+A and the Open files
# dialog as a person would, captures the window showing the first of them and
# closes it with Ctrl+Q. scripts/run.sh does the same without a display.
#   scripts/make-readme-screenshot.sh [build folder, default build/win]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win}
out="$root/docs/screenshot.png"
. "$root/scripts/lib/screenshot.sh"

start_screenshot_vistrel "$build" "$SCREENSHOT_INI" pictures
make_sample_pictures "$work/pictures"
open_sample_pictures
capture_window "$window" "$out" 800x560+0+0
quit_screenshot_vistrel
echo "Screenshot: $out"
