#!/usr/bin/env bash
# Installs what is missing, builds Vistrel and starts it under Wine.
# With a display, Vistrel starts as usual and the keys to begin with are
# printed. Without one, it runs on a virtual display from a fresh portable
# folder: it opens the project's sample pictures through Ctrl+A and the Open
# files dialog, saves a screenshot of the first picture shown (the path is
# printed), says how to open your own pictures, and closes Vistrel with
# Ctrl+Q unless VISTREL_KEEP_RUNNING=1 (stop it with Ctrl+C then).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
VISTREL_SKIP_NATIVE=1 "$root/scripts/build.sh"

build="$root/build/win"
exe="$build/bin/vistrel.exe"

if [ -n "${DISPLAY:-}" ]; then
  echo "Starting Vistrel. To begin: Ctrl+A opens pictures (choose one or more),"
  echo "Right shows the next of them, Left the previous."
  exec "$root/scripts/wine-run.sh" --prefix "$build/wineprefix" "$exe"
fi

. "$root/scripts/lib/screenshot.sh"
start_screenshot_vistrel "$build" "$SCREENSHOT_INI" pictures
echo "Vistrel is running on the virtual display $DISPLAY; opening the sample pictures"
echo "(${SAMPLE_PICTURES[*]}) with Ctrl+A and the Open files dialog."
make_sample_pictures "$work/pictures"
open_sample_pictures
shot="$root/build/vistrel-screenshot.png"
if capture_window "$window" "$shot" 800x560+0+0; then
  echo "Screenshot of Vistrel showing ${SAMPLE_PICTURES[0]}: $shot"
else
  echo "Could not take a screenshot."
fi
cat <<EOF
To look at your own pictures: run ./scripts/run.sh where there is a display
(or, on Windows, start vistrel.exe from build/win/bin or from the portable ZIP
in build/win/packages), press Ctrl+A (File > Open files...) and choose one or
more pictures; Right and Left then step through them.
EOF

if [ "${VISTREL_KEEP_RUNNING:-0}" = "1" ]; then
  echo "Press Ctrl+C to stop."
  wait "$vistrel_pid"
  exit $?
fi

quit_screenshot_vistrel
for _ in $(seq 40); do
  kill -0 "$vistrel_pid" 2>/dev/null || break
  sleep 0.25
done
if kill -0 "$vistrel_pid" 2>/dev/null; then
  echo "Vistrel did not close by itself; stopping it."
  exit 1
fi
status=0
wait "$vistrel_pid" || status=$?
echo "Vistrel closed with exit code $status."
exit $status
