#!/usr/bin/env bash
# Makes docs/about.png for the README: starts the built vistrel.exe on a
# virtual display, opens the About window with Ctrl+F1 as a person would,
# lets the credits roll for a few seconds, captures the window and closes
# the program with Ctrl+Q.
#   scripts/make-readme-about-screenshot.sh [build folder, default build/win] [seconds of rolling]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win}
seconds=${2:-7}
out="$root/docs/about.png"
. "$root/scripts/lib/screenshot.sh"

start_screenshot_vistrel "$build" \
  $'[vistrel]\r\nmain_wnd_x=0\r\nmain_wnd_y=0\r\nmain_wnd_w=800\r\nmain_wnd_h=560\r\nmain_wnd_maximized=0\r\nabout_wnd_x=40\r\nabout_wnd_y=60\r\n' \
  app
xdotool key --delay 200 ctrl+F1
about=$(wait_for_window '^About Vistrel$' 30)
[ -n "$about" ] || { echo "The About window did not show." >&2; exit 1; }
sleep "$seconds"
capture_window "$about" "$out" 630x210+40+60
quit_screenshot_vistrel
echo "Screenshot: $out"
