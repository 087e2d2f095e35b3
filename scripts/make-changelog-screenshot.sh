#!/usr/bin/env bash
# Makes docs/changelog-screenshot.png for the README: starts the built
# vistrel.exe on a virtual display with the project's changelog.txt beside
# it, opens the Changelog with Ctrl+F2, finds a word with Ctrl+F as a person
# would, captures the window and closes the program with Ctrl+Q.
#   scripts/make-changelog-screenshot.sh [build folder, default build/win]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win}
out="$root/docs/changelog-screenshot.png"
. "$root/scripts/lib/screenshot.sh"

start_screenshot_vistrel "$build" \
  $'[vistrel]\r\nmain_wnd_x=300\r\nmain_wnd_y=200\r\nmain_wnd_w=640\r\nmain_wnd_h=480\r\nmain_wnd_maximized=0\r\nchangelog_wnd_x=0\r\nchangelog_wnd_y=0\r\n' \
  app "$root/resources/changelog.txt"
xdotool key --delay 200 ctrl+F2
changelog=$(wait_for_window '^Vistrel changelog$' 30)
[ -n "$changelog" ] || { echo "The Changelog window did not show." >&2; exit 1; }
sleep 1
# Ctrl is held long enough for the window's 50 ms key timer to see it.
xdotool keydown ctrl key f sleep 0.3 keyup ctrl
sleep 0.3
xdotool type --delay 50 "search"
xdotool key Return
sleep 1
capture_window "$changelog" "$out" 620x505+0+0
quit_screenshot_vistrel
echo "Screenshot: $out"
