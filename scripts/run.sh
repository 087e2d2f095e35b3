#!/usr/bin/env bash
# Installs what is missing, builds Vistrel and starts it under Wine.
# On a machine without a display, Vistrel runs on a virtual display: a
# screenshot of it is saved (the path is printed), and then it is closed with
# Ctrl+Q unless VISTREL_KEEP_RUNNING=1 (stop it with Ctrl+C then).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
VISTREL_SKIP_NATIVE=1 "$root/scripts/build.sh"

exe="$root/build/win/bin/vistrel.exe"
prefix="$root/build/win/wineprefix"
wine_run="$root/scripts/wine-run.sh"

if [ -n "${DISPLAY:-}" ]; then
  exec "$wine_run" --prefix "$prefix" "$exe"
fi

# A virtual display of our own.
. "$root/scripts/lib/virtual-display.sh"
start_virtual_display 99 1280x1024x24
cleanup() {
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  stop_virtual_display
}
trap cleanup EXIT

"$wine_run" --prefix "$prefix" "$exe" &
vistrel_pid=$!
echo "Vistrel is running on the virtual display $DISPLAY."

window=$(wait_for_window '^Vistrel$' 60)
sleep 2
shot="$root/build/vistrel-screenshot.png"
if import -display "$DISPLAY" -window "${window:-root}" "$shot" 2>/dev/null ||
   import -display "$DISPLAY" -window root "$shot" 2>/dev/null; then
  echo "Screenshot of the window: $shot"
else
  echo "Could not take a screenshot."
fi

if [ "${VISTREL_KEEP_RUNNING:-0}" = "1" ]; then
  echo "Press Ctrl+C to stop."
  wait "$vistrel_pid"
  exit $?
fi

if [ -n "$window" ]; then
  xdotool windowactivate --sync "$window" >/dev/null 2>&1 || xdotool windowfocus "$window" >/dev/null 2>&1 || true
  xdotool key --clearmodifiers ctrl+q >/dev/null 2>&1 || true
fi
for _ in $(seq 40); do
  kill -0 "$vistrel_pid" 2>/dev/null || break
  sleep 0.25
done
if kill -0 "$vistrel_pid" 2>/dev/null; then
  echo "Vistrel did not close by itself; stopping it."
  kill "$vistrel_pid" 2>/dev/null || true
  exit 1
fi
wait "$vistrel_pid"
status=$?
echo "Vistrel closed with exit code $status."
exit $status
