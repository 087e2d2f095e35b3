#!/usr/bin/env bash
# Makes docs/changelog-screenshot.png for the README: starts the built
# vistrel.exe on a virtual display with the project's changelog.txt beside
# it, opens the Changelog with Ctrl+F2, finds a word with Ctrl+F as a person
# would, captures the window and closes the program with Ctrl+Q.
#   scripts/make-changelog-screenshot.sh [build folder, default build/win]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win}
exe="$build/bin/vistrel.exe"
[ -f "$exe" ] || { echo "Build first: $exe is missing." >&2; exit 1; }
prefix="$build/wineprefix"
out="$root/docs/changelog-screenshot.png"

work=$(mktemp -d)
mkdir -p "$work/app/portable"
cp "$exe" "$root/resources/changelog.txt" "$work/app/"
printf '[vistrel]\r\nmain_wnd_x=300\r\nmain_wnd_y=200\r\nmain_wnd_w=640\r\nmain_wnd_h=480\r\nmain_wnd_maximized=0\r\nchangelog_wnd_x=0\r\nchangelog_wnd_y=0\r\n' \
  > "$work/app/portable/vistrel.ini"

. "$root/scripts/lib/virtual-display.sh"
start_virtual_display 187 1024x768x24
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
import -display "$DISPLAY" -window "$changelog" "$out" 2>/dev/null ||
  import -display "$DISPLAY" -window root -crop 620x505+0+0 "$out"
xdotool windowactivate "$window" 2>/dev/null || true
xdotool key --delay 200 ctrl+q
sleep 2
echo "Screenshot: $out"
