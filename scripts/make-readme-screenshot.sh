#!/usr/bin/env bash
# Makes docs/screenshot.png for the README: starts the built vistrel.exe on a
# virtual display, opens a picture through Ctrl+A and the Open files dialog as
# a person would, captures the window and closes it with Ctrl+Q.
#   scripts/make-readme-screenshot.sh [build folder, default build/win]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win}
out="$root/docs/screenshot.png"
. "$root/scripts/lib/screenshot.sh"

start_screenshot_vistrel "$build" \
  $'[vistrel]\r\nmain_wnd_x=0\r\nmain_wnd_y=0\r\nmain_wnd_w=800\r\nmain_wnd_h=560\r\nmain_wnd_maximized=0\r\n' \
  pictures
# A picture of our own: a sunset-coloured fractal landscape.
convert -seed 7 -size 1200x800 plasma:orange-navy -blur 0x10 -quality 92 "$work/pictures/sunset.jpg"
xdotool key --delay 200 ctrl+a
dialog=$(wait_for_window '^Open files$' 30)
[ -n "$dialog" ] || { echo "The Open files dialog did not show." >&2; exit 1; }
sleep 1
xdotool type --delay 50 "sunset.jpg"
xdotool key Return
sleep 3
capture_window "$window" "$out" 800x560+0+0
quit_screenshot_vistrel
echo "Screenshot: $out"
