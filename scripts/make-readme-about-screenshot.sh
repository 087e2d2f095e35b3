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
exe="$build/bin/vistrel.exe"
[ -f "$exe" ] || { echo "Build first: $exe is missing." >&2; exit 1; }
prefix="$build/wineprefix"
out="$root/docs/about.png"

work=$(mktemp -d)
mkdir -p "$work/app/portable"
cp "$exe" "$work/app/"
printf '[vistrel]\r\nmain_wnd_x=0\r\nmain_wnd_y=0\r\nmain_wnd_w=800\r\nmain_wnd_h=560\r\nmain_wnd_maximized=0\r\nabout_wnd_x=40\r\nabout_wnd_y=60\r\n' \
  > "$work/app/portable/vistrel.ini"

. "$root/scripts/lib/virtual-display.sh"
start_virtual_display 99 1024x768x24
cleanup() {
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  stop_virtual_display
  rm -rf "$work"
}
trap cleanup EXIT

(cd "$work/app" && "$root/scripts/wine-run.sh" --prefix "$prefix" "$work/app/vistrel.exe") &

window=$(wait_for_window '^Vistrel$' 60)
[ -n "$window" ] || { echo "Vistrel did not start." >&2; exit 1; }
sleep 2
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus "$window" || true
xdotool key --delay 200 ctrl+F1
about=$(wait_for_window '^About Vistrel$' 30)
[ -n "$about" ] || { echo "The About window did not show." >&2; exit 1; }
sleep "$seconds"
import -display "$DISPLAY" -window "$about" "$out" 2>/dev/null ||
  import -display "$DISPLAY" -window root -crop 630x210+40+60 "$out"
xdotool windowactivate "$window" 2>/dev/null || true
xdotool key --delay 200 ctrl+q
sleep 2
echo "Screenshot: $out"
