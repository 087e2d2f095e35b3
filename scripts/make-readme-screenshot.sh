#!/usr/bin/env bash
# Makes docs/screenshot.png for the README: starts the built vistrel.exe on a
# virtual display, opens a picture through Ctrl+A and the Open files dialog as
# a person would, captures the window and closes it with Ctrl+Q.
#   scripts/make-readme-screenshot.sh [build folder, default build/win]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win}
exe="$build/bin/vistrel.exe"
[ -f "$exe" ] || { echo "Build first: $exe is missing." >&2; exit 1; }
prefix="$build/wineprefix"
out="$root/docs/screenshot.png"

work=$(mktemp -d)
mkdir -p "$work/app/portable" "$work/pictures"
cp "$exe" "$work/app/"
printf '[vistrel]\r\nmain_wnd_x=0\r\nmain_wnd_y=0\r\nmain_wnd_w=800\r\nmain_wnd_h=560\r\nmain_wnd_maximized=0\r\n' \
  > "$work/app/portable/vistrel.ini"
# A picture of our own: a sunset-coloured fractal landscape.
convert -seed 7 -size 1200x800 plasma:orange-navy -blur 0x10 -quality 92 "$work/pictures/sunset.jpg"

. "$root/scripts/lib/virtual-display.sh"
start_virtual_display 99 1024x768x24
cleanup() {
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  stop_virtual_display
  rm -rf "$work"
}
trap cleanup EXIT

(cd "$work/pictures" && "$root/scripts/wine-run.sh" --prefix "$prefix" "$work/app/vistrel.exe") &

window=$(wait_for_window '^Vistrel$' 60)
[ -n "$window" ] || { echo "Vistrel did not start." >&2; exit 1; }
sleep 2
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus "$window" || true
xdotool key --delay 200 ctrl+a
dialog=$(wait_for_window '^Open files$' 30)
[ -n "$dialog" ] || { echo "The Open files dialog did not show." >&2; exit 1; }
sleep 1
xdotool type --delay 50 "sunset.jpg"
xdotool key Return
sleep 3
import -display "$DISPLAY" -window "$window" "$out" 2>/dev/null ||
  import -display "$DISPLAY" -window root -crop 800x560+0+0 "$out"
xdotool windowactivate "$window" 2>/dev/null || true
xdotool key --delay 200 ctrl+q
sleep 2
echo "Screenshot: $out"
